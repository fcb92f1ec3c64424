#pragma once

#include <memory>
#include <string>

#include "sdk/transport/Backend.h"

namespace sdk {

class AravisDeviceSource;

// Real cameras through Aravis 0.8: USB3 Vision devices (class "BaslerUsb") and GigE Vision
// devices (class "BaslerGigE"), in Aravis' order (its USB3 Vision interface first, then GigE
// Vision; within each, discovery order). Aravis' in-process fake interface is not used.
//
// Device info: friendly name "MODEL (SERIAL)", full name the Aravis device id, vendor, model and
// serial number as discovered.
//
// Cost: GigE Vision discovery waits for answers until the network has been quiet for a second
// (Aravis' discovery time-out), with or without cameras; the USB3 Vision and GigE Vision
// interfaces are therefore asked at the same time. CreateDevice for an entry of the last
// enumeration needs no new discovery (TlFactory hands enumerated entries straight to their
// backend), so enumerating and then creating a device (the usual pair) costs one discovery.
//
// With an AravisDeviceSource installed, its devices are listed instead of the interfaces' and
// opened through it.
//
// Threading: TlFactory serialises the calls.
class AravisBackend : public Backend {
  public:
    static constexpr const char* kName = "aravis";

    std::string GetName() const override { return kName; }
    void EnumerateDevices(DeviceInfoList& devices) override;
    // Throws RuntimeException when the device id is neither in the last enumeration nor found
    // by a new one.
    std::unique_ptr<Device> CreateDevice(const DeviceInfo& info) override;

  private:
    const DeviceInfo* FindLast(const std::string& id) const;

    DeviceInfoList mLast;                         // the last enumeration's devices
    std::shared_ptr<AravisDeviceSource> mSource;  // the source of the last enumeration
};

std::unique_ptr<Backend> CreateAravisBackend();

}  // namespace sdk
