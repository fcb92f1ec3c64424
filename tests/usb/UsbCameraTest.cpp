#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "BedFrame.h"
#include "FakeGvCamera.h"
#include "GenicamBed.h"
#include "GenicamCorpus.h"
#include "GenicamFileCheck.h"
#include "GenicamUsbCamera.h"
#include "PrivateNetwork.h"
#include "TestSupport.h"
#include "camera/Camera.h"
#include "camera/CameraList.h"
#include "ostravelk/ostravelk.h"
#include "sdk/transport/TlFactory.h"

// USB3 Vision cameras on the emulated bus, reached through Aravis' USB3 Vision code and driven
// through the driver's exports.
namespace {

const char* const kUsbFile = "PGR_GS3_U3_23S6M.xml";

std::string Model(const std::string& file) {
    return file.substr(0, file.size() - 4);
}

class UsbBed : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("OSTRAVELK_BACKENDS", "aravis", 1);
        unsetenv("OSTRAVELK_SIM_DIR");
    }
    void TearDown() override {
        if (mInitialized) {
            finalize();
        }
    }

    std::string OpenThroughExports() {
        EXPECT_EQ(initialize(mHost.Path().c_str(), LogCapture::Callback()), 1);
        mInitialized = true;
        EXPECT_EQ(getCVLNoOfSupportedCameras(), 1);
        const std::string name =
            getCVLNoOfSupportedCameras() > 0 ? getCVLCameraConfigNames()[0] : "";
        int size[2] = {0, 0};
        EXPECT_EQ(openCVLPort(0, 0, name.c_str(), size), 1);
        return name;
    }

    TempDir mHost;
    LogCapture mLog;
    bool mInitialized = false;
};

std::atomic<int> gFrames{0};

void CountFrame(int, int) {
    ++gFrames;
}

bool WaitFrames(int count, double seconds) {
    const auto end = std::chrono::steady_clock::now() +
                     std::chrono::milliseconds(static_cast<int>(seconds * 1000));
    while (gFrames < count && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return gFrames >= count;
}

}  // namespace

TEST(UsbEmulator, IsTheLibusbAravisLoads) {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    bool emulator = false;
    while (std::getline(maps, line)) {
        if (line.find("libusb-1.0.so") == std::string::npos) {
            continue;
        }
        EXPECT_NE(line.find(OSTRAVELK_USB_EMULATOR_DIR), std::string::npos) << line;
        emulator = true;
    }
    EXPECT_TRUE(emulator);
}

TEST_F(UsbBed, ListedAsUsbDeviceWithModelAndSerialAndGoneWhenUnplugged) {
    GenicamUsbCamera camera(RealFile(kUsbFile), "USB01");
    sdk::DeviceInfoList devices;
    ASSERT_EQ(sdk::TlFactory::GetInstance().EnumerateDevices(devices), 1);
    const sdk::DeviceInfo& usb = devices[0];
    EXPECT_EQ(usb.GetDeviceClass(), "BaslerUsb");
    EXPECT_EQ(usb.GetModelName(), Model(kUsbFile));
    EXPECT_EQ(usb.GetSerialNumber(), "USB01");
    EXPECT_EQ(usb.GetVendorName(), "Ostravelk");
    EXPECT_EQ(usb.GetFriendlyName(), Model(kUsbFile) + " (USB01)");
    EXPECT_EQ(usb.GetBackendName(), "aravis");

    camera.Unplug();
    EXPECT_EQ(sdk::TlFactory::GetInstance().EnumerateDevices(devices), 0);
    camera.Replug();
    EXPECT_EQ(sdk::TlFactory::GetInstance().EnumerateDevices(devices), 1);
}

TEST_F(UsbBed, UsbDevicesAreListedBeforeGigEDevices) {
    OSTRAVELK_REQUIRE_PRIVATE_NETWORK();
    if (aravistest::FakeGvCamera::Program().empty()) {
        GTEST_SKIP() << "arv-fake-gv-camera-0.8 is not installed (Debian package aravis-tools)";
    }
    aravistest::FakeGvCamera gige(aravistest::FakeGvCamera::Options{});
    std::string problem;
    ASSERT_TRUE(gige.Start(problem)) << problem;
    GenicamUsbCamera first(RealFile(kUsbFile), "USB01");
    GenicamUsbCamera second(RealFile("FLIR_FL3_U3_13S2C.xml"), "USB02");
    sdk::DeviceInfoList devices;
    ASSERT_EQ(sdk::TlFactory::GetInstance().EnumerateDevices(devices), 3);
    EXPECT_EQ(devices[0].GetDeviceClass(), "BaslerUsb");
    EXPECT_EQ(devices[1].GetDeviceClass(), "BaslerUsb");
    EXPECT_EQ(devices[2].GetDeviceClass(), "BaslerGigE");
    EXPECT_EQ(devices[2].GetSerialNumber(), "GV01");
}

TEST_F(UsbBed, UnplugIsNoticedAndTheCameraIsReopenedWhenPluggedBack) {
    GenicamUsbCamera camera(RealFile(kUsbFile), "USB01");
    const std::string name = OpenThroughExports();
    gFrames = 0;
    ASSERT_EQ(setCompleteCallback(0, 0, &CountFrame), 1);
    ASSERT_EQ(setProperty(0, 0, "continuous", 1), 1);
    ASSERT_TRUE(WaitFrames(3, 10));
    const size_t logged = mLog.Messages().size();
    camera.Unplug();
    ASSERT_TRUE(mLog.WaitFor("WARNING: Camera removed: " + name, 20)) << Lines(mLog.Messages());
    // A removed camera is not asked to stop: nothing fails that an error line would report.
    const std::vector<std::string> lines = mLog.Messages();
    std::vector<std::string> errors;
    for (size_t i = logged; i < lines.size(); ++i) {
        if (GenicamFileCheck::IsErrorLine(lines[i])) {
            errors.push_back(lines[i]);
        }
    }
    EXPECT_TRUE(errors.empty()) << Lines(errors);
    Camera* driverCamera = CameraList::Instance().GetByPort_(0);
    ASSERT_TRUE(driverCamera);
    EXPECT_FALSE(driverCamera->mIsOpen);
    camera.Replug();
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!driverCamera->mIsOpen && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_TRUE(driverCamera->mIsOpen) << "reopened once back" << Lines(mLog.Messages());
    const int before = gFrames;
    EXPECT_TRUE(WaitFrames(before + 5, 10)) << "continuous grabbing resumed after the reopen";
    setProperty(0, 0, "continuous", 0);
    setCompleteCallback(0, 0, nullptr);
}

TEST_F(UsbBed, AnIdleCameraUnpluggedIsNoticedAndReopened) {
    GenicamUsbCamera camera(RealFile(kUsbFile), "USB01");
    const std::string name = OpenThroughExports();
    Camera* driverCamera = CameraList::Instance().GetByPort_(0);
    ASSERT_TRUE(driverCamera && driverCamera->mIsOpen);
    camera.Unplug();
    ASSERT_TRUE(mLog.WaitFor("WARNING: Camera removed: " + name, 20)) << Lines(mLog.Messages());
    EXPECT_FALSE(driverCamera->mIsOpen);
    camera.Replug();
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!driverCamera->mIsOpen && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_TRUE(driverCamera->mIsOpen) << Lines(mLog.Messages());
    gFrames = 0;
    ASSERT_EQ(setCompleteCallback(0, 0, &CountFrame), 1);
    ASSERT_EQ(doCVLGrab(0, 0), 1);
    EXPECT_TRUE(WaitFrames(1, 10)) << "a single grab after the reopen";
    setCompleteCallback(0, 0, nullptr);
}

namespace {

std::atomic<int> gPortFrames[2];
std::atomic<int> gPortBadRows[2];
std::atomic<int64_t> gPortWidth[2];

// Rows of a frame of the port against the ramp whose base is the frame's first pixel.
void CheckPortFrame(int, int port) {
    const int64_t width = gPortWidth[port];
    std::vector<uint8_t> row(static_cast<size_t>(width));
    uint8_t base = 0;
    for (const int y : {0, 1, 7}) {
        const bool read =
            getCVLGrabRow(0, port, row.data(), y, 0, static_cast<int>(width - 1)) == 1;
        base = y == 0 ? row[0] : base;
        gPortBadRows[port] += read && row == BedFrame::OutputRow(base, width, y) ? 0 : 1;
    }
    ++gPortFrames[port];
}

}  // namespace

TEST_F(UsbBed, TwoCamerasGrabAtOnceEachItsOwnFrames) {
    GenicamUsbCamera first(RealFile(kUsbFile), "USB01");
    GenicamUsbCamera second(RealFile("FLIR_FL3_U3_13S2C.xml"), "USB02");
    ASSERT_EQ(initialize(mHost.Path().c_str(), LogCapture::Callback()), 1);
    mInitialized = true;
    ASSERT_EQ(getCVLNoOfSupportedCameras(), 2);
    for (int port = 0; port < 2; ++port) {
        int size[2] = {0, 0};
        ASSERT_EQ(openCVLPort(0, port, getCVLCameraConfigNames()[port], size), 1);
        gPortWidth[port] = size[0];
        gPortFrames[port] = 0;
        gPortBadRows[port] = 0;
        ASSERT_EQ(setCompleteCallback(0, port, &CheckPortFrame), 1);
    }
    for (int port = 0; port < 2; ++port) {
        ASSERT_EQ(setProperty(0, port, "continuous", 1), 1);
    }
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while ((gPortFrames[0] < 10 || gPortFrames[1] < 10) && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    for (int port = 0; port < 2; ++port) {
        setProperty(0, port, "continuous", 0);
        setCompleteCallback(0, port, nullptr);
        EXPECT_GE(gPortFrames[port], 10) << "port " << port;
        EXPECT_EQ(gPortBadRows[port], 0) << "port " << port;
    }
}

// A camera in SingleFrame mode sends one frame per AcquisitionStart and stops by itself: every
// single grab still gets its frame.
TEST_F(UsbBed, SingleGrabsFromACameraInSingleFrameMode) {
    GenicamUsbCamera camera(RealFile(kUsbFile), "USB01");
    camera.Registers().WriteEntry("AcquisitionMode", "SingleFrame");
    ASSERT_EQ(camera.Registers().ReadEntry("AcquisitionMode"), "SingleFrame");
    OpenThroughExports();
    gFrames = 0;
    ASSERT_EQ(setCompleteCallback(0, 0, &CountFrame), 1);
    for (int i = 1; i <= 3; ++i) {
        ASSERT_EQ(doCVLGrab(0, 0), 1);
        ASSERT_TRUE(WaitFrames(i, 5)) << "single grab " << i << Lines(mLog.Messages());
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(gFrames, 3);
    EXPECT_EQ(camera.FramesSent(), 3u);
    EXPECT_EQ(camera.Registers().StartCount(), 3);
    setCompleteCallback(0, 0, nullptr);
}

// Cameras often send more than the image (room for chunks, a padded line): the frame is still
// the image, read from the start of the payload.
TEST_F(UsbBed, APayloadLargerThanTheImageGivesTheImage) {
    std::shared_ptr<GenicamUsbCamera> usb;
    int64_t payload = 0;
    const GenicamFileCheck::Result r =
        GenicamFileCheck::Run(RealFile(kUsbFile), true, [&](const std::string& path) {
            usb = std::make_shared<GenicamUsbCamera>(path, "USB01");
            GenicamMemoryCamera& registers = usb->Registers();
            registers.WriteInteger("PayloadSize", registers.ReadInteger("PayloadSize") + 8192);
            payload = registers.ReadInteger("PayloadSize");
            return std::shared_ptr<GenicamMemoryCamera>(usb, &registers);
        });
    ASSERT_TRUE(r.failure.empty()) << r.failure;
    EXPECT_EQ(payload, r.frameWidth * r.frameHeight + 8192);
    EXPECT_EQ(r.first.width, r.frameWidth);
    EXPECT_EQ(r.first.height, r.frameHeight);
    EXPECT_TRUE(r.first.singleRows);
    EXPECT_GE(r.first.continuousFrames, 10);
    EXPECT_EQ(r.first.badRows, 0);
    EXPECT_TRUE(r.Passed()) << Lines(r.log);
}

// Through the exports as the in-process bed's check does: open at the served size, apply
// converging, single and continuous grabs with every row checked, and all again after a reopen.
TEST_F(UsbBed, OpensAppliesAndGrabsOverUsb) {
    std::shared_ptr<GenicamUsbCamera> usb;
    const GenicamFileCheck::Result r =
        GenicamFileCheck::Run(RealFile(kUsbFile), true, [&](const std::string& path) {
            usb = std::make_shared<GenicamUsbCamera>(path, "USB01");
            return std::shared_ptr<GenicamMemoryCamera>(usb, &usb->Registers());
        });
    ASSERT_TRUE(r.failure.empty()) << r.failure;
    EXPECT_TRUE(r.listed);
    ExpectOpenAndGrabs(r, r.first, "first open");
    ExpectOpenAndGrabs(r, r.second, "second open");
    EXPECT_EQ(r.glibWarnings, 0);
    EXPECT_GT(usb->FramesSent(), 20u);
}
