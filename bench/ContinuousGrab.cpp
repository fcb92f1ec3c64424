#include "ContinuousGrab.h"

#include <sys/resource.h>

#include <chrono>
#include <cstdio>

#include "sdk/genapi/GenApi.h"
#include "sdk/grab/GrabResult.h"
#include "sdk/grab/GrabResultPtr.h"
#include "sdk/grab/InstantCamera.h"

namespace {

double Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

double ContinuousGrab::ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

ContinuousGrab ContinuousGrab::Run(sdk::InstantCamera& camera, int64_t width, int64_t height,
                                   double seconds) {
    sdk::INodeMap& nodes = camera.GetNodeMap();
    sdk::As<sdk::IInteger>(nodes.GetNode("Width"))->SetValue(width);
    sdk::As<sdk::IInteger>(nodes.GetNode("Height"))->SetValue(height);
    ContinuousGrab grab;
    const auto start = std::chrono::steady_clock::now();
    camera.StartGrabbing();
    sdk::GrabResultPtr result;
    while (Since(start) < seconds) {
        if (camera.RetrieveResult(1000, result, sdk::TimeoutHandling_Return)) {
            ++grab.frames;
            grab.failures += result->GrabSucceeded() ? 0 : 1;
            result.Release();
        }
    }
    camera.StopGrabbing();
    grab.seconds = Since(start);
    grab.cpuSeconds = ProcessCpuSeconds();
    return grab;
}

void ContinuousGrab::Print() const {
    std::printf("frames %ld failures %ld fps %.2f cpu_ms_per_frame %.3f cpu_s %.3f\n", frames,
                failures, seconds > 0 ? frames / seconds : 0.0,
                frames ? 1000.0 * cpuSeconds / frames : 0.0, cpuSeconds);
}
