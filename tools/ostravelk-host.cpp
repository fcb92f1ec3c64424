// ostravelk-host: a small host that loads the driver with dlopen, as a real host does, and uses
// only the 18 exported functions.

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ostravelk/ostravelk.h"

namespace {

struct Driver {
    void* handle = nullptr;
    decltype(&::initialize) initialize = nullptr;
    decltype(&::finalize) finalize = nullptr;
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

template <typename Function>
bool Resolve(void* handle, const char* name, Function& function) {
    function = reinterpret_cast<Function>(dlsym(handle, name));
    if (!function) {
        std::fprintf(stderr, "ostravelk-host: the driver does not export %s\n", name);
    }
    return function != nullptr;
}

bool Load(const std::string& path, Driver& d) {
    d.handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!d.handle) {
        std::fprintf(stderr, "ostravelk-host: cannot load %s: %s\n", path.c_str(), dlerror());
        return false;
    }
    return Resolve(d.handle, "initialize", d.initialize) &&
           Resolve(d.handle, "finalize", d.finalize) &&
           Resolve(d.handle, "getCVLMaxNoOfGrabbers", d.getCVLMaxNoOfGrabbers) &&
           Resolve(d.handle, "getCVLMaxNoOfPorts", d.getCVLMaxNoOfPorts) &&
           Resolve(d.handle, "getCVLNoOfSupportedCameras", d.getCVLNoOfSupportedCameras) &&
           Resolve(d.handle, "getCVLCameraConfigNames", d.getCVLCameraConfigNames) &&
           Resolve(d.handle, "openCVLPort", d.openCVLPort) &&
           Resolve(d.handle, "closeCVLPort", d.closeCVLPort) &&
           Resolve(d.handle, "doCVLGrab", d.doCVLGrab) &&
           Resolve(d.handle, "getCVLGrabRow", d.getCVLGrabRow) &&
           Resolve(d.handle, "setCompleteCallback", d.setCompleteCallback) &&
           Resolve(d.handle, "getPropertyRange", d.getPropertyRange) &&
           Resolve(d.handle, "getProperty", d.getProperty) &&
           Resolve(d.handle, "setProperty", d.setProperty) &&
           Resolve(d.handle, "execCmd", d.execCmd) &&
           Resolve(d.handle, "configureCamera", d.configureCamera);
}

bool gVerbose = false;

void DebugMessage(const char* text) {
    if (gVerbose) {
        std::fputs(text, stdout);
    }
}

void Usage() {
    std::fprintf(stderr,
                 "usage: ostravelk-host [--lib PATH] [--dir DIR] [--verbose] COMMAND [ARGS]\n"
                 "commands:\n"
                 "  list                       list the cameras the driver serves\n"
                 "  get CAMERA NAME            read a property\n"
                 "  set CAMERA NAME VALUE      write a property\n"
                 "  range CAMERA NAME          read a property's range\n"
                 "  cmd CAMERA COMMAND [ARG]   run a command (\"get\", \"set\")\n"
                 "--dir is the host directory for Ostravelk.ini and Ostravelk.log (default: .)\n");
}

int OpenByName(Driver& d, const std::string& camera, int port) {
    int size[2] = {0, 0};
    if (!d.openCVLPort(0, port, camera.c_str(), size)) {
        std::fprintf(stderr, "cannot open camera \"%s\"\n", camera.c_str());
        return 0;
    }
    std::printf("opened \"%s\" on port %d: %d x %d\n", camera.c_str(), port, size[0], size[1]);
    return 1;
}

int Run(Driver& d, const std::vector<std::string>& args) {
    const std::string& command = args[0];
    if (command == "list") {
        int count = d.getCVLNoOfSupportedCameras();
        const char** names = d.getCVLCameraConfigNames();
        std::printf("%d grabber(s), %d ports, %d camera(s)\n", d.getCVLMaxNoOfGrabbers(),
                    d.getCVLMaxNoOfPorts(), count);
        for (int i = 0; names && names[i]; ++i) {
            std::printf("  %s\n", names[i]);
        }
        return names ? 0 : 1;
    }
    if ((command == "get" || command == "range") && args.size() == 3) {
        if (!OpenByName(d, args[1], 0)) {
            return 1;
        }
        int ok = 0;
        if (command == "get") {
            int value = 0;
            ok = d.getProperty(0, 0, args[2].c_str(), &value);
            if (ok) std::printf("%s = %d\n", args[2].c_str(), value);
        } else {
            int min = 0, max = 0;
            ok = d.getPropertyRange(0, 0, args[2].c_str(), &min, &max);
            if (ok) std::printf("%s in [%d..%d]\n", args[2].c_str(), min, max);
        }
        d.closeCVLPort(0, 0);
        return ok ? 0 : 1;
    }
    if (command == "set" && args.size() == 4) {
        if (!OpenByName(d, args[1], 0)) {
            return 1;
        }
        int ok = d.setProperty(0, 0, args[2].c_str(), std::atoi(args[3].c_str()));
        d.closeCVLPort(0, 0);
        return ok ? 0 : 1;
    }
    if (command == "cmd" && (args.size() == 3 || args.size() == 4)) {
        if (!OpenByName(d, args[1], 0)) {
            return 1;
        }
        char result[1024] = "";
        int ok = d.execCmd(0, 0, args[2].c_str(), args.size() == 4 ? args[3].c_str() : "", result,
                           sizeof result);
        std::printf("%s -> %d \"%s\"\n", args[2].c_str(), ok, result);
        d.closeCVLPort(0, 0);
        return ok ? 0 : 1;
    }
    Usage();
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string library = std::getenv("OSTRAVELK_LIBRARY") ? std::getenv("OSTRAVELK_LIBRARY")
                                                           : OSTRAVELK_DEFAULT_LIBRARY;
    std::string directory = ".";
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--lib" && i + 1 < argc) {
            library = argv[++i];
        } else if (arg == "--dir" && i + 1 < argc) {
            directory = argv[++i];
        } else if (arg == "--verbose") {
            gVerbose = true;
        } else if (arg == "--help" || arg == "-h") {
            Usage();
            return 0;
        } else {
            args.push_back(arg);
        }
    }
    if (args.empty()) {
        Usage();
        return 2;
    }
    Driver driver;
    if (!Load(library, driver)) {
        return 1;
    }
    if (!driver.initialize(directory.c_str(), DebugMessage)) {
        std::fprintf(stderr, "initialize failed\n");
        return 1;
    }
    int result = Run(driver, args);
    driver.finalize();
    return result;
}
