#pragma once

#include <memory>
#include <string>

#include "sdk/transport/Backend.h"

namespace sdk {

// The simulator: the files "<serial>.cam" in the directory named by OSTRAVELK_SIM_DIR (read at
// every call) are its devices, in file-name order (see SimCameraFile for the format). Files that
// are not valid camera files are skipped. Without the variable, or when it names no directory,
// there are no devices.
//
// Device info: friendly name "MODEL (SERIAL)", full name "sim://DIR/FILE", vendor "Basler",
// user-defined name from an initial "DeviceUserID".
//
// Threading: TlFactory serialises the calls; the class has no state of its own.
class SimBackend : public Backend {
  public:
    static constexpr const char* kName = "sim";

    std::string GetName() const override { return kName; }
    void EnumerateDevices(DeviceInfoList& devices) override;
    std::unique_ptr<Device> CreateDevice(const DeviceInfo& info) override;

    // The simulator directory, or empty.
    static std::string GetDirectory();
};

std::unique_ptr<Backend> CreateSimBackend();

}  // namespace sdk
