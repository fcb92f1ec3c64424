#include "sdk/convert/RowKernels.h"

#include <algorithm>
#include <cstring>

namespace sdk::convert {

namespace {

inline unsigned LoadLe16(const uint8_t* p) {
    return p[0] | (unsigned(p[1]) << 8);
}

inline uint8_t Clamp8(int v) {
    return static_cast<uint8_t>(std::min(std::max(v, 0), 255));
}

// One demosaiced pixel. xm and xp are the columns used as left and right neighbours.
struct Rgb {
    unsigned r, g, b;
};

inline Rgb DemosaicPixel(const uint8_t* up, const uint8_t* cur, const uint8_t* down, uint32_t x,
                         uint32_t xm, uint32_t xp, BayerRowLayout layout) {
    unsigned own, green, other;  // the row's colour, green, the other rows' colour
    const bool greenSite = ((x & 1u) == 0) == layout.greenFirst;
    if (greenSite) {
        own = (cur[xm] + cur[xp] + 1u) >> 1;
        green = cur[x];
        other = (up[x] + down[x] + 1u) >> 1;
    } else {
        own = cur[x];
        green = (cur[xm] + cur[xp] + up[x] + down[x] + 2u) >> 2;
        other = (up[xm] + up[xp] + down[xm] + down[xp] + 2u) >> 2;
    }
    return layout.redRow ? Rgb{own, green, other} : Rgb{other, green, own};
}

inline void StoreColour(Rgb p, bool bgr, uint8_t* dst) {
    dst[0] = static_cast<uint8_t>(bgr ? p.b : p.r);
    dst[1] = static_cast<uint8_t>(p.g);
    dst[2] = static_cast<uint8_t>(bgr ? p.r : p.b);
}

inline uint32_t Left(uint32_t x, uint32_t width) {
    return x > 0 ? x - 1 : (width > 1 ? 1 : 0);
}
inline uint32_t Right(uint32_t x, uint32_t width) {
    return x + 1 < width ? x + 1 : (width > 1 ? width - 2 : 0);
}

// The portable set has no bulk kernels: every "run" stops where it starts (the demosaic runs
// start at column 2).
uint32_t NoColourRun(const uint8_t*, const uint8_t*, const uint8_t*, uint32_t, BayerRowLayout, bool,
                     uint8_t*) {
    return 2;
}
uint32_t NoLumaRun(const uint8_t*, const uint8_t*, const uint8_t*, uint32_t, BayerRowLayout,
                   uint8_t*) {
    return 2;
}
uint32_t NoRun(const uint8_t*, uint32_t, uint8_t*) {
    return 0;
}
uint32_t NoU16Run(const uint8_t*, uint32_t, unsigned, uint8_t*) {
    return 0;
}
uint32_t NoYuvRun(const uint8_t*, uint32_t, bool, bool, uint8_t*) {
    return 0;
}

const KernelSet kPortable = {NoColourRun, NoLumaRun, NoRun, NoRun, NoRun,
                             NoU16Run,    NoYuvRun,  NoRun, NoRun, "portable"};

}  // namespace

void ReduceSigned8(const uint8_t* src, uint32_t width, uint8_t* dst) {
    // Offset binary: -128 -> 0, 0 -> 128, 127 -> 255.
    for (uint32_t i = 0; i < width; ++i) dst[i] = static_cast<uint8_t>(src[i] ^ 0x80u);
}

void ReduceU16(const uint8_t* src, uint32_t width, unsigned shift, uint8_t* dst) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    // Same bytes as LoadLe16, in a form the compiler vectorises.
    for (uint32_t i = 0; i < width; ++i) {
        uint16_t v;
        std::memcpy(&v, src + 2 * i, 2);
        dst[i] = static_cast<uint8_t>(v >> shift);
    }
#else
    for (uint32_t i = 0; i < width; ++i) {
        dst[i] = static_cast<uint8_t>(LoadLe16(src + 2 * i) >> shift);
    }
#endif
}

void ReduceP10(const uint8_t* src, uint32_t width, unsigned shift, uint8_t* dst) {
    // Four pixels in five bytes, least significant bit first.
    for (uint32_t i = 0; i + 4 <= width; i += 4, src += 5) {
        const unsigned p0 = src[0] | ((src[1] & 0x03u) << 8);
        const unsigned p1 = (src[1] >> 2) | ((src[2] & 0x0Fu) << 6);
        const unsigned p2 = (src[2] >> 4) | ((src[3] & 0x3Fu) << 4);
        const unsigned p3 = (src[3] >> 6) | (unsigned(src[4]) << 2);
        dst[i] = static_cast<uint8_t>(p0 >> shift);
        dst[i + 1] = static_cast<uint8_t>(p1 >> shift);
        dst[i + 2] = static_cast<uint8_t>(p2 >> shift);
        dst[i + 3] = static_cast<uint8_t>(p3 >> shift);
    }
}

void ReduceP12(const uint8_t* src, uint32_t width, unsigned shift, uint8_t* dst) {
    // Two pixels in three bytes, least significant bit first.
    for (uint32_t i = 0; i + 2 <= width; i += 2, src += 3) {
        const unsigned p0 = src[0] | ((src[1] & 0x0Fu) << 8);
        const unsigned p1 = (src[1] >> 4) | (unsigned(src[2]) << 4);
        dst[i] = static_cast<uint8_t>(p0 >> shift);
        dst[i + 1] = static_cast<uint8_t>(p1 >> shift);
    }
}

void ReducePacked10(const uint8_t* src, uint32_t width, unsigned shift, uint8_t* dst) {
    // Two pixels in three bytes: high bits in bytes 0 and 2, low bits in bits 0-1 and 4-5 of
    // byte 1.
    for (uint32_t i = 0; i + 2 <= width; i += 2, src += 3) {
        const unsigned p0 = (unsigned(src[0]) << 2) | (src[1] & 0x03u);
        const unsigned p1 = (unsigned(src[2]) << 2) | ((src[1] >> 4) & 0x03u);
        dst[i] = static_cast<uint8_t>(p0 >> shift);
        dst[i + 1] = static_cast<uint8_t>(p1 >> shift);
    }
}

void ReducePacked12(const uint8_t* src, uint32_t width, unsigned shift, uint8_t* dst) {
    // Two pixels in three bytes: high bits in bytes 0 and 2, low nibbles in byte 1.
    for (uint32_t i = 0; i + 2 <= width; i += 2, src += 3) {
        const unsigned p0 = (unsigned(src[0]) << 4) | (src[1] & 0x0Fu);
        const unsigned p1 = (unsigned(src[2]) << 4) | (src[1] >> 4);
        dst[i] = static_cast<uint8_t>(p0 >> shift);
        dst[i + 1] = static_cast<uint8_t>(p1 >> shift);
    }
}

void DemosaicRowColour(const KernelSet& kernels, const uint8_t* up, const uint8_t* cur,
                       const uint8_t* down, uint32_t width, BayerRowLayout layout, bool bgr,
                       uint8_t* dst) {
    if (width == 0) return;
    StoreColour(DemosaicPixel(up, cur, down, 0, Left(0, width), Right(0, width), layout), bgr, dst);
    if (width == 1) return;
    uint32_t x = 1;
    if (width >= 3) {
        StoreColour(DemosaicPixel(up, cur, down, 1, 0, 2, layout), bgr, dst + 3);
        x = kernels.demosaicColourRun(up, cur, down, width, layout, bgr, dst);
        for (; x + 1 < width; ++x) {
            StoreColour(DemosaicPixel(up, cur, down, x, x - 1, x + 1, layout), bgr, dst + 3 * x);
        }
    }
    StoreColour(DemosaicPixel(up, cur, down, x, Left(x, width), Right(x, width), layout), bgr,
                dst + 3 * x);
}

void DemosaicRowLuma(const KernelSet& kernels, const uint8_t* up, const uint8_t* cur,
                     const uint8_t* down, uint32_t width, BayerRowLayout layout, uint8_t* dst) {
    auto luma = [](Rgb p) { return Luma(p.r, p.g, p.b); };
    if (width == 0) return;
    dst[0] = luma(DemosaicPixel(up, cur, down, 0, Left(0, width), Right(0, width), layout));
    if (width == 1) return;
    uint32_t x = 1;
    if (width >= 3) {
        dst[1] = luma(DemosaicPixel(up, cur, down, 1, 0, 2, layout));
        x = kernels.demosaicLumaRun(up, cur, down, width, layout, dst);
        for (; x + 1 < width; ++x) {
            dst[x] = luma(DemosaicPixel(up, cur, down, x, x - 1, x + 1, layout));
        }
    }
    dst[x] = luma(DemosaicPixel(up, cur, down, x, Left(x, width), Right(x, width), layout));
}

void ReplicateMono(const uint8_t* src, uint32_t width, uint8_t* dst) {
    for (uint32_t i = 0; i < width; ++i) {
        dst[3 * i] = src[i];
        dst[3 * i + 1] = src[i];
        dst[3 * i + 2] = src[i];
    }
}

void CopyColour3(const uint8_t* src, uint32_t width, bool swap, uint8_t* dst) {
    if (!swap) {
        std::memcpy(dst, src, size_t(width) * 3);
        return;
    }
    for (uint32_t i = 0; i < width; ++i) {
        dst[3 * i] = src[3 * i + 2];
        dst[3 * i + 1] = src[3 * i + 1];
        dst[3 * i + 2] = src[3 * i];
    }
}

void DropAlpha(const uint8_t* src, uint32_t width, bool swap, uint8_t* dst) {
    const unsigned first = swap ? 2 : 0;
    for (uint32_t i = 0; i < width; ++i) {
        dst[3 * i] = src[4 * i + first];
        dst[3 * i + 1] = src[4 * i + 1];
        dst[3 * i + 2] = src[4 * i + 2 - first];
    }
}

void LumaOfColour(const uint8_t* src, uint32_t width, uint32_t bytesPerPixel, bool redFirst,
                  uint8_t* dst) {
    const unsigned wFirst = redFirst ? kLumaR : kLumaB;
    const unsigned wThird = redFirst ? kLumaB : kLumaR;
    for (uint32_t i = 0; i < width; ++i, src += bytesPerPixel) {
        dst[i] =
            static_cast<uint8_t>((wFirst * src[0] + kLumaG * src[1] + wThird * src[2] + 128) >> 8);
    }
}

void YuvToColour(const uint8_t* src, uint32_t width, bool uyvy, bool bgr, uint8_t* dst) {
    const unsigned yOff = uyvy ? 1 : 0;
    const unsigned uOff = uyvy ? 0 : 1;
    const unsigned rOff = bgr ? 2 : 0;
    for (uint32_t i = 0; i + 2 <= width; i += 2, src += 4, dst += 6) {
        const YuvChroma c = YuvChromaTerms(src[uOff], src[uOff + 2]);
        for (unsigned k = 0; k < 2; ++k) {
            const int y = src[yOff + 2 * k];
            dst[3 * k + rOff] = Clamp8(y + c.r);
            dst[3 * k + 1] = Clamp8(y + c.g);
            dst[3 * k + 2 - rOff] = Clamp8(y + c.b);
        }
    }
}

void YuvToLuma(const uint8_t* src, uint32_t width, bool uyvy, uint8_t* dst) {
    const unsigned yOff = uyvy ? 1 : 0;
    for (uint32_t i = 0; i < width; ++i) dst[i] = src[2 * i + yOff];
}

const KernelSet& PortableKernels() {
    return kPortable;
}

const KernelSet& Kernels() {
    static const KernelSet* const chosen = [] {
        const KernelSet* avx2 = Avx2Kernels();
        return avx2 ? avx2 : &kPortable;
    }();
    return *chosen;
}

}  // namespace sdk::convert
