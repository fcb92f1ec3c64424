#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <new>
#include <thread>

#include "TestSupport.h"
#include "ostravelk/ostravelk.h"

// Counts the allocations made on the camera's image queue thread (the thread that retrieves,
// converts and delivers every image), so a test can show that the steady state of continuous
// grabbing allocates nothing per image. The simulated camera's own thread stands for the device
// and is not counted.
namespace {
std::atomic<long> gAllocations{0};
std::atomic<int> gFrames{0};
thread_local bool tDeliveryThread = false;
void OnFrame(int, int) {
    tDeliveryThread = true;
    ++gFrames;
}
}  // namespace

void* operator new(std::size_t size) {
    if (tDeliveryThread) ++gAllocations;
    if (void* block = std::malloc(size ? size : 1)) return block;
    throw std::bad_alloc();
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }

// Grabs continuously from the camera and counts the allocations on its delivery thread over
// `images` images after a warm-up; the driver is initialised and finalised around it.
struct Counted {
    long allocations = -1;
    int images = 0;
};
Counted CountAllocations(const SimCameras& sim, const char* camera, int images) {
    Counted counted;
    EXPECT_EQ(initialize(sim.HostDir().c_str(), nullptr), 1);
    int size[2];
    EXPECT_EQ(openCVLPort(0, 0, camera, size), 1);
    EXPECT_EQ(setCompleteCallback(0, 0, OnFrame), 1);
    EXPECT_EQ(setProperty(0, 0, "continuous", 1), 1);

    // Bounded waits for events; how long the images take does not matter.
    auto waitFrames = [](int count) {
        for (int i = 0; i < 3000 && gFrames < count; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return gFrames >= count;
    };
    if (waitFrames(gFrames + 5)) {
        const long before = gAllocations;
        const int framesBefore = gFrames;
        if (waitFrames(framesBefore + images)) {
            counted.allocations = gAllocations - before;
            counted.images = gFrames - framesBefore;
        }
    }
    setProperty(0, 0, "continuous", 0);
    finalize();
    return counted;
}

TEST(Allocation, NoAllocationPerImage) {
    SimCameras sim;
    // Default logging (level 1 once the camera's settings are applied): no per-image lines.
    const Counted counted = CountAllocations(sim, SimCameras::kGigE, 20);
    ASSERT_GE(counted.images, 20);
    EXPECT_EQ(counted.allocations, 0) << "over " << counted.images << " images";
}

// Many images of a small, fast camera: containers that allocate now and then (every few dozen
// pushes) on the delivery path show up here.
TEST(Allocation, NoAllocationOverManyImages) {
    SimCameras sim;
    sim.Add("31000003.cam",
            "Class=BaslerGigE\nModel=SV1304-30gm\nSerial=31000003\nHeight=16\n"
            "ExposureTimeRaw=2\n");
    const Counted counted = CountAllocations(sim, "SV1304-30gm (31000003)", 400);
    ASSERT_GE(counted.images, 400);
    EXPECT_EQ(counted.allocations, 0) << "over " << counted.images << " images";
}
