#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "sdk/grab/WaitObjectEx.h"
#include "sdk/transport/FrameInfo.h"
#include "sdk/transport/IStreamSink.h"

namespace sdk {

class Device;
class GrabResult;
class GrabResultPtr;
class IBufferFactory;

// The buffer cycle behind an instant camera's grabbing (caller-provided loop, one-by-one):
//
//   Start        allocates the buffers (from the factory, or from the heap without one), arms
//                the device (Device::StartStreaming) and queues them;
//   OnBufferDone (backend thread) puts a finished buffer on the ready queue, notes the time and
//                signals the wait object;
//   Retrieve     hands out the oldest ready buffer as its slot's GrabResult; after maxImages
//                results grabbing stops by itself;
//   ReleaseBuffer (last GrabResultPtr gone) queues the buffer again while grabbing, otherwise
//                frees it;
//   Stop         disarms the device, drops ready results and frees every buffer not held by a
//                GrabResult (those are freed when released).
//
// Buffer slot states: Queued (at the device), Ready (ready queue), User (held by a result),
// Idle (allocated but not queued, e.g. beyond maxImages; or empty, free for a later Start).
// Slots of an earlier run that are still held are marked orphaned and freed on release.
//
// Steady grabbing allocates nothing: each slot owns one GrabResult that is filled again for every
// buffer it delivers (handles count references in it), the ready queue is a ring as large as the
// slot table, and a Start reuses empty slots before it adds new ones.
//
// Threading: Start, Stop and Retrieve run on the camera's callers (host threads, the image queue
// thread, whose Retrieve stops a run that reached its image count); OnBufferDone on the backend
// thread; ReleaseBuffer on whatever thread drops the last result handle.
//
// Start and stop of one engine never overlap: mRunMutex is held for the whole of Start and of
// Stop, including the device's StartStreaming/StopStreaming, and "grabbing" (mGrabbing) stays set
// until a stop has finished. So a caller that sees IsGrabbing() false finds no stop under way, and
// a Start never meets the late half of a stop (which would stop the new stream or free its
// buffers). A stop on behalf of a finished run (Retrieve) names that run (mRun) and does nothing
// when another run has begun meanwhile. mRunMutex is taken before mMutex, never the other way.
// No lock of the engine is held while the image queue thread waits on mWait.
//
// mMutex guards all other members except mWait (thread-safe itself) and is never held while
// calling into the device or the factory... except for QueueBuffer, which backends accept from any
// thread. While a stop is under way (mStopping) no buffer is queued and no result handed out. A
// slot's GrabResult is written only while its slot is Queued or Ready (under mMutex) or just taken
// by Retrieve (before its handle exists).
class GrabEngine : public IStreamSink, public std::enable_shared_from_this<GrabEngine> {
  public:
    static constexpr size_t kUnlimited = SIZE_MAX;

    GrabEngine();
    ~GrabEngine() override;

    // Throws what the device or the factory throws; nothing stays allocated then.
    void Start(Device& device, IBufferFactory* factory, size_t bufferCount, size_t maxImages);
    void Stop();
    bool IsGrabbing() const;

    // True with a result; false when nothing became ready within the time. The engine must be
    // owned by a shared_ptr (results keep it alive).
    bool Retrieve(unsigned int timeoutMs, GrabResultPtr& result, intptr_t cameraContext);
    size_t NumReadyBuffers() const;
    size_t NumQueuedBuffers() const;
    const WaitObjectEx& GetWaitObject() const { return mWait; }

    void OnBufferDone(uint64_t handle, const FrameInfo& info) override;
    void ReleaseBuffer(size_t slot) noexcept;

  private:
    enum class State { Idle, Queued, Ready, User };
    struct Slot {
        void* data = nullptr;
        size_t size = 0;
        intptr_t context = 0;
        IBufferFactory* factory = nullptr;  // null: heap buffer
        State state = State::Idle;
        bool orphaned = false;
        std::unique_ptr<GrabResult> result;  // this slot's pooled result; never null
    };
    // A buffer allocated by Start before it gets a slot.
    struct NewBuffer {
        void* data = nullptr;
        size_t size = 0;
        intptr_t context = 0;
        IBufferFactory* factory = nullptr;
    };

    // Stops run (any run: kAnyRun); mRunMutex held.
    static constexpr uint64_t kAnyRun = 0;
    void StopRun(uint64_t run);
    // Stops run unless another one has begun; takes mRunMutex.
    void StopFinishedRun(uint64_t run);
    static void FreeBuffer(void* data, intptr_t context, IBufferFactory* factory) noexcept;
    static void FreeSlot(Slot& slot) noexcept;
    void PushReady(size_t index);
    size_t PopReady();

    std::mutex mRunMutex;  // serialises Start and Stop
    mutable std::mutex mMutex;
    std::vector<Slot> mSlots;    // index = handle; never shrinks while results may exist
    std::vector<size_t> mReady;  // ring of ready slot indexes, as large as mSlots
    size_t mReadyHead = 0;       // oldest entry of the ring
    size_t mReadyCount = 0;
    Device* mDevice = nullptr;
    bool mGrabbing = false;  // from Start until a stop has finished
    bool mStopping = false;  // a stop is under way
    uint64_t mRun = 0;       // the current or last run; counts from 1
    size_t mMaxImages = kUnlimited;
    size_t mQueuedTotal = 0;     // buffers queued in this run
    size_t mRetrievedTotal = 0;  // results handed out in this run
    WaitObjectEx mWait;
};

}  // namespace sdk
