// CameraParameters: its sections of the configuration file (finding, loading and saving them).

#include "parameters/CameraParameters.h"

#include <string>

#include "ini/IniFile.h"
#include "ini/IniFileStore.h"
#include "parameters/CameraParametersShared.h"
#include "parameters/IniSection.h"

using namespace camera_parameters;

namespace {

// The stored "$Camera" value names this camera: with a "(" in the camera's name only the text
// before it is compared (a camera of the same model on the same port takes the section over),
// otherwise the whole names; always ignoring case.
bool CameraNameMatches(const std::string& stored, const std::string& camera) {
    const size_t open = camera.find('(');
    if (open == std::string::npos) {
        return NoCaseLess::EqualNoCase(stored, camera);
    }
    return stored.size() >= open &&
           NoCaseLess::EqualNoCase(stored.substr(0, open), camera.substr(0, open));
}

}  // namespace

// --- Configuration file -------------------------------------------------------------------------

std::string CameraParameters::PortSectionName() const {
    return "Port.0." + std::to_string(GetCameraPort());
}

std::string CameraParameters::FindSection() const {
    return FindSection(IniFileStore::Read(GetDriverState().GetIniPath()));
}

std::string CameraParameters::FindSection(const IniFile& file) const {
    const std::string portSection = PortSectionName();
    if (file.SectionExists(portSection)) {
        const std::string stored = file.GetString(portSection, "$Camera", "");
        return CameraNameMatches(stored, mCameraName) ? portSection : std::string();
    }
    if (file.SectionExists(mCameraName)) {
        return mCameraName;
    }
    return std::string();
}

bool CameraParameters::Load(bool driverSettings) {
    const std::string path = GetDriverState().GetIniPath();
    IniFile file;
    std::string error;
    if (!IniFileStore::Read(path, file, error)) {
        Plain([&] { return "Error: Parameter load failed, " + error; });
        return true;  // the values stay as they are, as without a file
    }
    const std::string name = FindSection(file);
    if (name.empty()) {
        return true;  // no matching section: nothing is read, not even "General"
    }
    const IniSection section(path, name);
    for (Param_& parameter : *this) {
        if (parameter.mPersistent && parameter.mGeneral == driverSettings) {
            section.ReadParameter(file, parameter);
        }
    }
    return true;
}

bool CameraParameters::Save(std::string* error) const {
    const auto fail = [&](const std::string& logged, const std::string& reason) {
        Plain([&] { return "Error: " + logged; });
        if (error != nullptr) {
            *error = reason;
        }
        return false;
    };
    if (GetCameraPort() < 0) {
        return fail("Parameter save on unassigned port", "Parameter save on unassigned port");
    }
    const std::string path = GetDriverState().GetIniPath();
    if (path.empty()) {
        return fail("Parameter save without configuration file path",
                    "Parameter save without configuration file path");
    }
    // Always the port section, also when the set was loaded from a section named like the
    // camera. One update of the file, key by key as single writes would leave it.
    const IniSection section(path, PortSectionName());
    std::string reason;
    const bool saved = IniFileStore::Update(
        path,
        [&](IniFile& file) {
            file.SetString(section.GetName(), "$Camera", mCameraName);
            for (const Param_& parameter : *this) {
                if (parameter.mPersistent) {
                    section.WriteParameter(file, parameter);
                }
            }
        },
        &reason);
    if (!saved) {
        fail("Parameter save failed, file " + path, "Parameter save failed: " + reason);
        Plain([&] { return "Error: " + reason; });
        return false;
    }
    return true;
}

bool CameraParameters::SectionExists(const std::string& name) {
    return IniFileStore::Read(GetDriverState().GetIniPath()).SectionExists(name);
}
