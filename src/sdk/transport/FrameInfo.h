#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace sdk {

// What a backend reports about one buffer it has finished with (see IStreamSink).
struct FrameInfo {
    enum class Status { Succeeded, Failed };

    // One chunk value that came with the frame; it becomes a read-only node of the result's
    // chunk-data node map.
    struct Chunk {
        std::string name;  // node name, e.g. "ChunkTimestamp"
        std::variant<int64_t, double, bool> value;
    };

    Status status = Status::Succeeded;
    uint32_t errorCode = 0;
    std::string errorDescription;
    uint64_t blockId = 0;
    uint64_t timeStamp = 0;
    uint32_t pixelType = 0;  // PFNC number (sdk::EPixelType)
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t offsetX = 0;
    uint32_t offsetY = 0;
    uint32_t paddingX = 0;      // bytes at the end of each row
    size_t payloadSize = 0;     // bytes of the buffer that hold the image
    std::vector<Chunk> chunks;  // empty when chunk mode is off
};

}  // namespace sdk
