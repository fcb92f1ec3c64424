#pragma once

#include <string>

#include "ostravelk/ostravelk.h"

// The driver as a host sees it: the shared library loaded with dlopen and its 18 exported
// functions resolved by name, nothing else.
//
// Threading: Load once, before any use; the functions are the driver's and follow its rules.
struct HostDriver {
    // Loads the library and resolves every export; false (with a message on standard error) when
    // the library cannot be loaded or lacks an export.
    bool Load(const std::string& path);

    void* handle = nullptr;
    decltype(&::initialize) initialize = nullptr;
    decltype(&::finalize) finalize = nullptr;
    decltype(&::setSystemPath) setSystemPath = nullptr;
    decltype(&::setDebugMsgProc) setDebugMsgProc = nullptr;
    decltype(&::getCVLMaxNoOfGrabbers) getCVLMaxNoOfGrabbers = nullptr;
    decltype(&::getCVLMaxNoOfPorts) getCVLMaxNoOfPorts = nullptr;
    decltype(&::getCVLNoOfSupportedCameras) getCVLNoOfSupportedCameras = nullptr;
    decltype(&::getCVLCameraConfigNames) getCVLCameraConfigNames = nullptr;
    decltype(&::openCVLPort) openCVLPort = nullptr;
    decltype(&::closeCVLPort) closeCVLPort = nullptr;
    decltype(&::doCVLGrab) doCVLGrab = nullptr;
    decltype(&::getCVLGrabRow) getCVLGrabRow = nullptr;
    decltype(&::setCompleteCallback) setCompleteCallback = nullptr;
    decltype(&::getPropertyRange) getPropertyRange = nullptr;
    decltype(&::getProperty) getProperty = nullptr;
    decltype(&::setProperty) setProperty = nullptr;
    decltype(&::execCmd) execCmd = nullptr;
    decltype(&::configureCamera) configureCamera = nullptr;
};
