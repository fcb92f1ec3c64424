#pragma once

#include <string>

namespace sdk {
class DeviceInfo;
}

// The four names of a device, copied from the SDK when the camera list is built.
// mFriendlyName is the camera's name towards the host.
struct CameraDeviceInfo {
    CameraDeviceInfo() = default;
    explicit CameraDeviceInfo(const sdk::DeviceInfo& info);

    std::string mFriendlyName;
    std::string mFullName;
    std::string mSerialNumber;
    std::string mDeviceClass;
};
