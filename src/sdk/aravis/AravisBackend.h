#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "sdk/Backend.h"

namespace sdk {

// Real cameras through Aravis 0.8: USB3 Vision devices (class "BaslerUsb") and GigE Vision
// devices (class "BaslerGigE"), in Aravis' order (its USB3 Vision interface first, then GigE
// Vision; within each, discovery order). Aravis' in-process fake interface is not used.
//
// Device info: friendly name "MODEL (SERIAL)", full name the Aravis device id, vendor, model and
// serial number as discovered.
//
// Cost: GigE Vision discovery waits for answers until the network has been quiet for a second
// (Aravis' discovery time-out), with or without cameras; the USB3 Vision and GigE Vision
// interfaces are therefore asked at the same time. A result less than kReuseMs old is used
// again instead of a new discovery, so that creating a device right after enumerating it (the
// usual pair) pays for one discovery only.
//
// Threading: TlFactory serialises the calls.
class AravisBackend : public Backend {
  public:
    static constexpr const char* kName = "aravis";
    static constexpr int kReuseMs = 500;

    std::string GetName() const override { return kName; }
    void EnumerateDevices(DeviceInfoList& devices) override;
    std::unique_ptr<Device> CreateDevice(const DeviceInfo& info) override;

  private:
    DeviceInfoList mLast;
    std::chrono::steady_clock::time_point mLastTime;
    bool mHaveLast = false;
};

std::unique_ptr<Backend> CreateAravisBackend();

}  // namespace sdk
