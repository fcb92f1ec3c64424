#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "TestSupport.h"
#include "sdk/genapi/GenericException.h"
#include "sdk/transport/Device.h"
#include "sdk/transport/TlFactory.h"

using namespace sdk;

namespace {

const std::string kShippedCameras = OSTRAVELK_SOURCE_DIR "/sim/cameras";

DeviceInfo Filter(const std::string& deviceClass, const std::string& serial = "") {
    DeviceInfo info;
    info.SetDeviceClass(deviceClass).SetSerialNumber(serial);
    return info;
}

TEST(TlFactory, ListsTheShippedCamerasInFileNameOrder) {
    setenv("OSTRAVELK_SIM_DIR", kShippedCameras.c_str(), 1);
    DeviceInfoList devices;
    ASSERT_EQ(TlFactory::GetInstance().EnumerateDevices(devices), 2);
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0].GetSerialNumber(), "21000001");
    EXPECT_EQ(devices[0].GetDeviceClass(), "BaslerGigE");
    EXPECT_EQ(devices[0].GetFriendlyName(), "SV1304-30gm (21000001)");
    EXPECT_EQ(devices[0].GetFullName(), "sim://" + kShippedCameras + "/21000001.cam");
    EXPECT_EQ(devices[0].GetUserDefinedName(), "LineCam");
    EXPECT_EQ(devices[1].GetSerialNumber(), "22000002");
    EXPECT_EQ(devices[1].GetDeviceClass(), "BaslerUsb");
    EXPECT_EQ(devices[1].GetFriendlyName(), "SV1928-40uc (22000002)");
    EXPECT_EQ(devices[1].GetVendorName(), "Basler");
    EXPECT_EQ(devices[1].GetBackendName(), "sim");
}

TEST(TlFactory, FiltersByClassAndBySerialNumber) {
    setenv("OSTRAVELK_SIM_DIR", kShippedCameras.c_str(), 1);
    TlFactory& factory = TlFactory::GetInstance();
    DeviceInfoList devices;
    EXPECT_EQ(factory.EnumerateDevices(devices, {Filter("BaslerUsb")}), 1);
    EXPECT_EQ(devices.at(0).GetSerialNumber(), "22000002");
    EXPECT_EQ(factory.EnumerateDevices(devices, {Filter("BaslerGigE", "21000001")}), 1);
    EXPECT_EQ(factory.EnumerateDevices(devices, {Filter("BaslerGigE", "22000002")}), 0);
    EXPECT_TRUE(devices.empty());
    // Any entry of the filter may match.
    EXPECT_EQ(factory.EnumerateDevices(devices, {Filter("BaslerUsb"), Filter("BaslerGigE")}), 2);
    EXPECT_EQ(devices[0].GetSerialNumber(), "21000001");  // device order, not filter order
    EXPECT_EQ(factory.EnumerateDevices(devices, {Filter("Basler1394")}), 0);
}

TEST(TlFactory, AddToListAppends) {
    setenv("OSTRAVELK_SIM_DIR", kShippedCameras.c_str(), 1);
    DeviceInfoList devices;
    TlFactory::GetInstance().EnumerateDevices(devices, {Filter("BaslerUsb")});
    EXPECT_EQ(TlFactory::GetInstance().EnumerateDevices(devices, {Filter("BaslerGigE")}, true), 1);
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[1].GetSerialNumber(), "21000001");
}

TEST(TlFactory, FollowsTheDirectoryAndSkipsFilesThatAreNoCameras) {
    TempDir dir;
    setenv("OSTRAVELK_SIM_DIR", dir.Path().c_str(), 1);
    DeviceInfoList devices;
    EXPECT_EQ(TlFactory::GetInstance().EnumerateDevices(devices), 0);
    WriteFile(dir.File("b.cam"), "Class=BaslerUsb\nModel=SV640-750um\n");
    WriteFile(dir.File("a.cam"), "Class=BaslerGigE\nSerial=100\n");
    WriteFile(dir.File("c.cam"), "Class=BaslerCamLink\n");
    WriteFile(dir.File("d.cam"), "garbage\n\0\n");
    WriteFile(dir.File("e.txt"), "Class=BaslerGigE\n");
    ASSERT_EQ(TlFactory::GetInstance().EnumerateDevices(devices), 2);
    EXPECT_EQ(devices[0].GetSerialNumber(), "100");
    EXPECT_EQ(devices[1].GetSerialNumber(), "b");  // from the file name
    EXPECT_EQ(devices[1].GetFriendlyName(), "SV640-750um (b)");
    std::remove(dir.File("a.cam").c_str());
    EXPECT_EQ(TlFactory::GetInstance().EnumerateDevices(devices), 1);
    setenv("OSTRAVELK_SIM_DIR", dir.File("missing").c_str(), 1);
    EXPECT_EQ(TlFactory::GetInstance().EnumerateDevices(devices), 0);
    unsetenv("OSTRAVELK_SIM_DIR");
    EXPECT_EQ(TlFactory::GetInstance().EnumerateDevices(devices, {Filter("BaslerGigE")}), 0);
}

TEST(TlFactory, BackendSubsetFromTheEnvironment) {
    // Only the simulator is asked for devices here: a real backend would search the machine's
    // network (the real backend's own tests run in a private network namespace).
    setenv("OSTRAVELK_SIM_DIR", kShippedCameras.c_str(), 1);
    TlFactory& factory = TlFactory::GetInstance();
    setenv("OSTRAVELK_BACKENDS", "aravis", 1);
    for (const std::string& name : factory.GetEnabledBackendNames()) {
        EXPECT_NE(name, "sim");
    }
    EXPECT_EQ(factory.GetEnabledBackendNames().size() <= 1, true);
    setenv("OSTRAVELK_BACKENDS", " aravis , sim", 1);
    EXPECT_EQ(factory.GetEnabledBackendNames().at(0), "sim");  // build order, not list order
    setenv("OSTRAVELK_BACKENDS", "", 1);  // blank: all
    EXPECT_EQ(factory.GetEnabledBackendNames().at(0), "sim");
    setenv("OSTRAVELK_BACKENDS", "sim", 1);
    DeviceInfoList devices;
    EXPECT_EQ(factory.EnumerateDevices(devices), 2);
    EXPECT_EQ(devices[0].GetBackendName(), "sim");
}

TEST(TlFactory, CreatesDevicesForListedEntriesAndHandFilledFilters) {
    setenv("OSTRAVELK_SIM_DIR", kShippedCameras.c_str(), 1);
    setenv("OSTRAVELK_BACKENDS", "sim", 1);
    TlFactory& factory = TlFactory::GetInstance();
    DeviceInfoList devices;
    factory.EnumerateDevices(devices);
    std::unique_ptr<Device> usb(factory.CreateDevice(devices.at(1)));
    EXPECT_EQ(usb->GetDeviceInfo().GetFriendlyName(), "SV1928-40uc (22000002)");
    EXPECT_FALSE(usb->IsOpen());
    std::unique_ptr<Device> gige(factory.CreateDevice(Filter("BaslerGigE", "21000001")));
    EXPECT_EQ(gige->GetDeviceInfo().GetSerialNumber(), "21000001");
    EXPECT_THROW(factory.CreateDevice(Filter("BaslerGigE", "99")), RuntimeException);
}

TEST(TlFactory, CreatingAnUnpluggedDeviceFails) {
    TempDir dir;
    setenv("OSTRAVELK_SIM_DIR", dir.Path().c_str(), 1);
    WriteFile(dir.File("5.cam"), "Class=BaslerUsb\n");
    DeviceInfoList devices;
    ASSERT_EQ(TlFactory::GetInstance().EnumerateDevices(devices), 1);
    std::remove(dir.File("5.cam").c_str());
    EXPECT_THROW(TlFactory::GetInstance().CreateDevice(devices[0]), RuntimeException);
    WriteFile(dir.File("5.cam"), "Class=BaslerUsb\n");  // plugged back
    std::unique_ptr<Device> device(TlFactory::GetInstance().CreateDevice(devices[0]));
    EXPECT_EQ(device->GetDeviceInfo().GetSerialNumber(), "5");
}

TEST(DeviceInfo, FilterMatching) {
    DeviceInfo device;
    device.SetDeviceClass("BaslerUsb").SetSerialNumber("7");
    EXPECT_TRUE(Filter("BaslerUsb").Matches(device));
    EXPECT_TRUE(Filter("BaslerUsb", "7").Matches(device));
    EXPECT_FALSE(Filter("BaslerUsb", "70").Matches(device));
    EXPECT_FALSE(Filter("BaslerGigE").Matches(device));
    EXPECT_TRUE(Filter("").Matches(device));
    EXPECT_FALSE(Filter("").IsDeviceClassAvailable());
}

}  // namespace
