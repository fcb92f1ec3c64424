#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "sdk/sim/SimImage.h"

namespace sdk {

// Makes the frames of a simulated camera in the camera's current pixel format and geometry,
// from its pictures or, without pictures, from the built-in test pattern.
//
// Sensor pixel (x, y) shows picture pixel (x, y), one to one; the picture is cropped where it is
// larger than the sensor and black where it is smaller. A frame is the area of interest (OffsetX,
// OffsetY, Width, Height) of the sensor, mirrored by ReverseX/ReverseY within that area.
//
// The test pattern covers the sensor: eight colour bars (white, yellow, cyan, green, magenta,
// red, blue, black) over the upper two thirds and a grey ramp from black to full scale below.
//
// From the 16-bit colour of a pixel: mono formats take the luma (77 R + 150 G + 29 B) / 256, a
// grey picture's value itself; Bayer formats take the channel the format's colour filter has at
// that pixel of the frame; both keep the format's most significant bits (value >> (16 - bits)),
// in the format's packing (16-bit little-endian containers, the p formats least significant bit
// first, the Packed formats as two pixels in three bytes). Mono8Signed holds value - 128. RGB,
// BGR, RGBa and BGRa take the top 8 bits of each channel (alpha 255); YUV 4:2:2 is BT.601 full
// range, each pair of pixels sharing the chroma of their mean colour. Other pixel types give
// black frames.
//
// Frames are rendered once per layout and kept (Frame): a frame is copied out, never computed,
// while the layout stays the same.
//
// Threading: one thread at a time (the stream thread); the pictures are not changed after
// construction.
class SimFrameRenderer {
  public:
    struct Layout {
        uint32_t pixelType = 0;
        uint32_t width = 0;
        uint32_t height = 0;
        uint32_t offsetX = 0;
        uint32_t offsetY = 0;
        uint32_t sensorWidth = 0;
        uint32_t sensorHeight = 0;
        bool reverseX = false;
        bool reverseY = false;
        size_t payloadSize = 0;  // bytes of a frame; rows are payloadSize / height bytes apart

        bool operator==(const Layout& o) const;
        bool operator!=(const Layout& o) const { return !(*this == o); }
    };

    // No pictures: the test pattern.
    explicit SimFrameRenderer(std::vector<SimImage> images = {});

    bool HasImages() const { return !mImages.empty(); }
    // Pictures played in turn (1 for the test pattern).
    size_t FrameCount() const { return mImages.empty() ? 1 : mImages.size(); }
    // Frame number index (modulo FrameCount) in that layout, payloadSize bytes; rendered at its
    // first use since the layout changed. The reference holds until the next call.
    const std::vector<uint8_t>& Frame(const Layout& layout, uint64_t index);
    // Renders picture number image (the pattern without pictures) into out (payloadSize bytes).
    void Render(const Layout& layout, size_t image, uint8_t* out) const;

  private:
    // 16-bit red, green, blue of each pixel of frame row y.
    void SampleRow(const Layout& layout, const SimImage* image, uint32_t y, uint16_t* rgb) const;

    const std::vector<SimImage> mImages;
    Layout mLayout;
    std::vector<std::vector<uint8_t>> mFrames;  // per picture; empty until rendered
};

}  // namespace sdk
