#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <initializer_list>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "base/DriverState.h"
#include "camera/Camera.h"
#include "camera/CameraList.h"
#include "ini/IniFile.h"
#include "ostravelk/ostravelk.h"

// The grab road through the exports, on simulated cameras: doCVLGrab -> SDK -> image queue
// thread -> completion callback -> getCVLGrabRow.
namespace {

struct Callbacks {
    std::mutex lock;
    std::condition_variable arrived;
    std::vector<int> ports;
    std::atomic<int> inside{0};
    std::atomic<int> overlaps{0};
    // Per callback, the first 8 bytes of row 0 (the simulator writes the block id there) and
    // the camera's "CurrentFrame".
    std::vector<uint64_t> rowIds;
    std::vector<int> currentFrames;
    bool readRows = true;

    bool WaitFor(size_t count, double seconds = 5) {
        std::unique_lock<std::mutex> guard(lock);
        return arrived.wait_for(guard, std::chrono::milliseconds(int(seconds * 1000)),
                                [&] { return ports.size() >= count; });
    }
    // Waits until every one of the ports has had at least count callbacks.
    bool WaitForEach(std::initializer_list<int> of, size_t count, double seconds) {
        std::unique_lock<std::mutex> guard(lock);
        return arrived.wait_for(guard, std::chrono::milliseconds(int(seconds * 1000)), [&] {
            return std::all_of(of.begin(), of.end(), [&](int port) {
                return size_t(std::count(ports.begin(), ports.end(), port)) >= count;
            });
        });
    }
    size_t Count() {
        std::lock_guard<std::mutex> guard(lock);
        return ports.size();
    }
};

Callbacks* gCallbacks = nullptr;

void OnComplete(int grabber, int port) {
    Callbacks& c = *gCallbacks;
    if (c.inside.fetch_add(1) != 0) ++c.overlaps;
    uint64_t id = 0;
    int frame = -1;
    if (c.readRows) {
        unsigned char row[8 * 3];  // 8 pixels of a colour image at most
        if (getCVLGrabRow(0, port, row, 0, 0, 7) == 1) std::memcpy(&id, row, 8);
        getProperty(0, port, "CurrentFrame", &frame);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    --c.inside;
    std::lock_guard<std::mutex> guard(c.lock);
    c.ports.push_back(port);
    c.rowIds.push_back(id);
    c.currentFrames.push_back(frame);
    c.arrived.notify_all();
}

const std::string kSoftwareTrigger =
    "FrameStart_TriggerMode=On\nFrameStart_TriggerSource=Software\n";
const std::string kHardwareTrigger = "FrameStart_TriggerMode=On\nFrameStart_TriggerSource=Line1\n";
const std::string kLogging = "[General]\nLogLevel=3\n";

class Grab : public ::testing::Test {
  protected:
    Grab() { gCallbacks = &callbacks; }

    // The ini file, then initialize. By default both cameras have a section (ports 0 and 1), so
    // the logging settings of [General] are loaded at their open.
    void Start(const std::string& ini = Section(0, SimCameras::kGigE, "") +
                                        Section(1, SimCameras::kUsb, "") + kLogging) {
        WriteFile(sim.IniPath(), ini);
        ASSERT_EQ(initialize(sim.HostDir().c_str(), LogCapture::Callback()), 1);
        initialized = true;
    }

    void OpenPort(int port, const char* name) {
        int size[2];
        ASSERT_EQ(openCVLPort(0, port, name, size), 1);
        ASSERT_EQ(setCompleteCallback(0, port, OnComplete), 1);
    }

    static std::string Section(int port, const char* name, const std::string& lines) {
        return "[Port.0." + std::to_string(port) + "]\n$Camera=" + name + "\n" + lines;
    }

    int Property(int port, const char* name) {
        int value = -1;
        EXPECT_EQ(getProperty(0, port, name, &value), 1) << name;
        return value;
    }

    void TearDown() override {
        if (initialized) {
            EXPECT_EQ(finalize(), 1);
        }
    }

    SimCameras sim;
    LogCapture log;
    Callbacks callbacks;
    bool initialized = false;
    const char* gige = SimCameras::kGigE;
    const char* usb = SimCameras::kUsb;
};

}  // namespace

TEST_F(Grab, SingleGrabsDeliverOneFrameEach) {
    Start();
    OpenPort(0, gige);
    for (size_t i = 1; i <= 3; ++i) {
        ASSERT_EQ(doCVLGrab(0, 0), 1);
        ASSERT_TRUE(callbacks.WaitFor(i)) << "grab " << i;
    }
    EXPECT_EQ(callbacks.rowIds[0] + 2, callbacks.rowIds[2]) << "three distinct frames";
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(callbacks.rowIds[i], static_cast<uint64_t>(callbacks.currentFrames[i]));
    }
    EXPECT_EQ(Property(0, "FrameCount"), 3);
    EXPECT_FALSE(log.Contains("executing software trigger"));
    EXPECT_TRUE(log.Contains("port0: trace: StartGrabbing, cont=0, Camera::StartGrabbing"));
}

TEST_F(Grab, SingleGrabWithSoftwareTrigger) {
    Start(Section(0, gige, kSoftwareTrigger) + kLogging);
    OpenPort(0, gige);
    EXPECT_TRUE(
        log.Contains("port0: Software trigger detected on FrameStart, "
                     "Camera::CheckForSoftwareTrigger"));
    ASSERT_EQ(doCVLGrab(0, 0), 1);
    EXPECT_TRUE(log.Contains("port0: executing software trigger, Camera::SoftwareTrigger"));
    ASSERT_TRUE(callbacks.WaitFor(1));
    EXPECT_EQ(Property(0, "FrameCount"), 1);
}

TEST_F(Grab, ASecondGrabWhileTheFirstWaitsOnlyLogs) {
    Start(Section(0, gige, kHardwareTrigger) + kLogging);
    OpenPort(0, gige);
    ASSERT_EQ(doCVLGrab(0, 0), 1);
    ASSERT_EQ(doCVLGrab(0, 0), 1);
    EXPECT_TRUE(
        log.Contains("port0: trace: StartGrabbing ignored, already grabbing, "
                     "Camera::StartGrabbing"));
    EXPECT_EQ(callbacks.Count(), 0u);
}

TEST_F(Grab, ContinuousWithoutTrigger) {
    Start();
    OpenPort(0, gige);
    ASSERT_EQ(setProperty(0, 0, "continuous", 1), 1);
    EXPECT_EQ(Property(0, "continuous"), 1);
    ASSERT_EQ(doCVLGrab(0, 0), 1) << "only logs while grabbing continuously";
    ASSERT_TRUE(callbacks.WaitFor(6));
    ASSERT_EQ(setProperty(0, 0, "continous", 0), 1);
    EXPECT_EQ(Property(0, "continuous"), 0);
    std::vector<uint64_t> ids;
    {
        std::lock_guard<std::mutex> guard(callbacks.lock);
        ids = callbacks.rowIds;
    }
    for (size_t i = 1; i < ids.size(); ++i) {
        EXPECT_EQ(ids[i], ids[i - 1] + 1) << "no frame lost or repeated";
    }
    EXPECT_FALSE(log.Contains("executing software trigger"));
}

TEST_F(Grab, ContinuousWithSoftwareTriggerGivesOneFramePerGrab) {
    Start(Section(0, gige, kSoftwareTrigger) + kLogging);
    OpenPort(0, gige);
    ASSERT_EQ(setProperty(0, 0, "continuous", 1), 1);
    for (size_t i = 1; i <= 4; ++i) {
        ASSERT_EQ(doCVLGrab(0, 0), 1);
        ASSERT_TRUE(callbacks.WaitFor(i));
    }
    EXPECT_EQ(log.Count("executing software trigger"), 4u);
    EXPECT_EQ(callbacks.Count(), 4u);
}

TEST_F(Grab, SwitchingToContinuousWhileASingleGrabWaits) {
    Start(Section(0, gige, kHardwareTrigger) + kLogging);
    OpenPort(0, gige);
    ASSERT_EQ(doCVLGrab(0, 0), 1);
    log.Clear();
    ASSERT_EQ(setProperty(0, 0, "continuous", 1), 1);
    std::vector<std::string> m = log.Messages();
    size_t stop = 0, start = 0;
    for (size_t i = 0; i < m.size(); ++i) {
        if (m[i].find("trace: StopGrabbing") != std::string::npos && !stop) stop = i + 1;
        if (m[i].find("trace: StartGrabbing, cont=1") != std::string::npos) start = i + 1;
    }
    ASSERT_NE(stop, 0u);
    EXPECT_GT(start, stop) << "the single grab is stopped before continuous grabbing starts";
    EXPECT_EQ(Property(0, "CurrentFrame"), 0);

    // Free-running again: frames flow without a grab request.
    ASSERT_EQ(setProperty(0, 0, "FrameStart_TriggerMode", 0), 1);
    ASSERT_TRUE(callbacks.WaitFor(2));
    EXPECT_GT(Property(0, "CurrentFrame"), 0);
}

TEST_F(Grab, CallbacksOfTwoCamerasNeverOverlap) {
    Start();
    OpenPort(0, gige);
    OpenPort(1, usb);
    ASSERT_EQ(setProperty(0, 0, "continuous", 1), 1);
    ASSERT_EQ(setProperty(0, 1, "continuous", 1), 1);
    // Both cameras stream at once for a while. The second starts while the first already
    // delivers, and its colour frames take longer to convert (most of all in the sanitizer
    // builds), so the wait is for callbacks of each camera, not for a total the first camera
    // alone could reach.
    EXPECT_TRUE(callbacks.WaitForEach({0, 1}, 10, 60));
    setProperty(0, 0, "continuous", 0);
    setProperty(0, 1, "continuous", 0);
    EXPECT_EQ(callbacks.overlaps, 0);
}

TEST_F(Grab, AMissingCallbackIsLoggedAndTheFrameCounted) {
    Start();
    OpenPort(0, gige);
    ASSERT_EQ(setCompleteCallback(0, 0, nullptr), 1);
    ASSERT_EQ(doCVLGrab(0, 0), 1);
    ASSERT_TRUE(log.WaitFor("port0: ERR: callback is not assigned, Camera::InvokeCB", 5));
    EXPECT_EQ(Property(0, "FrameCount"), 1);
}

TEST_F(Grab, ColourOrderFollowsUseBGR) {
    Start();
    OpenPort(0, usb);
    Camera* camera = CameraList::Instance().GetByPort_(0);
    EXPECT_EQ(camera->mBuffers.mConverter.GetOutputPixelFormat(), 0x02180015u) << "BGR8packed";
    ASSERT_EQ(setProperty(0, 0, "UseBGR", 0), 1);
    closeCVLPort(0, 0);
    OpenPort(0, usb);
    EXPECT_EQ(camera->mBuffers.mConverter.GetOutputPixelFormat(), 0x02180014u) << "RGB8packed";
}

TEST_F(Grab, RowReadoutCopiesTheRequestedColumns) {
    Start();
    OpenPort(0, usb);
    callbacks.readRows = false;
    ASSERT_EQ(doCVLGrab(0, 0), 1);
    ASSERT_TRUE(callbacks.WaitFor(1));
    int width = Property(0, "Width");
    std::vector<unsigned char> row(static_cast<size_t>(width) * 3);
    ASSERT_EQ(getCVLGrabRow(0, 0, row.data(), 5, 0, width - 1), 1);
    unsigned char part[16];
    std::memset(part, 0xEE, sizeof part);
    ASSERT_EQ(getCVLGrabRow(0, 0, part, 5, 2, 4), 1);
    EXPECT_EQ(std::memcmp(part, row.data() + 6, 9), 0);
    EXPECT_EQ(part[9], 0xEE) << "nothing beyond the 9 bytes";
    // Columns outside the image are refused instead of read past the row.
    EXPECT_EQ(getCVLGrabRow(0, 0, part, 5, width - 2, width), 0);
    EXPECT_EQ(getCVLGrabRow(0, 0, part, 5, -1, 2), 0);
    EXPECT_EQ(getCVLGrabRow(0, 0, part, 5, 4, 2), 0);
    EXPECT_EQ(getCVLGrabRow(0, 0, part, Property(0, "Height"), 0, 2), 0);
}

TEST_F(Grab, AStopWithAnImageWaitingIsNoError) {
    // 16 rows and a short exposure: about 1000 frames/s, so stops often meet a waiting image.
    Start(Section(0, gige, "Height=16\nExposureTimeAbs=100\n") + "[General]\nLogLevel=1\n");
    OpenPort(0, gige);
    callbacks.readRows = false;
    for (int i = 0; i < 300; ++i) {
        ASSERT_EQ(setProperty(0, 0, "continuous", 1), 1);
        std::this_thread::sleep_for(std::chrono::microseconds(500 + 37 * (i % 50)));
        ASSERT_EQ(setProperty(0, 0, "continuous", 0), 1);
    }
    EXPECT_GT(callbacks.Count(), 0u);
    EXPECT_EQ(log.Count("ERR:"), 0u) << ::testing::PrintToString(log.Matching("ERR:"));
}
