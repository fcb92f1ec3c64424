// The row kernels on every SIMD target this processor runs (the best one and the baseline
// among them) against scalar references written from the pixel format definitions.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "sdk/convert/RowKernels.h"

namespace convert = sdk::convert;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes RandomBytes(size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    Bytes b(n);
    for (auto& v : b) v = static_cast<uint8_t>(gen());
    return b;
}

uint8_t Clamp8(int v) {
    return static_cast<uint8_t>(std::clamp(v, 0, 255));
}

unsigned Luma(unsigned r, unsigned g, unsigned b) {
    return (77 * r + 150 * g + 29 * b + 128) >> 8;
}

// --- References ----------------------------------------------------------------------------------

struct Rgb {
    unsigned r, g, b;
};

Rgb DemosaicRef(const Bytes& up, const Bytes& cur, const Bytes& down, uint32_t x,
                convert::BayerRowLayout layout) {
    const uint32_t w = static_cast<uint32_t>(cur.size());
    const uint32_t xm = x > 0 ? x - 1 : (w > 1 ? 1 : 0);
    const uint32_t xp = x + 1 < w ? x + 1 : (w > 1 ? w - 2 : 0);
    unsigned own, green, other;
    if (((x % 2) == 0) == layout.greenFirst) {
        own = (cur[xm] + cur[xp] + 1) / 2;
        green = cur[x];
        other = (up[x] + down[x] + 1) / 2;
    } else {
        own = cur[x];
        green = (cur[xm] + cur[xp] + up[x] + down[x] + 2) / 4;
        other = (up[xm] + up[xp] + down[xm] + down[xp] + 2) / 4;
    }
    return layout.redRow ? Rgb{own, green, other} : Rgb{other, green, own};
}

unsigned BitsAt(const Bytes& src, size_t bit, unsigned count) {  // least significant bit first
    unsigned v = 0;
    for (unsigned i = 0; i < count; ++i, ++bit) v |= ((src[bit / 8] >> (bit % 8)) & 1u) << i;
    return v;
}

// Sample i of a row in the "Packed" layout: high bits in bytes 0 and 2 of each 3-byte group,
// the low bits of the two pixels in the low and high nibble of byte 1.
unsigned PackedSample(const Bytes& src, size_t i, unsigned bits) {
    const size_t g = 3 * (i / 2);
    const unsigned lowBits = bits - 8;
    const unsigned low = (i % 2 == 0 ? src[g + 1] : src[g + 1] >> 4) & ((1u << lowBits) - 1);
    return (unsigned(src[g + (i % 2 == 0 ? 0 : 2)]) << lowBits) | low;
}

void YuvRef(const Bytes& src, uint32_t width, bool uyvy, bool bgr, Bytes& out) {
    auto product = [](int c, int k) { return (c * 128 * k + 0x4000) >> 15; };
    for (uint32_t i = 0; i < width; ++i) {
        const uint8_t* pair = &src[4 * (i / 2)];
        const int y = uyvy ? pair[1 + 2 * (i % 2)] : pair[2 * (i % 2)];
        const int u = (uyvy ? pair[0] : pair[1]) - 128;
        const int v = (uyvy ? pair[2] : pair[3]) - 128;
        const int r = y + ((product(v, convert::kYuvRv) + 32) >> 6);
        const int g = y + ((product(u, convert::kYuvGu) + product(v, convert::kYuvGv) + 32) >> 6);
        const int b = y + ((product(u, convert::kYuvBu) + 32) >> 6);
        out[3 * i] = Clamp8(bgr ? b : r);
        out[3 * i + 1] = Clamp8(g);
        out[3 * i + 2] = Clamp8(bgr ? r : b);
    }
}

// Output with a guard zone after the row: nothing may be written past it.
constexpr size_t kGuard = 64;
Bytes Output(size_t bytes) {
    return Bytes(bytes + kGuard, 0xEE);
}
Bytes Row(const Bytes& out) {
    EXPECT_TRUE(std::all_of(out.end() - kGuard, out.end(), [](uint8_t v) { return v == 0xEE; }))
        << "written past the row";
    return Bytes(out.begin(), out.end() - kGuard);
}

// Widths around every vector size (16, 32 and 64 bytes), tiny rows and a real one. 40, 72 and
// 136 are the narrowest packed 10- and 12-bit rows the 32- and 64-byte unpacking takes one or
// two steps of (a step reads a little past its last 8-pixel group).
const uint32_t kWidths[] = {1,  2,  3,  4,   5,   8,   15,  16,  17,  31,   32,
                            33, 34, 35, 36,  40,  47,  48,  63,  64,  65,   66,
                            67, 72, 96, 100, 127, 129, 130, 136, 200, 1001, 2448};

// Restores the dispatch the environment asks for.
void RestoreCap() {
    const char* cap = std::getenv("OSTRAVELK_SIMD");
    if (!cap || !convert::LimitTarget(cap)) convert::LimitTarget("best");
}

// Runs the body once per target, capped to it; restores the dispatch afterwards.
class RowKernelsOnEveryTarget : public ::testing::Test {
  protected:
    template <typename Body>
    void ForEachTarget(Body body) {
        for (const std::string& target : convert::SupportedTargetNames()) {
            ASSERT_TRUE(convert::LimitTarget(target)) << target;
            ASSERT_EQ(convert::TargetName(), target);
            SCOPED_TRACE("target " + target);
            body();
        }
    }
    void TearDown() override { RestoreCap(); }
};

}  // namespace

TEST(RowKernelsDispatch, CapsByNameAndRefusesUnknownNames) {
    const std::vector<std::string> targets = convert::SupportedTargetNames();
    ASSERT_FALSE(targets.empty());
    EXPECT_TRUE(convert::LimitTarget("best"));
    EXPECT_EQ(convert::TargetName(), targets.front());
    EXPECT_TRUE(convert::LimitTarget(targets.back()));
    EXPECT_EQ(convert::TargetName(), targets.back());
    EXPECT_EQ(convert::SupportedTargetNames(), targets);  // the cap does not hide targets
    EXPECT_FALSE(convert::LimitTarget("mmx"));
    EXPECT_EQ(convert::TargetName(), targets.back());  // unchanged
    EXPECT_TRUE(convert::LimitTarget("BASELINE"));
    const std::string baseline = convert::TargetName();
    EXPECT_NE(std::find(targets.begin(), targets.end(), baseline), targets.end());
#if defined(__x86_64__)
    // SSSE3 where the processor has it; SSE2 is the portable emulation.
    EXPECT_TRUE(baseline == "ssse3" || baseline == "emu128") << baseline;
    EXPECT_TRUE(convert::LimitTarget("sse2"));
    EXPECT_EQ(convert::TargetName(), "emu128");
#endif
    // A cap above the processor's best leaves the best.
    EXPECT_TRUE(convert::LimitTarget("avx3"));
    EXPECT_EQ(convert::TargetName(), targets.front() == "avx3_dl" ? "avx3" : targets.front());
    RestoreCap();
}

TEST_F(RowKernelsOnEveryTarget, Reductions) {
    ForEachTarget([] {
        for (uint32_t width : kWidths) {
            SCOPED_TRACE(::testing::Message() << "width " << width);
            const Bytes s8 = RandomBytes(width, width);
            Bytes out = Output(width);
            convert::ReduceSigned8(s8.data(), width, out.data());
            Bytes expected(width);
            for (uint32_t i = 0; i < width; ++i) expected[i] = uint8_t(s8[i] ^ 0x80);
            EXPECT_EQ(Row(out), expected);

            const Bytes u16 = RandomBytes(2 * size_t(width), width + 1);
            for (unsigned shift : {0u, 2u, 4u, 6u, 8u}) {
                out = Output(width);
                convert::ReduceU16(u16.data(), width, shift, out.data());
                for (uint32_t i = 0; i < width; ++i) {
                    expected[i] = uint8_t((u16[2 * i] | (u16[2 * i + 1] << 8)) >> shift);
                }
                EXPECT_EQ(Row(out), expected) << "shift " << shift;
            }

            // Exact-size packed rows: the address sanitizer build sees any read past them.
            if (width % 4 == 0) {
                const Bytes p10 = RandomBytes(size_t(width) / 4 * 5, width + 2);
                for (unsigned shift : {0u, 2u}) {
                    out = Output(width);
                    convert::ReduceP10(p10.data(), width, shift, out.data());
                    for (uint32_t i = 0; i < width; ++i) {
                        expected[i] = uint8_t(BitsAt(p10, 10 * size_t(i), 10) >> shift);
                    }
                    EXPECT_EQ(Row(out), expected) << "10p shift " << shift;
                }
            }
            if (width % 2 == 0) {
                const Bytes p12 = RandomBytes(size_t(width) / 2 * 3, width + 3);
                for (unsigned shift : {0u, 4u}) {
                    out = Output(width);
                    convert::ReduceP12(p12.data(), width, shift, out.data());
                    for (uint32_t i = 0; i < width; ++i) {
                        expected[i] = uint8_t(BitsAt(p12, 12 * size_t(i), 12) >> shift);
                    }
                    EXPECT_EQ(Row(out), expected) << "12p shift " << shift;
                    out = Output(width);
                    convert::ReducePacked12(p12.data(), width, shift, out.data());
                    for (uint32_t i = 0; i < width; ++i) {
                        expected[i] = uint8_t(PackedSample(p12, i, 12) >> shift);
                    }
                    EXPECT_EQ(Row(out), expected) << "12Packed shift " << shift;
                }
                for (unsigned shift : {0u, 2u}) {
                    out = Output(width);
                    convert::ReducePacked10(p12.data(), width, shift, out.data());
                    for (uint32_t i = 0; i < width; ++i) {
                        expected[i] = uint8_t(PackedSample(p12, i, 10) >> shift);
                    }
                    EXPECT_EQ(Row(out), expected) << "10Packed shift " << shift;
                }
            }
        }
    });
}

// The vector loops start at the first pixel whose source is aligned to the vector size; every
// start within a cache line (odd ones included, where 2-byte pixels never align) gives the
// same row.
TEST_F(RowKernelsOnEveryTarget, EverySourceOffset) {
    ForEachTarget([] {
        for (uint32_t width : {64u, 65u, 100u, 2448u}) {
            const Bytes buffer = RandomBytes(2 * size_t(width) + 64, width);
            Bytes expected(width);
            for (size_t offset = 0; offset < 64; ++offset) {
                SCOPED_TRACE(::testing::Message() << "width " << width << " offset " << offset);
                const uint8_t* src = buffer.data() + offset;
                Bytes out = Output(width);
                convert::ReduceU16(src, width, 4, out.data());
                for (uint32_t i = 0; i < width; ++i) {
                    expected[i] = uint8_t((src[2 * i] | (src[2 * i + 1] << 8)) >> 4);
                }
                EXPECT_EQ(Row(out), expected);
                out = Output(width);
                convert::ReduceSigned8(src, width, out.data());
                for (uint32_t i = 0; i < width; ++i) expected[i] = uint8_t(src[i] ^ 0x80);
                EXPECT_EQ(Row(out), expected);
                out = Output(width);
                convert::YuvToLuma(src, width, true, out.data());
                for (uint32_t i = 0; i < width; ++i) expected[i] = src[2 * i + 1];
                EXPECT_EQ(Row(out), expected);
            }
        }
    });
}

TEST_F(RowKernelsOnEveryTarget, Demosaic) {
    ForEachTarget([] {
        for (uint32_t width : kWidths) {
            const Bytes up = RandomBytes(width, 1), cur = RandomBytes(width, 2),
                        down = RandomBytes(width, 3);
            for (bool greenFirst : {false, true}) {
                for (bool redRow : {false, true}) {
                    SCOPED_TRACE(::testing::Message() << "width " << width << " greenFirst "
                                                      << greenFirst << " redRow " << redRow);
                    const convert::BayerRowLayout layout{greenFirst, redRow};
                    Bytes rgb(3 * size_t(width)), luma(width);
                    for (uint32_t x = 0; x < width; ++x) {
                        const Rgb p = DemosaicRef(up, cur, down, x, layout);
                        rgb[3 * x] = uint8_t(p.r);
                        rgb[3 * x + 1] = uint8_t(p.g);
                        rgb[3 * x + 2] = uint8_t(p.b);
                        luma[x] = uint8_t(Luma(p.r, p.g, p.b));
                    }
                    Bytes bgr = rgb;
                    for (size_t i = 0; i < bgr.size(); i += 3) std::swap(bgr[i], bgr[i + 2]);
                    Bytes out = Output(3 * size_t(width));
                    convert::DemosaicRowColour(up.data(), cur.data(), down.data(), width, layout,
                                               false, out.data());
                    EXPECT_EQ(Row(out), rgb);
                    out = Output(3 * size_t(width));
                    convert::DemosaicRowColour(up.data(), cur.data(), down.data(), width, layout,
                                               true, out.data());
                    EXPECT_EQ(Row(out), bgr);
                    out = Output(width);
                    convert::DemosaicRowLuma(up.data(), cur.data(), down.data(), width, layout,
                                             out.data());
                    EXPECT_EQ(Row(out), luma);
                }
            }
        }
    });
}

TEST_F(RowKernelsOnEveryTarget, ColourPixels) {
    ForEachTarget([] {
        for (uint32_t width : kWidths) {
            SCOPED_TRACE(::testing::Message() << "width " << width);
            const Bytes mono = RandomBytes(width, 4);
            Bytes out = Output(3 * size_t(width));
            convert::ReplicateMono(mono.data(), width, out.data());
            Bytes expected(3 * size_t(width));
            for (uint32_t i = 0; i < width; ++i) {
                expected[3 * i] = expected[3 * i + 1] = expected[3 * i + 2] = mono[i];
            }
            EXPECT_EQ(Row(out), expected);

            for (uint32_t bpp : {3u, 4u}) {
                const Bytes src = RandomBytes(bpp * size_t(width), 5 + bpp);
                for (bool swap : {false, true}) {
                    out = Output(3 * size_t(width));
                    if (bpp == 3) {
                        convert::CopyColour3(src.data(), width, swap, out.data());
                    } else {
                        convert::DropAlpha(src.data(), width, swap, out.data());
                    }
                    for (uint32_t i = 0; i < width; ++i) {
                        expected[3 * i] = src[bpp * i + (swap ? 2 : 0)];
                        expected[3 * i + 1] = src[bpp * i + 1];
                        expected[3 * i + 2] = src[bpp * i + (swap ? 0 : 2)];
                    }
                    EXPECT_EQ(Row(out), expected) << bpp << " bytes, swap " << swap;
                }
                for (bool redFirst : {false, true}) {
                    out = Output(width);
                    convert::LumaOfColour(src.data(), width, bpp, redFirst, out.data());
                    Bytes luma(width);
                    for (uint32_t i = 0; i < width; ++i) {
                        const uint8_t* p = &src[bpp * size_t(i)];
                        luma[i] =
                            uint8_t(redFirst ? Luma(p[0], p[1], p[2]) : Luma(p[2], p[1], p[0]));
                    }
                    EXPECT_EQ(Row(out), luma) << bpp << " bytes, red first " << redFirst;
                }
            }
        }
    });
}

TEST_F(RowKernelsOnEveryTarget, Yuv) {
    ForEachTarget([] {
        for (uint32_t width : kWidths) {
            if (width % 2 != 0) continue;
            SCOPED_TRACE(::testing::Message() << "width " << width);
            const Bytes src = RandomBytes(2 * size_t(width), width + 7);
            for (bool uyvy : {false, true}) {
                for (bool bgr : {false, true}) {
                    Bytes out = Output(3 * size_t(width)), expected(3 * size_t(width));
                    convert::YuvToColour(src.data(), width, uyvy, bgr, out.data());
                    YuvRef(src, width, uyvy, bgr, expected);
                    EXPECT_EQ(Row(out), expected) << "uyvy " << uyvy << " bgr " << bgr;
                }
                Bytes out = Output(width), luma(width);
                convert::YuvToLuma(src.data(), width, uyvy, out.data());
                for (uint32_t i = 0; i < width; ++i) luma[i] = src[2 * i + (uyvy ? 1 : 0)];
                EXPECT_EQ(Row(out), luma) << "uyvy " << uyvy;
            }
        }
    });
}

// Extreme chroma and luma: the clamping at both ends on every target.
TEST_F(RowKernelsOnEveryTarget, YuvSaturates) {
    Bytes src;
    for (int y : {0, 1, 128, 254, 255}) {
        for (int c : {0, 1, 127, 128, 255}) {
            for (int k = 0; k < 8; ++k) {
                src.insert(src.end(), {uint8_t(y), uint8_t(c), uint8_t(y), uint8_t(255 - c)});
            }
        }
    }
    const uint32_t width = static_cast<uint32_t>(src.size() / 2);
    ForEachTarget([&] {
        Bytes out = Output(3 * size_t(width)), expected(3 * size_t(width));
        convert::YuvToColour(src.data(), width, false, false, out.data());
        YuvRef(src, width, false, false, expected);
        EXPECT_EQ(Row(out), expected);
    });
}
