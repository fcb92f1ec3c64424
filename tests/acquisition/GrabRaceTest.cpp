#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "HangWatchdog.h"
#include "TestSupport.h"
#include "ostravelk/ostravelk.h"

// Host timing that races the end of a single grab: grabs faster than the camera delivers, and
// continuous grabbing switched on and off while a single grab finishes. The camera runs at
// 1000 Hz, so a frame, and with it the image queue thread's stop of the single grab, falls into
// nearly every gap between the host's calls. A call that hangs fails the test with every thread's
// stack.
namespace {

using namespace std::chrono_literals;

struct Completions {
    std::mutex lock;
    std::condition_variable arrived;
    size_t count = 0;

    bool WaitFor(size_t wanted, std::chrono::milliseconds limit) {
        std::unique_lock<std::mutex> guard(lock);
        return arrived.wait_for(guard, limit, [&] { return count >= wanted; });
    }
    size_t Count() {
        std::lock_guard<std::mutex> guard(lock);
        return count;
    }
};

Completions* gCompletions = nullptr;

void OnComplete(int, int port) {
    unsigned char row[8 * 3];
    getCVLGrabRow(0, port, row, 0, 0, 7);  // as a host does after the callback
    std::lock_guard<std::mutex> guard(gCompletions->lock);
    ++gCompletions->count;
    gCompletions->arrived.notify_all();
}

class GrabRace : public ::testing::Test {
  protected:
    GrabRace() { gCompletions = &completions; }

    void SetUp() override {
        // 16 rows and a short exposure: the simulated camera's top rate of 1000 frames/s.
        WriteFile(sim.IniPath(), std::string("[Port.0.0]\n$Camera=") + SimCameras::kUsb +
                                     "\nHeight=16\nExposureTime=100\n[General]\nLogLevel=3\n");
        ASSERT_EQ(initialize(sim.HostDir().c_str(), LogCapture::Callback()), 1);
        int size[2];
        ASSERT_EQ(openCVLPort(0, 0, SimCameras::kUsb, size), 1);
        ASSERT_EQ(setCompleteCallback(0, 0, OnComplete), 1);
        int rate = 0;
        ASSERT_EQ(getProperty(0, 0, "ResultingFrameRate", &rate), 1);
        ASSERT_EQ(rate, 1000);
    }

    void TearDown() override {
        HangWatchdog::Call call(watchdog, "finalize");
        EXPECT_EQ(finalize(), 1);
    }

    SimCameras sim;
    LogCapture log;
    Completions completions;
    HangWatchdog watchdog{10s};
};

}  // namespace

// Every grab the driver accepts either gets its callback or is one it ignored because a single
// grab was still running.
TEST_F(GrabRace, FiveThousandGrabsOneMillisecondApart) {
    constexpr int kGrabs = 5000;
    int accepted = 0;
    auto next = std::chrono::steady_clock::now();
    for (int i = 0; i < kGrabs; ++i) {
        {
            HangWatchdog::Call call(watchdog, "doCVLGrab");
            accepted += doCVLGrab(0, 0);
        }
        next += 1ms;
        std::this_thread::sleep_until(next);
    }
    EXPECT_EQ(accepted, kGrabs);
    // The last grab's image may still be on its way.
    const auto ignored = [&] { return log.Count("StartGrabbing ignored, already grabbing"); };
    for (int i = 0; i < 100 && completions.Count() + ignored() < size_t(accepted); ++i) {
        std::this_thread::sleep_for(50ms);
    }
    const size_t delivered = completions.Count();
    EXPECT_EQ(delivered + ignored(), size_t(accepted))
        << delivered << " callbacks, " << ignored() << " ignored";
    EXPECT_GT(delivered, size_t(kGrabs / 10));
    EXPECT_FALSE(log.Contains("Exception")) << "no failure on any thread";
}

// Continuous grabbing switched on while a single grab finishes, and off again.
TEST_F(GrabRace, AThousandAlternationsOfASingleGrabAndContinuousGrabbing) {
    for (int i = 0; i < 1000; ++i) {
        {
            HangWatchdog::Call call(watchdog, "doCVLGrab");
            ASSERT_EQ(doCVLGrab(0, 0), 1);
        }
        // 0, 0.5, 1 or 1.5 ms: before, while and after the frame arrives.
        std::this_thread::sleep_for(std::chrono::microseconds(500 * (i % 4)));
        HangWatchdog::Call call(watchdog, "setProperty continuous");
        ASSERT_EQ(setProperty(0, 0, "continuous", 1), 1);
        ASSERT_EQ(setProperty(0, 0, "continuous", 0), 1);
    }
    // Still a working camera: one more single grab is delivered.
    const size_t before = completions.Count();
    {
        HangWatchdog::Call call(watchdog, "doCVLGrab");
        ASSERT_EQ(doCVLGrab(0, 0), 1);
    }
    EXPECT_TRUE(completions.WaitFor(before + 1, 5s));
}
