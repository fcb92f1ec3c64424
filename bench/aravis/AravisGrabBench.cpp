// Frames per second and CPU time per frame of continuous grabbing through the sdk instant camera
// from the first GigE Vision device Aravis finds, for comparison with Aravis' own
// arv-camera-test-0.8 on the same camera and size (run_aravis_bench.sh runs both against the
// fake camera in a private network namespace).
//
// Usage: ostravelk_bench_aravis_grab [seconds] [width] [height]
// Prints one line: frames, failures, frames/s, process CPU ms per frame, process CPU s.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "../ContinuousGrab.h"
#include "sdk/genapi/GenApi.h"
#include "sdk/grab/GigEInstantCamera.h"
#include "sdk/transport/TlFactory.h"

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
        const ContinuousGrab grab = ContinuousGrab::Run(camera, width, height, seconds);
        grab.Print();
        return grab.Passed() ? 0 : 1;
    } catch (const sdk::GenericException& e) {
        std::fprintf(stderr, "failed: %s\n", e.GetDescription());
        return 2;
    }
}
