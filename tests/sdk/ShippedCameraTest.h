#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "sdk/genapi/GenApi.h"
#include "sdk/grab/IBufferFactory.h"
#include "sdk/grab/InstantCamera.h"
#include "sdk/transport/DeviceInfo.h"
#include "sdk/transport/TlFactory.h"

// What the instant camera's tests share: a fixture under which the simulator serves the shipped
// cameras (sim/cameras), the device of one of them, and a camera set up for triggered grabs.

// Generous bound for things that happen on other threads; the tests do not measure time.
inline constexpr unsigned int kPatienceMs = 10000;

class ShippedCameraTest : public ::testing::Test {
  protected:
    void SetUp() override { setenv("OSTRAVELK_SIM_DIR", OSTRAVELK_SOURCE_DIR "/sim/cameras", 1); }
};

// The first device of the class (and with that serial number, unless empty).
inline sdk::Device* CreateDevice(const std::string& deviceClass, const std::string& serial = "") {
    sdk::DeviceInfo filter;
    filter.SetDeviceClass(deviceClass).SetSerialNumber(serial);
    return sdk::TlFactory::GetInstance().CreateDevice(filter);
}

// Opens the camera with that many grab buffers (from the factory when given; the caller keeps
// it), at 64 x 16 pixels, its frames started by software triggers (ExecuteSoftwareTrigger).
inline void MakeTriggered(sdk::InstantCamera& camera, size_t buffers,
                          sdk::IBufferFactory* factory = nullptr) {
    if (factory) {
        camera.SetBufferFactory(factory, sdk::Cleanup_None);
    }
    camera.MaxNumBuffer = static_cast<int64_t>(buffers);
    camera.Open();
    sdk::INodeMap& map = camera.GetNodeMap();
    sdk::As<sdk::IInteger>(map.GetNode("Width"))->SetValue(64);
    sdk::As<sdk::IInteger>(map.GetNode("Height"))->SetValue(16);
    sdk::As<sdk::IEnumeration>(map.GetNode("TriggerSelector"))->FromString("FrameStart");
    sdk::As<sdk::IEnumeration>(map.GetNode("TriggerMode"))->FromString("On");
    sdk::As<sdk::IEnumeration>(map.GetNode("TriggerSource"))->FromString("Software");
}
