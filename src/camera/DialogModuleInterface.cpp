#include "camera/DialogModuleInterface.h"

#include <string>

#include "base/DriverState.h"
#include "camera/ConfigurationTarget.h"
#include "parameters/CameraParameters.h"
#include "parameters/ParamEnum.h"

const char* DialogModuleBuild() {
    // The layouts the module relies on: a change of any of them needs the module of its build.
    static const std::string build =
        std::string(OSTRAVELK_VERSION) + " " + std::to_string(sizeof(DialogModuleImports)) + " " +
        std::to_string(sizeof(CameraParameters)) + " " + std::to_string(sizeof(DriverState)) + " " +
        std::to_string(sizeof(ParamEnum)) + " " + std::to_string(sizeof(Param<double>));
    return build.c_str();
}
