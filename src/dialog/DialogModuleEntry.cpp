// The configuration dialog module's entry, and the driver functions the dialog code calls,
// forwarded to the library through the table it hands over (see DialogModuleInterface.h). Only
// the module is built from this file; the test programs link the dialog with the driver itself.

#include <atomic>
#include <cstring>
#include <memory>
#include <string>
#include <utility>

#include "base/DriverState.h"
#include "base/ExceptionGuard.h"
#include "camera/DialogModuleInterface.h"
#include "dialog/ConfigurationDialog.h"
#include "parameters/CameraParameters.h"

namespace {

// Set by every call of the entry, before any dialog code runs; the same table each time.
std::atomic<const DialogModuleImports*> gImports{nullptr};

bool IsOfThisBuild(const DialogModuleImports* imports) {
    return imports != nullptr && imports->size == sizeof(DialogModuleImports) &&
           imports->build != nullptr && std::strcmp(imports->build, DialogModuleBuild()) == 0;
}

}  // namespace

DriverState& GetDriverState() {
    return gImports.load()->driverState();
}

void DriverState::Log(int level, const char* text) {
    gImports.load()->log(*this, level, text);
}

void DriverState::LogPort(int level, int port, const char* tag, const std::string& text,
                          const char* where) {
    gImports.load()->logPort(*this, level, port, tag, text, where);
}

void LogCurrentException(int port, const std::string& operation, const char* where) noexcept {
    gImports.load()->logCurrentException(port, operation, where);
}

Param_* CameraParameters::Find(const std::string& name) {
    return gImports.load()->find(*this, name);
}

const Param_* CameraParameters::Find(const std::string& name) const {
    return gImports.load()->findConst(*this, name);
}

bool CameraParameters::AddParameter_(std::unique_ptr<Param_> parameter) {
    return gImports.load()->addParameter(*this, std::move(parameter));
}

void CameraParameters::CopyValuesFrom(const CameraParameters& other) {
    gImports.load()->copyValuesFrom(*this, other);
}

extern "C" __attribute__((visibility("default"))) int ostravelk_dialog_run(
    const DialogModuleImports* imports, void* parent, ConfigurationTarget* target) {
    if (!IsOfThisBuild(imports) || target == nullptr) {
        return -1;
    }
    gImports = imports;
    return RunConfigurationDialog(parent, *target) ? 1 : 0;
}
