#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <thread>
#include <vector>

#include "CountingBufferFactory.h"
#include "ShippedCameraTest.h"
#include "sdk/genapi/GenApi.h"
#include "sdk/grab/GigEInstantCamera.h"
#include "sdk/grab/GrabResult.h"
#include "sdk/grab/GrabResultPtr.h"
#include "sdk/grab/ImageEventHandler.h"
#include "sdk/grab/UsbInstantCamera.h"
#include "sdk/grab/WaitObjectEx.h"
#include "sdk/grab/WaitObjects.h"

// Counts operator new on threads that ask for it, so a test can show that retrieving and
// releasing results allocates nothing once grabbing runs. Other threads (the simulator's) are not
// counted; the other tests of this program are not affected.
namespace {
std::atomic<long> gAllocations{0};
thread_local bool tCounting = false;
}  // namespace

void* operator new(std::size_t size) {
    if (tCounting) {
        ++gAllocations;
    }
    if (void* block = std::malloc(size ? size : 1)) {
        return block;
    }
    throw std::bad_alloc();
}
void operator delete(void* block) noexcept {
    std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}

using namespace sdk;

namespace {

class GrabResultTest : public ShippedCameraTest {};

void EnableChunk(InstantCamera& camera, const char* name, bool on) {
    INodeMap& map = camera.GetNodeMap();
    As<IBoolean>(map.GetNode("ChunkModeActive"))->SetValue(true);
    As<IEnumeration>(map.GetNode("ChunkSelector"))->FromString(name);
    As<IBoolean>(map.GetNode("ChunkEnable"))->SetValue(on);
}

// Triggers one frame and retrieves it.
void TriggerAndRetrieve(InstantCamera& camera, GrabResultPtr& result) {
    camera.ExecuteSoftwareTrigger();
    ASSERT_TRUE(camera.RetrieveResult(kPatienceMs, result, TimeoutHandling_Return));
    ASSERT_TRUE(result.IsValid());
}

TEST_F(GrabResultTest, CopiesShareTheResultAndTheLastOneGivesTheBufferBack) {
    UsbInstantCamera camera(CreateDevice("BaslerUsb"));
    CountingBufferFactory factory;
    camera.SetBufferFactory(&factory, Cleanup_None);
    camera.Open();
    As<IInteger>(camera.GetNodeMap().GetNode("Height"))->SetValue(16);
    camera.StartGrabbing(1);
    GrabResultPtr result;
    ASSERT_TRUE(camera.RetrieveResult(kPatienceMs, result, TimeoutHandling_Return));
    EXPECT_FALSE(camera.IsGrabbing());  // one image was asked for

    GrabResultPtr copy = result;
    GrabResultPtr assigned;
    assigned = copy;
    EXPECT_EQ(&*copy, &*result);
    EXPECT_EQ(assigned.operator->(), result.operator->());
    assigned = assigned;  // self-assignment keeps it
    ASSERT_TRUE(assigned.IsValid());
    GrabResultPtr moved = std::move(copy);
    EXPECT_FALSE(copy.IsValid());  // NOLINT(bugprone-use-after-move): a moved handle is empty
    EXPECT_THROW(copy->GetBlockID(), LogicalErrorException);

    result.Release();
    assigned.Release();
    EXPECT_EQ(factory.freed, 0);  // `moved` still holds it
    EXPECT_EQ(moved->GetBlockID(), 0u);
    moved = GrabResultPtr();
    EXPECT_EQ(factory.freed, 1);
    EXPECT_TRUE(factory.live.empty());
}

TEST_F(GrabResultTest, ASlotsResultIsReusedForEveryBufferItDelivers) {
    GigEInstantCamera camera(CreateDevice("BaslerGigE"));
    CountingBufferFactory factory;
    MakeTriggered(camera, 1, &factory);
    camera.StartGrabbing();
    GrabResultPtr result;
    TriggerAndRetrieve(camera, result);
    const GrabResult* first = &*result;
    void* buffer = result->GetBuffer();
    EXPECT_EQ(result->GetBlockID(), 1u);
    result.Release();
    for (uint64_t expected = 2; expected <= 4; ++expected) {
        TriggerAndRetrieve(camera, result);
        EXPECT_EQ(&*result, first);
        EXPECT_EQ(result->GetBuffer(), buffer);
        EXPECT_EQ(result->GetBlockID(), expected);
        uint64_t id = 0;
        std::memcpy(&id, result->GetBuffer(), sizeof id);
        EXPECT_EQ(id, expected);
        result.Release();
    }
    camera.StopGrabbing();
    EXPECT_EQ(factory.freed, 1);
}

TEST_F(GrabResultTest, RestartingReusesFreeSlotsAndKeepsHeldOnes) {
    GigEInstantCamera camera(CreateDevice("BaslerGigE"));
    CountingBufferFactory factory;
    MakeTriggered(camera, 1, &factory);
    GrabResultPtr held;
    camera.StartGrabbing();
    TriggerAndRetrieve(camera, held);
    camera.StopGrabbing();  // `held` keeps its buffer
    EXPECT_EQ(factory.freed, 0);

    camera.StartGrabbing();  // a second slot: the first is still held
    GrabResultPtr result;
    TriggerAndRetrieve(camera, result);
    EXPECT_NE(&*result, &*held);
    EXPECT_EQ(held->GetBlockID(), 1u);  // unchanged by the new run
    const GrabResult* second = &*result;
    result.Release();
    held.Release();  // orphaned: freed, its slot free again
    EXPECT_EQ(factory.freed, 1);
    camera.StopGrabbing();
    EXPECT_EQ(factory.freed, 2);

    camera.StartGrabbing();  // both slots are free; the first one is taken again
    TriggerAndRetrieve(camera, result);
    EXPECT_NE(&*result, second);
    result.Release();
    camera.StopGrabbing();
    EXPECT_EQ(factory.freed, 3);
    EXPECT_TRUE(factory.live.empty());
}

TEST_F(GrabResultTest, AResultOutlivesItsCamera) {
    CountingBufferFactory factory;
    GrabResultPtr result;
    {
        GigEInstantCamera camera(CreateDevice("BaslerGigE"));
        MakeTriggered(camera, 2, &factory);
        camera.StartGrabbing();
        TriggerAndRetrieve(camera, result);
    }
    EXPECT_EQ(factory.freed, 1);  // the buffer that was not held
    EXPECT_EQ(result->GetBlockID(), 1u);
    uint64_t id = 0;
    std::memcpy(&id, result->GetBuffer(), sizeof id);
    EXPECT_EQ(id, 1u);
    result.Release();  // the grab engine goes with it
    EXPECT_EQ(factory.freed, 2);
    EXPECT_TRUE(factory.live.empty());
}

TEST_F(GrabResultTest, TheChunkMapIsKeptWhileTheChunksStayTheSame) {
    GigEInstantCamera camera(CreateDevice("BaslerGigE"));
    MakeTriggered(camera, 1);
    camera.StartGrabbing();
    GrabResultPtr result;
    TriggerAndRetrieve(camera, result);
    EXPECT_FALSE(result->IsChunkDataAvailable());
    EXPECT_EQ(result->GetChunkDataNodeMap().GetNode("ChunkFramecounter"), nullptr);
    result.Release();

    EnableChunk(camera, "Framecounter", true);
    TriggerAndRetrieve(camera, result);
    ASSERT_TRUE(result->IsChunkDataAvailable());
    INodeMap* map = &result->GetChunkDataNodeMap();
    INode* counter = map->GetNode("ChunkFramecounter");
    ASSERT_NE(counter, nullptr);
    EXPECT_EQ(As<IInteger>(counter)->GetValue(), 2);
    EXPECT_FALSE(IsWritable(counter));
    result.Release();

    TriggerAndRetrieve(camera, result);  // same chunks: same map and nodes, new values
    EXPECT_EQ(&result->GetChunkDataNodeMap(), map);
    EXPECT_EQ(result->GetChunkDataNodeMap().GetNode("ChunkFramecounter"), counter);
    EXPECT_EQ(As<IInteger>(counter)->GetValue(), 3);
    result.Release();

    EnableChunk(camera, "ExposureTime", true);
    TriggerAndRetrieve(camera, result);  // another chunk set: nodes made afresh
    INodeMap& changed = result->GetChunkDataNodeMap();
    EXPECT_EQ(As<IInteger>(changed.GetNode("ChunkFramecounter"))->GetValue(), 4);
    ASSERT_NE(changed.GetNode("ChunkExposureTime"), nullptr);
    EXPECT_DOUBLE_EQ(As<IFloat>(changed.GetNode("ChunkExposureTime"))->GetValue(), 500 * 20.0);
    result.Release();

    As<IBoolean>(camera.GetNodeMap().GetNode("ChunkModeActive"))->SetValue(false);
    TriggerAndRetrieve(camera, result);  // no chunks: an empty map again
    EXPECT_FALSE(result->IsChunkDataAvailable());
    EXPECT_EQ(result->GetChunkDataNodeMap().GetNode("ChunkFramecounter"), nullptr);
    result.Release();
    camera.StopGrabbing();
}

TEST_F(GrabResultTest, TheBufferReadyTimeLiesBetweenTriggerAndRetrieval) {
    GigEInstantCamera camera(CreateDevice("BaslerGigE"));
    MakeTriggered(camera, 1);
    camera.StartGrabbing();
    const auto before = GrabResult::Clock::now();
    GrabResultPtr result;
    TriggerAndRetrieve(camera, result);
    const auto after = GrabResult::Clock::now();
    EXPECT_GE(result->GetBufferReadyTime(), before);
    EXPECT_LE(result->GetBufferReadyTime(), after);
}

TEST_F(GrabResultTest, RetrievingAndReleasingAllocatesNothing) {
    struct Handler : ImageEventHandler {
        void OnImageGrabbed(InstantCamera&, const GrabResultPtr& r) override {
            GrabResultPtr copy = r;  // a copy on the way, as a handler may keep one
            last = copy->GetBlockID();
        }
        uint64_t last = 0;
    } handler;
    GigEInstantCamera camera(CreateDevice("BaslerGigE"));
    camera.RegisterImageEventHandler(&handler, RegistrationMode_Append, Cleanup_None);
    MakeTriggered(camera, 3);
    EnableChunk(camera, "Framecounter", true);
    EnableChunk(camera, "Timestamp", true);
    camera.StartGrabbing();
    WaitObjects waits;
    waits.Add(camera.GetGrabResultWaitObject());
    GrabResultPtr result;
    auto one = [&](uint64_t expected) {
        camera.ExecuteSoftwareTrigger();
        tCounting = true;
        const bool ready = waits.WaitForAll(kPatienceMs);
        const bool retrieved = ready && camera.RetrieveResult(0, result, TimeoutHandling_Return);
        const bool chunks = retrieved && result->IsChunkDataAvailable() &&
                            result->GetChunkDataNodeMap().GetNode("ChunkTimestamp") != nullptr;
        result.Release();
        tCounting = false;
        EXPECT_TRUE(retrieved);
        EXPECT_TRUE(chunks);
        EXPECT_EQ(handler.last, expected);
    };
    // Warm-up: every slot has delivered once with these chunks.
    for (uint64_t id = 1; id <= 3; ++id) {
        one(id);
    }
    const long before = gAllocations;
    for (uint64_t id = 4; id <= 40; ++id) {
        one(id);
    }
    EXPECT_EQ(gAllocations - before, 0);
    camera.StopGrabbing();
}

TEST_F(GrabResultTest, HandlersChangingWhileImagesArriveSeeConsistentLists) {
    struct Counter : ImageEventHandler {
        void OnImageGrabbed(InstantCamera&, const GrabResultPtr&) override { ++images; }
        std::atomic<int> images{0};
    };
    Counter always;
    Counter sometimes;
    GigEInstantCamera camera(CreateDevice("BaslerGigE"));
    camera.RegisterImageEventHandler(&always, RegistrationMode_Append, Cleanup_None);
    camera.Open();
    As<IInteger>(camera.GetNodeMap().GetNode("Height"))->SetValue(16);
    As<IInteger>(camera.GetNodeMap().GetNode("ExposureTimeRaw"))->SetValue(2);
    camera.StartGrabbing();
    std::atomic<bool> stop{false};
    std::thread registrar([&] {
        while (!stop) {
            camera.RegisterImageEventHandler(&sometimes, RegistrationMode_Append, Cleanup_None);
            camera.DeregisterImageEventHandler(&sometimes);
        }
    });
    GrabResultPtr result;
    for (int i = 0; i < 50; ++i) {
        ASSERT_TRUE(camera.RetrieveResult(kPatienceMs, result));
    }
    stop = true;
    registrar.join();
    camera.StopGrabbing();
    EXPECT_EQ(always.images, 50);
    EXPECT_LE(sometimes.images, 50);
}

TEST(WaitObjectsScratch, TheSetCanBeRebuiltBetweenWaits) {
    WaitObjectEx a = WaitObjectEx::Create();
    WaitObjectEx b = WaitObjectEx::Create();
    WaitObjects set;
    set.Add(a);
    a.Signal();
    EXPECT_TRUE(set.WaitForAll(0));
    set.Add(b);  // after a wait: the new object takes part
    EXPECT_FALSE(set.WaitForAll(0));
    unsigned int index = 99;
    EXPECT_TRUE(set.WaitForAny(0, &index));
    EXPECT_EQ(index, 0u);
    set.RemoveAll();
    set.Add(b);
    EXPECT_FALSE(set.WaitForAny(0));
    b.Signal();
    EXPECT_TRUE(set.WaitForAll(0));

    tCounting = true;
    const long before = gAllocations;
    for (int i = 0; i < 10; ++i) {
        set.WaitForAll(0);
        set.WaitForAny(0);
    }
    const long allocations = gAllocations - before;
    tCounting = false;
    EXPECT_EQ(allocations, 0);
}

}  // namespace
