#include "BedFrame.h"

#include <cstdio>

bool BedFrame::Draws(ArvPixelFormat format) {
    return format == ARV_PIXEL_FORMAT_MONO_8;
}

const std::vector<ArvPixelFormat>& BedFrame::Preferred() {
    static const std::vector<ArvPixelFormat> formats = {ARV_PIXEL_FORMAT_MONO_8};
    return formats;
}

uint8_t BedFrame::Value(uint8_t base, int64_t x, int64_t y) {
    return static_cast<uint8_t>((base + x + y) % 255);
}

std::vector<uint8_t> BedFrame::OutputRow(uint8_t base, int64_t width, int64_t y) {
    std::vector<uint8_t> row(static_cast<size_t>(width));
    for (int64_t x = 0; x < width; ++x) {
        row[static_cast<size_t>(x)] = Value(base, x, y);
    }
    return row;
}

std::string BedFrame::Name(ArvPixelFormat format) {
    if (format == ARV_PIXEL_FORMAT_MONO_8) {
        return "Mono8";
    }
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(format));
    return text;
}
