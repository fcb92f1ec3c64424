#include "sdk/grab/GrabEngine.h"

#include <cstdlib>
#include <exception>
#include <string>

#include "sdk/genapi/GenericException.h"
#include "sdk/grab/GrabResult.h"
#include "sdk/grab/GrabResultPtr.h"
#include "sdk/grab/IBufferFactory.h"
#include "sdk/transport/Device.h"

namespace sdk {

GrabEngine::GrabEngine() : mWait(WaitObjectEx::Create()) {}

GrabEngine::~GrabEngine() {
    for (Slot& slot : mSlots) {
        FreeSlot(slot);
    }
}

void GrabEngine::FreeBuffer(void* data, intptr_t context, IBufferFactory* factory) noexcept {
    if (!data) {
        return;
    }
    try {
        if (factory) {
            factory->FreeBuffer(data, context);
        } else {
            std::free(data);
        }
    } catch (...) {
        // A factory that refuses its own buffer cannot be helped here.
    }
}

void GrabEngine::FreeSlot(Slot& slot) noexcept {
    FreeBuffer(slot.data, slot.context, slot.factory);
    slot.data = nullptr;
    slot.size = 0;
    slot.context = 0;
    slot.factory = nullptr;
    slot.state = State::Idle;
    slot.orphaned = false;
}

void GrabEngine::PushReady(size_t index) {
    // At most every slot is ready at once, and the ring is as large as the slot table.
    mReady[(mReadyHead + mReadyCount) % mReady.size()] = index;
    ++mReadyCount;
}

size_t GrabEngine::PopReady() {
    const size_t index = mReady[mReadyHead];
    mReadyHead = (mReadyHead + 1) % mReady.size();
    --mReadyCount;
    return index;
}

void GrabEngine::Start(Device& device, IBufferFactory* factory, size_t bufferCount,
                       size_t maxImages) {
    std::lock_guard<std::mutex> run(mRunMutex);
    if (maxImages == 0) {
        throw InvalidArgumentException("StartGrabbing: maximum number of images is 0", __FILE__,
                                       __LINE__);
    }
    if (bufferCount == 0) {
        throw InvalidArgumentException("StartGrabbing: MaxNumBuffer is 0", __FILE__, __LINE__);
    }
    const size_t payload = device.GetPayloadSize();
    const size_t count = maxImages < bufferCount ? maxImages : bufferCount;

    // Allocate outside the lock: the factory is the caller's code.
    std::vector<NewBuffer> fresh(count);
    try {
        for (NewBuffer& buffer : fresh) {
            buffer.factory = factory;
            buffer.size = payload;
            if (factory) {
                factory->AllocateBuffer(payload, &buffer.data, buffer.context);
            } else {
                buffer.data = std::malloc(payload ? payload : 1);
            }
            if (!buffer.data) {
                throw RuntimeException(
                    "StartGrabbing: no buffer of " + std::to_string(payload) + " bytes", __FILE__,
                    __LINE__);
            }
        }
    } catch (...) {
        for (NewBuffer& buffer : fresh) {
            FreeBuffer(buffer.data, buffer.context, buffer.factory);
        }
        throw;
    }

    std::vector<size_t> handles;
    handles.reserve(count);
    {
        std::lock_guard<std::mutex> lock(mMutex);
        // Slots of an earlier run: free the idle ones, orphan the ones still held.
        for (Slot& slot : mSlots) {
            if (slot.state == State::User) {
                slot.orphaned = true;
            } else {
                FreeSlot(slot);
            }
        }
        // The new buffers take the free slots first, then new ones.
        size_t next = 0;
        for (NewBuffer& buffer : fresh) {
            while (next < mSlots.size() && mSlots[next].state == State::User) {
                ++next;
            }
            if (next == mSlots.size()) {
                mSlots.emplace_back();
                mSlots.back().result.reset(new GrabResult(next));
            }
            Slot& slot = mSlots[next];
            slot.data = buffer.data;
            slot.size = buffer.size;
            slot.context = buffer.context;
            slot.factory = buffer.factory;
            slot.state = State::Queued;
            handles.push_back(next++);
        }
        mReady.assign(mSlots.size(), 0);
        mReadyHead = 0;
        mReadyCount = 0;
        mWait.Reset();
        mDevice = &device;
        mMaxImages = maxImages;
        mQueuedTotal = handles.size();
        mRetrievedTotal = 0;
        mGrabbing = true;
        mStopping = false;
        ++mRun;
    }
    try {
        device.StartStreaming(*this);
        for (size_t handle : handles) {
            void* data = nullptr;
            size_t size = 0;
            {
                std::lock_guard<std::mutex> lock(mMutex);
                data = mSlots[handle].data;
                size = mSlots[handle].size;
            }
            device.QueueBuffer(data, size, handle);
        }
    } catch (...) {
        try {
            StopRun(kAnyRun);
        } catch (...) {
            // The start's own failure is the one to report.
        }
        throw;
    }
}

void GrabEngine::Stop() {
    std::lock_guard<std::mutex> run(mRunMutex);
    StopRun(kAnyRun);
}

void GrabEngine::StopRun(uint64_t run) {
    Device* device = nullptr;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        if (!mGrabbing || (run != kAnyRun && run != mRun)) {
            return;
        }
        mStopping = true;  // nothing is queued from now on
        device = mDevice;
    }
    std::exception_ptr failure;
    if (device) {
        try {
            device->StopStreaming();
        } catch (...) {
            failure = std::current_exception();  // rethrown once the buffers are back
        }
    }
    std::unique_lock<std::mutex> lock(mMutex);
    for (Slot& slot : mSlots) {
        if (slot.state != State::User) {
            FreeSlot(slot);
        }
    }
    mReadyHead = 0;
    mReadyCount = 0;
    mWait.Reset();
    mDevice = nullptr;
    mStopping = false;
    mGrabbing = false;
    lock.unlock();
    if (failure) {
        std::rethrow_exception(failure);
    }
}

bool GrabEngine::IsGrabbing() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return mGrabbing;
}

bool GrabEngine::Retrieve(unsigned int timeoutMs, GrabResultPtr& result, intptr_t cameraContext) {
    result.Release();
    if (!mWait.Wait(timeoutMs)) {
        return false;
    }
    bool lastImage = false;
    uint64_t run = kAnyRun;
    GrabResult* taken = nullptr;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        if (mReadyCount == 0 || mStopping) {
            mWait.Reset();
            return false;
        }
        const size_t index = PopReady();
        if (mReadyCount == 0) {
            mWait.Reset();
        }
        Slot& slot = mSlots[index];
        slot.state = State::User;
        taken = slot.result.get();
        taken->mBuffer = slot.data;
        taken->mBufferSize = slot.size;
        taken->mBufferContext = slot.context;
        taken->mCameraContext = cameraContext;
        taken->mKeepAlive = shared_from_this();
        taken->mRefs.store(1, std::memory_order_relaxed);
        ++mRetrievedTotal;
        lastImage = mMaxImages != kUnlimited && mRetrievedTotal >= mMaxImages;
        run = mRun;
    }
    // The slot is ours (User) and no handle exists yet: nobody else reads or writes the result.
    GrabResultPtr handle(taken);
    try {
        taken->UpdateChunkMap();
    } catch (...) {
        if (lastImage) {
            StopFinishedRun(run);
        }
        throw;  // the handle gives the buffer back
    }
    result = std::move(handle);
    if (lastImage) {
        StopFinishedRun(run);
    }
    return true;
}

void GrabEngine::StopFinishedRun(uint64_t run) {
    std::lock_guard<std::mutex> lock(mRunMutex);
    StopRun(run);
}

size_t GrabEngine::NumReadyBuffers() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return mReadyCount;
}

size_t GrabEngine::NumQueuedBuffers() const {
    std::lock_guard<std::mutex> lock(mMutex);
    size_t queued = 0;
    for (const Slot& slot : mSlots) {
        queued += slot.state == State::Queued ? 1 : 0;
    }
    return queued;
}

void GrabEngine::OnBufferDone(uint64_t handle, const FrameInfo& info) {
    const GrabResult::Clock::time_point now = GrabResult::Clock::now();
    std::lock_guard<std::mutex> lock(mMutex);
    if (handle >= mSlots.size() || mSlots[handle].state != State::Queued) {
        return;
    }
    Slot& slot = mSlots[handle];
    // Copy assignment keeps the capacity of the result's strings and chunk list.
    slot.result->mInfo = info;
    slot.result->mReadyTime = now;
    slot.state = State::Ready;
    PushReady(static_cast<size_t>(handle));
    mWait.Signal();
}

void GrabEngine::ReleaseBuffer(size_t index) noexcept {
    std::lock_guard<std::mutex> lock(mMutex);
    if (index >= mSlots.size()) {
        return;
    }
    Slot& slot = mSlots[index];
    if (slot.state != State::User) {
        return;
    }
    const bool requeue = mGrabbing && !mStopping && !slot.orphaned && mDevice &&
                         (mMaxImages == kUnlimited || mQueuedTotal < mMaxImages);
    if (!requeue) {
        if (mGrabbing && !slot.orphaned) {
            slot.state = State::Idle;  // beyond the image count; freed at Stop
        } else {
            FreeSlot(slot);
        }
        return;
    }
    slot.state = State::Queued;
    ++mQueuedTotal;
    try {
        mDevice->QueueBuffer(slot.data, slot.size, index);
    } catch (...) {
        slot.state = State::Idle;
    }
}

}  // namespace sdk
