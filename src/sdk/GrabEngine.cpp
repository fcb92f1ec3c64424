#include "sdk/GrabEngine.h"

#include <cstdlib>

#include "sdk/Device.h"
#include "sdk/GenericException.h"
#include "sdk/GrabResult.h"
#include "sdk/GrabResultPtr.h"
#include "sdk/IBufferFactory.h"

namespace sdk {

GrabEngine::GrabEngine() : mWait(WaitObjectEx::Create()) {}

GrabEngine::~GrabEngine() {
    for (Slot& slot : mSlots) {
        FreeSlot(slot);
    }
}

void GrabEngine::FreeSlot(Slot& slot) noexcept {
    if (!slot.data) {
        return;
    }
    try {
        if (slot.factory) {
            slot.factory->FreeBuffer(slot.data, slot.context);
        } else {
            std::free(slot.data);
        }
    } catch (...) {
        // A factory that refuses its own buffer cannot be helped here.
    }
    slot.data = nullptr;
    slot.size = 0;
    slot.state = State::Idle;
}

void GrabEngine::Start(Device& device, IBufferFactory* factory, size_t bufferCount,
                       size_t maxImages) {
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
    std::vector<Slot> fresh(count);
    try {
        for (Slot& slot : fresh) {
            slot.factory = factory;
            slot.size = payload;
            if (factory) {
                factory->AllocateBuffer(payload, &slot.data, slot.context);
            } else {
                slot.data = std::malloc(payload ? payload : 1);
            }
            if (!slot.data) {
                throw RuntimeException(
                    "StartGrabbing: no buffer of " + std::to_string(payload) + " bytes", __FILE__,
                    __LINE__);
            }
        }
    } catch (...) {
        for (Slot& slot : fresh) {
            FreeSlot(slot);
        }
        throw;
    }

    std::vector<size_t> handles;
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
        for (Slot& slot : fresh) {
            slot.state = State::Queued;
            handles.push_back(mSlots.size());
            mSlots.push_back(slot);
        }
        mReady.clear();
        mWait.Reset();
        mDevice = &device;
        mMaxImages = maxImages;
        mQueuedTotal = handles.size();
        mRetrievedTotal = 0;
        mGrabbing = true;
    }
    try {
        device.StartStreaming(*this);
        for (size_t handle : handles) {
            device.QueueBuffer(mSlots[handle].data, mSlots[handle].size, handle);
        }
    } catch (...) {
        Stop();
        throw;
    }
}

void GrabEngine::Stop() {
    Device* device = nullptr;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        if (!mGrabbing) {
            return;
        }
        mGrabbing = false;
        device = mDevice;
    }
    if (device) {
        device->StopStreaming();
    }
    std::lock_guard<std::mutex> lock(mMutex);
    for (Slot& slot : mSlots) {
        if (slot.state != State::User) {
            FreeSlot(slot);
        }
    }
    mReady.clear();
    mWait.Reset();
    mDevice = nullptr;
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
    {
        std::lock_guard<std::mutex> lock(mMutex);
        if (mReady.empty()) {
            mWait.Reset();
            return false;
        }
        const size_t index = mReady.front();
        mReady.pop_front();
        if (mReady.empty()) {
            mWait.Reset();
        }
        Slot& slot = mSlots[index];
        slot.state = State::User;
        result = GrabResultPtr(std::make_shared<GrabResult>(shared_from_this(), index, slot.data,
                                                            slot.size, slot.context, cameraContext,
                                                            slot.info));
        ++mRetrievedTotal;
        lastImage = mMaxImages != kUnlimited && mRetrievedTotal >= mMaxImages;
    }
    if (lastImage) {
        Stop();
    }
    return true;
}

size_t GrabEngine::NumReadyBuffers() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return mReady.size();
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
    std::lock_guard<std::mutex> lock(mMutex);
    if (handle >= mSlots.size() || mSlots[handle].state != State::Queued) {
        return;
    }
    Slot& slot = mSlots[handle];
    slot.info = info;
    slot.state = State::Ready;
    mReady.push_back(static_cast<size_t>(handle));
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
    const bool requeue = mGrabbing && !slot.orphaned && mDevice &&
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
