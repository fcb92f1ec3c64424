#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "sdk/transport/DeviceInfo.h"

namespace sdk {

class Backend;
class Device;

// Entry to the devices of all enabled backends. Backends are enabled unless the environment
// variable OSTRAVELK_BACKENDS names a comma-separated subset ("sim", "aravis"); it is read at
// every enumeration. Devices are listed backend by backend, the simulator's first.
//
// Threading: any thread; one lock (mMutex) serialises enumeration and device creation and guards
// mBackends.
class TlFactory {
  public:
    static TlFactory& GetInstance();

    // Fills devices with every device found (appends when addToList); returns how many were
    // found.
    int EnumerateDevices(DeviceInfoList& devices, bool addToList = false);
    // The same, keeping only devices that some filter entry matches (DeviceInfo::Matches). An
    // empty filter matches everything.
    int EnumerateDevices(DeviceInfoList& devices, const DeviceInfoList& filter,
                         bool addToList = false);

    // A new device for an enumerated entry, or for the first device an entry filled by hand
    // (class, serial number) matches. The caller owns it (InstantCamera::Attach takes it).
    // Throws RuntimeException when no such device is present.
    Device* CreateDevice(const DeviceInfo& info);
    void DestroyDevice(Device* device);

    // Names of the backends the next enumeration asks, in order.
    std::vector<std::string> GetEnabledBackendNames() const;

  private:
    TlFactory();
    ~TlFactory();
    TlFactory(const TlFactory&) = delete;
    TlFactory& operator=(const TlFactory&) = delete;

    // The enabled backends, created on first use; caller holds mMutex.
    std::vector<Backend*> EnabledBackends();
    int EnumerateLocked(DeviceInfoList& found);

    mutable std::mutex mMutex;
    std::vector<std::pair<std::string, std::unique_ptr<Backend>>> mBackends;  // guarded by mMutex
};

}  // namespace sdk
