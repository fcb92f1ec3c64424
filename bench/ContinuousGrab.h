#pragma once

#include <cstdint>

namespace sdk {
class InstantCamera;
}

// Continuous grabbing through an open instant camera for a while, at the image size given, as
// the grab benchmarks measure it against Aravis' arv-camera-test-0.8.
struct ContinuousGrab {
    long frames = 0;
    long failures = 0;      // results that did not succeed
    double seconds = 0;     // from the start of grabbing to its stop
    double cpuSeconds = 0;  // user and system time of the whole process, as for arv-camera-test

    // Sets Width and Height, grabs for the seconds given and stops (the camera stays open).
    static ContinuousGrab Run(sdk::InstantCamera& camera, int64_t width, int64_t height,
                              double seconds);
    // One line: "frames N failures N fps F cpu_ms_per_frame F cpu_s F".
    void Print() const;
    bool Passed() const { return failures == 0 && frames > 0; }
    // User and system time of the process so far.
    static double ProcessCpuSeconds();
};
