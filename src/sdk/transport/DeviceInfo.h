#pragma once

#include <string>
#include <vector>

namespace sdk {

// What identifies a device without opening it. Enumeration fills it; a caller also fills one to
// build a filter (device class and, optionally, serial number).
//
// Texts are std::string. The device class is "BaslerGigE" or "BaslerUsb"; the friendly name is
// "MODEL (SERIAL)". The backend name says which backend created the entry ("sim", "aravis");
// callers need not look at it.
class DeviceInfo {
  public:
    static constexpr const char* kClassGigE = "BaslerGigE";
    static constexpr const char* kClassUsb = "BaslerUsb";

    const std::string& GetFriendlyName() const { return mFriendlyName; }
    const std::string& GetFullName() const { return mFullName; }
    const std::string& GetSerialNumber() const { return mSerialNumber; }
    const std::string& GetDeviceClass() const { return mDeviceClass; }
    const std::string& GetModelName() const { return mModelName; }
    const std::string& GetVendorName() const { return mVendorName; }
    const std::string& GetUserDefinedName() const { return mUserDefinedName; }
    const std::string& GetBackendName() const { return mBackendName; }

    bool IsSerialNumberAvailable() const { return !mSerialNumber.empty(); }
    bool IsDeviceClassAvailable() const { return !mDeviceClass.empty(); }

    DeviceInfo& SetFriendlyName(const std::string& v);
    DeviceInfo& SetFullName(const std::string& v);
    DeviceInfo& SetSerialNumber(const std::string& v);
    DeviceInfo& SetDeviceClass(const std::string& v);
    DeviceInfo& SetModelName(const std::string& v);
    DeviceInfo& SetVendorName(const std::string& v);
    DeviceInfo& SetUserDefinedName(const std::string& v);
    DeviceInfo& SetBackendName(const std::string& v);

    // True when this entry, used as a filter, accepts the device: the device class is equal, and
    // so is the serial number when the filter has one. A filter without a class accepts every
    // class.
    bool Matches(const DeviceInfo& device) const;

  private:
    std::string mFriendlyName;
    std::string mFullName;
    std::string mSerialNumber;
    std::string mDeviceClass;
    std::string mModelName;
    std::string mVendorName;
    std::string mUserDefinedName;
    std::string mBackendName;
};

// Enumeration results and filters.
using DeviceInfoList = std::vector<DeviceInfo>;
using DeviceInfoList_t = DeviceInfoList;

}  // namespace sdk
