#include "sdk/sim/SimFrameRenderer.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <string>

#include "sdk/image/PixelType.h"
#include "sdk/image/PixelTypeMapper.h"

namespace sdk {

namespace {

enum class Kind { None, Mono, Bayer, Colour, Yuv };
enum class Packing { U8, S8, U16, P10, P12, Packed10, Packed12 };

// How a pixel type stores its pixels, read from its name ("BayerGR12p", "Mono10Packed", ...).
struct Encoding {
    Kind kind = Kind::None;
    unsigned bits = 8;
    Packing packing = Packing::U8;
    const char* cfa = "";  // Bayer: the filter's channels at (0,0) (1,0) (0,1) (1,1)
    bool bgr = false;      // colour: blue first
    bool alpha = false;    // colour: a fourth byte
    bool uyvy = false;     // YUV: U Y V Y order
};

bool StartsWith(const std::string& s, const char* prefix) {
    return s.rfind(prefix, 0) == 0;
}

Encoding EncodingOf(uint32_t pixelType) {
    const std::string name =
        PixelTypeMapper::GetNameByPixelType(static_cast<EPixelType>(pixelType));
    Encoding e;
    if (name == "RGB8" || name == "BGR8" || name == "RGBa8" || name == "BGRa8") {
        e.kind = Kind::Colour;
        e.bgr = name[0] == 'B';
        e.alpha = name.size() == 5;
        return e;
    }
    if (name == "YUV422_8" || name == "YCbCr422_8" || name == "YUV422_8_UYVY" ||
        name == "YCbCr422_8_CbYCrY") {
        e.kind = Kind::Yuv;
        e.uyvy = name.size() > 10;
        return e;
    }
    std::string rest;
    if (StartsWith(name, "Mono")) {
        e.kind = Kind::Mono;
        rest = name.substr(4);
    } else if (StartsWith(name, "Bayer") && name.size() > 7) {
        const std::string filter = name.substr(5, 2);
        e.cfa = filter == "GR"   ? "GRBG"
                : filter == "RG" ? "RGGB"
                : filter == "GB" ? "GBRG"
                                 : "BGGR";
        e.kind = Kind::Bayer;
        rest = name.substr(7);
    } else {
        return Encoding();
    }
    size_t digits = 0;
    while (digits < rest.size() && std::isdigit(static_cast<unsigned char>(rest[digits]))) {
        ++digits;
    }
    if (digits == 0) {
        return Encoding();
    }
    e.bits = static_cast<unsigned>(std::stoul(rest.substr(0, digits)));
    const std::string suffix = rest.substr(digits);
    if (e.bits == 8 && suffix.empty()) {
        e.packing = Packing::U8;
    } else if (e.bits == 8 && suffix == "Signed") {
        e.packing = Packing::S8;
    } else if (e.bits > 8 && e.bits <= 16 && suffix.empty()) {
        e.packing = Packing::U16;
    } else if ((e.bits == 10 || e.bits == 12) && (suffix == "p" || suffix == "Packed")) {
        const bool p = suffix == "p";
        e.packing = e.bits == 10 ? (p ? Packing::P10 : Packing::Packed10)
                                 : (p ? Packing::P12 : Packing::Packed12);
    } else {
        return Encoding();
    }
    return e;
}

// Whether sensor row y of the test pattern is one of the colour bars' rows (else the ramp's).
bool IsBarRow(uint32_t y, uint32_t sensorHeight) {
    return uint64_t{y} * 3 < uint64_t{sensorHeight} * 2;
}

// The test pattern's colour at sensor pixel (x, y).
void PatternAt(uint32_t x, uint32_t y, uint32_t sensorWidth, uint32_t sensorHeight, uint16_t* rgb) {
    // White, yellow, cyan, green, magenta, red, blue, black: bit 2 red, bit 1 green, bit 0 blue.
    static const unsigned kBars[8] = {7, 6, 3, 2, 5, 4, 1, 0};
    const uint32_t width = std::max<uint32_t>(sensorWidth, 1);
    if (IsBarRow(y, sensorHeight)) {
        const unsigned bar = kBars[std::min<uint64_t>(uint64_t{x} * 8 / width, 7)];
        rgb[0] = (bar & 4) ? 0xFFFF : 0;
        rgb[1] = (bar & 2) ? 0xFFFF : 0;
        rgb[2] = (bar & 1) ? 0xFFFF : 0;
        return;
    }
    const uint16_t grey =
        width > 1 ? static_cast<uint16_t>(std::min<uint64_t>(x, width - 1) * 0xFFFF / (width - 1))
                  : 0;
    rgb[0] = rgb[1] = rgb[2] = grey;
}

inline unsigned Luma16(const uint16_t* rgb) {
    return (77u * rgb[0] + 150u * rgb[1] + 29u * rgb[2] + 128u) >> 8;
}

inline uint8_t Clamp8(double v) {
    return static_cast<uint8_t>(std::min(std::max(std::lround(v), 0L), 255L));
}

// Writes one row of samples (each below 2^bits) in the packing.
void PackRow(const uint16_t* v, uint32_t width, Packing packing, uint8_t* out) {
    switch (packing) {
        case Packing::U8:
            for (uint32_t x = 0; x < width; ++x) out[x] = static_cast<uint8_t>(v[x]);
            return;
        case Packing::S8:
            for (uint32_t x = 0; x < width; ++x) out[x] = static_cast<uint8_t>(v[x] ^ 0x80u);
            return;
        case Packing::U16:
            for (uint32_t x = 0; x < width; ++x) {
                out[2 * x] = static_cast<uint8_t>(v[x]);
                out[2 * x + 1] = static_cast<uint8_t>(v[x] >> 8);
            }
            return;
        case Packing::P10:
            for (uint32_t x = 0; x + 4 <= width; x += 4, out += 5) {
                const uint64_t bits = uint64_t{v[x]} | (uint64_t{v[x + 1]} << 10) |
                                      (uint64_t{v[x + 2]} << 20) | (uint64_t{v[x + 3]} << 30);
                for (int i = 0; i < 5; ++i) out[i] = static_cast<uint8_t>(bits >> (8 * i));
            }
            return;
        case Packing::P12:
            for (uint32_t x = 0; x + 2 <= width; x += 2, out += 3) {
                out[0] = static_cast<uint8_t>(v[x]);
                out[1] = static_cast<uint8_t>((v[x] >> 8) | ((v[x + 1] & 0x0Fu) << 4));
                out[2] = static_cast<uint8_t>(v[x + 1] >> 4);
            }
            return;
        case Packing::Packed10:
            for (uint32_t x = 0; x + 2 <= width; x += 2, out += 3) {
                out[0] = static_cast<uint8_t>(v[x] >> 2);
                out[1] = static_cast<uint8_t>((v[x] & 0x03u) | ((v[x + 1] & 0x03u) << 4));
                out[2] = static_cast<uint8_t>(v[x + 1] >> 2);
            }
            return;
        case Packing::Packed12:
            for (uint32_t x = 0; x + 2 <= width; x += 2, out += 3) {
                out[0] = static_cast<uint8_t>(v[x] >> 4);
                out[1] = static_cast<uint8_t>((v[x] & 0x0Fu) | ((v[x + 1] & 0x0Fu) << 4));
                out[2] = static_cast<uint8_t>(v[x + 1] >> 4);
            }
            return;
    }
}

void YuvPair(const uint16_t* p0, const uint16_t* p1, bool uyvy, uint8_t* out) {
    const double r0 = p0[0] >> 8, g0 = p0[1] >> 8, b0 = p0[2] >> 8;
    const double r1 = p1[0] >> 8, g1 = p1[1] >> 8, b1 = p1[2] >> 8;
    const uint8_t y0 = Clamp8(0.299 * r0 + 0.587 * g0 + 0.114 * b0);
    const uint8_t y1 = Clamp8(0.299 * r1 + 0.587 * g1 + 0.114 * b1);
    const double r = (r0 + r1) / 2, g = (g0 + g1) / 2, b = (b0 + b1) / 2;
    const uint8_t u = Clamp8(128.0 - 0.168736 * r - 0.331264 * g + 0.5 * b);
    const uint8_t v = Clamp8(128.0 + 0.5 * r - 0.418688 * g - 0.081312 * b);
    if (uyvy) {
        out[0] = u, out[1] = y0, out[2] = v, out[3] = y1;
    } else {
        out[0] = y0, out[1] = u, out[2] = y1, out[3] = v;
    }
}

}  // namespace

bool SimFrameRenderer::Layout::operator==(const Layout& o) const {
    return pixelType == o.pixelType && width == o.width && height == o.height &&
           offsetX == o.offsetX && offsetY == o.offsetY && sensorWidth == o.sensorWidth &&
           sensorHeight == o.sensorHeight && reverseX == o.reverseX && reverseY == o.reverseY &&
           payloadSize == o.payloadSize;
}

SimFrameRenderer::SimFrameRenderer(std::vector<SimImage> images) : mImages(std::move(images)) {}

const std::vector<uint8_t>& SimFrameRenderer::Frame(const Layout& layout, uint64_t index) {
    if (layout != mLayout || mFrames.size() != FrameCount()) {
        mLayout = layout;
        mFrames.assign(FrameCount(), std::vector<uint8_t>());
    }
    std::vector<uint8_t>& frame = mFrames[static_cast<size_t>(index % FrameCount())];
    if (frame.size() != layout.payloadSize) {
        frame.assign(layout.payloadSize, 0);
        Render(layout, static_cast<size_t>(index % FrameCount()), frame.data());
    }
    return frame;
}

void SimFrameRenderer::SampleRow(const Layout& l, const SimImage* image, uint32_t y,
                                 uint16_t* rgb) const {
    const uint32_t sy = l.offsetY + (l.reverseY ? l.height - 1 - y : y);
    for (uint32_t x = 0; x < l.width; ++x, rgb += 3) {
        const uint32_t sx = l.offsetX + (l.reverseX ? l.width - 1 - x : x);
        if (!image) {
            PatternAt(sx, sy, l.sensorWidth, l.sensorHeight, rgb);
        } else if (sx >= image->width || sy >= image->height) {
            rgb[0] = rgb[1] = rgb[2] = 0;
        } else if (image->color) {
            const uint16_t* p = &image->samples[(size_t{sy} * image->width + sx) * 3];
            rgb[0] = p[0], rgb[1] = p[1], rgb[2] = p[2];
        } else {
            rgb[0] = rgb[1] = rgb[2] = image->samples[size_t{sy} * image->width + sx];
        }
    }
}

void SimFrameRenderer::Render(const Layout& l, size_t image, uint8_t* out) const {
    if (l.width == 0 || l.height == 0 || l.payloadSize == 0) {
        return;
    }
    const Encoding e = EncodingOf(l.pixelType);
    const size_t stride = l.payloadSize / l.height;
    std::memset(out, 0, l.payloadSize);
    if (e.kind == Kind::None || stride == 0) {
        return;
    }
    const SimImage* picture = mImages.empty() ? nullptr : &mImages[image % mImages.size()];
    std::vector<uint16_t> rgb(size_t{l.width} * 3);
    std::vector<uint16_t> values(l.width);
    const unsigned shift = 16 - e.bits;
    // The pattern has two kinds of rows (bars, ramp); with the row parity of a Bayer filter, a
    // frame of it has four different rows at most, each rendered once and copied after that.
    int64_t patternRow[4] = {-1, -1, -1, -1};
    for (uint32_t y = 0; y < l.height; ++y) {
        uint8_t* row = out + y * stride;
        if (!picture) {
            const uint32_t sy = l.offsetY + (l.reverseY ? l.height - 1 - y : y);
            int64_t& first = patternRow[(IsBarRow(sy, l.sensorHeight) ? 2 : 0) + (y & 1u)];
            if (first >= 0) {
                std::memcpy(row, out + static_cast<size_t>(first) * stride, stride);
                continue;
            }
            first = y;
        }
        SampleRow(l, picture, y, rgb.data());
        switch (e.kind) {
            case Kind::Mono:
                for (uint32_t x = 0; x < l.width; ++x) {
                    values[x] = static_cast<uint16_t>(Luma16(&rgb[3 * size_t{x}]) >> shift);
                }
                PackRow(values.data(), l.width, e.packing, row);
                break;
            case Kind::Bayer:
                for (uint32_t x = 0; x < l.width; ++x) {
                    const char site = e.cfa[(y & 1u) * 2 + (x & 1u)];
                    const unsigned channel = site == 'R' ? 0 : site == 'G' ? 1 : 2;
                    values[x] = static_cast<uint16_t>(rgb[3 * size_t{x} + channel] >> shift);
                }
                PackRow(values.data(), l.width, e.packing, row);
                break;
            case Kind::Colour: {
                const unsigned bytes = e.alpha ? 4 : 3;
                for (uint32_t x = 0; x < l.width; ++x) {
                    const uint16_t* p = &rgb[3 * size_t{x}];
                    uint8_t* o = row + size_t{x} * bytes;
                    o[0] = static_cast<uint8_t>(p[e.bgr ? 2 : 0] >> 8);
                    o[1] = static_cast<uint8_t>(p[1] >> 8);
                    o[2] = static_cast<uint8_t>(p[e.bgr ? 0 : 2] >> 8);
                    if (e.alpha) o[3] = 0xFF;
                }
                break;
            }
            case Kind::Yuv:
                for (uint32_t x = 0; x + 2 <= l.width; x += 2) {
                    YuvPair(&rgb[3 * size_t{x}], &rgb[3 * size_t{x} + 3], e.uyvy, row + 2 * x);
                }
                break;
            case Kind::None:
                break;
        }
    }
}

}  // namespace sdk
