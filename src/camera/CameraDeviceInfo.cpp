#include "camera/CameraDeviceInfo.h"

#include "sdk/transport/DeviceInfo.h"

CameraDeviceInfo::CameraDeviceInfo(const sdk::DeviceInfo& info)
    : mFriendlyName(info.GetFriendlyName()),
      mFullName(info.GetFullName()),
      mSerialNumber(info.GetSerialNumber()),
      mDeviceClass(info.GetDeviceClass()) {}
