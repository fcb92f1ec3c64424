// Frames per second and CPU time per frame of continuous grabbing through the sdk instant camera
// from a USB3 Vision camera of the USB emulator (Aravis' own USB3 Vision code over libusb), for
// comparison with Aravis' arv-camera-test-0.8 on the same emulated camera and size
// (run_usb_bench.sh runs both).
//
// Usage: ostravelk_bench_usb_grab XML [seconds] [width] [height] [frame period us]
// Prints one line: frames, failures, frames/s, process CPU ms per frame, process CPU s.

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "GenicamUsbCamera.h"
#include "sdk/genapi/GenApi.h"
#include "sdk/grab/GrabResult.h"
#include "sdk/grab/GrabResultPtr.h"
#include "sdk/grab/UsbInstantCamera.h"
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
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s XML [seconds] [width] [height] [period us]\n", argv[0]);
        return 2;
    }
    const double seconds = argc > 2 ? std::atof(argv[2]) : 10.0;
    const int64_t width = argc > 3 ? std::atoll(argv[3]) : 512;
    const int64_t height = argc > 4 ? std::atoll(argv[4]) : 512;
    const unsigned period = argc > 5 ? static_cast<unsigned>(std::atoi(argv[5])) : 40000;
    setenv("OSTRAVELK_BACKENDS", "aravis", 0);
    try {
        GenicamUsbCamera usb(argv[1], "BENCH01", period);
        sdk::DeviceInfo filter;
        filter.SetDeviceClass(sdk::DeviceInfo::kClassUsb);
        sdk::UsbInstantCamera camera(sdk::TlFactory::GetInstance().CreateDevice(filter));
        camera.MaxNumBuffer.SetValue(10);
        camera.Open();
        sdk::INodeMap& nodes = camera.GetNodeMap();
        sdk::As<sdk::IInteger>(nodes.GetNode("Width"))->SetValue(width);
        sdk::As<sdk::IInteger>(nodes.GetNode("Height"))->SetValue(height);

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
        camera.Close();
        const double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        // The whole process, as measured for arv-camera-test.
        const double cpu = ProcessCpuSeconds();
        std::printf("frames %ld failures %ld fps %.2f cpu_ms_per_frame %.3f cpu_s %.3f\n", frames,
                    failures, frames / elapsed, frames ? 1000.0 * cpu / frames : 0.0, cpu);
        return failures == 0 && frames > 0 ? 0 : 1;
    } catch (const sdk::GenericException& e) {
        std::fprintf(stderr, "failed: %s\n", e.GetDescription());
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "failed: %s\n", e.what());
        return 2;
    }
}
