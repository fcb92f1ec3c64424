#pragma once

#include "sdk/grab/InstantCamera.h"
#include "sdk/transport/DeviceInfo.h"

namespace sdk {

// An instant camera for USB devices (device class "BaslerUsb").
class UsbInstantCamera : public InstantCamera {
  public:
    UsbInstantCamera() = default;
    explicit UsbInstantCamera(Device* device, ECleanup cleanup = Cleanup_Delete) {
        Attach(device, cleanup);
    }

  protected:
    const char* GetAcceptedDeviceClass() const override { return DeviceInfo::kClassUsb; }
};

}  // namespace sdk
