#include "HostDriver.h"

#include <dlfcn.h>

#include <cstdio>

namespace {

template <typename Function>
bool Resolve(void* handle, const char* name, Function& function) {
    function = reinterpret_cast<Function>(dlsym(handle, name));
    if (!function) {
        std::fprintf(stderr, "ostravelk-host: the driver does not export %s\n", name);
    }
    return function != nullptr;
}

}  // namespace

bool HostDriver::Load(const std::string& path) {
    handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        std::fprintf(stderr, "ostravelk-host: cannot load %s: %s\n", path.c_str(), dlerror());
        return false;
    }
    return Resolve(handle, "initialize", initialize) && Resolve(handle, "finalize", finalize) &&
           Resolve(handle, "setSystemPath", setSystemPath) &&
           Resolve(handle, "setDebugMsgProc", setDebugMsgProc) &&
           Resolve(handle, "getCVLMaxNoOfGrabbers", getCVLMaxNoOfGrabbers) &&
           Resolve(handle, "getCVLMaxNoOfPorts", getCVLMaxNoOfPorts) &&
           Resolve(handle, "getCVLNoOfSupportedCameras", getCVLNoOfSupportedCameras) &&
           Resolve(handle, "getCVLCameraConfigNames", getCVLCameraConfigNames) &&
           Resolve(handle, "openCVLPort", openCVLPort) &&
           Resolve(handle, "closeCVLPort", closeCVLPort) &&
           Resolve(handle, "doCVLGrab", doCVLGrab) &&
           Resolve(handle, "getCVLGrabRow", getCVLGrabRow) &&
           Resolve(handle, "setCompleteCallback", setCompleteCallback) &&
           Resolve(handle, "getPropertyRange", getPropertyRange) &&
           Resolve(handle, "getProperty", getProperty) &&
           Resolve(handle, "setProperty", setProperty) && Resolve(handle, "execCmd", execCmd) &&
           Resolve(handle, "configureCamera", configureCamera);
}
