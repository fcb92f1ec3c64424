#include "camera/DialogModule.h"

#include <dlfcn.h>

#include <mutex>
#include <string>
#include <utility>

#include "base/DriverState.h"
#include "base/ExceptionGuard.h"
#include "camera/ConfigurationTarget.h"
#include "parameters/CameraParameters.h"

namespace {

const char* const kWhere = "Camera::Configure";
const char* const kModuleFile = "ostravelk/libostravelk-dialog.so";

std::mutex gLoadLock;
DialogModuleRunFunction gRun = nullptr;       // under gLoadLock
DialogModuleRunFunction gLinkedIn = nullptr;  // under gLoadLock
std::string gModuleFile;                      // under gLoadLock

const DialogModuleImports& Imports() {
    static const DialogModuleImports imports{
        sizeof(DialogModuleImports),
        DialogModuleBuild(),
        []() -> DriverState& { return GetDriverState(); },
        [](DriverState& state, int level, const char* text) { state.Log(level, text); },
        [](DriverState& state, int level, int port, const char* tag, const std::string& text,
           const char* where) { state.LogPort(level, port, tag, text, where); },
        [](int port, const std::string& operation, const char* where) {
            LogCurrentException(port, operation, where);
        },
        [](CameraParameters& parameters, const std::string& name) { return parameters.Find(name); },
        [](const CameraParameters& parameters, const std::string& name) {
            return parameters.Find(name);
        },
        [](CameraParameters& parameters, std::unique_ptr<Param_> parameter) {
            return parameters.AddParameter_(std::move(parameter));
        },
        [](CameraParameters& parameters, const CameraParameters& other) {
            parameters.CopyValuesFrom(other);
        }};
    return imports;
}

// The directory of the file this library was loaded from.
std::string LibraryDirectory() {
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&LibraryDirectory), &info) == 0 ||
        info.dli_fname == nullptr) {
        return ".";
    }
    const std::string file = info.dli_fname;
    const auto slash = file.rfind('/');
    return slash == std::string::npos ? "." : file.substr(0, slash);
}

std::string DefaultPath() {
    return LibraryDirectory() + "/" + kModuleFile;
}

// The module's entry, loading it first when needed; null with the reason in error.
DialogModuleRunFunction Entry(std::string& error) {
    std::lock_guard<std::mutex> lock(gLoadLock);
    if (gLinkedIn != nullptr) {
        return gLinkedIn;
    }
    if (gRun != nullptr) {
        return gRun;
    }
    const std::string path = gModuleFile.empty() ? DefaultPath() : gModuleFile;
    // Kept loaded for the life of the process: Qt cannot be unloaded once it ran.
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        // The loader's text usually begins with the path itself.
        const char* loaderText = ::dlerror();
        std::string reason = loaderText != nullptr ? loaderText : "unknown error";
        if (reason.compare(0, path.size() + 2, path + ": ") == 0) {
            reason.erase(0, path.size() + 2);
        }
        error = "cannot load " + path + ": " + reason;
        return nullptr;
    }
    auto run = reinterpret_cast<DialogModuleRunFunction>(::dlsym(handle, kDialogModuleRunSymbol));
    if (run == nullptr) {
        error = path + " has no " + kDialogModuleRunSymbol;
        ::dlclose(handle);
        return nullptr;
    }
    gRun = run;
    return gRun;
}

}  // namespace

std::string DialogModule::Path() {
    std::lock_guard<std::mutex> lock(gLoadLock);
    return gModuleFile.empty() ? DefaultPath() : gModuleFile;
}

void DialogModule::UseModuleFile(const std::string& file) {
    std::lock_guard<std::mutex> lock(gLoadLock);
    gModuleFile = file;
}

void DialogModule::UseLinkedIn(DialogModuleRunFunction run) {
    std::lock_guard<std::mutex> lock(gLoadLock);
    gLinkedIn = run;
}

bool DialogModule::Run(void* parent, ConfigurationTarget& target) {
    std::string error;
    const DialogModuleRunFunction run = Entry(error);
    int result = -1;
    if (run != nullptr) {
        result = run(&Imports(), parent, &target);
        if (result < 0) {
            error = Path() + " is not of this library's build (" + DialogModuleBuild() + ")";
        }
    }
    if (result < 0) {
        GetDriverState().LogPort(1, target.GetPort(),
                                 "ERR: ", "Configure: no configuration dialog: " + error, kWhere);
        return false;
    }
    return result == 1;
}
