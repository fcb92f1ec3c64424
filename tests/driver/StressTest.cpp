#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <random>
#include <shared_mutex>
#include <string>
#include <thread>
#include <vector>

#include "HangWatchdog.h"
#include "TestSupport.h"
#include "ostravelk/ostravelk.h"

// Several host threads call the 18 exports at random on four simulated cameras running at
// 1000 frames/s, while a plug thread removes camera files and puts them back. Any call that takes
// longer than 10 s fails the run with every thread's stack; the sanitizer builds catch races and
// memory faults on the way. The random sequences come from one seed, printed at the start:
//   OSTRAVELK_STRESS_SEED=<seed>     replays the same call sequence on every thread
//   OSTRAVELK_STRESS_SECONDS=<s>     overrides the duration (OSTRAVELK_STRESS_DEFAULT_SECONDS)
// Host threads never overlap initialize and finalize with other calls (a host contract): those
// run under the writer side of a lock every other call holds as a reader.
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int kHostThreads = 4;
constexpr int kCameras = 4;

struct Figures {
    std::atomic<uint64_t> calls{0};
    std::atomic<uint64_t> removals{0};
    std::atomic<uint64_t> callbacks{0};
    std::atomic<uint64_t> grabsAccepted{0};
};

Figures* gFigures = nullptr;

void OnComplete(int, int port) {
    // As a host does after the callback: the size, then rows. The settings may change between
    // the calls, so the buffer takes a row of any size the cameras offer.
    static thread_local unsigned char row[8192 * 3];
    int width = 0;
    int height = 0;
    if (getProperty(0, port, "Width", &width) == 1 &&
        getProperty(0, port, "Height", &height) == 1 && width > 0 && width <= 8192 && height > 0) {
        getCVLGrabRow(0, port, row, 0, 0, width - 1);
        getCVLGrabRow(0, port, row, height - 1, 0, width - 1);
    }
    getCVLGrabRow(0, port, row, 2, 0, 7);
    ++gFigures->callbacks;
}

void OnDebugMessage(const char*) {}

uint64_t EnvNumber(const char* name, uint64_t fallback) {
    const char* text = std::getenv(name);
    return text && *text ? std::strtoull(text, nullptr, 10) : fallback;
}

class Stress : public ::testing::Test {
  protected:
    Stress() { gFigures = &figures; }

    void SetUp() override {
        sim.Add("30000003.cam", "Class=BaslerUsb\nModel=SV1928-40um\nSerial=30000003\n");
        sim.Add("30000004.cam", "Class=BaslerGigE\nModel=SV1304-30gm\nSerial=30000004\n");
        names = {SimCameras::kGigE, SimCameras::kUsb, "SV1928-40um (30000003)",
                 "SV1304-30gm (30000004)"};
        serials = {"21000001", "22000002", "30000003", "30000004"};
        std::string ini;
        for (int port = 0; port < kCameras; ++port) {
            const bool usb = port % 2 == 1;
            // 16 rows and a short exposure: 1000 frames/s.
            ini += "[Port.0." + std::to_string(port) + "]\n$Camera=" + names[port] +
                   "\nHeight=16\n" + (usb ? "ExposureTime=100\n" : "ExposureTimeAbs=100\n");
        }
        ini += "[General]\nLogLevel=1\nReconnect=1\nHeartbeat=1000\n";
        WriteFile(sim.IniPath(), ini);
        ASSERT_EQ(initialize(sim.HostDir().c_str(), OnDebugMessage), 1);
    }

    // One random export call on a random port.
    void RandomCall(std::mt19937_64& random) {
        auto pick = [&](int n) { return static_cast<int>(random() % static_cast<uint64_t>(n)); };
        const int port = pick(kCameras);
        const char* name = names[port].c_str();
        const bool usb = port % 2 == 1;
        int size[2];
        int value = 0;
        int low = 0;
        int high = 0;
        unsigned char row[64 * 3];
        char text[64];
        const int op = pick(100);
        if (op < 2) {
            std::unique_lock<std::shared_mutex> alone(hostContract);
            HangWatchdog::Call call(watchdog, "initialize+finalize");
            initialize(sim.HostDir().c_str(), OnDebugMessage);
            finalize();
            figures.calls += 2;
            return;
        }
        std::shared_lock<std::shared_mutex> shared(hostContract);
        ++figures.calls;
        if (op < 30) {
            HangWatchdog::Call call(watchdog, "doCVLGrab");
            figures.grabsAccepted += static_cast<uint64_t>(doCVLGrab(0, port));
        } else if (op < 38) {
            HangWatchdog::Call call(watchdog, "setProperty continuous");
            setProperty(0, port, "continuous", pick(2));
        } else if (op < 46) {
            HangWatchdog::Call call(watchdog, "getCVLGrabRow");
            getCVLGrabRow(0, port, row, pick(20), 0, pick(64));
        } else if (op < 54) {
            static const char* const kNames[] = {"Width",      "Height",       "continuous",
                                                 "FrameCount", "CurrentFrame", "Gain",
                                                 "PixelSize",  "Exposure",     "BufferCount"};
            HangWatchdog::Call call(watchdog, "getProperty");
            getProperty(0, port, kNames[pick(9)], &value);
        } else if (op < 60) {
            HangWatchdog::Call call(watchdog, "setProperty");
            // The area of interest, in and out of range, while frames arrive; and values the
            // camera refuses.
            static const char* const kGeometry[] = {"Width", "Height", "OffsetX", "OffsetY"};
            static const int kValues[][6] = {{64, 128, 256, 640, -1, 100001},
                                             {16, 32, 48, 0, -1, 30},
                                             {0, 16, 64, 100000, 3, -2},
                                             {0, 8, 32, 100000, 1, -2}};
            switch (pick(4)) {
                case 0:
                    setProperty(0, port, usb ? "ExposureTime" : "ExposureTimeAbs", 100 + pick(800));
                    break;
                case 1: {
                    const int which = pick(4);
                    setProperty(0, port, kGeometry[which], kValues[which][pick(6)]);
                    break;
                }
                case 2:
                    setProperty(0, port, "Gain", pick(2) ? pick(200) : 99999);
                    break;
                default:
                    setProperty(0, port, "Gamma", pick(2) ? 1000 : 99999000);
                    break;
            }
        } else if (op < 64) {
            HangWatchdog::Call call(watchdog, "getPropertyRange");
            getPropertyRange(0, port, pick(2) ? "Width" : "Gain", &low, &high);
        } else if (op < 70) {
            HangWatchdog::Call call(watchdog, "execCmd");
            if (pick(2)) {
                execCmd(0, port, "get", "Height", text, sizeof text);
            } else if (pick(2)) {
                static const char* const kSets[] = {"Gain=10",   "Gain=20",  "Gain=abc",
                                                    "Gamma=nan", "Width=-1", "Height=1e9"};
                execCmd(0, port, "set", kSets[pick(6)], text, sizeof text);
            } else {
                // Formats of each camera (mono GigE, colour USB, mono USB, mono GigE) and one
                // that none has.
                static const char* const kFormats[][4] = {
                    {"Mono8", "Mono12Packed", "Mono16", "NoSuchFormat"},
                    {"Mono8", "RGB8", "BayerGR12p", "NoSuchFormat"},
                    {"Mono8", "Mono12p", "Mono10", "NoSuchFormat"},
                    {"Mono8", "Mono12Packed", "Mono16", "NoSuchFormat"}};
                execCmd(0, port, "set",
                        ("PixelFormat=" + std::string(kFormats[port][pick(4)])).c_str(), text,
                        sizeof text);
            }
        } else if (op < 78) {
            HangWatchdog::Call call(watchdog, "openCVLPort");
            openCVLPort(0, port, name, size);
        } else if (op < 82) {
            HangWatchdog::Call call(watchdog, "closeCVLPort");
            closeCVLPort(0, port);
        } else if (op < 88) {
            HangWatchdog::Call call(watchdog, "setCompleteCallback");
            setCompleteCallback(0, port, pick(4) ? OnComplete : nullptr);
        } else if (op < 91) {
            HangWatchdog::Call call(watchdog, "getCVLCameraConfigNames");
            const char** list = getCVLCameraConfigNames();
            for (int i = 0; list && list[i]; ++i) {
                value += list[i][0];
            }
        } else if (op < 93) {
            HangWatchdog::Call call(watchdog, "getCVLNoOfSupportedCameras");
            getCVLNoOfSupportedCameras();
        } else if (op < 95) {
            HangWatchdog::Call call(watchdog, "getCVLMaxNoOf...");
            getCVLMaxNoOfGrabbers();
            getCVLMaxNoOfPorts();
            ++figures.calls;
        } else if (op < 97) {
            HangWatchdog::Call call(watchdog, "setDebugMsgProc/setSystemPath");
            setDebugMsgProc(OnDebugMessage);
            setSystemPath(sim.HostDir().c_str());
            ++figures.calls;
        } else {
            // The dialog is modal; a name no camera has answers at once.
            HangWatchdog::Call call(watchdog, "configureCamera");
            configureCamera(nullptr, "no such camera");
        }
    }

    // Removes one camera file for a while and puts it back, again and again.
    void Unplugging(std::mt19937_64& random, const std::atomic<bool>& stop) {
        while (!stop) {
            const int camera = static_cast<int>(random() % kCameras);
            std::this_thread::sleep_for(std::chrono::milliseconds(100 + random() % 300));
            {
                HangWatchdog::Call call(watchdog, "unplug");
                sim.Unplug(serials[camera]);
            }
            ++figures.removals;
            std::this_thread::sleep_for(std::chrono::milliseconds(50 + random() % 1500));
            HangWatchdog::Call call(watchdog, "plug");
            sim.Plug(serials[camera]);
        }
    }

    SimCameras sim;
    Figures figures;
    HangWatchdog watchdog{10s};
    std::shared_mutex hostContract;
    std::vector<std::string> names;
    std::vector<std::string> serials;
};

}  // namespace

TEST_F(Stress, RandomExportCallsOnUnpluggedAndReturningCameras) {
    const uint64_t seed = EnvNumber("OSTRAVELK_STRESS_SEED", std::random_device{}());
    const uint64_t seconds =
        EnvNumber("OSTRAVELK_STRESS_SECONDS", OSTRAVELK_STRESS_DEFAULT_SECONDS);
    std::printf("stress: seed %llu (replay with OSTRAVELK_STRESS_SEED=%llu), %llu s\n",
                static_cast<unsigned long long>(seed), static_cast<unsigned long long>(seed),
                static_cast<unsigned long long>(seconds));
    std::fflush(stdout);
    RecordProperty("seed", std::to_string(seed));

    const auto start = Clock::now();
    const auto end = start + std::chrono::seconds(seconds);
    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;
    for (int i = 0; i < kHostThreads; ++i) {
        threads.emplace_back([this, i, seed, end] {
            std::mt19937_64 random(seed + static_cast<uint64_t>(i));
            while (Clock::now() < end) {
                RandomCall(random);
            }
        });
    }
    std::thread plugger([this, seed, &stop] {
        std::mt19937_64 random(seed + kHostThreads);
        Unplugging(random, stop);
    });
    for (std::thread& thread : threads) {
        thread.join();
    }
    stop = true;
    plugger.join();
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();

    // Afterwards every camera still works: it opens, and a single grab is delivered.
    for (int port = 0; port < kCameras; ++port) {
        HangWatchdog::Call call(watchdog, "final check");
        int size[2];
        ASSERT_EQ(openCVLPort(0, port, names[port].c_str(), size), 1) << names[port];
        ASSERT_EQ(setProperty(0, port, "continuous", 0), 1);
        ASSERT_EQ(setCompleteCallback(0, port, OnComplete), 1);
        const uint64_t before = figures.callbacks;
        ASSERT_EQ(doCVLGrab(0, port), 1);
        const auto deadline = Clock::now() + 5s;
        while (figures.callbacks == before && Clock::now() < deadline) {
            std::this_thread::sleep_for(5ms);
        }
        EXPECT_GT(figures.callbacks, before) << names[port] << ": a grab is delivered";
    }
    {
        HangWatchdog::Call call(watchdog, "finalize");
        EXPECT_EQ(finalize(), 1);
    }
    std::printf(
        "stress: seed %llu, %.1f s, %llu calls, %llu removals, %llu grabs accepted, "
        "%llu callbacks\n",
        static_cast<unsigned long long>(seed), elapsed,
        static_cast<unsigned long long>(figures.calls.load()),
        static_cast<unsigned long long>(figures.removals.load()),
        static_cast<unsigned long long>(figures.grabsAccepted.load()),
        static_cast<unsigned long long>(figures.callbacks.load()));
    EXPECT_GT(figures.removals, 0u);
    EXPECT_GT(figures.callbacks, 0u);
}
