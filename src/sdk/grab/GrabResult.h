#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sdk/image/PixelType.h"
#include "sdk/transport/FrameInfo.h"

namespace sdk {

class BooleanNode;
class FloatNode;
class GrabEngine;
class INodeMap;
class IntegerNode;
class MemoryNodeMap;

// One retrieved buffer with what the device reported about it. Reached through GrabResultPtr;
// when the last GrabResultPtr lets go, the buffer goes back to the grab engine (queued again
// while grabbing, otherwise returned to the buffer factory).
//
// Results are pooled: the grab engine keeps one per buffer slot and fills it again for every
// buffer that slot delivers, so handing out a result allocates nothing. The chunk-data node map
// is built only for frames that carry chunks, and is kept (its values refreshed) while the frames
// carry the same chunks. A handed-out result keeps its grab engine alive.
//
// Threading: read from any thread; it does not change while a GrabResultPtr refers to it. The
// engine fills it (Retrieve, OnBufferDone) only while no handle exists.
class GrabResult {
  public:
    using Clock = std::chrono::steady_clock;

    ~GrabResult();
    GrabResult(const GrabResult&) = delete;
    GrabResult& operator=(const GrabResult&) = delete;

    bool GrabSucceeded() const { return mInfo.status == FrameInfo::Status::Succeeded; }
    uint32_t GetErrorCode() const { return mInfo.errorCode; }
    const std::string& GetErrorDescription() const { return mInfo.errorDescription; }
    uint64_t GetBlockID() const { return mInfo.blockId; }
    uint64_t GetTimeStamp() const { return mInfo.timeStamp; }
    intptr_t GetBufferContext() const { return mBufferContext; }
    intptr_t GetCameraContext() const { return mCameraContext; }
    void* GetBuffer() const { return mBuffer; }
    size_t GetBufferSize() const { return mBufferSize; }
    size_t GetPayloadSize() const { return mInfo.payloadSize; }
    size_t GetImageSize() const { return mInfo.payloadSize; }
    EPixelType GetPixelType() const { return static_cast<EPixelType>(mInfo.pixelType); }
    uint32_t GetWidth() const { return mInfo.width; }
    uint32_t GetHeight() const { return mInfo.height; }
    uint32_t GetOffsetX() const { return mInfo.offsetX; }
    uint32_t GetOffsetY() const { return mInfo.offsetY; }
    uint32_t GetPaddingX() const { return mInfo.paddingX; }
    // When the backend handed the filled buffer to the grab engine (host clock, for latency
    // measurements).
    Clock::time_point GetBufferReadyTime() const { return mReadyTime; }

    bool IsChunkDataAvailable() const { return !mInfo.chunks.empty(); }
    // The chunk values as read-only nodes (empty map without chunk data).
    INodeMap& GetChunkDataNodeMap() const;

  private:
    friend class GrabEngine;
    friend class GrabResultPtr;

    // One chunk node of mChunks: the chunk it stands for and the node of its value kind.
    struct ChunkNode {
        std::string name;
        size_t kind = 0;  // index into FrameInfo::Chunk::value
        IntegerNode* integer = nullptr;
        FloatNode* real = nullptr;
        BooleanNode* boolean = nullptr;
    };

    // The result of one buffer slot of the engine; empty until the engine fills it.
    explicit GrabResult(size_t slot);

    void AddRef() noexcept;
    // The last reference gives the buffer back to the engine.
    void ReleaseRef() noexcept;
    // Makes the chunk map match mInfo.chunks (engine, before handing the result out).
    void UpdateChunkMap();

    const size_t mSlot;
    std::atomic<unsigned> mRefs{0};
    std::shared_ptr<GrabEngine> mKeepAlive;  // set while handed out

    void* mBuffer = nullptr;
    size_t mBufferSize = 0;
    intptr_t mBufferContext = 0;
    intptr_t mCameraContext = 0;
    FrameInfo mInfo;
    Clock::time_point mReadyTime;

    // Chunk map of the last frame with chunks (null until one came), and per chunk of that
    // frame the node holding its value (all null for a name that came twice: the first wins).
    std::unique_ptr<MemoryNodeMap> mChunks;
    std::vector<ChunkNode> mChunkNodes;
};

}  // namespace sdk
