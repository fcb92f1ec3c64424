#include <arv.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "AravisFixture.h"
#include "sdk/aravis/AravisDevice.h"
#include "sdk/genapi/GenApi.h"
#include "sdk/grab/ConfigurationEventHandler.h"
#include "sdk/grab/GrabResult.h"
#include "sdk/grab/GrabResultPtr.h"

using namespace sdk;

namespace {

class RemovalRecorder : public ConfigurationEventHandler {
  public:
    void OnCameraDeviceRemoved(InstantCamera& camera) override {
        ++calls;
        // As the driver's handler does: close the camera from the removal thread.
        camera.Close();
    }
    std::atomic<int> calls{0};
};

bool WaitFor(const std::atomic<int>& value, int expected, std::chrono::seconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        if (value >= expected) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return value >= expected;
}

guint32 HeartbeatRegister(InstantCamera& camera) {
    guint32 value = 0;
    EXPECT_TRUE(
        arv_device_read_register(static_cast<AravisDevice*>(camera.GetDevice())->GetArvDevice(),
                                 AravisDevice::kHeartbeatRegister, &value, nullptr));
    return value;
}

}  // namespace

TEST_F(AravisFakeTest, RemovalIsNoticedWhenTheFakeDiesAndTheCameraReattachesAfterRestart) {
    auto camera = OpenCamera();
    RemovalRecorder recorder;
    camera->RegisterConfiguration(&recorder, RegistrationMode_Append, Cleanup_None);
    camera->StartGrabbing();
    mFake->Kill();
    // Aravis gives up on the heartbeat after about 8 s.
    ASSERT_TRUE(WaitFor(recorder.calls, 1, std::chrono::seconds(30)));
    EXPECT_TRUE(camera->IsCameraDeviceRemoved());
    EXPECT_FALSE(camera->IsOpen());
    EXPECT_EQ(recorder.calls, 1);

    std::string problem;
    ASSERT_TRUE(mFake->Start(problem)) << problem;
    sdk::DeviceInfo entry;
    entry.SetDeviceClass(DeviceInfo::kClassGigE).SetSerialNumber("GV01");
    camera->Attach(TlFactory::GetInstance().CreateDevice(entry));
    EXPECT_FALSE(camera->IsCameraDeviceRemoved());
    camera->Open();
    camera->StartGrabbing(1);
    GrabResultPtr result;
    ASSERT_TRUE(camera->RetrieveResult(5000, result));
    EXPECT_TRUE(result->GrabSucceeded());
    result.Release();
    camera->DeregisterConfiguration(&recorder);
}

TEST_F(AravisFakeTest, HeartbeatTimeoutReachesTheDevice) {
    sdk::DeviceInfo entry;
    entry.SetDeviceClass(DeviceInfo::kClassGigE).SetSerialNumber("GV01");
    GigEInstantCamera camera(TlFactory::GetInstance().CreateDevice(entry));
    IInteger* heartbeat = As<IInteger>(camera.GetTLNodeMap().GetNode("HeartbeatTimeout"));
    ASSERT_NE(heartbeat, nullptr);
    EXPECT_EQ(heartbeat->GetValue(), 3000);
    EXPECT_EQ(heartbeat->GetInc(), 1);
    EXPECT_THROW(heartbeat->SetValue(100), OutOfRangeException);
    heartbeat->SetValue(5000);  // before open: written at open
    camera.Open();
    EXPECT_EQ(HeartbeatRegister(camera), 5000u);
    heartbeat->SetValue(7000);  // while open: written at once
    EXPECT_EQ(HeartbeatRegister(camera), 7000u);
}

TEST(AravisDevice, UsbDevicesHaveNoHeartbeatNode) {
    DeviceInfo info;
    info.SetDeviceClass(DeviceInfo::kClassUsb).SetModelName("U").SetSerialNumber("1");
    AravisDevice device(info);
    EXPECT_EQ(device.GetTLNodeMap().GetNode("HeartbeatTimeout"), nullptr);
    EXPECT_FALSE(device.IsOpen());
    EXPECT_TRUE(device.GetNodeMap().GetNodes().empty());
    EXPECT_EQ(device.GetArvDevice(), nullptr);
    EXPECT_THROW(device.GetPayloadSize(), LogicalErrorException);
}

TEST(AravisDevice, GigEDevicesHaveTheHeartbeatNodeBeforeOpen) {
    DeviceInfo info;
    info.SetDeviceClass(DeviceInfo::kClassGigE).SetModelName("G").SetSerialNumber("2");
    AravisDevice device(info);
    const IInteger* heartbeat = As<IInteger>(device.GetTLNodeMap().GetNode("HeartbeatTimeout"));
    ASSERT_NE(heartbeat, nullptr);
    EXPECT_EQ(heartbeat->GetValue(), AravisDevice::kDefaultHeartbeatMs);
    EXPECT_EQ(heartbeat->GetUnit(), "ms");
}
