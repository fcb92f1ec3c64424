#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "sdk/sim/SimFrameRenderer.h"

namespace sdk {

class IStreamSink;
class MemoryNodeMap;
struct FrameInfo;

// Frame source of a simulated camera: a thread that fills queued buffers while acquisition runs.
//
// Timing: free running at the resulting frame rate; when the FrameStart or AcquisitionStart
// trigger is "On" with source "Software", one frame per software trigger instead (other trigger
// sources never fire). "SingleFrame" acquisition stops after one frame.
//
// Image: the frames of SimFrameRenderer in the current pixel format and geometry; with pictures,
// picture n of the loop for the n-th frame since the device was opened, else the test pattern
// with its first 8 bytes replaced by the block id (little endian). Block ids count from 1 (GigE)
// or 0 (USB) per opening of the device. With "ChunkModeActive" each enabled chunk comes along as
// "Chunk" + selector entry.
//
// Threading: Start/Stop/Queue/AcquisitionStart/AcquisitionStop/SoftwareTrigger from any thread;
// the sink is called on the stream thread without mMutex held. Start and Stop are serialised by
// mRunMutex (held across the join of the stream thread, and taken before mMutex), so a stop from
// one thread and a start or stop from another never both join or replace mThread; neither may be
// called from the sink. mRenderer is used by the stream thread only; mMutex guards every member
// below it.
class SimStream {
  public:
    // No pictures: the test pattern.
    SimStream(MemoryNodeMap& nodes, bool gige, std::vector<SimImage> images = {});
    ~SimStream();
    SimStream(const SimStream&) = delete;
    SimStream& operator=(const SimStream&) = delete;

    void Start(IStreamSink& sink);
    // After return no buffer is touched and the sink is not called any more.
    void Stop();
    void Queue(void* data, size_t size, uint64_t handle);

    void AcquisitionStart();
    void AcquisitionStop();
    void SoftwareTrigger();
    // Restarts block ids and time stamps (at open).
    void Reset();
    // Tells whether the device has been unplugged: from then on no buffer is filled, whatever
    // its user does. Set before the first Start; called on the stream thread.
    void SetRemovedProbe(std::function<bool()> removed) { mRemoved = std::move(removed); }

  private:
    struct Buffer {
        void* data;
        size_t size;
        uint64_t handle;
    };
    struct Settings;

    void Run();
    // Ends the stream thread; mRunMutex held.
    void StopLocked();
    Settings ReadSettings() const;
    // frame counts from 1 per opening.
    void Fill(const Buffer& buffer, const Settings& settings, uint64_t frame, FrameInfo& info);
    // The ring mQueue; mMutex held.
    void PushBuffer(const Buffer& buffer);
    Buffer PopBuffer();
    void ClearBuffers();

    MemoryNodeMap& mNodes;
    const bool mGigE;
    SimFrameRenderer mRenderer;
    std::function<bool()> mRemoved;  // set before streaming, then only read
    std::mutex mRunMutex;
    std::thread mThread;  // guarded by mRunMutex

    std::mutex mMutex;
    std::condition_variable mChanged;
    IStreamSink* mSink = nullptr;
    bool mStreaming = false;
    bool mAcquiring = false;
    uint64_t mTriggers = 0;  // software triggers not yet used
    // Queued buffers, oldest first: a ring that only grows (queueing a buffer, which the
    // consumer's delivery thread does for every image, allocates nothing once it is large enough).
    std::vector<Buffer> mQueue;
    size_t mQueueHead = 0;
    size_t mQueueCount = 0;
    uint64_t mNextBlockId = 0;
    uint64_t mFrameCounter = 0;
    std::chrono::steady_clock::time_point mEpoch;
};

}  // namespace sdk
