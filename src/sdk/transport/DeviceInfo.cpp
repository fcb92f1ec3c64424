#include "sdk/transport/DeviceInfo.h"

namespace sdk {

DeviceInfo& DeviceInfo::SetFriendlyName(const std::string& v) {
    mFriendlyName = v;
    return *this;
}

DeviceInfo& DeviceInfo::SetFullName(const std::string& v) {
    mFullName = v;
    return *this;
}

DeviceInfo& DeviceInfo::SetSerialNumber(const std::string& v) {
    mSerialNumber = v;
    return *this;
}

DeviceInfo& DeviceInfo::SetDeviceClass(const std::string& v) {
    mDeviceClass = v;
    return *this;
}

DeviceInfo& DeviceInfo::SetModelName(const std::string& v) {
    mModelName = v;
    return *this;
}

DeviceInfo& DeviceInfo::SetVendorName(const std::string& v) {
    mVendorName = v;
    return *this;
}

DeviceInfo& DeviceInfo::SetUserDefinedName(const std::string& v) {
    mUserDefinedName = v;
    return *this;
}

DeviceInfo& DeviceInfo::SetBackendName(const std::string& v) {
    mBackendName = v;
    return *this;
}

bool DeviceInfo::Matches(const DeviceInfo& device) const {
    if (!mDeviceClass.empty() && mDeviceClass != device.mDeviceClass) {
        return false;
    }
    return mSerialNumber.empty() || mSerialNumber == device.mSerialNumber;
}

}  // namespace sdk
