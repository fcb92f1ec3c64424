// libFuzzer target: arbitrary bytes as a picture file of the simulator (ImageFile=), decoded as
// the simulator decodes it and rendered into a small frame.
//
// Besides running the decoder and the renderer under the sanitizers, it checks that a decoded
// picture holds width * height samples per channel, and that the frame shows it one to one: a
// Mono16 frame's pixel is the picture's grey (or the luma of its colour) at the same place, black
// beyond the picture, and an RGB8 frame's pixel the top bits of the picture's colour.
//
// The mutator keeps PNG files readable past their checksums: after each mutation the CRC of
// every whole chunk is set again, so mutated headers, palettes and sizes reach the decoder
// instead of being refused for a bad CRC.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "sdk/image/PixelType.h"
#include "sdk/sim/SimFrameRenderer.h"
#include "sdk/sim/SimImage.h"
#include "sdk/sim/SimImageDecoder.h"

using sdk::SimFrameRenderer;
using sdk::SimImage;

extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t maxSize);

namespace {

void Check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

// The frame: a sensor this small keeps every run fast; pictures are cropped to it.
constexpr uint32_t kSensor = 8;

uint32_t Crc32(const uint8_t* data, size_t size) {
    static uint32_t table[256];
    static bool made = false;
    if (!made) {
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k) {
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            }
            table[n] = c;
        }
        made = true;
    }
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) {
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    }
    return crc ^ 0xFFFFFFFFu;
}

uint32_t ReadBig32(const uint8_t* p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

void WriteBig32(uint8_t* p, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<uint8_t>(value >> (24 - 8 * i));
    }
}

// Sets the CRC of each whole chunk of a PNG file.
void FixPngCrcs(uint8_t* data, size_t size) {
    static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (size < 8 || std::memcmp(data, kSignature, 8) != 0) {
        return;
    }
    size_t at = 8;
    while (at + 12 <= size) {
        const uint32_t length = ReadBig32(data + at);
        if (length > size - at - 12) {
            return;
        }
        WriteBig32(data + at + 8 + length, Crc32(data + at + 4, 4 + size_t{length}));
        at += 12 + size_t{length};
    }
}

uint16_t Luma16(uint16_t r, uint16_t g, uint16_t b) {
    return static_cast<uint16_t>((77u * r + 150u * g + 29u * b + 128u) >> 8);
}

SimFrameRenderer::Layout LayoutOf(sdk::EPixelType type, size_t bytesPerPixel) {
    SimFrameRenderer::Layout layout;
    layout.pixelType = static_cast<uint32_t>(type);
    layout.width = layout.height = layout.sensorWidth = layout.sensorHeight = kSensor;
    layout.payloadSize = size_t{kSensor} * kSensor * bytesPerPixel;
    return layout;
}

}  // namespace

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t maxSize,
                                          unsigned int /*seed*/) {
    size = LLVMFuzzerMutate(data, size, maxSize);
    FixPngCrcs(data, size);
    return size;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SimImage image;
    std::string error;
    if (!sdk::SimImageDecoder::Decode(data, size, image, error)) {
        Check(!error.empty() && image.samples.empty());
        return 0;
    }
    Check(image.width > 0 && image.height > 0);
    const size_t channels = image.color ? 3 : 1;
    Check(image.samples.size() == size_t{image.width} * image.height * channels);

    const uint32_t width = image.width;
    const uint32_t height = image.height;
    const bool color = image.color;
    const std::vector<uint16_t> samples = image.samples;
    SimFrameRenderer renderer({std::move(image)});
    const auto sample = [&](uint32_t x, uint32_t y, size_t channel) {
        return samples[(size_t{y} * width + x) * channels + (color ? channel : 0)];
    };

    std::vector<uint8_t> frame(size_t{kSensor} * kSensor * 3);
    renderer.Render(LayoutOf(sdk::PixelType_Mono16, 2), 0, frame.data());
    for (uint32_t y = 0; y < kSensor; ++y) {
        for (uint32_t x = 0; x < kSensor; ++x) {
            const size_t at = (size_t{y} * kSensor + x) * 2;
            const uint16_t value = static_cast<uint16_t>(frame[at] | frame[at + 1] << 8);
            uint16_t expected = 0;
            if (x < width && y < height) {
                expected = color ? Luma16(sample(x, y, 0), sample(x, y, 1), sample(x, y, 2))
                                 : sample(x, y, 0);
            }
            Check(value == expected);
        }
    }
    renderer.Render(LayoutOf(sdk::PixelType_RGB8, 3), 0, frame.data());
    for (uint32_t y = 0; y < kSensor && y < height; ++y) {
        for (uint32_t x = 0; x < kSensor && x < width; ++x) {
            for (size_t c = 0; c < 3; ++c) {
                Check(frame[(size_t{y} * kSensor + x) * 3 + c] == sample(x, y, c) >> 8);
            }
        }
    }
    return 0;
}
