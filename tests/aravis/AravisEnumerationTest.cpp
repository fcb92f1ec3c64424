#include "AravisFixture.h"
#include "sdk/genapi/GenApi.h"
#include "sdk/genapi/GenericException.h"
#include "sdk/transport/Device.h"

using namespace sdk;

TEST_F(AravisFakeTest, ListsTheFakeAsGigEDeviceWithItsNames) {
    DeviceInfoList devices;
    ASSERT_EQ(TlFactory::GetInstance().EnumerateDevices(devices), 1);
    const DeviceInfo& fake = devices[0];
    EXPECT_EQ(fake.GetDeviceClass(), "BaslerGigE");
    EXPECT_EQ(fake.GetSerialNumber(), "GV01");
    EXPECT_EQ(fake.GetModelName(), "Fake");
    EXPECT_EQ(fake.GetVendorName(), "Aravis");
    EXPECT_EQ(fake.GetFriendlyName(), "Fake (GV01)");
    EXPECT_EQ(fake.GetFullName(), "Aravis-Fake-GV01");  // the Aravis device id
    EXPECT_EQ(fake.GetBackendName(), "aravis");
}

TEST_F(AravisFakeTest, FilterTakesClassAndSerialNumber) {
    TlFactory& factory = TlFactory::GetInstance();
    DeviceInfoList devices;
    EXPECT_EQ(factory.EnumerateDevices(devices, Filter("BaslerGigE", "GV01")), 1);
    EXPECT_EQ(factory.EnumerateDevices(devices, Filter("BaslerGigE")), 1);
    EXPECT_EQ(factory.EnumerateDevices(devices, Filter("BaslerGigE", "GV0")), 0);
    EXPECT_EQ(factory.EnumerateDevices(devices, Filter("BaslerUsb")), 0);
    EXPECT_TRUE(devices.empty());
    EXPECT_THROW(factory.CreateDevice(Filter("BaslerUsb", "GV01")[0]), RuntimeException);
}

TEST_F(AravisFakeTest, SimulatorDevicesComeFirstAndTheBackendListChooses) {
    setenv("OSTRAVELK_SIM_DIR", OSTRAVELK_SOURCE_DIR "/sim/cameras", 1);
    setenv("OSTRAVELK_BACKENDS", "sim,aravis", 1);
    TlFactory& factory = TlFactory::GetInstance();
    DeviceInfoList devices;
    const int all = factory.EnumerateDevices(devices);
    ASSERT_GE(all, 2);
    EXPECT_EQ(devices.back().GetFullName(), "Aravis-Fake-GV01");
    for (int i = 0; i + 1 < all; ++i) {
        EXPECT_EQ(devices[i].GetBackendName(), "sim");
    }
    setenv("OSTRAVELK_BACKENDS", "sim", 1);
    EXPECT_EQ(factory.EnumerateDevices(devices), all - 1);
    setenv("OSTRAVELK_BACKENDS", "aravis", 1);
    EXPECT_EQ(factory.EnumerateDevices(devices), 1);
}

TEST_F(AravisFakeTest, DeviceIsGoneOnceTheFakeStops) {
    DeviceInfoList devices;
    ASSERT_EQ(TlFactory::GetInstance().EnumerateDevices(devices), 1);
    const DeviceInfo entry = devices[0];
    mFake->Stop();
    EXPECT_EQ(TlFactory::GetInstance().EnumerateDevices(devices), 0);
    EXPECT_THROW(TlFactory::GetInstance().CreateDevice(entry), RuntimeException);
}

TEST_F(AravisOwnXmlTest, SerialNumberOfTheFakeIsUsed) {
    DeviceInfoList devices;
    ASSERT_EQ(TlFactory::GetInstance().EnumerateDevices(devices, Filter("BaslerGigE", "OSTR42")),
              1);
    EXPECT_EQ(devices[0].GetFriendlyName(), "Fake (OSTR42)");
}

TEST_F(AravisFakeTest, CreatedDeviceOpensWithTheImageSize) {
    auto camera = OpenCamera();
    EXPECT_TRUE(camera->IsOpen());
    INodeMap& nodes = camera->GetNodeMap();
    EXPECT_EQ(As<IInteger>(nodes.GetNode("Width"))->GetValue(), 512);
    EXPECT_EQ(As<IInteger>(nodes.GetNode("Height"))->GetValue(), 512);
    EXPECT_EQ(As<IInteger>(nodes.GetNode("PayloadSize"))->GetValue(), 512 * 512);
    camera->Close();
    EXPECT_FALSE(camera->IsOpen());
    camera->Open();  // a second open of the same device
    EXPECT_EQ(As<IInteger>(camera->GetNodeMap().GetNode("Width"))->GetValue(), 512);
}
