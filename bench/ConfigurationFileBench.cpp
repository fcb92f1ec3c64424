// Camera open time against the size of the configuration file: 1 KiB, 1 MiB and 50 MiB, once
// padded with many short junk lines and once with one long line. The open reads the file twice
// (driver settings, then the camera section) under the configuration and camera locks; its cost
// should grow linearly with the file's size. A second family times one read of the file with
// the look-ups of a load, without the camera.
//
//   build/release/bench/ostravelk_bench_configuration_file
//
// Prints, after the runs, the time per MiB for each size, which stays flat when the cost is
// linear.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>

#include "TempDirectory.h"
#include "ini/IniFileStore.h"
#include "ostravelk/ostravelk.h"

namespace {

const char* const kCamera = "SV1304-30gm (81000001)";

enum Shape { kManyLines = 0, kOneLine = 1 };

// A configuration file of about size bytes: junk first, then the camera's section and "General".
std::string ConfigurationText(size_t size, Shape shape) {
    std::string text = "[Junk]\n";
    const std::string tail = std::string("[Port.0.0]\n$Camera=") + kCamera +
                             "\nWidth=640\nHeight=480\nExposureTimeAbs=5000\n"
                             "[General]\nLogLevel=1\nBufferCount=5\nlogDebugView=0\n";
    const size_t padding = size > text.size() + tail.size() ? size - text.size() - tail.size() : 0;
    if (shape == kOneLine) {
        text += "Long=" + std::string(padding > 6 ? padding - 6 : 0, 'v') + "\n";
    } else {
        for (size_t n = 0; text.size() + 40 <= padding; ++n) {
            text += "junk" + std::to_string(n) + "=" + std::string(28, 'x') + "\n";
        }
    }
    return text + tail;
}

class Host {
  public:
    Host() : mDevices("ostravelk-ini-dev-"), mHost("ostravelk-ini-host-") {
        std::ofstream(mDevices.Path() + "/81000001.cam")
            << "Class=BaslerGigE\nModel=SV1304-30gm\nSerial=81000001\n";
        ::setenv("OSTRAVELK_SIM_DIR", mDevices.Path().c_str(), 1);
        ::setenv("OSTRAVELK_BACKENDS", "sim", 1);
    }
    std::string IniPath() const { return mHost.Path() + "/Ostravelk.ini"; }
    const std::string& Dir() const { return mHost.Path(); }

  private:
    TempDirectory mDevices;
    TempDirectory mHost;
};

Host* gHost = nullptr;
std::map<std::string, double> gSecondsPerMiB;

void Record(benchmark::State& state, size_t bytes) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
    state.counters["MiB"] = static_cast<double>(bytes) / (1 << 20);
}

void CameraOpen(benchmark::State& state) {
    const size_t size = static_cast<size_t>(state.range(0));
    const std::string text = ConfigurationText(size, static_cast<Shape>(state.range(1)));
    std::ofstream(gHost->IniPath(), std::ios::binary | std::ios::trunc) << text;
    if (initialize(gHost->Dir().c_str(), nullptr) != 1) {
        state.SkipWithError("initialize failed");
        return;
    }
    int imageSize[2] = {0, 0};
    for (auto _ : state) {
        if (openCVLPort(0, 0, kCamera, imageSize) != 1) {
            state.SkipWithError("openCVLPort failed");
            break;
        }
        state.PauseTiming();
        closeCVLPort(0, 0);
        state.ResumeTiming();
    }
    finalize();
    Record(state, text.size());
}

void ReadAndLookUp(benchmark::State& state) {
    const size_t size = static_cast<size_t>(state.range(0));
    const std::string text = ConfigurationText(size, static_cast<Shape>(state.range(1)));
    std::ofstream(gHost->IniPath(), std::ios::binary | std::ios::trunc) << text;
    for (auto _ : state) {
        const IniFile file = IniFileStore::Read(gHost->IniPath());
        // About the look-ups of one load of a camera's parameter set.
        for (int key = 0; key < 300; ++key) {
            benchmark::DoNotOptimize(
                file.GetString("Port.0.0", "Key" + std::to_string(key), "default"));
        }
    }
    Record(state, text.size());
}

void Sizes(benchmark::internal::Benchmark* benchmark) {
    for (const int64_t shape : {kManyLines, kOneLine}) {
        for (const int64_t size : {int64_t{1} << 10, int64_t{1} << 20, int64_t{50} << 20}) {
            benchmark->Args({size, shape});
        }
    }
    benchmark->ArgNames({"bytes", "oneLine"})->Unit(benchmark::kMillisecond)->UseRealTime();
}

BENCHMARK(CameraOpen)->Apply(Sizes);
BENCHMARK(ReadAndLookUp)->Apply(Sizes);

// Prints the time per MiB of every run after the table.
class PerMiBReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const auto mib = run.counters.find("MiB");
            if (mib != run.counters.end() && run.iterations > 0) {
                gSecondsPerMiB[run.benchmark_name()] =
                    run.real_accumulated_time / static_cast<double>(run.iterations) / mib->second;
            }
        }
    }
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    Host host;
    gHost = &host;
    PerMiBReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\ntime per MiB of file (flat when linear):\n");
    for (const auto& [name, seconds] : gSecondsPerMiB) {
        std::printf("  %-55s %10.3f ms/MiB\n", name.c_str(), seconds * 1e3);
    }
    gHost = nullptr;
    benchmark::Shutdown();
    return 0;
}
