#include "sdk/GrabResult.h"

#include "sdk/BooleanNode.h"
#include "sdk/FloatNode.h"
#include "sdk/GrabEngine.h"
#include "sdk/IntegerNode.h"
#include "sdk/MemoryNodeMap.h"

namespace sdk {

namespace {

// Makes the chunk values read-only nodes of a fresh map.
std::unique_ptr<MemoryNodeMap> BuildChunkMap(const FrameInfo& info) {
    auto map = std::make_unique<MemoryNodeMap>("ChunkData");
    for (const FrameInfo::Chunk& chunk : info.chunks) {
        if (map->FindMemoryNode(chunk.name)) {
            continue;
        }
        if (const auto* i = std::get_if<int64_t>(&chunk.value)) {
            map->Add<IntegerNode>(chunk.name)
                .SetRange(INT64_MIN, INT64_MAX)
                .Initialize(*i)
                .SetAccessMode(RO);
        } else if (const auto* d = std::get_if<double>(&chunk.value)) {
            map->Add<FloatNode>(chunk.name).Initialize(*d).SetAccessMode(RO);
        } else if (const auto* b = std::get_if<bool>(&chunk.value)) {
            map->Add<BooleanNode>(chunk.name).Initialize(*b).SetAccessMode(RO);
        }
    }
    return map;
}

}  // namespace

GrabResult::GrabResult(std::shared_ptr<GrabEngine> engine, size_t slot, void* buffer,
                       size_t bufferSize, intptr_t bufferContext, intptr_t cameraContext,
                       FrameInfo info)
    : mEngine(std::move(engine)),
      mSlot(slot),
      mBuffer(buffer),
      mBufferSize(bufferSize),
      mBufferContext(bufferContext),
      mCameraContext(cameraContext),
      mInfo(std::move(info)),
      mChunks(BuildChunkMap(mInfo)) {}

GrabResult::~GrabResult() {
    if (mEngine) {
        mEngine->ReleaseBuffer(mSlot);
    }
}

INodeMap& GrabResult::GetChunkDataNodeMap() const {
    return *mChunks;
}

}  // namespace sdk
