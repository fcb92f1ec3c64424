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
    bool resolved = true;
#define OSTRAVELK_HOST_RESOLVE(name) resolved = resolved && Resolve(handle, #name, name);
    OSTRAVELK_HOST_EXPORTS(OSTRAVELK_HOST_RESOLVE)
#undef OSTRAVELK_HOST_RESOLVE
    return resolved;
}
