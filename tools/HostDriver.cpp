#include "HostDriver.h"

#include <dlfcn.h>

#include <string>

#include "DriverLogFilter.h"

namespace {

template <typename Function>
bool Resolve(void* handle, const char* name, Function& function) {
    function = reinterpret_cast<Function>(dlsym(handle, name));
    if (!function) {
        DriverLogFilter::Error(std::string("the driver does not export ") + name);
    }
    return function != nullptr;
}

}  // namespace

bool HostDriver::Load(const std::string& path) {
    handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        DriverLogFilter::Error("cannot load " + path + ": " + dlerror());
        return false;
    }
    bool resolved = true;
#define OSTRAVELK_HOST_RESOLVE(name) resolved = resolved && Resolve(handle, #name, name);
    OSTRAVELK_HOST_EXPORTS(OSTRAVELK_HOST_RESOLVE)
#undef OSTRAVELK_HOST_RESOLVE
    return resolved;
}
