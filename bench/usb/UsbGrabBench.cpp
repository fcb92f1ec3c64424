// Frames per second and CPU time per frame of continuous grabbing through the sdk instant camera
// from a USB3 Vision camera of the USB emulator (Aravis' own USB3 Vision code over libusb), for
// comparison with Aravis' arv-camera-test-0.8 on the same emulated camera and size
// (run_usb_bench.sh runs both).
//
// Usage: ostravelk_bench_usb_grab XML [seconds] [width] [height] [frame period us]
// Prints one line: frames, failures, frames/s, process CPU ms per frame, process CPU s.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "../ContinuousGrab.h"
#include "GenicamUsbCamera.h"
#include "sdk/genapi/GenApi.h"
#include "sdk/grab/UsbInstantCamera.h"
#include "sdk/transport/TlFactory.h"

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
        ContinuousGrab grab = ContinuousGrab::Run(camera, width, height, seconds);
        camera.Close();
        grab.cpuSeconds = ContinuousGrab::ProcessCpuSeconds();  // with the close, as before
        grab.Print();
        return grab.Passed() ? 0 : 1;
    } catch (const sdk::GenericException& e) {
        std::fprintf(stderr, "failed: %s\n", e.GetDescription());
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "failed: %s\n", e.what());
        return 2;
    }
}
