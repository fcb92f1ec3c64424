// Frames per second and CPU time per frame of continuous grabbing through the sdk instant camera
// from the first GigE Vision device Aravis finds, for comparison with Aravis' own
// arv-camera-test-0.8 on the same camera and size (run_aravis_bench.sh runs both against the
// fake camera in a private network namespace).
//
// Usage: ostravelk_bench_aravis_grab [seconds] [width] [height]
// Prints one line: frames, failures, frames/s, process CPU ms per frame.

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "sdk/genapi/GenApi.h"
#include "sdk/grab/GigEInstantCamera.h"
#include "sdk/grab/GrabResult.h"
#include "sdk/grab/GrabResultPtr.h"
#include "sdk/transport/TlFactory.h"

namespace {

double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    const int64_t width = argc > 2 ? std::atoll(argv[2]) : 512;
    const int64_t height = argc > 3 ? std::atoll(argv[3]) : 512;
    setenv("OSTRAVELK_BACKENDS", "aravis", 0);
    try {
        sdk::DeviceInfo filter;
        filter.SetDeviceClass(sdk::DeviceInfo::kClassGigE);
        sdk::GigEInstantCamera camera(sdk::TlFactory::GetInstance().CreateDevice(filter));
        camera.MaxNumBuffer.SetValue(10);
        camera.Open();
        sdk::INodeMap& nodes = camera.GetNodeMap();
        sdk::As<sdk::IInteger>(nodes.GetNode("Width"))->SetValue(width);
        sdk::As<sdk::IInteger>(nodes.GetNode("Height"))->SetValue(height);

        const double cpuStart = 0.0;  // the whole process, as measured for arv-camera-test
        const auto start = std::chrono::steady_clock::now();
        camera.StartGrabbing();
        long frames = 0;
        long failures = 0;
        sdk::GrabResultPtr result;
        while (std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() <
               seconds) {
            if (camera.RetrieveResult(1000, result, sdk::TimeoutHandling_Return)) {
                ++frames;
                failures += result->GrabSucceeded() ? 0 : 1;
                result.Release();
            }
        }
        camera.StopGrabbing();
        const double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double cpu = ProcessCpuSeconds() - cpuStart;
        std::printf("frames %ld failures %ld fps %.2f cpu_ms_per_frame %.3f\n", frames, failures,
                    frames / elapsed, frames ? 1000.0 * cpu / frames : 0.0);
        return failures == 0 && frames > 0 ? 0 : 1;
    } catch (const sdk::GenericException& e) {
        std::fprintf(stderr, "failed: %s\n", e.GetDescription());
        return 2;
    }
}
