// Image delivery through the exports with simulated cameras at their highest frame rate (GigE
// model, 64 x 16 Mono8, exposure 40 us, frame rate limit 1000 Hz), for 1, 4 and 20 cameras
// grabbing continuously at once. Per run:
//
//   ratio     frames delivered to the host's completion callback / frames produced, where the
//             frames produced are the range of block ids between the first and the last frame
//             delivered in the measuring window (every produced frame has its own block id);
//   rate      frames per second and camera that reached the host;
//   latency   from the SDK's buffer-ready moment (the backend handing the filled buffer to the
//             grab engine) to the entry of the host's callback, p50 / p99 / max in microseconds.
//
//   ostravelk_bench_delivery [seconds per run, default 3] [camera counts, default 1,4,20]

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "camera/Camera.h"
#include "camera/CameraList.h"
#include "ostravelk/ostravelk.h"
#include "sdk/GrabResult.h"
#include "sdk/GrabResultPtr.h"
#include "sdk/ImageEventHandler.h"
#include "sdk/InstantCamera.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kMaxCameras = 20;

// What one camera delivered in the measuring window. Written only by that camera's image queue
// thread (the SDK's image handler and the host callback run on it, one after the other).
struct PortStats {
    Clock::time_point readyTime;  // of the result being delivered
    uint64_t blockId = 0;
    uint64_t firstBlock = 0;
    uint64_t lastBlock = 0;
    uint64_t delivered = 0;
    std::vector<double> latencyUs;  // reserved up front: the callback does not allocate
};

PortStats gStats[kMaxCameras];
std::atomic<bool> gMeasuring{false};

// Notes the buffer-ready time of each result on its way to the host.
class ReadyTimeTap : public sdk::ImageEventHandler {
  public:
    explicit ReadyTimeTap(int port) : mPort(port) {}
    void OnImageGrabbed(sdk::InstantCamera&, const sdk::GrabResultPtr& result) override {
        gStats[mPort].readyTime = result->GetBufferReadyTime();
        gStats[mPort].blockId = result->GetBlockID();
    }

  private:
    int mPort;
};

void OnComplete(int, int port) {
    const Clock::time_point now = Clock::now();
    if (!gMeasuring.load(std::memory_order_relaxed) || port < 0 || port >= kMaxCameras) {
        return;
    }
    PortStats& s = gStats[port];
    if (s.delivered == 0) {
        s.firstBlock = s.blockId;
    }
    s.lastBlock = s.blockId;
    ++s.delivered;
    if (s.latencyUs.size() < s.latencyUs.capacity()) {
        s.latencyUs.push_back(std::chrono::duration<double, std::micro>(now - s.readyTime).count());
    }
}

std::string MakeTempDir(const char* tag) {
    std::string pattern = (std::filesystem::temp_directory_path() / tag).string() + "XXXXXX";
    if (!::mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        std::exit(1);
    }
    return pattern;
}

double Percentile(std::vector<double>& values, double p) {
    if (values.empty()) {
        return 0.0;
    }
    const size_t k = std::min(values.size() - 1, static_cast<size_t>(p * (values.size() - 1)));
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(k), values.end());
    return values[k];
}

bool Run(int cameras, double seconds) {
    const std::string devices = MakeTempDir("ostravelk-bench-dev-");
    const std::string host = MakeTempDir("ostravelk-bench-host-");
    std::vector<std::string> names;
    for (int i = 0; i < cameras; ++i) {
        const std::string serial = std::to_string(41000000 + i);
        std::ofstream(devices + "/" + serial + ".cam")
            << "Class=BaslerGigE\nModel=SV1304-30gm\nSerial=" << serial
            << "\nWidth=64\nHeight=16\nExposureTimeRaw=2\n"
               "AcquisitionFrameRateEnable=1\nAcquisitionFrameRateAbs=1000\n";
        names.push_back("SV1304-30gm (" + serial + ")");
    }
    ::setenv("OSTRAVELK_SIM_DIR", devices.c_str(), 1);
    if (initialize(host.c_str(), nullptr) != 1) {
        std::fprintf(stderr, "initialize failed\n");
        return false;
    }
    std::vector<std::unique_ptr<ReadyTimeTap>> taps;
    int frameRate = 0;
    for (int port = 0; port < cameras; ++port) {
        int size[2] = {0, 0};
        if (openCVLPort(0, port, names[port].c_str(), size) != 1) {
            std::fprintf(stderr, "openCVLPort %s failed\n", names[port].c_str());
            return false;
        }
        // The frame rate limit once more through the exports, after the driver applied its
        // settings at open.
        setProperty(0, port, "AcquisitionFrameRateEnable", 1);
        setProperty(0, port, "framerate", 1000);
        getProperty(0, port, "ResultingFrameRateAbs", &frameRate);
        taps.push_back(std::make_unique<ReadyTimeTap>(port));
        CameraList::Instance().GetByPort_(port)->mInstantCamera->RegisterImageEventHandler(
            taps.back().get(), sdk::RegistrationMode_Append, sdk::Cleanup_None);
        gStats[port] = PortStats();
        gStats[port].latencyUs.reserve(static_cast<size_t>(seconds * 2000) + 1000);
        setCompleteCallback(0, port, OnComplete);
    }
    for (int port = 0; port < cameras; ++port) {
        setProperty(0, port, "continuous", 1);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // warm-up
    gMeasuring = true;
    const Clock::time_point start = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    gMeasuring = false;
    const double window = std::chrono::duration<double>(Clock::now() - start).count();
    for (int port = 0; port < cameras; ++port) {
        setProperty(0, port, "continuous", 0);
    }
    // finalize ends the image queue threads: the statistics are complete and settled after it.
    finalize();

    uint64_t delivered = 0;
    uint64_t produced = 0;
    std::vector<double> latencies;
    double slowest = 1e30;
    for (int port = 0; port < cameras; ++port) {
        const PortStats& s = gStats[port];
        delivered += s.delivered;
        produced += s.delivered ? s.lastBlock - s.firstBlock + 1 : 0;
        latencies.insert(latencies.end(), s.latencyUs.begin(), s.latencyUs.end());
        slowest = std::min(slowest, s.delivered / window);
    }
    const double maxUs =
        latencies.empty() ? 0.0 : *std::max_element(latencies.begin(), latencies.end());
    const double p50 = Percentile(latencies, 0.50);
    const double p99 = Percentile(latencies, 0.99);
    std::printf("%8d %12d %10llu %10llu %8.4f %12.0f %12.0f %9.1f %9.1f %9.1f\n", cameras,
                frameRate, static_cast<unsigned long long>(delivered),
                static_cast<unsigned long long>(produced),
                produced ? double(delivered) / double(produced) : 0.0, delivered / window / cameras,
                slowest, p50, p99, maxUs);
    std::fflush(stdout);
    std::filesystem::remove_all(devices);
    std::filesystem::remove_all(host);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 3.0;
    std::vector<int> counts{1, 4, 20};
    if (argc > 2) {
        counts.clear();
        std::stringstream list(argv[2]);
        for (std::string item; std::getline(list, item, ',');) {
            counts.push_back(std::clamp(std::atoi(item.c_str()), 1, kMaxCameras));
        }
    }
    std::printf("%8s %12s %10s %10s %8s %12s %12s %9s %9s %9s\n", "cameras", "rate set/Hz",
                "delivered", "produced", "ratio", "fps/camera", "slowest fps", "p50/us", "p99/us",
                "max/us");
    for (int cameras : counts) {
        if (!Run(cameras, seconds)) {
            return 1;
        }
    }
    return 0;
}
