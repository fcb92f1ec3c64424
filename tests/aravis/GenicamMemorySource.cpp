#include "GenicamMemorySource.h"

#include <algorithm>

std::shared_ptr<GenicamMemoryCamera> GenicamMemorySource::Add(const std::string& xmlPath,
                                                              const std::string& serial) {
    auto camera = std::make_shared<GenicamMemoryCamera>(xmlPath, serial);
    std::lock_guard<std::mutex> lock(mLock);
    mCameras.push_back(camera);
    return camera;
}

void GenicamMemorySource::Enumerate(sdk::DeviceInfoList& devices) {
    std::lock_guard<std::mutex> lock(mLock);
    for (const auto& camera : mCameras) {
        if (!camera->IsPresent()) {
            continue;
        }
        sdk::DeviceInfo info;
        info.SetDeviceClass(sdk::DeviceInfo::kClassGigE)
            .SetModelName(camera->Model())
            .SetSerialNumber(camera->Serial())
            .SetVendorName("Memory")
            .SetFriendlyName(camera->Model() + " (" + camera->Serial() + ")")
            .SetFullName("memory:" + camera->Serial());
        devices.push_back(info);
    }
}

ArvDevice* GenicamMemorySource::Open(const std::string& id, GError** error) {
    std::lock_guard<std::mutex> lock(mLock);
    for (const auto& camera : mCameras) {
        if ("memory:" + camera->Serial() == id) {
            return camera->Open(error);
        }
    }
    g_set_error(error, ARV_DEVICE_ERROR, ARV_DEVICE_ERROR_NOT_FOUND, "no device '%s'", id.c_str());
    return nullptr;
}

void GenicamMemorySource::Remove(const std::string& serial) {
    std::lock_guard<std::mutex> lock(mLock);
    mCameras.erase(std::remove_if(mCameras.begin(), mCameras.end(),
                                  [&](const std::shared_ptr<GenicamMemoryCamera>& camera) {
                                      return camera->Serial() == serial;
                                  }),
                   mCameras.end());
}
