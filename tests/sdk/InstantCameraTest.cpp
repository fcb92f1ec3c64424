#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "CountingBufferFactory.h"
#include "ShippedCameraTest.h"
#include "TestSupport.h"
#include "sdk/genapi/GenApi.h"
#include "sdk/grab/ConfigurationEventHandler.h"
#include "sdk/grab/GigEInstantCamera.h"
#include "sdk/grab/GrabResult.h"
#include "sdk/grab/GrabResultPtr.h"
#include "sdk/grab/ImageEventHandler.h"
#include "sdk/grab/UsbInstantCamera.h"
#include "sdk/grab/WaitObjectEx.h"
#include "sdk/grab/WaitObjects.h"

using namespace sdk;

namespace {

class InstantCameraTest : public ShippedCameraTest {};

class RemovalHandler : public ConfigurationEventHandler {
  public:
    explicit RemovalHandler(bool closeCamera) : mClose(closeCamera) {}
    void OnCameraDeviceRemoved(InstantCamera& camera) override {
        if (mClose) {
            camera.Close();  // allowed from the removal thread
        }
        ++calls;
        removed.Signal();
    }
    WaitObjectEx removed = WaitObjectEx::Create();
    std::atomic<int> calls{0};

  private:
    bool mClose;
};

// Makes dir the simulator's device directory with the one camera file "<serial>.cam" (of the
// class, plus the extra lines), then attaches that device to the camera with the handler
// registered and opens it. The handler outlives the camera: the camera calls it until it is
// destroyed itself.
void OpenWatched(InstantCamera& camera, RemovalHandler& handler, const TempDir& dir,
                 const std::string& deviceClass, const std::string& serial,
                 const std::string& extraLines = "") {
    WriteFile(dir.File(serial + ".cam"), "Class=" + deviceClass + "\n" + extraLines);
    setenv("OSTRAVELK_SIM_DIR", dir.Path().c_str(), 1);
    camera.RegisterConfiguration(&handler, RegistrationMode_Append, Cleanup_None);
    camera.Attach(CreateDevice(deviceClass, serial));
    camera.Open();
}

TEST_F(InstantCameraTest, AttachOpenClose) {
    GigEInstantCamera camera;
    EXPECT_FALSE(camera.IsPylonDeviceAttached());
    EXPECT_FALSE(camera.IsOpen());
    EXPECT_THROW(camera.Open(), LogicalErrorException);
    EXPECT_THROW(camera.GetTLNodeMap(), LogicalErrorException);
    camera.Attach(CreateDevice("BaslerGigE"));
    EXPECT_TRUE(camera.IsPylonDeviceAttached());
    EXPECT_EQ(camera.GetDeviceInfo().GetFriendlyName(), "SV1304-30gm (21000001)");
    EXPECT_THROW(camera.GetNodeMap(), LogicalErrorException);  // not open yet
    EXPECT_NE(camera.GetTLNodeMap().GetNode("HeartbeatTimeout"), nullptr);
    camera.Open();
    EXPECT_TRUE(camera.IsOpen());
    EXPECT_EQ(As<IString>(camera.GetNodeMap().GetNode("DeviceModelName"))->GetValue(),
              gcstring("SV1304-30gm"));
    camera.Open();  // again: nothing happens
    camera.Close();
    EXPECT_FALSE(camera.IsOpen());
    camera.Close();
    EXPECT_TRUE(camera.IsPylonDeviceAttached());  // stays attached
    camera.DestroyDevice();
    EXPECT_FALSE(camera.IsPylonDeviceAttached());
}

TEST_F(InstantCameraTest, KindsAcceptOnlyTheirDeviceClass) {
    std::unique_ptr<InstantCamera> usb = std::make_unique<UsbInstantCamera>();
    EXPECT_NE(dynamic_cast<UsbInstantCamera*>(usb.get()), nullptr);
    EXPECT_EQ(dynamic_cast<GigEInstantCamera*>(usb.get()), nullptr);
    EXPECT_THROW(usb->Attach(CreateDevice("BaslerGigE")), LogicalErrorException);
    EXPECT_FALSE(usb->IsPylonDeviceAttached());
    usb->Attach(CreateDevice("BaslerUsb"));
    EXPECT_EQ(usb->GetDeviceInfo().GetDeviceClass(), "BaslerUsb");
    InstantCamera any;
    any.Attach(CreateDevice("BaslerGigE"));
    EXPECT_TRUE(any.IsPylonDeviceAttached());
}

TEST_F(InstantCameraTest, AttachReplacesAnOpenDevice) {
    UsbInstantCamera camera;
    camera.Attach(CreateDevice("BaslerUsb"));
    camera.Open();
    As<IInteger>(camera.GetNodeMap().GetNode("Width"))->SetValue(640);
    camera.Attach(CreateDevice("BaslerUsb"));  // the earlier device is closed and deleted
    EXPECT_FALSE(camera.IsOpen());
    camera.Open();
    EXPECT_EQ(As<IInteger>(camera.GetNodeMap().GetNode("Width"))->GetValue(), 1920);
}

TEST_F(InstantCameraTest, ContextAndBufferCount) {
    UsbInstantCamera camera;
    camera.SetCameraContext(1234);
    EXPECT_EQ(camera.GetCameraContext(), 1234);
    camera.MaxNumBuffer = 5;
    EXPECT_EQ(camera.GetMaxNumBuffer(), 5u);
    camera.SetMaxNumBuffer(7);
    EXPECT_EQ(camera.MaxNumBuffer.GetValue(), 7);
    EXPECT_THROW(camera.SetMaxNumBuffer(0), OutOfRangeException);
    EXPECT_EQ(camera.NumReadyBuffers.GetValue(), 0);
}

TEST_F(InstantCameraTest, FactoryAndHandlersStayWithTheCallerUnlessHandedOver) {
    CountingBufferFactory factory;
    RemovalHandler kept(false);
    {
        UsbInstantCamera camera;
        camera.SetBufferFactory(&factory, Cleanup_None);
        camera.RegisterConfiguration(&kept, RegistrationMode_Append, Cleanup_None);
        camera.RegisterConfiguration(new RemovalHandler(false), RegistrationMode_Append,
                                     Cleanup_Delete);
        EXPECT_TRUE(camera.DeregisterConfiguration(&kept));
        EXPECT_FALSE(camera.DeregisterConfiguration(&kept));
    }
    EXPECT_EQ(factory.destroyed, 0);
    {
        UsbInstantCamera camera;
        camera.SetBufferFactory(&factory, Cleanup_Delete);
    }
    EXPECT_EQ(factory.destroyed, 1);
}

TEST_F(InstantCameraTest, UnpluggingAnOpenUsbDeviceCallsTheHandler) {
    TempDir dir;
    RemovalHandler handler(true);
    UsbInstantCamera camera;
    OpenWatched(camera, handler, dir, "BaslerUsb", "9");
    std::remove(dir.File("9.cam").c_str());
    ASSERT_TRUE(handler.removed.Wait(kPatienceMs));
    EXPECT_EQ(handler.calls, 1);
    EXPECT_TRUE(camera.IsCameraDeviceRemoved());
    EXPECT_FALSE(camera.IsOpen());  // the handler closed it
    EXPECT_THROW(CreateDevice("BaslerUsb", "9"), RuntimeException);

    // Plugged back: found again by class and serial number.
    WriteFile(dir.File("9.cam"), "Class=BaslerUsb\n");
    camera.Attach(CreateDevice("BaslerUsb", "9"));
    camera.Open();
    EXPECT_FALSE(camera.IsCameraDeviceRemoved());
}

TEST_F(InstantCameraTest, GigERemovalWaitsForTheHeartbeat) {
    TempDir dir;
    RemovalHandler handler(false);
    GigEInstantCamera camera;
    OpenWatched(camera, handler, dir, "BaslerGigE", "8", "HeartbeatTimeout=500\n");
    std::remove(dir.File("8.cam").c_str());
    ASSERT_TRUE(handler.removed.Wait(kPatienceMs));
    EXPECT_TRUE(camera.IsOpen());  // this handler leaves it open
    camera.DestroyDevice();
}

TEST_F(InstantCameraTest, ClosedOrReturningDevicesReportNoRemoval) {
    TempDir dir;
    RemovalHandler handler(false);
    UsbInstantCamera camera;
    OpenWatched(camera, handler, dir, "BaslerUsb", "7");
    camera.Close();
    std::remove(dir.File("7.cam").c_str());
    EXPECT_FALSE(handler.removed.Wait(600));
    EXPECT_THROW(camera.Open(), RuntimeException);
    EXPECT_EQ(handler.calls, 0);
}

TEST_F(InstantCameraTest, SoftwareTriggeredGrabsEncodeTheBlockId) {
    GigEInstantCamera camera(CreateDevice("BaslerGigE"));
    CountingBufferFactory factory;
    MakeTriggered(camera, 3, &factory);
    camera.SetCameraContext(77);

    camera.StartGrabbing();
    EXPECT_TRUE(camera.IsGrabbing());
    EXPECT_EQ(factory.allocated, 3);
    GrabResultPtr result;
    EXPECT_FALSE(camera.RetrieveResult(0, result, TimeoutHandling_Return));
    EXPECT_THROW(camera.RetrieveResult(0, result), TimeoutException);
    for (uint64_t expected = 1; expected <= 4; ++expected) {
        camera.ExecuteSoftwareTrigger();
        WaitObjects waits;
        waits.Add(camera.GetGrabResultWaitObject());
        ASSERT_TRUE(waits.WaitForAny(kPatienceMs));
        ASSERT_TRUE(camera.RetrieveResult(0, result, TimeoutHandling_Return));
        ASSERT_TRUE(result.IsValid());
        EXPECT_TRUE(result->GrabSucceeded());
        EXPECT_EQ(result->GetBlockID(), expected);
        EXPECT_EQ(result->GetWidth(), 64u);
        EXPECT_EQ(result->GetHeight(), 16u);
        EXPECT_EQ(result->GetPixelType(), PixelType_Mono8);
        EXPECT_EQ(result->GetPayloadSize(), 64u * 16u);
        EXPECT_EQ(result->GetCameraContext(), 77);
        EXPECT_NE(factory.live.find(result->GetBuffer()), factory.live.end());
        EXPECT_EQ(factory.live[result->GetBuffer()], result->GetBufferContext());
        uint64_t id = 0;
        std::memcpy(&id, result->GetBuffer(), sizeof id);
        EXPECT_EQ(id, expected);
        result.Release();  // back to the camera
    }
    camera.StopGrabbing();
    EXPECT_FALSE(camera.IsGrabbing());
    EXPECT_EQ(factory.freed, 3);
    EXPECT_TRUE(factory.live.empty());
    EXPECT_THROW(camera.RetrieveResult(0, result), LogicalErrorException);
}

TEST_F(InstantCameraTest, SingleImageGrabStopsByItselfAndChunksComeAlong) {
    UsbInstantCamera camera(CreateDevice("BaslerUsb"));
    CountingBufferFactory factory;
    camera.SetBufferFactory(&factory, Cleanup_None);
    camera.Open();
    INodeMap& map = camera.GetNodeMap();
    As<IInteger>(map.GetNode("Width"))->SetValue(32);
    As<IInteger>(map.GetNode("Height"))->SetValue(16);
    As<IEnumeration>(map.GetNode("PixelFormat"))->FromString("RGB8");
    As<IBoolean>(map.GetNode("ChunkModeActive"))->SetValue(true);
    As<IEnumeration>(map.GetNode("ChunkSelector"))->FromString("Framecounter");
    As<IBoolean>(map.GetNode("ChunkEnable"))->SetValue(true);
    As<IEnumeration>(map.GetNode("ChunkSelector"))->FromString("ExposureTime");
    As<IBoolean>(map.GetNode("ChunkEnable"))->SetValue(true);

    camera.StartGrabbing(1, GrabStrategy_OneByOne, GrabLoop_ProvidedByUser);
    EXPECT_EQ(factory.allocated, 1);
    GrabResultPtr result;
    ASSERT_TRUE(camera.RetrieveResult(kPatienceMs, result, TimeoutHandling_Return));
    EXPECT_FALSE(camera.IsGrabbing());    // one image was asked for
    EXPECT_EQ(result->GetBlockID(), 0u);  // USB counts from 0
    EXPECT_EQ(result->GetPayloadSize(), 32u * 16u * 3u);
    ASSERT_TRUE(result->IsChunkDataAvailable());
    INodeMap& chunks = result->GetChunkDataNodeMap();
    EXPECT_EQ(As<IInteger>(chunks.GetNode("ChunkFramecounter"))->GetValue(), 1);
    EXPECT_DOUBLE_EQ(As<IFloat>(chunks.GetNode("ChunkExposureTime"))->GetValue(), 8000.0);
    EXPECT_EQ(chunks.GetNode("ChunkTimestamp"), nullptr);  // not enabled
    EXPECT_EQ(factory.freed, 0);                           // still held
    result.Release();
    EXPECT_EQ(factory.freed, 1);
}

TEST_F(InstantCameraTest, FreeRunningGrabWithoutFactoryAndImageHandler) {
    struct Counter : ImageEventHandler {
        void OnImageGrabbed(InstantCamera&, const GrabResultPtr& r) override {
            ids.push_back(r->GetBlockID());
        }
        std::vector<uint64_t> ids;
    } counter;
    GigEInstantCamera camera(CreateDevice("BaslerGigE"));
    camera.RegisterImageEventHandler(&counter, RegistrationMode_Append, Cleanup_None);
    camera.Open();
    As<IInteger>(camera.GetNodeMap().GetNode("Height"))->SetValue(16);
    As<IInteger>(camera.GetNodeMap().GetNode("ExposureTimeRaw"))->SetValue(2);
    EXPECT_THROW(camera.StartGrabbing(GrabStrategy_OneByOne, GrabLoop_ProvidedByInstantCamera),
                 InvalidArgumentException);
    camera.StartGrabbing();
    GrabResultPtr result;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(camera.RetrieveResult(kPatienceMs, result));
    }
    camera.Close();  // stops grabbing as well
    EXPECT_FALSE(camera.IsGrabbing());
    EXPECT_EQ(counter.ids, (std::vector<uint64_t>{1, 2, 3}));
    EXPECT_EQ(result->GetBlockID(), 3u);  // a held result outlives the grab
}

TEST_F(InstantCameraTest, GrabbingNeedsAnOpenCamera) {
    UsbInstantCamera camera(CreateDevice("BaslerUsb"));
    EXPECT_THROW(camera.StartGrabbing(), LogicalErrorException);
    EXPECT_THROW(camera.ExecuteSoftwareTrigger(), LogicalErrorException);
    EXPECT_TRUE(camera.GetGrabResultWaitObject().IsValid());
    EXPECT_FALSE(camera.GetGrabResultWaitObject().Wait(0));
}

}  // namespace
