#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "sdk/FrameInfo.h"
#include "sdk/PixelType.h"

namespace sdk {

class GrabEngine;
class INodeMap;
class MemoryNodeMap;

// One retrieved buffer with what the device reported about it. Reached through GrabResultPtr;
// when the last GrabResultPtr lets go, the buffer goes back to the grab engine (queued again
// while grabbing, otherwise returned to the buffer factory).
//
// Threading: read from any thread; it does not change after RetrieveResult created it.
class GrabResult {
  public:
    GrabResult(std::shared_ptr<GrabEngine> engine, size_t slot, void* buffer, size_t bufferSize,
               intptr_t bufferContext, intptr_t cameraContext, FrameInfo info);
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

    bool IsChunkDataAvailable() const { return !mInfo.chunks.empty(); }
    // The chunk values as read-only nodes (empty map without chunk data).
    INodeMap& GetChunkDataNodeMap() const;

  private:
    std::shared_ptr<GrabEngine> mEngine;
    const size_t mSlot;
    void* const mBuffer;
    const size_t mBufferSize;
    const intptr_t mBufferContext;
    const intptr_t mCameraContext;
    const FrameInfo mInfo;
    std::unique_ptr<MemoryNodeMap> mChunks;
};

}  // namespace sdk
