#pragma once

#include "sdk/grab/InstantCamera.h"
#include "sdk/transport/DeviceInfo.h"

namespace sdk {

// An instant camera for GigE devices (device class "BaslerGigE").
class GigEInstantCamera : public InstantCamera {
  public:
    GigEInstantCamera() = default;
    explicit GigEInstantCamera(Device* device, ECleanup cleanup = Cleanup_Delete) {
        Attach(device, cleanup);
    }

  protected:
    const char* GetAcceptedDeviceClass() const override { return DeviceInfo::kClassGigE; }
};

}  // namespace sdk
