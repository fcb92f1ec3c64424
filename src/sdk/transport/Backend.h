#pragma once

#include <memory>
#include <string>

#include "sdk/transport/DeviceInfo.h"

namespace sdk {

class Device;

// One source of devices behind TlFactory (the simulator, Aravis). Backends are created by
// TlFactory on first use; each one adds itself to the backend table of TlFactory.cpp.
//
// Threading: TlFactory serialises calls into a backend.
class Backend {
  public:
    virtual ~Backend() = default;

    // The name OSTRAVELK_BACKENDS uses for it ("sim", "aravis").
    virtual std::string GetName() const = 0;
    // Appends the devices present now, in the backend's order, with the backend name set.
    virtual void EnumerateDevices(DeviceInfoList& devices) = 0;
    // A device for an entry this backend enumerated; throws RuntimeException when it is gone.
    virtual std::unique_ptr<Device> CreateDevice(const DeviceInfo& info) = 0;
};

}  // namespace sdk
