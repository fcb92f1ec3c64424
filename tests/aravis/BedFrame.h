#pragma once

#include <arv.h>

#include <cstdint>
#include <string>
#include <vector>

// The frames the test bed serves, as Aravis' fake camera draws them: a diagonal ramp in which
// pixel (x, y) of a Mono8 frame is (b + x + y) mod 255, b being the frame's own base (it moves
// with the frame count). Rows read out of the driver are checked against it with the base taken
// from the frame's first pixel, so every row and column is checked, and a row from elsewhere in
// the frame (or from another frame) shows.
//
// Only Mono8 is drawn: the bed serves that format where a description offers it, and Mono8
// frames under any other PixelFormat.
//
// Threading: stateless.
class BedFrame {
  public:
    // Whether the bed draws frames of that format.
    static bool Draws(ArvPixelFormat format);
    // The formats the bed prefers, best first, for a camera whose description offers several.
    static const std::vector<ArvPixelFormat>& Preferred();
    // The value of pixel (x, y) of a frame whose first pixel is base.
    static uint8_t Value(uint8_t base, int64_t x, int64_t y);
    // Row y as the driver hands it to a host (one byte per pixel) for a frame whose first
    // pixel is base.
    static std::vector<uint8_t> OutputRow(uint8_t base, int64_t width, int64_t y);
    // The format's name ("Mono8", ...), else its number in hex.
    static std::string Name(ArvPixelFormat format);
};
