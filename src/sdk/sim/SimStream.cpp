#include "sdk/sim/SimStream.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "sdk/genapi/IEnumEntry.h"
#include "sdk/image/PixelTypeMapper.h"
#include "sdk/nodes/BooleanNode.h"
#include "sdk/nodes/EnumerationNode.h"
#include "sdk/nodes/FloatNode.h"
#include "sdk/nodes/IntegerNode.h"
#include "sdk/nodes/MemoryNodeMap.h"
#include "sdk/transport/FrameInfo.h"
#include "sdk/transport/IStreamSink.h"

namespace sdk {

struct SimStream::Settings {
    SimFrameRenderer::Layout layout;
    double frameRate = 1.0;
    double exposureUs = 0.0;
    bool softwareTriggered = false;
    bool waitsForHardware = false;
    bool singleFrame = false;
    bool chunks = false;
    std::vector<std::string> enabledChunks;
    int64_t lineStatusAll = 0;
};

SimStream::SimStream(MemoryNodeMap& nodes, bool gige, std::vector<SimImage> images)
    : mNodes(nodes),
      mGigE(gige),
      mRenderer(std::move(images)),
      mEpoch(std::chrono::steady_clock::now()) {
    Reset();
}

SimStream::~SimStream() {
    Stop();
}

void SimStream::Reset() {
    std::lock_guard<std::mutex> lock(mMutex);
    mNextBlockId = mGigE ? 1 : 0;
    mFrameCounter = 0;
    mEpoch = std::chrono::steady_clock::now();
}

void SimStream::Start(IStreamSink& sink) {
    std::lock_guard<std::mutex> run(mRunMutex);
    StopLocked();
    std::lock_guard<std::mutex> lock(mMutex);
    mSink = &sink;
    mStreaming = true;
    ClearBuffers();
    mThread = std::thread(&SimStream::Run, this);
}

void SimStream::Stop() {
    std::lock_guard<std::mutex> run(mRunMutex);
    StopLocked();
}

void SimStream::StopLocked() {
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mStreaming = false;
        mChanged.notify_all();
    }
    if (mThread.joinable()) {
        mThread.join();
    }
    std::lock_guard<std::mutex> lock(mMutex);
    ClearBuffers();
    mSink = nullptr;
    mAcquiring = false;
    mTriggers = 0;
}

void SimStream::Queue(void* data, size_t size, uint64_t handle) {
    std::lock_guard<std::mutex> lock(mMutex);
    if (mStreaming) {
        PushBuffer(Buffer{data, size, handle});
        mChanged.notify_all();
    }
}

void SimStream::PushBuffer(const Buffer& buffer) {
    if (mQueueCount == mQueue.size()) {
        std::vector<Buffer> larger;
        larger.reserve(std::max<size_t>(16, 2 * mQueue.size()));
        for (size_t i = 0; i < mQueueCount; ++i) {
            larger.push_back(mQueue[(mQueueHead + i) % mQueue.size()]);
        }
        larger.resize(larger.capacity());
        mQueue.swap(larger);
        mQueueHead = 0;
    }
    mQueue[(mQueueHead + mQueueCount) % mQueue.size()] = buffer;
    ++mQueueCount;
}

SimStream::Buffer SimStream::PopBuffer() {
    const Buffer buffer = mQueue[mQueueHead];
    mQueueHead = (mQueueHead + 1) % mQueue.size();
    --mQueueCount;
    return buffer;
}

void SimStream::ClearBuffers() {
    mQueueHead = 0;
    mQueueCount = 0;
}

void SimStream::AcquisitionStart() {
    std::lock_guard<std::mutex> lock(mMutex);
    mAcquiring = true;
    mTriggers = 0;
    mChanged.notify_all();
}

void SimStream::AcquisitionStop() {
    std::lock_guard<std::mutex> lock(mMutex);
    mAcquiring = false;
    mChanged.notify_all();
}

void SimStream::SoftwareTrigger() {
    std::lock_guard<std::mutex> lock(mMutex);
    if (mAcquiring) {
        ++mTriggers;
        mChanged.notify_all();
    }
}

SimStream::Settings SimStream::ReadSettings() const {
    std::lock_guard<std::recursive_mutex> lock(mNodes.Mutex());
    Settings s;
    SimFrameRenderer::Layout& l = s.layout;
    auto integer = [this](const char* name) {
        return static_cast<uint32_t>(mNodes.Get<IntegerNode>(name).ReadRaw());
    };
    l.width = integer("Width");
    l.height = integer("Height");
    l.offsetX = integer("OffsetX");
    l.offsetY = integer("OffsetY");
    l.sensorWidth = integer("SensorWidth");
    l.sensorHeight = integer("SensorHeight");
    l.pixelType = static_cast<uint32_t>(mNodes.Get<EnumerationNode>("PixelFormat").ReadRaw());
    l.payloadSize = static_cast<size_t>(mNodes.Get<IntegerNode>("PayloadSize").ReadRaw());
    l.reverseX = mNodes.Get<BooleanNode>("ReverseX").ReadRaw();
    auto* reverseY = dynamic_cast<BooleanNode*>(mNodes.FindMemoryNode("ReverseY"));
    l.reverseY = reverseY && reverseY->ReadRaw();
    s.frameRate =
        mNodes.Get<FloatNode>(mGigE ? "ResultingFrameRateAbs" : "ResultingFrameRate").ReadRaw();
    s.exposureUs = mNodes.Get<FloatNode>(mGigE ? "ExposureTimeAbs" : "ExposureTime").ReadRaw();
    s.singleFrame =
        mNodes.Get<EnumerationNode>("AcquisitionMode").ReadSymbolic() == gcstring("SingleFrame");
    EnumerationNode& selector = mNodes.Get<EnumerationNode>("TriggerSelector");
    EnumerationNode& mode = mNodes.Get<EnumerationNode>("TriggerMode");
    EnumerationNode& source = mNodes.Get<EnumerationNode>("TriggerSource");
    for (const char* name : {"FrameStart", "AcquisitionStart"}) {
        const SelectorKey key{selector.GetEntryByName(name)->GetValue()};
        if (mode.StoredValue(key) == mode.GetEntryByName("On")->GetValue()) {
            if (source.StoredValue(key) == source.GetEntryByName("Software")->GetValue()) {
                s.softwareTriggered = true;
            } else {
                s.waitsForHardware = true;
            }
        }
    }
    s.chunks = mNodes.Get<BooleanNode>("ChunkModeActive").ReadRaw();
    if (s.chunks) {
        EnumerationNode& chunkSelector = mNodes.Get<EnumerationNode>("ChunkSelector");
        BooleanNode& enable = mNodes.Get<BooleanNode>("ChunkEnable");
        for (INode* node : chunkSelector.GetEntries()) {
            auto* entry = dynamic_cast<IEnumEntry*>(node);
            if (entry && enable.StoredValue(SelectorKey{entry->GetValue()})) {
                s.enabledChunks.push_back(entry->GetSymbolic().str());
            }
        }
    }
    s.lineStatusAll = mNodes.Get<IntegerNode>("LineStatusAll").ReadRaw();
    return s;
}

void SimStream::Fill(const Buffer& buffer, const Settings& s, uint64_t frame, FrameInfo& info) {
    const SimFrameRenderer::Layout& l = s.layout;
    info.width = l.width;
    info.height = l.height;
    info.offsetX = l.offsetX;
    info.offsetY = l.offsetY;
    info.pixelType = l.pixelType;
    info.payloadSize = l.payloadSize;
    if (buffer.size < l.payloadSize) {
        info.status = FrameInfo::Status::Failed;
        info.errorCode = 0xE1000014;
        info.errorDescription = "The buffer was too small to receive the image.";
        info.payloadSize = 0;
        return;
    }
    auto* bytes = static_cast<uint8_t*>(buffer.data);
    const std::vector<uint8_t>& image = mRenderer.Frame(l, frame - 1);
    std::memcpy(bytes, image.data(), l.payloadSize);
    if (!mRenderer.HasImages()) {
        for (size_t i = 0; i < 8 && i < l.payloadSize; ++i) {
            bytes[i] = static_cast<uint8_t>(info.blockId >> (8 * i));
        }
    }
    for (const std::string& chunk : s.enabledChunks) {
        FrameInfo::Chunk c;
        c.name = "Chunk" + chunk;
        if (chunk == "Timestamp") {
            c.value = static_cast<int64_t>(info.timeStamp);
        } else if (chunk == "Framecounter") {
            c.value = static_cast<int64_t>(frame);
        } else if (chunk == "ExposureTime") {
            c.value = s.exposureUs;
        } else if (chunk == "LineStatusAll") {
            c.value = s.lineStatusAll;
        } else if (chunk == "Width") {
            c.value = int64_t{l.width};
        } else if (chunk == "Height") {
            c.value = int64_t{l.height};
        } else {
            continue;
        }
        info.chunks.push_back(c);
    }
}

void SimStream::Run() {
    using Clock = std::chrono::steady_clock;
    Clock::time_point nextFrame = Clock::now();
    std::unique_lock<std::mutex> lock(mMutex);
    while (mStreaming) {
        if (!mAcquiring || mQueueCount == 0) {
            mChanged.wait(lock);
            nextFrame = Clock::now();
            continue;
        }
        lock.unlock();
        const Settings settings = ReadSettings();
        lock.lock();
        if (!mStreaming || !mAcquiring || mQueueCount == 0) {
            continue;
        }
        // An unplugged camera sends nothing.
        if (settings.waitsForHardware || (mRemoved && mRemoved())) {
            mChanged.wait_for(lock, std::chrono::milliseconds(100));
            continue;
        }
        if (settings.softwareTriggered) {
            if (mTriggers == 0) {
                mChanged.wait_for(lock, std::chrono::milliseconds(100));
                continue;
            }
            --mTriggers;
        } else {
            const auto period = std::chrono::duration_cast<Clock::duration>(
                std::chrono::duration<double>(1.0 / std::max(settings.frameRate, 0.01)));
            if (Clock::now() < nextFrame) {
                mChanged.wait_until(lock, nextFrame);
                continue;
            }
            nextFrame = std::max(nextFrame + period, Clock::now() - period);
        }
        const Buffer buffer = PopBuffer();
        FrameInfo info;
        info.blockId = mNextBlockId++;
        const uint64_t frame = ++mFrameCounter;
        info.timeStamp = static_cast<uint64_t>(
            std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - mEpoch).count());
        if (settings.singleFrame) {
            mAcquiring = false;
        }
        IStreamSink* sink = mSink;
        lock.unlock();
        Fill(buffer, settings, frame, info);
        sink->OnBufferDone(buffer.handle, info);
        lock.lock();
    }
}

}  // namespace sdk
