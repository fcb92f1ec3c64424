#pragma once

#include <cstdint>
#include <vector>

namespace sdk {

// A decoded picture for the simulator: 16-bit samples (an 8-bit file's value v becomes v * 257),
// one per pixel for grey pictures, red, green and blue for colour ones, rows top to bottom.
struct SimImage {
    uint32_t width = 0;
    uint32_t height = 0;
    bool color = false;
    std::vector<uint16_t> samples;  // width * height * (color ? 3 : 1)
};

}  // namespace sdk
