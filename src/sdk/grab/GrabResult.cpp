#include "sdk/grab/GrabResult.h"

#include <cstdint>
#include <variant>

#include "sdk/grab/GrabEngine.h"
#include "sdk/nodes/BooleanNode.h"
#include "sdk/nodes/FloatNode.h"
#include "sdk/nodes/IntegerNode.h"
#include "sdk/nodes/MemoryNodeMap.h"

namespace sdk {

namespace {

// What GetChunkDataNodeMap gives for a frame without chunks; it never gets nodes.
MemoryNodeMap& EmptyChunkMap() {
    static MemoryNodeMap empty("ChunkData");
    return empty;
}

}  // namespace

GrabResult::GrabResult(size_t slot) : mSlot(slot) {}

GrabResult::~GrabResult() = default;

void GrabResult::AddRef() noexcept {
    mRefs.fetch_add(1, std::memory_order_relaxed);
}

void GrabResult::ReleaseRef() noexcept {
    if (mRefs.fetch_sub(1, std::memory_order_acq_rel) != 1) {
        return;
    }
    // Last handle: give the buffer back. The engine may be destroyed when `engine` goes out of
    // scope, and this result with it, so nothing of *this is touched after ReleaseBuffer.
    const std::shared_ptr<GrabEngine> engine = std::move(mKeepAlive);
    engine->ReleaseBuffer(mSlot);
}

INodeMap& GrabResult::GetChunkDataNodeMap() const {
    if (mInfo.chunks.empty() || !mChunks) {
        return EmptyChunkMap();
    }
    return *mChunks;
}

void GrabResult::UpdateChunkMap() {
    const std::vector<FrameInfo::Chunk>& chunks = mInfo.chunks;
    if (chunks.empty()) {
        return;  // an earlier map stays for the next frame with chunks
    }
    bool same = mChunks && mChunkNodes.size() == chunks.size();
    for (size_t i = 0; same && i < chunks.size(); ++i) {
        same =
            mChunkNodes[i].name == chunks[i].name && mChunkNodes[i].kind == chunks[i].value.index();
    }
    if (!same) {
        // Another chunk set: make the read-only nodes afresh.
        auto map = std::make_unique<MemoryNodeMap>("ChunkData");
        std::vector<ChunkNode> nodes(chunks.size());
        for (size_t i = 0; i < chunks.size(); ++i) {
            ChunkNode& node = nodes[i];
            node.name = chunks[i].name;
            node.kind = chunks[i].value.index();
            if (map->FindMemoryNode(node.name)) {
                continue;
            }
            if (std::holds_alternative<int64_t>(chunks[i].value)) {
                node.integer = &map->Add<IntegerNode>(node.name).SetRange(INT64_MIN, INT64_MAX);
                node.integer->SetAccessMode(RO);
            } else if (std::holds_alternative<double>(chunks[i].value)) {
                node.real = &map->Add<FloatNode>(node.name);
                node.real->SetAccessMode(RO);
            } else if (std::holds_alternative<bool>(chunks[i].value)) {
                node.boolean = &map->Add<BooleanNode>(node.name);
                node.boolean->SetAccessMode(RO);
            }
        }
        mChunks = std::move(map);
        mChunkNodes = std::move(nodes);
    }
    for (size_t i = 0; i < chunks.size(); ++i) {
        const ChunkNode& node = mChunkNodes[i];
        if (node.integer) {
            node.integer->Initialize(std::get<int64_t>(chunks[i].value));
        } else if (node.real) {
            node.real->Initialize(std::get<double>(chunks[i].value));
        } else if (node.boolean) {
            node.boolean->Initialize(std::get<bool>(chunks[i].value));
        }
    }
}

}  // namespace sdk
