#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "AravisFixture.h"
#include "TestSupport.h"
#include "ostravelk/ostravelk.h"

// The area of interest of Aravis' fake GigE Vision camera changed on the open camera, idle and
// grabbing: the rows the host reads are the camera's frame at the new size. The fake's test
// pattern makes its frame known at any size: every pixel is one more than its left neighbour and
// every row starts one more than the row above (modulo the pattern's period, where it is 0).
namespace {

using namespace std::chrono_literals;

struct Seen {
    std::mutex lock;
    // Per frame since the last change: what is wrong with its rows (empty: nothing).
    std::vector<std::string> problems;
};
Seen gSeen;

// Empty when the rows are the pattern at that size, else what is wrong.
std::string CheckPattern(int port, int width, int height) {
    std::vector<unsigned char> row(static_cast<size_t>(width));
    int previousStart = -1;
    for (int y = 0; y < height; ++y) {
        if (getCVLGrabRow(0, port, row.data(), y, 0, width - 1) != 1) {
            return "row " + std::to_string(y) + " of " + std::to_string(height) + " refused";
        }
        for (int x = 1; x < width; ++x) {
            if ((row[x] - row[x - 1] + 256) % 256 != 1 && row[x] != 0) {
                return "row " + std::to_string(y) + " column " + std::to_string(x);
            }
        }
        if (previousStart >= 0 && (row[0] - previousStart + 256) % 256 != 1 && row[0] != 0) {
            return "row " + std::to_string(y) + " does not follow the row above";
        }
        previousStart = row[0];
    }
    if (getCVLGrabRow(0, port, row.data(), height, 0, 0) != 0) {
        return "a row past the height is read";
    }
    return "";
}

void OnFrame(int, int port) {
    int width = 0;
    int height = 0;
    std::string problem = "no size";
    if (getProperty(0, port, "Width", &width) == 1 &&
        getProperty(0, port, "Height", &height) == 1) {
        problem = CheckPattern(port, width, height);
    }
    std::lock_guard<std::mutex> lock(gSeen.lock);
    gSeen.problems.push_back(problem);
}

class AravisGeometry : public AravisFakeTest, public ::testing::WithParamInterface<bool> {
  protected:
    void SetUp() override {
        AravisFakeTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_EQ(initialize(host.Path().c_str(), LogCapture::Callback()), 1);
        initialized = true;
        ASSERT_EQ(getCVLNoOfSupportedCameras(), 1);
        const std::string name = getCVLCameraConfigNames()[0];
        int size[2] = {0, 0};
        ASSERT_EQ(openCVLPort(0, 0, name.c_str(), size), 1);
        ASSERT_EQ(setCompleteCallback(0, 0, OnFrame), 1);
        if (GetParam()) {
            ASSERT_EQ(setProperty(0, 0, "continuous", 1), 1);
        }
    }
    void TearDown() override {
        if (initialized) finalize();
    }

    // Frames after the change: all but the first one begun before it are the pattern.
    void ExpectPatternFrames(const std::string& step) {
        {
            std::lock_guard<std::mutex> lock(gSeen.lock);
            gSeen.problems.clear();
        }
        const size_t wanted = GetParam() ? 4 : 2;
        for (size_t i = 0; i < (GetParam() ? 0u : wanted); ++i) {
            ASSERT_EQ(doCVLGrab(0, 0), 1);
            const auto end = std::chrono::steady_clock::now() + 10s;
            while (std::chrono::steady_clock::now() < end) {
                {
                    std::lock_guard<std::mutex> lock(gSeen.lock);
                    if (gSeen.problems.size() > i) break;
                }
                std::this_thread::sleep_for(10ms);
            }
        }
        const auto end = std::chrono::steady_clock::now() + 10s;
        std::vector<std::string> problems;
        while (std::chrono::steady_clock::now() < end) {
            {
                std::lock_guard<std::mutex> lock(gSeen.lock);
                problems = gSeen.problems;
            }
            if (problems.size() >= wanted) break;
            std::this_thread::sleep_for(10ms);
        }
        ASSERT_GE(problems.size(), wanted) << step << ": frames arrive";
        if (GetParam()) problems.erase(problems.begin());
        for (const std::string& problem : problems) {
            EXPECT_EQ(problem, "") << step;
        }
    }

    TempDir host;
    LogCapture log;
    bool initialized = false;
};

}  // namespace

TEST_P(AravisGeometry, RowsFollowTheAreaOfInterest) {
    int width = 0;
    int height = 0;
    ASSERT_EQ(getProperty(0, 0, "Width", &width), 1);
    ASSERT_EQ(getProperty(0, 0, "Height", &height), 1);
    ExpectPatternFrames("as opened");
    ASSERT_EQ(setProperty(0, 0, "Width", width / 2), 1);
    ExpectPatternFrames("narrower");
    char result[8];
    ASSERT_EQ(execCmd(0, 0, "set", ("Height=" + std::to_string(height / 2)).c_str(), result,
                      sizeof result),
              1);
    ExpectPatternFrames("lower");
    ASSERT_EQ(setProperty(0, 0, "Width", width), 1);
    ASSERT_EQ(setProperty(0, 0, "Height", height), 1);
    ExpectPatternFrames("back to the full size");
}

INSTANTIATE_TEST_SUITE_P(Modes, AravisGeometry, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "Grabbing" : "Idle");
                         });
