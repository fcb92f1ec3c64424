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

TEST(Allocation, DISABLED_NoAllocationPerImage) {
    SimCameras sim;
    // Default logging (level 1 once the camera's settings are applied): no per-image lines.
    ASSERT_EQ(initialize(sim.HostDir().c_str(), nullptr), 1);
    int size[2];
    ASSERT_EQ(openCVLPort(0, 0, SimCameras::kGigE, size), 1);
    ASSERT_EQ(setCompleteCallback(0, 0, OnFrame), 1);
    ASSERT_EQ(setProperty(0, 0, "continuous", 1), 1);

    auto waitFrames = [](int count) {
        for (int i = 0; i < 500 && gFrames < count; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return gFrames >= count;
    };
    ASSERT_TRUE(waitFrames(5));
    long before = gAllocations;
    int framesBefore = gFrames;
    ASSERT_TRUE(waitFrames(framesBefore + 20));
    long allocations = gAllocations - before;
    int frames = gFrames - framesBefore;
    setProperty(0, 0, "continuous", 0);
    finalize();
    EXPECT_EQ(allocations, 0) << "over " << frames << " images";
}
