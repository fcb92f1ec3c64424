#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "TestSupport.h"
#include "camera/Camera.h"
#include "camera/CameraList.h"
#include "ostravelk/ostravelk.h"

// Removal and reconnection of a simulated USB camera (the simulator notices a USB removal within
// a fraction of a second; the reopen thread ticks every 5 s).
class CameraRemoval : public ::testing::Test {
  protected:
    void Open(const std::string& general) {
        WriteFile(sim.IniPath(), std::string("[Port.0.0]\n$Camera=") + SimCameras::kUsb +
                                     "\nWidth=800\n[General]\nLogLevel=2\n" + general);
        ASSERT_EQ(initialize(sim.HostDir().c_str(), LogCapture::Callback()), 1);
        int size[2];
        ASSERT_EQ(openCVLPort(0, 0, SimCameras::kUsb, size), 1);
        ASSERT_EQ(size[0], 800);
        camera = CameraList::Instance().GetByPort_(0);
        ASSERT_NE(camera, nullptr);
    }

    SimCameras sim;
    LogCapture log;
    Camera* camera = nullptr;
    const std::string name = SimCameras::kUsb;
};

TEST_F(CameraRemoval, ReconnectReopensWithTheStoredConfiguration) {
    Open("");
    sim.Unplug("22000002");
    ASSERT_TRUE(
        log.WaitFor("port0: WARNING: Camera removed: " + name +
                        ". Will try to reconnect, CameraEventHandler::OnCameraDeviceRemoved",
                    10));
    EXPECT_TRUE(log.Contains("port0: Closing, Camera::Close"));
    EXPECT_FALSE(camera->mIsOpen);
    EXPECT_EQ(CameraList::Instance().LostCameras().Size(), 1);

    ASSERT_TRUE(log.WaitFor("CameraReopenThread: Lost cameras=1 Will try to reopen", 10));
    ASSERT_TRUE(log.WaitFor("port0: INFO: Device not available: " + name + ", Camera::DoOpen", 10));
    EXPECT_TRUE(log.Contains("port0: Reopen, Camera::ReOpen"));

    log.Clear();
    sim.Plug("22000002");
    ASSERT_TRUE(log.WaitFor("port0: Open OK, Camera::DoOpen", 12));
    EXPECT_TRUE(camera->mIsOpen);
    EXPECT_EQ(CameraList::Instance().LostCameras().Size(), 0);
    int width = 0;
    ASSERT_EQ(getProperty(0, 0, "Width", &width), 1);
    EXPECT_EQ(width, 800);
    EXPECT_EQ(finalize(), 1);
}

TEST_F(CameraRemoval, WithoutReconnectOnlyWarns) {
    Open("Reconnect=0\n");
    sim.Unplug("22000002");
    ASSERT_TRUE(log.WaitFor("port0: WARNING: Camera removal detected: " + name +
                                ", CameraEventHandler::OnCameraDeviceRemoved",
                            10));
    EXPECT_TRUE(camera->mIsOpen) << "stays marked open";
    EXPECT_EQ(CameraList::Instance().LostCameras().Size(), 0);
    EXPECT_FALSE(log.Contains("Camera removed"));
    EXPECT_EQ(finalize(), 1);
}

TEST_F(CameraRemoval, FinalizeWhileLostEndsTheReopenThread) {
    Open("");
    sim.Unplug("22000002");
    ASSERT_TRUE(log.WaitFor("WARNING: Camera removed: ", 10));
    EXPECT_EQ(finalize(), 1);
    EXPECT_TRUE(log.Contains("CameraReopenThread::ThreadMain: Event received: terminate"));
    EXPECT_TRUE(log.Contains("CameraReopenThread::ThreadMain: leaving"));
    EXPECT_FALSE(log.Contains("still busy"));
    EXPECT_TRUE(log.Contains("Camera:: dtor: " + name));
}

TEST_F(CameraRemoval, RemovalOfAClosedCameraDoesNothing) {
    Open("");
    closeCVLPort(0, 0);
    log.Clear();
    sim.Unplug("22000002");
    // The reopen thread's next tick would show a lost camera.
    EXPECT_FALSE(log.WaitFor("Lost cameras=", 6));
    EXPECT_FALSE(log.Contains("Camera remov"));
    EXPECT_EQ(finalize(), 1);
}

// A port the host closed while its camera was lost stays closed when the device comes back: no
// reopen, no grab, no continuous grabbing starting by itself.
TEST_F(CameraRemoval, ALostCameraClosedByTheHostStaysClosedWhenItsDeviceReturns) {
    Open("");
    ASSERT_EQ(setCompleteCallback(0, 0, CountCompletion), 1);
    ASSERT_EQ(setProperty(0, 0, "continuous", 1), 1);
    sim.Unplug("22000002");
    ASSERT_TRUE(log.WaitFor("WARNING: Camera removed: ", 10));
    ASSERT_EQ(CameraList::Instance().LostCameras().Size(), 1);

    closeCVLPort(0, 0);
    EXPECT_EQ(CameraList::Instance().LostCameras().Size(), 0) << "closing takes it off the list";
    sim.Plug("22000002");
    log.Clear();
    EXPECT_FALSE(log.WaitFor("Lost cameras=", 6));
    EXPECT_FALSE(log.Contains("Open OK"));
    EXPECT_FALSE(camera->mIsOpen);
    EXPECT_EQ(doCVLGrab(0, 0), 0) << "a closed port does not grab";
    const int completed = CompletionCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(CompletionCount(), completed) << "no continuous grabbing";

    // The host can open it again.
    int size[2];
    ASSERT_EQ(openCVLPort(0, 0, SimCameras::kUsb, size), 1);
    EXPECT_TRUE(camera->mIsOpen);
    EXPECT_EQ(finalize(), 1);
}

TEST_F(CameraRemoval, AnUnpluggedCameraDeliversNothingEvenWithoutReconnect) {
    Open("Reconnect=0\n");
    ResetCompletionCount();
    ASSERT_EQ(setCompleteCallback(0, 0, CountCompletion), 1);
    ASSERT_EQ(setProperty(0, 0, "continuous", 1), 1);
    for (int i = 0; i < 500 && CompletionCount() < 3; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_GE(CompletionCount(), 3) << "the camera streams";
    sim.Unplug("22000002");
    ASSERT_TRUE(log.WaitFor("port0: WARNING: Camera removal detected: " + name, 10));
    // Frames sent before the removal may still be converted and delivered (slowly, in the
    // sanitizer builds); then the callbacks stop.
    int afterRemoval = CompletionCount();
    bool quiet = false;
    for (int i = 0; i < 20 && !quiet; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        quiet = CompletionCount() == afterRemoval;
        afterRemoval = CompletionCount();
    }
    EXPECT_TRUE(quiet) << "the callbacks stop";
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    EXPECT_EQ(CompletionCount(), afterRemoval) << "no frame after the removal";
    EXPECT_EQ(finalize(), 1);
}
