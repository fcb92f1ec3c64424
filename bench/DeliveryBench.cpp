// Image delivery through the exports with simulated cameras grabbing continuously at once, for
// 1, 4 and 20 cameras. Two kinds of camera:
//
//   Mono8     (default) GigE model, 64 x 16 Mono8, exposure 40 us, frame rate limit 1000 Hz:
//             the delivery path itself with next to no pixels;
//   BayerGR8, Mono12p   USB model at the size users grab, 2448 x 2048, converted by the driver
//             (BayerGR8, the simulated colour sensor's filter, to BGR8; Mono12p to Mono8) and read
//             out row by row with getCVLGrabRow by the host in its completion callback, as a host
//             must before the next image overwrites the output image. The sensor is made as tall as
//             the simulator allows, which gives the highest frame rate it has for this size, 320
//             Hz; lower rates are set through the exports.
//
// Per run:
//
//   ratio     frames delivered to the host's completion callback / frames produced, where the
//             frames produced are the range of block ids between the first and the last frame
//             delivered in the measuring window (every produced frame has its own block id).
//             A simulated camera exposes a frame only into a free buffer, so a host that falls
//             behind slows the cameras down instead of losing frames: overload shows as frames
//             per second below the rate set and as growing latency, while the ratio stays 1;
//   fps       frames per second and camera that reached the host (mean, and the slowest
//             camera's);
//   CPU       process CPU time in the window per delivered frame (the simulated cameras'
//             image generation included), and of it the conversion and the read-out, measured
//             on the image queue threads;
//   latency   from the SDK's buffer-ready moment (the backend handing the filled buffer to the
//             grab engine) to the entry of the host's callback, p50 / p99 / max;
//   split     medians of the wall time from buffer-ready to the image queue thread taking the
//             result (queue), from there to the callback's entry (convert: the conversion, and
//             the wait for the callback lock that serialises all cameras' callbacks), and of
//             the read-out in the callback.
//
//   ostravelk_bench_delivery [seconds per run, default 3] [camera counts, default 1,4,20]
//                            [camera: Mono8 (default), BayerGR8 or Mono12p]
//                            [frame rates per camera in Hz, default max]

#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "TempDirectory.h"
#include "camera/Camera.h"
#include "camera/CameraList.h"
#include "ostravelk/ostravelk.h"
#include "sdk/grab/GrabResult.h"
#include "sdk/grab/GrabResultPtr.h"
#include "sdk/grab/ImageEventHandler.h"
#include "sdk/grab/InstantCamera.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kMaxCameras = 20;

struct CameraKind {
    std::string format;  // camera pixel format
    int width, height;
    bool readout;  // the host reads every image out in its callback
};

double Seconds(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

double Micros(Clock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
}

// What one camera delivered in the measuring window. Written only by that camera's image queue
// thread (the SDK's image handler and the host callback run on it, one after the other).
struct PortStats {
    Clock::time_point readyTime;  // of the result being delivered
    Clock::time_point takenTime;  // when the image queue thread took it
    double takenCpu = 0;          // that thread's CPU time then
    uint64_t blockId = 0;
    uint64_t firstBlock = 0;
    uint64_t lastBlock = 0;
    uint64_t delivered = 0;
    double convertCpu = 0;  // seconds, summed
    double readoutCpu = 0;
    // Reserved up front: the callback does not allocate.
    std::vector<double> latencyUs, queueUs, convertUs, readoutUs;
    std::vector<uint8_t> row;  // one output row
};

PortStats gStats[kMaxCameras];
std::atomic<bool> gMeasuring{false};
// Callbacks per camera since it was opened, for the warm-up.
std::atomic<uint64_t> gCallbacks[kMaxCameras];
// Set before the driver is finalized: late callbacks no longer read out.
std::atomic<bool> gStopping{false};
CameraKind gKind;

// Notes the buffer-ready time of each result on its way to the host.
class ReadyTimeTap : public sdk::ImageEventHandler {
  public:
    explicit ReadyTimeTap(int port) : mPort(port) {}
    void OnImageGrabbed(sdk::InstantCamera&, const sdk::GrabResultPtr& result) override {
        PortStats& s = gStats[mPort];
        s.readyTime = result->GetBufferReadyTime();
        s.takenTime = Clock::now();
        s.takenCpu = Seconds(CLOCK_THREAD_CPUTIME_ID);
        s.blockId = result->GetBlockID();
    }

  private:
    int mPort;
};

void Keep(std::vector<double>& samples, double value) {
    if (samples.size() < samples.capacity()) samples.push_back(value);
}

void OnComplete(int, int port) {
    const Clock::time_point now = Clock::now();
    const double cpu = Seconds(CLOCK_THREAD_CPUTIME_ID);
    if (port < 0 || port >= kMaxCameras) return;
    PortStats& s = gStats[port];
    gCallbacks[port].fetch_add(1, std::memory_order_relaxed);
    double readoutUs = 0, readoutCpu = 0;
    if (gKind.readout && !gStopping.load(std::memory_order_relaxed)) {
        for (int y = 0; y < gKind.height; ++y) {
            getCVLGrabRow(0, port, s.row.data(), y, 0, gKind.width - 1);
        }
        readoutUs = Micros(Clock::now() - now);
        readoutCpu = Seconds(CLOCK_THREAD_CPUTIME_ID) - cpu;
    }
    if (!gMeasuring.load(std::memory_order_relaxed)) return;
    if (s.delivered == 0) s.firstBlock = s.blockId;
    s.lastBlock = s.blockId;
    ++s.delivered;
    s.convertCpu += cpu - s.takenCpu;
    s.readoutCpu += readoutCpu;
    Keep(s.latencyUs, Micros(now - s.readyTime));
    Keep(s.queueUs, Micros(s.takenTime - s.readyTime));
    Keep(s.convertUs, Micros(now - s.takenTime));
    Keep(s.readoutUs, readoutUs);
}

double Percentile(std::vector<double>& values, double p) {
    if (values.empty()) {
        return 0.0;
    }
    const size_t k = std::min(values.size() - 1, static_cast<size_t>(p * (values.size() - 1)));
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(k), values.end());
    return values[k];
}

// The camera file of camera i of this kind, and the name the driver lists it under.
std::string CameraFile(const CameraKind& kind, const std::string& serial, std::string& name) {
    std::ostringstream file;
    if (kind.format == "Mono8") {
        name = "SV1304-30gm (" + serial + ")";
        file << "Class=BaslerGigE\nModel=SV1304-30gm\nSerial=" << serial
             << "\nWidth=64\nHeight=16\nExposureTimeRaw=2\n"
                "AcquisitionFrameRateEnable=1\nAcquisitionFrameRateAbs=1000\n";
    } else {
        // The USB model reads 40 full sensors a second; the tallest sensor the simulator has
        // (16384 rows) lets 320 images of 2048 rows a second through.
        const char* model = kind.format == "BayerGR8" ? "SV1928-40uc" : "SV1928-40um";
        name = std::string(model) + " (" + serial + ")";
        file << "Class=BaslerUsb\nModel=" << model << "\nSerial=" << serial
             << "\nPixelFormat=" << kind.format << "\nSensorWidth=" << kind.width
             << "\nSensorHeight=16384\nWidth=" << kind.width << "\nHeight=" << kind.height
             << "\nExposureTime=100\n";
    }
    return file.str();
}

bool Run(int cameras, double seconds, int rateLimit) {
    const TempDirectory devices("ostravelk-bench-dev-");
    const TempDirectory host("ostravelk-bench-host-");
    std::vector<std::string> names;
    for (int i = 0; i < cameras; ++i) {
        const std::string serial = std::to_string(41000000 + i);
        std::string name;
        std::ofstream(devices.Path() + "/" + serial + ".cam") << CameraFile(gKind, serial, name);
        names.push_back(name);
    }
    ::setenv("OSTRAVELK_SIM_DIR", devices.Path().c_str(), 1);
    if (initialize(host.Path().c_str(), nullptr) != 1) {
        std::fprintf(stderr, "initialize failed\n");
        return false;
    }
    std::vector<std::unique_ptr<ReadyTimeTap>> taps;
    int frameRate = 0;
    int pixelBits = 8;
    const size_t samples = static_cast<size_t>(seconds * std::min(rateLimit, 2000)) + 1000;
    for (int port = 0; port < cameras; ++port) {
        int size[2] = {0, 0};
        if (openCVLPort(0, port, names[port].c_str(), size) != 1 || size[0] != gKind.width ||
            size[1] != gKind.height) {
            std::fprintf(stderr, "openCVLPort %s failed (size %d x %d)\n", names[port].c_str(),
                         size[0], size[1]);
            return false;
        }
        // The frame rate limit once more through the exports, after the driver applied its
        // settings at open. The resulting rate read here is the camera's top rate (the limit
        // takes effect when grabbing starts); the smaller of the two is the rate set.
        setProperty(0, port, "AcquisitionFrameRateEnable", 1);
        setProperty(0, port, "framerate", rateLimit);
        if (getProperty(0, port, "ResultingFrameRateAbs", &frameRate) != 1) {
            getProperty(0, port, "ResultingFrameRate", &frameRate);
        }
        getProperty(0, port, "PixelSize", &pixelBits);
        taps.push_back(std::make_unique<ReadyTimeTap>(port));
        CameraList::Instance().GetByPort_(port)->mInstantCamera->RegisterImageEventHandler(
            taps.back().get(), sdk::RegistrationMode_Append, sdk::Cleanup_None);
        gStats[port] = PortStats();
        gCallbacks[port] = 0;
        for (auto* v : {&gStats[port].latencyUs, &gStats[port].queueUs, &gStats[port].convertUs,
                        &gStats[port].readoutUs}) {
            v->reserve(samples);
        }
        gStats[port].row.resize(size_t(gKind.width) * size_t(pixelBits / 8));
        setCompleteCallback(0, port, OnComplete);
    }
    for (int port = 0; port < cameras; ++port) {
        setProperty(0, port, "continuous", 1);
    }
    // Warm-up: at least a second, and until every camera has delivered twice (a camera renders
    // its frames when it first grabs, which takes 20 cameras several seconds on two cores).
    gStopping = false;
    const Clock::time_point warmUpEnd = Clock::now() + std::chrono::seconds(30);
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    auto warm = [&] {
        for (int port = 0; port < cameras; ++port) {
            if (gCallbacks[port].load() < 2) return false;
        }
        return true;
    };
    while (!warm() && Clock::now() < warmUpEnd) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    const double cpuStart = Seconds(CLOCK_PROCESS_CPUTIME_ID);
    gMeasuring = true;
    const Clock::time_point start = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    gMeasuring = false;
    const double window = std::chrono::duration<double>(Clock::now() - start).count();
    const double cpu = Seconds(CLOCK_PROCESS_CPUTIME_ID) - cpuStart;
    for (int port = 0; port < cameras; ++port) {
        setProperty(0, port, "continuous", 0);
    }
    // finalize ends the image queue threads: the statistics are complete and settled after it.
    gStopping = true;
    finalize();

    uint64_t delivered = 0;
    uint64_t produced = 0;
    double convertCpu = 0, readoutCpu = 0;
    std::vector<double> latencies, queue, convert, readout;
    double slowest = 1e30;
    for (int port = 0; port < cameras; ++port) {
        const PortStats& s = gStats[port];
        delivered += s.delivered;
        produced += s.delivered ? s.lastBlock - s.firstBlock + 1 : 0;
        convertCpu += s.convertCpu;
        readoutCpu += s.readoutCpu;
        latencies.insert(latencies.end(), s.latencyUs.begin(), s.latencyUs.end());
        queue.insert(queue.end(), s.queueUs.begin(), s.queueUs.end());
        convert.insert(convert.end(), s.convertUs.begin(), s.convertUs.end());
        readout.insert(readout.end(), s.readoutUs.begin(), s.readoutUs.end());
        slowest = std::min(slowest, s.delivered / window);
    }
    const double maxUs =
        latencies.empty() ? 0.0 : *std::max_element(latencies.begin(), latencies.end());
    const double frames = delivered ? double(delivered) : 1.0;
    std::printf(
        "%7d %9d %9llu %9llu %7.4f %8.1f %8.1f %8.2f %8.2f %8.2f %9.0f %9.0f %9.0f %8.0f %8.0f "
        "%8.0f\n",
        cameras, std::min(frameRate, rateLimit), static_cast<unsigned long long>(delivered),
        static_cast<unsigned long long>(produced),
        produced ? double(delivered) / double(produced) : 0.0, delivered / window / cameras,
        slowest, 1e3 * cpu / frames, 1e3 * convertCpu / frames, 1e3 * readoutCpu / frames,
        Percentile(latencies, 0.50), Percentile(latencies, 0.99), maxUs, Percentile(queue, 0.5),
        Percentile(convert, 0.5), Percentile(readout, 0.5));
    std::fflush(stdout);
    return true;
}

std::vector<std::string> Split(const std::string& text) {
    std::vector<std::string> items;
    std::stringstream list(text);
    for (std::string item; std::getline(list, item, ',');) items.push_back(item);
    return items;
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 3.0;
    std::vector<int> counts{1, 4, 20};
    if (argc > 2) {
        counts.clear();
        for (const std::string& item : Split(argv[2])) {
            counts.push_back(std::clamp(std::atoi(item.c_str()), 1, kMaxCameras));
        }
    }
    const std::string format = argc > 3 ? argv[3] : "Mono8";
    if (format == "Mono8") {
        gKind = CameraKind{format, 64, 16, false};
    } else if (format == "BayerGR8" || format == "Mono12p") {
        gKind = CameraKind{format, 2448, 2048, true};
    } else {
        std::fprintf(stderr, "unknown camera %s (Mono8, BayerGR8 or Mono12p)\n", format.c_str());
        return 2;
    }
    std::vector<int> rates;
    for (const std::string& item : Split(argc > 4 ? argv[4] : "max")) {
        rates.push_back(item == "max" ? 1000 : std::clamp(std::atoi(item.c_str()), 1, 1000));
    }
    std::printf("%s %d x %d%s, %.1f s per run\n", format.c_str(), gKind.width, gKind.height,
                gKind.readout ? ", read out row by row in the callback" : "", seconds);
    std::printf("%7s %9s %9s %9s %7s %8s %8s %8s %8s %8s %9s %9s %9s %8s %8s %8s\n", "cameras",
                "rate/Hz", "delivered", "produced", "ratio", "fps/cam", "slowest", "cpu/ms",
                "conv/ms", "read/ms", "p50/us", "p99/us", "max/us", "queue/us", "conv/us",
                "read/us");
    // Each run in a process of its own, which initializes the driver once as a host does (and
    // no run sees threads or state a previous one left).
    std::fflush(stdout);
    for (int rate : rates) {
        for (int cameras : counts) {
            const pid_t child = ::fork();
            if (child < 0) {
                std::perror("fork");
                return 1;
            }
            if (child == 0) _exit(Run(cameras, seconds, rate) ? 0 : 1);
            int status = 0;
            if (::waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
                WEXITSTATUS(status) != 0) {
                return 1;
            }
        }
    }
    return 0;
}
