#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "GenicamMemoryCamera.h"
#include "sdk/aravis/AravisDeviceSource.h"

// The Aravis backend's devices for a test: GenicamMemoryCamera objects, listed while present as
// GigE Vision devices "MODEL (SERIAL)" with the full name "memory:SERIAL".
//
// Threading: mLock guards mCameras.
class GenicamMemorySource : public sdk::AravisDeviceSource {
  public:
    std::shared_ptr<GenicamMemoryCamera> Add(const std::string& xmlPath, const std::string& serial);
    // Takes the camera of that serial number away (as if it never was).
    void Remove(const std::string& serial);

    void Enumerate(sdk::DeviceInfoList& devices) override;
    ArvDevice* Open(const std::string& id, GError** error) override;

  private:
    std::mutex mLock;
    std::vector<std::shared_ptr<GenicamMemoryCamera>> mCameras;
};
