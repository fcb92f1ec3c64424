// Row read-out of a whole 2448 x 2048 colour image (24-bit, 14.3 MiB) through the export
// getCVLGrabRow, one call per row as a host does it, against a single memcpy of the same bytes.
// The image comes from a simulated USB Bayer camera whose sensor is made 2448 x 2048 in its camera
// file; one grab fills the driver's output image before the measurement. After the runs the ratio
// read-out time / memcpy time is printed (mean real time per iteration).
//
//   ostravelk_bench_rows --benchmark_min_time=0.5

#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "TempDirectory.h"
#include "ostravelk/ostravelk.h"

namespace {

constexpr int kWidth = 2448;
constexpr int kHeight = 2048;
constexpr size_t kRowBytes = size_t(kWidth) * 3;
constexpr size_t kBytes = kRowBytes * kHeight;

std::mutex gLock;
std::condition_variable gArrived;
int gFrames = 0;

void OnComplete(int, int) {
    std::lock_guard<std::mutex> lock(gLock);
    ++gFrames;
    gArrived.notify_all();
}

// The driver with one open 2448 x 2048 colour camera on port 0 that has grabbed one image.
class Driver {
  public:
    Driver() : mDevices("ostravelk-rows-dev-"), mHost("ostravelk-rows-host-") {
        std::ofstream(mDevices.Path() + "/51000001.cam")
            << "Class=BaslerUsb\nModel=SV1928-40uc\nSerial=51000001\nPixelFormat=BayerGR8\n"
               "SensorWidth=2448\nSensorHeight=2048\nWidth=2448\nHeight=2048\n"
               "ExposureTime=1000\n";
        ::setenv("OSTRAVELK_SIM_DIR", mDevices.Path().c_str(), 1);
        int size[2] = {0, 0};
        int pixelSize = 0;
        if (initialize(mHost.Path().c_str(), nullptr) != 1 ||
            openCVLPort(0, 0, "SV1928-40uc (51000001)", size) != 1 ||
            getProperty(0, 0, "PixelSize", &pixelSize) != 1 || size[0] != kWidth ||
            size[1] != kHeight || pixelSize != 24) {
            std::fprintf(stderr, "no %d x %d colour camera (got %d x %d, %d bits)\n", kWidth,
                         kHeight, size[0], size[1], pixelSize);
            std::exit(1);
        }
        setCompleteCallback(0, 0, OnComplete);
        doCVLGrab(0, 0);
        std::unique_lock<std::mutex> lock(gLock);
        if (!gArrived.wait_for(lock, std::chrono::seconds(30), [] { return gFrames > 0; })) {
            std::fprintf(stderr, "no image within 30 s\n");
            std::exit(1);
        }
    }
    ~Driver() { finalize(); }

  private:
    TempDirectory mDevices;
    TempDirectory mHost;
};

std::unique_ptr<Driver> gDriver;  // made by main before the runs

void RowReadout(benchmark::State& state) {
    std::vector<uint8_t> image(kBytes);
    for (auto _ : state) {
        for (int row = 0; row < kHeight; ++row) {
            if (getCVLGrabRow(0, 0, image.data() + row * kRowBytes, row, 0, kWidth - 1) != 1) {
                state.SkipWithError("getCVLGrabRow failed");
                return;
            }
        }
        benchmark::DoNotOptimize(image.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kBytes));
}

void Memcpy(benchmark::State& state) {
    std::vector<uint8_t> source(kBytes, 0x5a);
    std::vector<uint8_t> image(kBytes);
    for (auto _ : state) {
        std::memcpy(image.data(), source.data(), kBytes);
        benchmark::DoNotOptimize(image.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kBytes));
}

BENCHMARK(Memcpy)->Unit(benchmark::kMicrosecond);
BENCHMARK(RowReadout)->Unit(benchmark::kMicrosecond);

// Console output as usual, and the mean real time per iteration of each run kept for the ratio.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    // Colours only on a terminal.
    RatioReporter() : ConsoleReporter(::isatty(1) ? OO_Defaults : OO_Tabular) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && run.iterations > 0) {
                mSeconds[run.run_name.function_name] =
                    run.real_accumulated_time / static_cast<double>(run.iterations);
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> mSeconds;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    gDriver = std::make_unique<Driver>();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    gDriver.reset();
    const auto rows = reporter.mSeconds.find("RowReadout");
    const auto copy = reporter.mSeconds.find("Memcpy");
    if (rows != reporter.mSeconds.end() && copy != reporter.mSeconds.end() && copy->second > 0) {
        std::printf(
            "\nrow read-out of %d x %d x 3 bytes: %.0f us, one memcpy: %.0f us, ratio %.2f\n",
            kWidth, kHeight, rows->second * 1e6, copy->second * 1e6, rows->second / copy->second);
    }
    benchmark::Shutdown();
    return 0;
}
