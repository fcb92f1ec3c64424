#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "AravisFixture.h"
#include "TestSupport.h"
#include "camera/Camera.h"
#include "camera/CameraList.h"
#include "ostravelk/ostravelk.h"
#include "parameters/Param_.h"

// The driver through its 18 exports with Aravis' fake GigE Vision camera as the only camera.
namespace {

std::atomic<int> gFrames{0};
std::mutex gRowsLock;
std::vector<std::vector<unsigned char>> gRows;  // rows 0..3 of the last frame
int gWidth = 0;

void OnFrame(int, int port) {
    std::vector<std::vector<unsigned char>> rows(4, std::vector<unsigned char>(gWidth));
    for (int y = 0; y < 4; ++y) {
        getCVLGrabRow(0, port, rows[y].data(), y, 0, gWidth - 1);
    }
    {
        std::lock_guard<std::mutex> lock(gRowsLock);
        gRows = rows;
    }
    ++gFrames;
}

bool WaitFrames(int count, double seconds) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(int(seconds * 1000));
    while (gFrames < count) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

class AravisExports : public AravisFakeTest {
  protected:
    void SetUp() override {
        AravisFakeTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_EQ(initialize(host.Path().c_str(), LogCapture::Callback()), 1);
        initialized = true;
        ASSERT_EQ(getCVLNoOfSupportedCameras(), 1);
        name = getCVLCameraConfigNames()[0];
        int size[2] = {0, 0};
        ASSERT_EQ(openCVLPort(0, 0, name.c_str(), size), 1);
        gWidth = size[0];
        height = size[1];
        ASSERT_EQ(setCompleteCallback(0, 0, OnFrame), 1);
        // Level 2 for the driver and in the camera's settings, which every reopen applies.
        ASSERT_EQ(setProperty(0, 0, "LogLevel", 2), 1);
        camera = CameraList::Instance().GetByPort_(0);
    }
    void TearDown() override {
        if (initialized) finalize();
    }

    // The fake's test pattern: every pixel is one more than its left neighbour, every row one
    // more than the row above (modulo the pattern's period).
    void ExpectPattern() {
        std::lock_guard<std::mutex> lock(gRowsLock);
        ASSERT_EQ(gRows.size(), 4u);
        for (int y = 0; y < 4; ++y) {
            for (int x = 1; x < gWidth; ++x) {
                int step = (gRows[y][x] - gRows[y][x - 1] + 256) % 256;
                ASSERT_TRUE(step == 1 || gRows[y][x] == 0) << "row " << y << " column " << x;
            }
        }
        EXPECT_NE(gRows[0], gRows[1]);
    }

    TempDir host;
    LogCapture log;
    bool initialized = false;
    std::string name;
    int height = 0;
    Camera* camera = nullptr;
};

}  // namespace

TEST_F(AravisExports, ListOpenAndTheParameterSetOfTheRealTree) {
    EXPECT_NE(name.find("(GV01)"), std::string::npos) << name;
    EXPECT_GT(gWidth, 0);
    EXPECT_GT(height, 0);
    int width = 0;
    ASSERT_EQ(getProperty(0, 0, "Width", &width), 1);
    EXPECT_EQ(width, gWidth);
    int min = 0, max = 0;
    ASSERT_EQ(getPropertyRange(0, 0, "Width", &min, &max), 1);
    EXPECT_LE(min, width);
    EXPECT_GE(max, width);
    EXPECT_GT(camera->mParameters.size(), 20u) << "features of the real tree after the settings";
    EXPECT_TRUE(log.Contains("Apply Parameters: Success"));
    ASSERT_EQ(setProperty(0, 0, "Width", 256), 1);
    ASSERT_EQ(getProperty(0, 0, "Width", &width), 1);
    EXPECT_EQ(width, 256);
}

TEST_F(AravisExports, SingleAndContinuousGrabsDeliverCorrectRows) {
    ASSERT_EQ(doCVLGrab(0, 0), 1);
    ASSERT_TRUE(WaitFrames(1, 10));
    ExpectPattern();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(gFrames, 1) << "a single grab delivers one frame";

    ASSERT_EQ(setProperty(0, 0, "continuous", 1), 1);
    ASSERT_TRUE(WaitFrames(11, 10));
    ASSERT_EQ(setProperty(0, 0, "continuous", 0), 1);
    ExpectPattern();
    int count = 0;
    ASSERT_EQ(getProperty(0, 0, "FrameCount", &count), 1);
    EXPECT_GE(count, 11);
}

TEST_F(AravisExports, SoftwareTriggerGivesOneFramePerGrab) {
    std::string mode, source;
    for (const Param_& parameter : camera->mParameters) {
        if (parameter.mName.find("TriggerMode") != std::string::npos && mode.empty()) {
            mode = parameter.mName;
        }
        if (parameter.mName.find("TriggerSource") != std::string::npos && source.empty()) {
            source = parameter.mName;
        }
    }
    ASSERT_FALSE(mode.empty());
    ASSERT_FALSE(source.empty());
    char result[64];
    // The fake's trigger features are not tied to their selector in its GenICam description, so
    // the selector is set before each of them, as a user of such a camera does (the driver's
    // trigger check after each write leaves the selector at the entry it looked at last).
    for (const std::string& assignment : {source + "=Software", mode + "=On"}) {
        if (mode == "TriggerMode") {
            ASSERT_EQ(execCmd(0, 0, "set", "TriggerSelector=FrameStart", result, sizeof result), 1);
        }
        ASSERT_EQ(execCmd(0, 0, "set", assignment.c_str(), result, sizeof result), 1);
    }
    ASSERT_TRUE(camera->mUseSoftwareTrigger);
    ASSERT_EQ(setProperty(0, 0, "continuous", 1), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(gFrames, 0) << "no frame without a trigger";
    for (int i = 1; i <= 3; ++i) {
        ASSERT_EQ(doCVLGrab(0, 0), 1);
        ASSERT_TRUE(WaitFrames(i, 10));
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        EXPECT_EQ(gFrames, i) << "exactly one frame per trigger";
    }
}

TEST_F(AravisExports, RemovalReopenAndGrabbingResumes) {
    ASSERT_EQ(setProperty(0, 0, "continuous", 1), 1);
    ASSERT_TRUE(WaitFrames(3, 10));
    mFake->Kill();
    ASSERT_TRUE(log.WaitFor("WARNING: Camera removed: " + name + ". Will try to reconnect", 30));
    std::string problem;
    ASSERT_TRUE(mFake->Start(problem)) << problem;
    bool reopened = log.WaitFor("port0: Open OK, Camera::DoOpen", 30);
    if (!reopened) {
        for (const std::string& line : log.Messages()) std::fprintf(stderr, "%s", line.c_str());
    }
    ASSERT_TRUE(reopened);
    int before = gFrames;
    EXPECT_TRUE(WaitFrames(before + 5, 10)) << "continuous grabbing resumed after the reopen";
}
