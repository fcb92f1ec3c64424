#pragma once

#include <string>

#include "ostravelk/ostravelk.h"

// The 18 exports, in the order of ostravelk.h: X(name) for each.
#define OSTRAVELK_HOST_EXPORTS(X) \
    X(initialize)                 \
    X(finalize)                   \
    X(setSystemPath)              \
    X(setDebugMsgProc)            \
    X(getCVLMaxNoOfGrabbers)      \
    X(getCVLMaxNoOfPorts)         \
    X(getCVLNoOfSupportedCameras) \
    X(getCVLCameraConfigNames)    \
    X(openCVLPort)                \
    X(closeCVLPort)               \
    X(doCVLGrab)                  \
    X(getCVLGrabRow)              \
    X(setCompleteCallback)        \
    X(getPropertyRange)           \
    X(getProperty)                \
    X(setProperty)                \
    X(execCmd)                    \
    X(configureCamera)

// The driver as a host sees it: the shared library loaded with dlopen and its 18 exported
// functions resolved by name, nothing else.
//
// Threading: Load once, before any use; the functions are the driver's and follow its rules.
struct HostDriver {
    // Loads the library and resolves every export; false (with a message on standard error) when
    // the library cannot be loaded or lacks an export. One member per export, of its own name.
    bool Load(const std::string& path);

    void* handle = nullptr;
#define OSTRAVELK_HOST_MEMBER(name) decltype(&::name) name = nullptr;
    OSTRAVELK_HOST_EXPORTS(OSTRAVELK_HOST_MEMBER)
#undef OSTRAVELK_HOST_MEMBER
};
