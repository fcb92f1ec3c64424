#include "sdk/sim/SimBackend.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "sdk/genapi/GenericException.h"
#include "sdk/sim/SimCameraFile.h"
#include "sdk/sim/SimDevice.h"

namespace sdk {

namespace {

constexpr const char* kFullNamePrefix = "sim://";

bool IsRegularFile(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// The ".cam" files of the directory, sorted by name.
std::vector<std::string> CameraFiles(const std::string& dir) {
    std::vector<std::string> names;
    DIR* d = ::opendir(dir.c_str());
    if (!d) {
        return names;
    }
    while (const dirent* entry = ::readdir(d)) {
        const std::string name = entry->d_name;
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".cam") == 0 &&
            IsRegularFile(dir + "/" + name)) {
            names.push_back(name);
        }
    }
    ::closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

DeviceInfo MakeInfo(const std::string& path, const SimCameraFile& file) {
    DeviceInfo info;
    info.SetDeviceClass(file.GetDeviceClass())
        .SetModelName(file.GetModel())
        .SetSerialNumber(file.GetSerial())
        .SetVendorName("Basler")
        .SetFriendlyName(file.GetModel() + " (" + file.GetSerial() + ")")
        .SetFullName(kFullNamePrefix + path)
        .SetBackendName(SimBackend::kName);
    for (const SimCameraFile::Setting& s : file.GetSettings()) {
        if (s.feature == "DeviceUserID" && s.selectorEntry.empty()) {
            info.SetUserDefinedName(s.value);
        }
    }
    return info;
}

}  // namespace

std::string SimBackend::GetDirectory() {
    const char* dir = std::getenv("OSTRAVELK_SIM_DIR");
    if (!dir || !*dir) {
        return std::string();
    }
    std::string path = dir;
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

void SimBackend::EnumerateDevices(DeviceInfoList& devices) {
    const std::string dir = GetDirectory();
    if (dir.empty()) {
        return;
    }
    for (const std::string& name : CameraFiles(dir)) {
        const std::string path = dir + "/" + name;
        SimCameraFile file;
        if (file.Load(path)) {
            devices.push_back(MakeInfo(path, file));
        }
    }
}

std::unique_ptr<Device> SimBackend::CreateDevice(const DeviceInfo& info) {
    const std::string& fullName = info.GetFullName();
    const std::string prefix = kFullNamePrefix;
    SimCameraFile file;
    if (fullName.compare(0, prefix.size(), prefix) != 0 ||
        !file.Load(fullName.substr(prefix.size()))) {
        throw RuntimeException("The simulated device '" + fullName + "' is not available", __FILE__,
                               __LINE__);
    }
    const std::string path = fullName.substr(prefix.size());
    return std::make_unique<SimDevice>(MakeInfo(path, file), path, file);
}

std::unique_ptr<Backend> CreateSimBackend() {
    return std::make_unique<SimBackend>();
}

}  // namespace sdk
