// Throughput of the image format converter on a 2448 x 2048 image, with memcpy (the physical
// floor) and OpenCV's single-threaded conversions as reference rows. Items are pixels, so
// "items_per_second" reads as pixels per second. Rates use the process CPU time, so that other
// jobs on a shared machine do not count and hidden worker threads would. The context names the
// SIMD target the converter ran on ("simd"); OSTRAVELK_SIMD caps it (for example "baseline").
// At the end the program prints each conversion's rate against OpenCV's for the same
// conversion (medians when the runs are repeated), and for the packed mono formats the rate at
// the best SIMD target against the rate at the baseline, both measured in this process whatever
// OSTRAVELK_SIMD says (AtBest/X and AtBaseline/X).
//
//   OSTRAVELK_SIMD=baseline ostravelk_bench_converter --benchmark_repetitions=5
//       --benchmark_enable_random_interleaving=true  (runs the repetitions interleaved)

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "sdk/convert/RowKernels.h"
#include "sdk/image/ImageFormatConverter.h"
#include "sdk/image/PixelType.h"

namespace {

constexpr uint32_t kWidth = 2448;
constexpr uint32_t kHeight = 2048;
constexpr size_t kPixels = size_t(kWidth) * kHeight;

constexpr uint32_t Pt(sdk::EPixelType t) {
    return static_cast<uint32_t>(t);
}

const std::vector<uint8_t>& RandomSource() {
    // Large enough for the widest source (4 bytes per pixel).
    static const std::vector<uint8_t> data = [] {
        std::vector<uint8_t> d(kPixels * 4);
        std::mt19937 gen(42);
        for (auto& v : d) v = static_cast<uint8_t>(gen());
        return d;
    }();
    return data;
}

void Memcpy(benchmark::State& state) {
    const size_t bytes = kPixels * static_cast<size_t>(state.range(0));
    const std::vector<uint8_t>& src = RandomSource();
    std::vector<uint8_t> dst(bytes);
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), bytes);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(kPixels));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}

void Convert(benchmark::State& state, sdk::EPixelType source, sdk::EPixelType output) {
    sdk::ImageFormatConverter converter;
    converter.Initialize(Pt(source));
    converter.SetBitDepthReduction(sdk::BitDepthReduction::KeepMostSignificantBits);
    converter.SetOutputPixelFormat(Pt(output));
    const size_t outSize = converter.GetBufferSizeForConversion(Pt(source), kWidth, kHeight);
    const size_t inSize = sdk::ImageFormatConverter::GetSourceSize(Pt(source), kWidth, kHeight);
    const std::vector<uint8_t>& src = RandomSource();
    std::vector<uint8_t> dst(outSize);
    for (auto _ : state) {
        converter.Convert(dst.data(), dst.size(), src.data(), inSize, Pt(source), kWidth, kHeight,
                          0);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(kPixels));
    state.SetLabel(sdk::ImageFormatConverter::KernelName());
}

// Restores the dispatch OSTRAVELK_SIMD asks for.
void RestoreCap() {
    const char* cap = std::getenv("OSTRAVELK_SIMD");
    if (!cap || !sdk::convert::LimitTarget(cap)) sdk::convert::LimitTarget("best");
}

// A conversion with the dispatch capped at `cap` ("best" or "baseline") while it runs. The
// benchmarks run one at a time, so no kernel runs while the cap changes.
void ConvertCapped(benchmark::State& state, sdk::EPixelType source, sdk::EPixelType output,
                   const char* cap) {
    if (!sdk::convert::LimitTarget(cap)) {
        state.SkipWithError("unknown SIMD cap");
        return;
    }
    Convert(state, source, output);
    RestoreCap();
}

void AtBest(benchmark::State& state, sdk::EPixelType source, sdk::EPixelType output) {
    ConvertCapped(state, source, output, "best");
}

void AtBaseline(benchmark::State& state, sdk::EPixelType source, sdk::EPixelType output) {
    ConvertCapped(state, source, output, "baseline");
}

void OpenCv(benchmark::State& state, int sourceType, int code) {
    const std::vector<uint8_t>& data = RandomSource();
    const cv::Mat src(kHeight, kWidth, sourceType, const_cast<uint8_t*>(data.data()));
    cv::Mat dst;
    cv::cvtColor(src, dst, code);  // allocate once, outside the timing
    for (auto _ : state) {
        cv::cvtColor(src, dst, code);
        benchmark::DoNotOptimize(dst.data);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(kPixels));
}

using sdk::EPixelType;

BENCHMARK(Memcpy)
    ->Arg(1)
    ->ArgName("bytesPerPixel")
    ->Unit(benchmark::kMicrosecond)
    ->MeasureProcessCPUTime();
BENCHMARK(Memcpy)
    ->Arg(3)
    ->ArgName("bytesPerPixel")
    ->Unit(benchmark::kMicrosecond)
    ->MeasureProcessCPUTime();

#define OSTRAVELK_CONVERT(name, source, output)                                        \
    BENCHMARK_CAPTURE(Convert, name, sdk::PixelType_##source, sdk::PixelType_##output) \
        ->Unit(benchmark::kMicrosecond)                                                \
        ->MeasureProcessCPUTime()

// A conversion and OpenCV's for it, one right after the other, so that both see the same load
// on a shared machine.
#define OSTRAVELK_CONVERT_AND_OPENCV(name, source, output, cvType, cvCode) \
    OSTRAVELK_CONVERT(name, source, output);                               \
    BENCHMARK_CAPTURE(OpenCv, name, cvType, cvCode)                        \
        ->Unit(benchmark::kMicrosecond)                                    \
        ->MeasureProcessCPUTime()

// A packed mono conversion at the best target and at the baseline, one right after the other.
#define OSTRAVELK_CONVERT_BEST_AND_BASELINE(name, source, output)                         \
    BENCHMARK_CAPTURE(AtBest, name, sdk::PixelType_##source, sdk::PixelType_##output)     \
        ->Unit(benchmark::kMicrosecond)                                                   \
        ->MeasureProcessCPUTime();                                                        \
    BENCHMARK_CAPTURE(AtBaseline, name, sdk::PixelType_##source, sdk::PixelType_##output) \
        ->Unit(benchmark::kMicrosecond)                                                   \
        ->MeasureProcessCPUTime()

// Camera BayerRG is OpenCV's BayerBG (OpenCV names the second row).
OSTRAVELK_CONVERT(Mono8_to_Mono8, Mono8, Mono8);
OSTRAVELK_CONVERT(Mono12p_to_Mono8, Mono12p, Mono8);
OSTRAVELK_CONVERT(Mono12Packed_to_Mono8, Mono12Packed, Mono8);
OSTRAVELK_CONVERT(Mono10p_to_Mono8, Mono10p, Mono8);
OSTRAVELK_CONVERT(Mono12_to_Mono8, Mono12, Mono8);
OSTRAVELK_CONVERT_AND_OPENCV(Mono8_to_BGR8, Mono8, BGR8packed, CV_8UC1, cv::COLOR_GRAY2BGR);
OSTRAVELK_CONVERT_AND_OPENCV(BayerRG8_to_BGR8, BayerRG8, BGR8packed, CV_8UC1,
                             cv::COLOR_BayerBG2BGR);
OSTRAVELK_CONVERT_AND_OPENCV(BayerRG8_to_RGB8, BayerRG8, RGB8packed, CV_8UC1,
                             cv::COLOR_BayerBG2RGB);
OSTRAVELK_CONVERT_AND_OPENCV(BayerGB8_to_BGR8, BayerGB8, BGR8packed, CV_8UC1,
                             cv::COLOR_BayerGR2BGR);
OSTRAVELK_CONVERT_AND_OPENCV(BayerRG8_to_Mono8, BayerRG8, Mono8, CV_8UC1, cv::COLOR_BayerBG2GRAY);
OSTRAVELK_CONVERT(BayerRG12p_to_BGR8, BayerRG12p, BGR8packed);
OSTRAVELK_CONVERT(BayerRG12Packed_to_BGR8, BayerRG12Packed, BGR8packed);
OSTRAVELK_CONVERT(BayerRG12_to_BGR8, BayerRG12, BGR8packed);
OSTRAVELK_CONVERT_AND_OPENCV(YUV422_8_to_BGR8, YUV422_8, BGR8packed, CV_8UC2,
                             cv::COLOR_YUV2BGR_YUYV);
OSTRAVELK_CONVERT_AND_OPENCV(YUV422_8_UYVY_to_BGR8, YUV422_8_UYVY, BGR8packed, CV_8UC2,
                             cv::COLOR_YUV2BGR_UYVY);
OSTRAVELK_CONVERT_AND_OPENCV(YUV422_8_to_Mono8, YUV422_8, Mono8, CV_8UC2, cv::COLOR_YUV2GRAY_YUYV);
OSTRAVELK_CONVERT_AND_OPENCV(RGB8_to_BGR8, RGB8, BGR8packed, CV_8UC3, cv::COLOR_RGB2BGR);
OSTRAVELK_CONVERT_AND_OPENCV(BGRa8_to_BGR8, BGRa8, BGR8packed, CV_8UC4, cv::COLOR_BGRA2BGR);
OSTRAVELK_CONVERT_AND_OPENCV(RGB8_to_Mono8, RGB8, Mono8, CV_8UC3, cv::COLOR_RGB2GRAY);
OSTRAVELK_CONVERT_BEST_AND_BASELINE(Mono10p_to_Mono8, Mono10p, Mono8);
OSTRAVELK_CONVERT_BEST_AND_BASELINE(Mono10Packed_to_Mono8, Mono10Packed, Mono8);
OSTRAVELK_CONVERT_BEST_AND_BASELINE(Mono12p_to_Mono8, Mono12p, Mono8);
OSTRAVELK_CONVERT_BEST_AND_BASELINE(Mono12Packed_to_Mono8, Mono12Packed, Mono8);
OSTRAVELK_CONVERT_BEST_AND_BASELINE(Mono12_to_Mono8, Mono12, Mono8);

// The console report, and once all runs are done the rate of every Convert/X against OpenCv/X
// and of every AtBest/X against AtBaseline/X.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    // Colours only on a terminal.
    RatioReporter() : ConsoleReporter(::isatty(1) ? OO_Defaults : OO_Tabular) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            const auto rate = run.counters.find("items_per_second");
            if (rate == run.counters.end()) continue;
            // A median of repetitions replaces single runs; a mean or spread does not count.
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.run_type == Run::RT_Aggregate && !median) continue;
            const std::string& args = run.run_name.args;
            Rate& r = mRates[run.run_name.function_name + (args.empty() ? "" : "/" + args)];
            if (median || !r.median) r = Rate{rate->second.value, median, run.report_label};
        }
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\nConverter rate / OpenCV rate (simd %s, OpenCV on %d thread):\n",
                    sdk::convert::TargetName().c_str(), cv::getNumThreads());
        PrintRatios("Convert/", "OpenCv/");
        std::printf("\nBest target / baseline:\n");
        PrintRatios("AtBest/", "AtBaseline/");
    }

  private:
    struct Rate {
        double value = 0;
        bool median = false;
        std::string target;  // the label: the SIMD target the conversion ran on
    };

    // Every `prefix`X against `otherPrefix`X, with the targets of both where both have one.
    void PrintRatios(const std::string& prefix, const std::string& otherPrefix) const {
        for (const auto& [name, rate] : mRates) {
            if (name.rfind(prefix, 0) != 0) continue;
            const std::string conversion = name.substr(prefix.size());
            const auto other = mRates.find(otherPrefix + conversion);
            if (other == mRates.end()) continue;
            const std::string targets = other->second.target.empty()
                                            ? std::string()
                                            : "  " + rate.target + " / " + other->second.target;
            std::printf("  %-36s %6.2f Gpx/s %6.2f Gpx/s  %5.2fx%s\n", conversion.c_str(),
                        rate.value / 1e9, other->second.value / 1e9,
                        rate.value / other->second.value, targets.c_str());
        }
    }

    std::map<std::string, Rate> mRates;
};

}  // namespace

int main(int argc, char** argv) {
    cv::setNumThreads(1);  // OpenCV single-threaded, like the converter (0 keeps TBB's default)
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::AddCustomContext("opencv_threads", std::to_string(cv::getNumThreads()));
    benchmark::AddCustomContext("simd", sdk::convert::TargetName());
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
