#pragma once

#include <cstddef>
#include <memory>
#include <string>

class CameraParameters;
class ConfigurationTarget;
class DriverState;
class Param_;

// The boundary between the driver library and its configuration dialog module. The module holds
// everything that needs Qt's GUI; the library loads it on the first configuration dialog, so a
// host that never opens one never loads the GUI stack.
//
// The library exports nothing but the host's functions, so the module cannot link against it:
// the few driver functions the dialog code calls (logging, the parameter set's look-ups) reach
// the library through the table below, which the library hands to the module on every call.
// The module is built from the same sources as the library, in the same build, and runs on the
// library's objects: it accepts only a table of its own build (kBuild and the table's size).
//
// Threading: the table is filled once and read-only afterwards; the module's entry runs on the
// thread that opens the dialog (see RunConfigurationDialog).
struct DialogModuleImports {
    // Size of this structure and the build both sides were made by.
    size_t size;
    const char* build;

    DriverState& (*driverState)();
    void (*log)(DriverState& state, int level, const char* text);
    void (*logPort)(DriverState& state, int level, int port, const char* tag,
                    const std::string& text, const char* where);
    void (*logCurrentException)(int port, const std::string& operation, const char* where);
    Param_* (*find)(CameraParameters& parameters, const std::string& name);
    const Param_* (*findConst)(const CameraParameters& parameters, const std::string& name);
    bool (*addParameter)(CameraParameters& parameters, std::unique_ptr<Param_> parameter);
    void (*copyValuesFrom)(CameraParameters& parameters, const CameraParameters& other);
};

// The build both sides must share: the version and the sizes of the objects they pass.
const char* DialogModuleBuild();

// The module's one exported function: runs RunConfigurationDialog with the library's table.
// Returns 1 when the dialog was accepted, 0 when not, -1 when the table is not of the module's
// build (nothing was done). Exceptions of the dialog reach the caller, as from
// RunConfigurationDialog.
using DialogModuleRunFunction = int (*)(const DialogModuleImports* imports, void* parent,
                                        ConfigurationTarget* target);
constexpr const char* kDialogModuleRunSymbol = "ostravelk_dialog_run";
