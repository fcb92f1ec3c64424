#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "base/DriverState.h"
#include "ostravelk/ostravelk.h"
#include "sdk/SdkRuntime.h"

namespace {

struct ExportCall {
    const char* name;
    std::function<long()> call;
    long failure;
};

void OnComplete(int, int) {}

// Every export that needs the camera list, called with sound arguments.
std::vector<ExportCall> CameraExports() {
    static int size[2];
    static char result[64];
    static unsigned char row[64];
    static int value, min, max;
    return {
        {"getCVLNoOfSupportedCameras", [] { return long(getCVLNoOfSupportedCameras()); }, 0},
        {"getCVLCameraConfigNames", [] { return long(getCVLCameraConfigNames() != nullptr); }, 0},
        {"openCVLPort", [] { return long(openCVLPort(0, 1, "Some camera (1)", size)); }, 0},
        {"closeCVLPort",
         [] {
             closeCVLPort(0, 1);
             return 0L;
         },
         0},
        {"doCVLGrab", [] { return long(doCVLGrab(0, 1)); }, 0},
        {"getCVLGrabRow", [] { return long(getCVLGrabRow(0, 1, row, 0, 0, 3)); }, 0},
        {"setCompleteCallback", [] { return long(setCompleteCallback(0, 1, OnComplete)); }, 0},
        {"getPropertyRange", [] { return long(getPropertyRange(0, 1, "Width", &min, &max)); }, 0},
        {"getProperty", [] { return long(getProperty(0, 1, "Width", &value)); }, 0},
        {"setProperty", [] { return long(setProperty(0, 1, "Width", 64)); }, 0},
        {"execCmd", [] { return long(execCmd(0, 1, "get", "Width", result, sizeof result)); }, 0},
        {"configureCamera", [] { return long(configureCamera(nullptr, "Some camera (1)")); }, 0},
    };
}

// Without a camera list every camera export gives its failure value and logs why.
void ExpectCameraListMissing(LogCapture& log) {
    for (const ExportCall& e : CameraExports()) {
        log.Clear();
        EXPECT_EQ(e.call(), e.failure) << e.name;
        std::string expected = std::string("port99: ERR: ") + e.name +
                               " std Exception: CameraList instance not ready yet, " + e.name +
                               "\n";
        EXPECT_TRUE(log.Contains(expected)) << e.name;
    }
    EXPECT_EQ(getCVLMaxNoOfGrabbers(), 1);
    EXPECT_EQ(getCVLMaxNoOfPorts(), 20);
}

}  // namespace

TEST(ExportStates, BeforeInitialize) {
    LogCapture log;
    ExpectCameraListMissing(log);
}

TEST(ExportStates, AfterTheLastFinalize) {
    TempDir dir;
    LogCapture log;
    ASSERT_EQ(initialize(dir.Path().c_str(), LogCapture::Callback()), 1);
    ASSERT_EQ(initialize(dir.Path().c_str(), LogCapture::Callback()), 1);
    ASSERT_EQ(finalize(), 1);
    ASSERT_EQ(finalize(), 1);
    LogCapture again;
    ExpectCameraListMissing(again);
}

TEST(ExportStates, NullArgumentsNeverCrash) {
    TempDir dir;
    LogCapture log;
    initialize(dir.Path().c_str(), LogCapture::Callback());
    char result[8];
    int value = 0;
    EXPECT_EQ(openCVLPort(0, 0, "cam", nullptr), 0);
    int size[2] = {7, 7};
    EXPECT_EQ(openCVLPort(0, 0, nullptr, size), 0);
    EXPECT_EQ(size[0], 0);
    EXPECT_EQ(getCVLGrabRow(0, 0, nullptr, 0, 0, 0), 0);
    EXPECT_EQ(getPropertyRange(0, 0, nullptr, &value, &value), 0);
    EXPECT_EQ(getPropertyRange(0, 0, "Width", nullptr, &value), 0);
    EXPECT_EQ(getPropertyRange(0, 0, "Width", &value, nullptr), 0);
    EXPECT_EQ(getProperty(0, 0, nullptr, &value), 0);
    EXPECT_EQ(getProperty(0, 0, "Width", nullptr), 0);
    EXPECT_EQ(setProperty(0, 0, nullptr, 1), 0);
    EXPECT_EQ(execCmd(0, 0, nullptr, nullptr, result, sizeof result), 0);
    EXPECT_EQ(execCmd(0, 0, "get", nullptr, nullptr, 0), 0);
    EXPECT_EQ(configureCamera(nullptr, nullptr), 0);
    EXPECT_EQ(setSystemPath(nullptr), 0);
    setDebugMsgProc(nullptr);
    EXPECT_GE(log.Matching("null argument").size(), 7u);
    finalize();
}

TEST(Initialize, BannerCountAndNesting) {
    TempDir dir;
    LogCapture log;
    GetDriverState().mLogLevel = 2;
    ASSERT_EQ(initialize(dir.Path().c_str(), LogCapture::Callback()), 1);
    ASSERT_EQ(initialize(dir.Path().c_str(), LogCapture::Callback()), 1);
    std::vector<std::string> banners = log.Matching("initialize: Basler camera driver V");
    ASSERT_EQ(banners.size(), 2u);
    std::regex banner(
        R"(initialize: Basler camera driver V1,5,3,51, refcount=2, \d{4}-[1-9]\d?-[1-9]\d? (\d|[1-9]\d):(\d|[1-5]\d):(\d|[1-5]\d)\n)");
    EXPECT_TRUE(std::regex_match(banners[1], banner)) << banners[1];
    EXPECT_TRUE(log.Contains("===============\ninitialize: \n"));

    log.Clear();
    EXPECT_EQ(finalize(), 1);
    EXPECT_EQ(log.Messages(), (std::vector<std::string>{"finalize: entering, refcount=2\n",
                                                        "finalize: leaving, refcount=1\n"}));
    EXPECT_EQ(finalize(), 1);
    EXPECT_EQ(GetDriverState().mRefCount, 0);
}

TEST(Initialize, UnmatchedFinalizeKeepsTheCountAtZero) {
    TempDir dir;
    LogCapture log;
    EXPECT_EQ(finalize(), 1);
    EXPECT_EQ(GetDriverState().mRefCount, 0);
    EXPECT_TRUE(log.Contains("finalize: WARNING"));
    ASSERT_EQ(initialize(dir.Path().c_str(), LogCapture::Callback()), 1);
    EXPECT_EQ(GetDriverState().mRefCount, 1);
    EXPECT_FALSE(log.Matching("refcount=1, ").empty()) << "the next initialize starts afresh";
}

TEST(Initialize, SetsPathsCallbackAndGenicamRoot) {
    TempDir dir;
    WriteFile(dir.File("Ostravelk.ini"), "[General]\nlogDebugView=0\n");
    setenv("PYLON_GENICAM_ROOT", "/opt/genicam", 1);
    unsetenv("GENICAM_ROOT_V2_3");
    static std::vector<std::string> seen;
    ASSERT_EQ(initialize(dir.Path().c_str(), [](const char* text) { seen.push_back(text); }), 1);
    EXPECT_EQ(GetDriverState().GetIniPath(), dir.File("Ostravelk.ini"));
    EXPECT_EQ(GetDriverState().mLogDebugView, 0);
    ASSERT_NE(std::getenv("GENICAM_ROOT_V2_3"), nullptr);
    EXPECT_STREQ(std::getenv("GENICAM_ROOT_V2_3"), "/opt/genicam");
    EXPECT_GE(seen.size(), 4u) << "the host callback receives stamp and message of each line";
    finalize();
}

TEST(OpenPort, UndefinedNamesNeverReachTheCameraList) {
    LogCapture log;
    for (const char* name : {"Undefined", "uNDEFINED", "Udefinert", "UDEFINERT", ""}) {
        int size[2] = {5, 5};
        log.Clear();
        EXPECT_EQ(openCVLPort(0, 2, name, size), 0) << name;
        EXPECT_EQ(size[0], 0);
        EXPECT_EQ(size[1], 0);
        EXPECT_TRUE(log.Contains(std::string("openCVLPort: ERROR: undefined camera, grabberNo=0, "
                                             "portNo=2, cameraName=") +
                                 name + "\n"));
        EXPECT_FALSE(log.Contains("CameraList instance not ready yet")) << name;
    }
}

TEST(SystemPath, ResultOfTheExport) {
    EXPECT_EQ(setSystemPath("/tmp"), 1);
    EXPECT_EQ(setSystemPath(""), 0);
    EXPECT_EQ(GetDriverState().GetIniPath(), "/tmp/Ostravelk.ini");
}

TEST(Initialize, SdkLivesFromFirstInitializeToLastFinalize) {
    TempDir dir;
    ASSERT_EQ(initialize(dir.Path().c_str(), nullptr), 1);
    ASSERT_EQ(initialize(dir.Path().c_str(), nullptr), 1);
    EXPECT_EQ(sdk::SdkRuntime::GetInitializeCount(), 1);
    finalize();
    EXPECT_EQ(sdk::SdkRuntime::GetInitializeCount(), 1);
    finalize();
    EXPECT_EQ(sdk::SdkRuntime::GetInitializeCount(), 0);

    GetDriverState().mInhibitPylonTerminate = true;
    initialize(dir.Path().c_str(), nullptr);
    finalize();
    EXPECT_EQ(sdk::SdkRuntime::GetInitializeCount(), 1) << "terminate inhibited";
}

TEST(Initialize, AFifoNamedLikeTheConfigurationFileDoesNotHang) {
    TempDir dir;
    ASSERT_EQ(mkfifo(dir.File("Ostravelk.ini").c_str(), 0666), 0);
    // In a child, so that a hang fails the test instead of stopping the run.
    const int result = RunInChild(
        [&] {
            const int initialized = initialize(dir.Path().c_str(), nullptr);
            return initialized == 1 && GetDriverState().mLogDebugView == 1 ? 0 : 1;
        },
        20);
    EXPECT_EQ(result, 0);
}

// Outside the host contract, but a driver inside someone else's process must survive it.
TEST(Finalize, CallsThatOverlapItFailInsteadOfUsingWhatItDestroys) {
    SimCameras sim;
    for (int round = 0; round < 5; ++round) {
        ASSERT_EQ(initialize(sim.HostDir().c_str(), nullptr), 1);
        int size[2];
        ASSERT_EQ(openCVLPort(0, 0, SimCameras::kUsb, size), 1);
        ASSERT_EQ(setProperty(0, 0, "continuous", 1), 1);
        std::atomic<bool> stop{false};
        std::atomic<long> odd{0};
        std::vector<std::thread> readers;
        for (int t = 0; t < 3; ++t) {
            readers.emplace_back([&] {
                std::vector<unsigned char> row(8192 * 3);
                while (!stop) {
                    int value = 0;
                    const int got = getProperty(0, 0, "Width", &value);
                    const int read = getCVLGrabRow(0, 0, row.data(), 1, 0, 7);
                    odd += (got != 0 && got != 1) || (read != 0 && read != 1);
                }
            });
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_EQ(finalize(), 1);
        stop = true;
        for (std::thread& reader : readers) reader.join();
        EXPECT_EQ(odd, 0);
    }
}

namespace {

std::atomic<int> gFinalizesInCallback{0};
std::atomic<double> gFinalizeSeconds{0};

void FinalizeOnce(int, int) {
    if (gFinalizesInCallback++ == 0) {
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(finalize(), 1);
        gFinalizeSeconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
}

}  // namespace

TEST(Finalize, FromACompletionCallbackCompletesOnceTheCallbackReturns) {
    SimCameras sim;
    LogCapture log;
    ASSERT_EQ(initialize(sim.HostDir().c_str(), LogCapture::Callback()), 1);
    int size[2];
    ASSERT_EQ(openCVLPort(0, 0, SimCameras::kUsb, size), 1);
    ASSERT_EQ(setCompleteCallback(0, 0, FinalizeOnce), 1);
    ASSERT_EQ(doCVLGrab(0, 0), 1);
    // The camera list goes once the callback has returned.
    bool gone = false;
    for (int i = 0; i < 500 && !gone; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        gone = gFinalizesInCallback > 0 && getCVLNoOfSupportedCameras() == 0;
    }
    EXPECT_TRUE(gone) << "the driver stops once the callback has returned";
    EXPECT_LT(gFinalizeSeconds, 1.0) << "finalize does not wait for its own thread";
    EXPECT_FALSE(log.Contains("ERR: ImageQueueThread"));
    // And the driver starts again.
    ASSERT_EQ(initialize(sim.HostDir().c_str(), LogCapture::Callback()), 1);
    EXPECT_EQ(getCVLNoOfSupportedCameras(), 2);
    EXPECT_EQ(finalize(), 1);
}
