#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>

#include "sdk/genapi/GenericException.h"
#include "sdk/image/ImageFormatConverter.h"
#include "sdk/image/PixelType.h"

using sdk::BitDepthReduction;
using sdk::ImageFormatConverter;
using Bytes = std::vector<uint8_t>;

namespace {

constexpr uint32_t Pt(sdk::EPixelType t) {
    return static_cast<uint32_t>(t);
}

const uint32_t kMono8 = Pt(sdk::PixelType_Mono8);
const uint32_t kRgb8 = Pt(sdk::PixelType_RGB8packed);
const uint32_t kBgr8 = Pt(sdk::PixelType_BGR8packed);

Bytes Convert(ImageFormatConverter& c, const Bytes& src, uint32_t type, uint32_t width,
              uint32_t height, uint32_t paddingX = 0) {
    Bytes out(c.GetBufferSizeForConversion(type, width, height), 0xEE);
    const size_t written =
        c.Convert(out.data(), out.size(), src.data(), src.size(), type, width, height, paddingX);
    EXPECT_EQ(written, out.size());
    return out;
}

Bytes ConvertTo(uint32_t output, const Bytes& src, uint32_t type, uint32_t width, uint32_t height,
                BitDepthReduction reduction = BitDepthReduction::KeepMostSignificantBits) {
    ImageFormatConverter c;
    c.Initialize(type);
    c.SetBitDepthReduction(reduction);
    c.SetOutputPixelFormat(output);
    return Convert(c, src, type, width, height);
}

Bytes Le16(const std::vector<unsigned>& values) {
    Bytes b;
    for (unsigned v : values) {
        b.push_back(static_cast<uint8_t>(v & 0xFF));
        b.push_back(static_cast<uint8_t>(v >> 8));
    }
    return b;
}

// Bit-stream packers written from the format definitions, independent of the converter.
Bytes PackLsbFirst(const std::vector<unsigned>& values, unsigned bits) {
    Bytes b((values.size() * bits + 7) / 8, 0);
    size_t bit = 0;
    for (unsigned v : values) {
        for (unsigned i = 0; i < bits; ++i, ++bit) {
            if ((v >> i) & 1u) b[bit / 8] |= static_cast<uint8_t>(1u << (bit % 8));
        }
    }
    return b;
}

Bytes PackGigE(const std::vector<unsigned>& values, unsigned bits) {
    Bytes b;
    const unsigned low = bits - 8;
    const unsigned lowMask = (1u << low) - 1;
    for (size_t i = 0; i + 1 < values.size(); i += 2) {
        b.push_back(static_cast<uint8_t>(values[i] >> low));
        b.push_back(static_cast<uint8_t>((values[i] & lowMask) | ((values[i + 1] & lowMask) << 4)));
        b.push_back(static_cast<uint8_t>(values[i + 1] >> low));
    }
    return b;
}

Bytes RandomBytes(size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::uniform_int_distribution<int> dist(0, 255);
    Bytes b(n);
    for (auto& v : b) v = static_cast<uint8_t>(dist(gen));
    return b;
}

unsigned LumaRef(unsigned r, unsigned g, unsigned b) {
    return (77 * r + 150 * g + 29 * b + 128) >> 8;
}

// Colour ('R', 'G' or 'B') at a site of a mosaic whose row 0 starts with the two colours of
// cfa ("RG", "GR", "GB", "BG").
char ColourAt(const char* cfa, int64_t x, int64_t y) {
    const char first = cfa[0], second = cfa[1];
    const char missing = first == 'G' ? (second == 'R' ? 'B' : 'R') : (first == 'R' ? 'B' : 'R');
    const char row0[2] = {first, second};
    const char row1[2] = {first == 'G' ? missing : 'G', first == 'G' ? 'G' : missing};
    return (y % 2 == 0) ? row0[x % 2] : row1[x % 2];
}

// Straightforward bilinear demosaic with mirrored borders, for comparison. Output RGB.
Bytes BilinearRef(const Bytes& img, uint32_t w, uint32_t h, const char* cfa) {
    auto mirror = [](int64_t v, int64_t n) {
        if (n == 1) return int64_t(0);
        if (v < 0) return -v;
        if (v >= n) return 2 * n - 2 - v;
        return v;
    };
    auto at = [&](int64_t x, int64_t y) { return unsigned(img[mirror(y, h) * w + mirror(x, w)]); };
    Bytes out(size_t(w) * h * 3);
    for (int64_t y = 0; y < h; ++y) {
        for (int64_t x = 0; x < w; ++x) {
            const char c = ColourAt(cfa, x, y);
            unsigned rgb[3];
            const unsigned h2 = (at(x - 1, y) + at(x + 1, y) + 1) >> 1;
            const unsigned v2 = (at(x, y - 1) + at(x, y + 1) + 1) >> 1;
            const unsigned cross =
                (at(x - 1, y) + at(x + 1, y) + at(x, y - 1) + at(x, y + 1) + 2) >> 2;
            const unsigned diag =
                (at(x - 1, y - 1) + at(x + 1, y - 1) + at(x - 1, y + 1) + at(x + 1, y + 1) + 2) >>
                2;
            if (c == 'G') {
                const bool redRow = ColourAt(cfa, x + 1, y) == 'R';
                rgb[1] = at(x, y);
                rgb[0] = redRow ? h2 : v2;
                rgb[2] = redRow ? v2 : h2;
            } else {
                const int own = c == 'R' ? 0 : 2;
                rgb[own] = at(x, y);
                rgb[1] = cross;
                rgb[2 - own] = diag;
            }
            for (int i = 0; i < 3; ++i) out[(y * w + x) * 3 + i] = static_cast<uint8_t>(rgb[i]);
        }
    }
    return out;
}

struct BayerCase {
    const char* cfa;
    uint32_t type8;
    uint32_t type10;
    uint32_t type12;
    uint32_t type16;
    uint32_t type10p;
    uint32_t type12p;
    uint32_t type10Packed;
    uint32_t type12Packed;
};

const BayerCase kBayer[] = {
    {"RG", Pt(sdk::PixelType_BayerRG8), Pt(sdk::PixelType_BayerRG10), Pt(sdk::PixelType_BayerRG12),
     Pt(sdk::PixelType_BayerRG16), Pt(sdk::PixelType_BayerRG10p), Pt(sdk::PixelType_BayerRG12p),
     Pt(sdk::PixelType_BayerRG10Packed), Pt(sdk::PixelType_BayerRG12Packed)},
    {"GR", Pt(sdk::PixelType_BayerGR8), Pt(sdk::PixelType_BayerGR10), Pt(sdk::PixelType_BayerGR12),
     Pt(sdk::PixelType_BayerGR16), Pt(sdk::PixelType_BayerGR10p), Pt(sdk::PixelType_BayerGR12p),
     Pt(sdk::PixelType_BayerGR10Packed), Pt(sdk::PixelType_BayerGR12Packed)},
    {"GB", Pt(sdk::PixelType_BayerGB8), Pt(sdk::PixelType_BayerGB10), Pt(sdk::PixelType_BayerGB12),
     Pt(sdk::PixelType_BayerGB16), Pt(sdk::PixelType_BayerGB10p), Pt(sdk::PixelType_BayerGB12p),
     Pt(sdk::PixelType_BayerGB10Packed), Pt(sdk::PixelType_BayerGB12Packed)},
    {"BG", Pt(sdk::PixelType_BayerBG8), Pt(sdk::PixelType_BayerBG10), Pt(sdk::PixelType_BayerBG12),
     Pt(sdk::PixelType_BayerBG16), Pt(sdk::PixelType_BayerBG10p), Pt(sdk::PixelType_BayerBG12p),
     Pt(sdk::PixelType_BayerBG10Packed), Pt(sdk::PixelType_BayerBG12Packed)},
};

Bytes SwapRB(Bytes rgb) {
    for (size_t i = 0; i + 2 < rgb.size(); i += 3) std::swap(rgb[i], rgb[i + 2]);
    return rgb;
}

Bytes LumaOf(const Bytes& rgb) {
    Bytes y(rgb.size() / 3);
    for (size_t i = 0; i < y.size(); ++i) {
        y[i] = static_cast<uint8_t>(LumaRef(rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]));
    }
    return y;
}

}  // namespace

// --- Settings, sizes and errors ----------------------------------------------------------------

TEST(ImageFormatConverterSettings, DefaultsAndOutputFormats) {
    ImageFormatConverter c;
    EXPECT_EQ(c.GetOutputPixelFormat(), kMono8);
    EXPECT_EQ(c.GetBitDepthReduction(), BitDepthReduction::KeepMostSignificantBits);
    EXPECT_EQ(c.GetSourcePixelType(), ImageFormatConverter::kUndefinedPixelType);
    c.SetOutputPixelFormat(kBgr8);
    EXPECT_EQ(c.GetOutputPixelFormat(), kBgr8);
    EXPECT_THROW(c.SetOutputPixelFormat(Pt(sdk::PixelType_Mono16)), sdk::InvalidArgumentException);
    EXPECT_THROW(c.SetOutputPixelFormat(Pt(sdk::PixelType_RGBa8)), sdk::InvalidArgumentException);
    EXPECT_EQ(c.GetOutputPixelFormat(), kBgr8);
}

TEST(ImageFormatConverterSettings, BitDepthReductionIsTheEnumerationValueOne) {
    ImageFormatConverter c;
    c.SetBitDepthReduction(static_cast<BitDepthReduction>(1));
    EXPECT_EQ(c.GetBitDepthReduction(), BitDepthReduction::KeepMostSignificantBits);
    c.SetBitDepthReduction(static_cast<BitDepthReduction>(0));
    EXPECT_EQ(c.GetBitDepthReduction(), BitDepthReduction::KeepLeastSignificantBits);
    EXPECT_THROW(c.SetBitDepthReduction(static_cast<BitDepthReduction>(2)),
                 sdk::OutOfRangeException);
    EXPECT_EQ(c.GetBitDepthReduction(), BitDepthReduction::KeepLeastSignificantBits);
}

TEST(ImageFormatConverterSize, OutputSizeFollowsTheOutputFormat) {
    ImageFormatConverter c;
    const uint32_t bayer = Pt(sdk::PixelType_BayerRG12p);
    EXPECT_EQ(c.GetBufferSizeForConversion(bayer, 640, 480), 307200u);
    c.SetOutputPixelFormat(kRgb8);
    EXPECT_EQ(c.GetBufferSizeForConversion(bayer, 640, 480), 921600u);
    c.SetOutputPixelFormat(kBgr8);
    EXPECT_EQ(c.GetBufferSizeForConversion(Pt(sdk::PixelType_Mono8), 2448, 2048),
              size_t(2448) * 2048 * 3);
    EXPECT_EQ(c.GetBufferSizeForConversion(Pt(sdk::PixelType_Mono8), 0, 480), 0u);
    // Large geometries do not wrap around; sizes beyond 64 bits are refused.
    EXPECT_EQ(c.GetBufferSizeForConversion(Pt(sdk::PixelType_Mono8), 0xFFFFFFFFu, 0x10000u),
              size_t(0xFFFFFFFFu) * 3 * 0x10000u);
    EXPECT_THROW(c.GetBufferSizeForConversion(Pt(sdk::PixelType_Mono8), 0xFFFFFFFFu, 0xFFFFFFFFu),
                 sdk::OutOfRangeException);
}

TEST(ImageFormatConverterSize, SourceSizes) {
    EXPECT_EQ(ImageFormatConverter::GetSourceSize(Pt(sdk::PixelType_Mono8), 10, 3), 30u);
    EXPECT_EQ(ImageFormatConverter::GetSourceSize(Pt(sdk::PixelType_Mono12), 10, 3), 60u);
    EXPECT_EQ(ImageFormatConverter::GetSourceSize(Pt(sdk::PixelType_Mono12p), 10, 3), 45u);
    EXPECT_EQ(ImageFormatConverter::GetSourceSize(Pt(sdk::PixelType_Mono12Packed), 10, 3), 45u);
    EXPECT_EQ(ImageFormatConverter::GetSourceSize(Pt(sdk::PixelType_Mono10p), 8, 2), 20u);
    EXPECT_EQ(ImageFormatConverter::GetSourceSize(Pt(sdk::PixelType_BGRa8), 5, 2), 40u);
    EXPECT_EQ(ImageFormatConverter::GetSourceSize(Pt(sdk::PixelType_YUV422_8), 4, 2), 16u);
    // Padding after every row but the last.
    EXPECT_EQ(ImageFormatConverter::GetSourceSize(Pt(sdk::PixelType_Mono8), 10, 3, 6), 42u);
}

TEST(ImageFormatConverterErrors, UnknownAndUndefinedTypesThrowOnUse) {
    ImageFormatConverter c;
    c.Initialize(static_cast<uint32_t>(sdk::PixelType_Undefined));  // accepted here
    EXPECT_EQ(c.GetSourcePixelType(), 0xFFFFFFFFu);
    Bytes src(16), dst(16);
    for (uint32_t type : {0xFFFFFFFFu, 0u, Pt(sdk::PixelType_Mono1p), Pt(sdk::PixelType_RGB16),
                          Pt(sdk::PixelType_YUV411_8_UYYVYY)}) {
        EXPECT_FALSE(ImageFormatConverter::IsSupportedInputFormat(type));
        EXPECT_THROW(c.GetBufferSizeForConversion(type, 4, 4), sdk::InvalidArgumentException);
        EXPECT_THROW(c.Convert(dst.data(), dst.size(), src.data(), src.size(), type, 4, 4, 0),
                     sdk::InvalidArgumentException);
    }
}

TEST(ImageFormatConverterErrors, WidthsThatSplitAPixelGroup) {
    ImageFormatConverter c;
    Bytes src(64), dst(64);
    for (auto type :
         {sdk::PixelType_Mono12p, sdk::PixelType_Mono12Packed, sdk::PixelType_Mono10Packed,
          sdk::PixelType_BayerRG12p, sdk::PixelType_BayerGB10Packed, sdk::PixelType_YUV422_8,
          sdk::PixelType_YUV422_8_UYVY}) {
        EXPECT_THROW(c.GetBufferSizeForConversion(Pt(type), 5, 2), sdk::InvalidArgumentException);
        EXPECT_THROW(c.Convert(dst.data(), dst.size(), src.data(), src.size(), Pt(type), 5, 2, 0),
                     sdk::InvalidArgumentException);
        EXPECT_NO_THROW(c.GetBufferSizeForConversion(Pt(type), 4, 2));
    }
    EXPECT_THROW(c.GetBufferSizeForConversion(Pt(sdk::PixelType_Mono10p), 6, 2),
                 sdk::InvalidArgumentException);
    EXPECT_NO_THROW(c.GetBufferSizeForConversion(Pt(sdk::PixelType_Mono10p), 8, 2));
    EXPECT_NO_THROW(c.GetBufferSizeForConversion(Pt(sdk::PixelType_BayerBG8), 5, 3));
}

TEST(ImageFormatConverterErrors, SmallBuffersThrowWithoutWriting) {
    ImageFormatConverter c;
    c.SetOutputPixelFormat(kRgb8);
    const uint32_t type = Pt(sdk::PixelType_BayerRG8);
    const Bytes src = RandomBytes(8 * 6, 1);
    Bytes dst(8 * 6 * 3 + 16, 0xA5);
    EXPECT_THROW(c.Convert(dst.data(), 8 * 6 * 3 - 1, src.data(), src.size(), type, 8, 6, 0),
                 sdk::OutOfRangeException);
    EXPECT_TRUE(std::all_of(dst.begin(), dst.end(), [](uint8_t v) { return v == 0xA5; }));
    EXPECT_THROW(c.Convert(dst.data(), dst.size(), src.data(), src.size() - 1, type, 8, 6, 0),
                 sdk::OutOfRangeException);
    // With padding the source needs (height - 1) padded rows plus one row.
    EXPECT_THROW(c.Convert(dst.data(), dst.size(), src.data(), src.size(), type, 8, 6, 1),
                 sdk::OutOfRangeException);
    EXPECT_TRUE(std::all_of(dst.begin(), dst.end(), [](uint8_t v) { return v == 0xA5; }));
    EXPECT_THROW(c.Convert(nullptr, dst.size(), src.data(), src.size(), type, 8, 6, 0),
                 sdk::InvalidArgumentException);
    // A larger destination is fine; bytes past the image stay untouched.
    EXPECT_EQ(c.Convert(dst.data(), dst.size(), src.data(), src.size(), type, 8, 6, 0), 144u);
    EXPECT_TRUE(std::all_of(dst.begin() + 144, dst.end(), [](uint8_t v) { return v == 0xA5; }));
    // An empty image writes nothing.
    EXPECT_EQ(c.Convert(dst.data(), 0, src.data(), 0, type, 0, 6, 0), 0u);
}

// --- Mono sources ------------------------------------------------------------------------------

TEST(ImageFormatConverterMono, Mono8CopiesAndDropsRowPadding) {
    const Bytes src = {1, 2, 3, 99, 4, 5, 6, 99};  // width 3, padding 1
    ImageFormatConverter c;
    EXPECT_EQ(Convert(c, src, kMono8, 3, 2, 1), (Bytes{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(ConvertTo(kMono8, {7, 8, 9, 10}, kMono8, 2, 2), (Bytes{7, 8, 9, 10}));
}

TEST(ImageFormatConverterMono, Mono8SignedIsOffsetBy128) {
    const Bytes src = {0x80, 0xFF, 0x00, 0x01, 0x7F};  // -128, -1, 0, 1, 127
    EXPECT_EQ(ConvertTo(kMono8, src, Pt(sdk::PixelType_Mono8Signed), 5, 1),
              (Bytes{0, 127, 128, 129, 255}));
}

TEST(ImageFormatConverterMono, SixteenBitContainersKeepTheTopOrBottomBits) {
    struct Case {
        sdk::EPixelType type;
        std::vector<unsigned> samples;
        Bytes msb, lsb;
    };
    const Case cases[] = {
        {sdk::PixelType_Mono10,
         {0x3FF, 0x200, 0x0FF, 0x103},
         {0xFF, 0x80, 0x3F, 0x40},
         {0xFF, 0x00, 0xFF, 0x03}},
        {sdk::PixelType_Mono12,
         {0xFFF, 0x800, 0x0FF, 0xABC},
         {0xFF, 0x80, 0x0F, 0xAB},
         {0xFF, 0x00, 0xFF, 0xBC}},
        {sdk::PixelType_Mono14,
         {0x3FFF, 0x2000, 0x00FF, 0x1234},
         {0xFF, 0x80, 0x03, 0x48},
         {0xFF, 0x00, 0xFF, 0x34}},
        {sdk::PixelType_Mono16,
         {0xFFFF, 0x8000, 0x00FF, 0xABCD},
         {0xFF, 0x80, 0x00, 0xAB},
         {0xFF, 0x00, 0xFF, 0xCD}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.type);
        EXPECT_EQ(ConvertTo(kMono8, Le16(k.samples), Pt(k.type), 4, 1), k.msb);
        EXPECT_EQ(ConvertTo(kMono8, Le16(k.samples), Pt(k.type), 4, 1,
                            BitDepthReduction::KeepLeastSignificantBits),
                  k.lsb);
    }
}

TEST(ImageFormatConverterMono, Mono12pBitPattern) {
    // p0 = 0x321, p1 = 0x654, least significant bit first.
    const Bytes src = {0x21, 0x43, 0x65};
    EXPECT_EQ(PackLsbFirst({0x321, 0x654}, 12), src);
    EXPECT_EQ(ConvertTo(kMono8, src, Pt(sdk::PixelType_Mono12p), 2, 1), (Bytes{0x32, 0x65}));
    EXPECT_EQ(ConvertTo(kMono8, src, Pt(sdk::PixelType_Mono12p), 2, 1,
                        BitDepthReduction::KeepLeastSignificantBits),
              (Bytes{0x21, 0x54}));
}

TEST(ImageFormatConverterMono, Mono12PackedBitPattern) {
    // p0 = 0xAB1, p1 = 0xCD2: high bytes outside, low nibbles shared in the middle byte.
    const Bytes src = {0xAB, 0x21, 0xCD};
    EXPECT_EQ(PackGigE({0xAB1, 0xCD2}, 12), src);
    EXPECT_EQ(ConvertTo(kMono8, src, Pt(sdk::PixelType_Mono12Packed), 2, 1), (Bytes{0xAB, 0xCD}));
    EXPECT_EQ(ConvertTo(kMono8, src, Pt(sdk::PixelType_Mono12Packed), 2, 1,
                        BitDepthReduction::KeepLeastSignificantBits),
              (Bytes{0xB1, 0xD2}));
}

TEST(ImageFormatConverterMono, Mono10pBitPattern) {
    // 0x3FF, 0x001, 0x155, 0x2AA packed least significant bit first into five bytes.
    const Bytes src = {0xFF, 0x07, 0x50, 0x95, 0xAA};
    EXPECT_EQ(PackLsbFirst({0x3FF, 0x001, 0x155, 0x2AA}, 10), src);
    EXPECT_EQ(ConvertTo(kMono8, src, Pt(sdk::PixelType_Mono10p), 4, 1),
              (Bytes{0xFF, 0x00, 0x55, 0xAA}));
    EXPECT_EQ(ConvertTo(kMono8, src, Pt(sdk::PixelType_Mono10p), 4, 1,
                        BitDepthReduction::KeepLeastSignificantBits),
              (Bytes{0xFF, 0x01, 0x55, 0xAA}));
}

TEST(ImageFormatConverterMono, Mono10PackedBitPattern) {
    // p0 = 0x2AD (high 0xAB, low 01), p1 = 0x0FE (high 0x3F, low 10): low bits in bits 0-1 and
    // 4-5 of the middle byte.
    const Bytes src = {0xAB, 0x21, 0x3F};
    EXPECT_EQ(PackGigE({0x2AD, 0x0FE}, 10), src);
    EXPECT_EQ(ConvertTo(kMono8, src, Pt(sdk::PixelType_Mono10Packed), 2, 1), (Bytes{0xAB, 0x3F}));
    EXPECT_EQ(ConvertTo(kMono8, src, Pt(sdk::PixelType_Mono10Packed), 2, 1,
                        BitDepthReduction::KeepLeastSignificantBits),
              (Bytes{0xAD, 0xFE}));
}

// Long rows go through the vector kernels; every pixel must still match the bit rule. Without
// padding the image is converted as one long row.
TEST(ImageFormatConverterMono, PackedFormatsOnLongRowsWithAndWithoutPadding) {
    std::mt19937 gen(7);
    for (uint32_t width : {4u, 32u, 64u, 100u, 260u, 2448u}) {
        for (uint32_t padding : {5u, 0u}) {
            const uint32_t height = 3;
            for (unsigned bits : {10u, 12u}) {
                std::uniform_int_distribution<unsigned> dist(0, (1u << bits) - 1);
                std::vector<unsigned> samples(size_t(width) * height);
                for (auto& v : samples) v = dist(gen);
                for (bool gige : {false, true}) {
                    const uint32_t type =
                        bits == 10
                            ? Pt(gige ? sdk::PixelType_Mono10Packed : sdk::PixelType_Mono10p)
                            : Pt(gige ? sdk::PixelType_Mono12Packed : sdk::PixelType_Mono12p);
                    Bytes src;
                    for (uint32_t y = 0; y < height; ++y) {
                        std::vector<unsigned> row(samples.begin() + y * width,
                                                  samples.begin() + (y + 1) * width);
                        const Bytes packed = gige ? PackGigE(row, bits) : PackLsbFirst(row, bits);
                        src.insert(src.end(), packed.begin(), packed.end());
                        if (y + 1 < height) src.insert(src.end(), padding, 0x5A);
                    }
                    for (auto reduction : {BitDepthReduction::KeepMostSignificantBits,
                                           BitDepthReduction::KeepLeastSignificantBits}) {
                        SCOPED_TRACE(::testing::Message()
                                     << "width " << width << " padding " << padding << " type "
                                     << type << " reduction " << int(reduction));
                        ImageFormatConverter c;
                        c.SetBitDepthReduction(reduction);
                        const Bytes out = Convert(c, src, type, width, height, padding);
                        const unsigned shift =
                            reduction == BitDepthReduction::KeepMostSignificantBits ? bits - 8 : 0;
                        Bytes expected(samples.size());
                        for (size_t i = 0; i < samples.size(); ++i) {
                            expected[i] = static_cast<uint8_t>((samples[i] >> shift) & 0xFF);
                        }
                        EXPECT_EQ(out, expected);
                    }
                }
            }
        }
    }
}

TEST(ImageFormatConverterMono, MonoToColourReplicates) {
    const Bytes src = Le16({0xFFF, 0x123});
    const Bytes expected = {0xFF, 0xFF, 0xFF, 0x12, 0x12, 0x12};
    EXPECT_EQ(ConvertTo(kRgb8, src, Pt(sdk::PixelType_Mono12), 2, 1), expected);
    EXPECT_EQ(ConvertTo(kBgr8, src, Pt(sdk::PixelType_Mono12), 2, 1), expected);
    EXPECT_EQ(ConvertTo(kRgb8, {5, 200}, kMono8, 1, 2), (Bytes{5, 5, 5, 200, 200, 200}));
}

// --- Colour and YUV sources --------------------------------------------------------------------

TEST(ImageFormatConverterColour, ChannelOrderAndAlpha) {
    const Bytes rgb = {1, 2, 3, 4, 5, 6};
    const Bytes bgr = {3, 2, 1, 6, 5, 4};
    EXPECT_EQ(ConvertTo(kRgb8, rgb, Pt(sdk::PixelType_RGB8), 2, 1), rgb);
    EXPECT_EQ(ConvertTo(kBgr8, rgb, Pt(sdk::PixelType_RGB8), 2, 1), bgr);
    EXPECT_EQ(ConvertTo(kRgb8, bgr, Pt(sdk::PixelType_BGR8), 2, 1), rgb);
    EXPECT_EQ(ConvertTo(kBgr8, bgr, Pt(sdk::PixelType_BGR8), 2, 1), bgr);
    const Bytes rgba = {1, 2, 3, 200, 4, 5, 6, 201};
    const Bytes bgra = {3, 2, 1, 200, 6, 5, 4, 201};
    EXPECT_EQ(ConvertTo(kRgb8, rgba, Pt(sdk::PixelType_RGBa8), 2, 1), rgb);
    EXPECT_EQ(ConvertTo(kBgr8, rgba, Pt(sdk::PixelType_RGBa8), 2, 1), bgr);
    EXPECT_EQ(ConvertTo(kRgb8, bgra, Pt(sdk::PixelType_BGRa8), 2, 1), rgb);
    EXPECT_EQ(ConvertTo(kBgr8, bgra, Pt(sdk::PixelType_BGRa8), 2, 1), bgr);
}

TEST(ImageFormatConverterColour, LumaOfColourPixels) {
    // (77 R + 150 G + 29 B + 128) >> 8
    const Bytes rgb = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255, 10, 20, 30};
    const Bytes luma = {77, 149, 29, 255, 18};
    EXPECT_EQ(ConvertTo(kMono8, rgb, Pt(sdk::PixelType_RGB8), 5, 1), luma);
    Bytes bgr = SwapRB(rgb);
    EXPECT_EQ(ConvertTo(kMono8, bgr, Pt(sdk::PixelType_BGR8), 5, 1), luma);
    Bytes rgba;
    for (size_t i = 0; i < rgb.size(); i += 3) {
        rgba.insert(rgba.end(), {rgb[i], rgb[i + 1], rgb[i + 2], 0x77});
    }
    EXPECT_EQ(ConvertTo(kMono8, rgba, Pt(sdk::PixelType_RGBa8), 5, 1), luma);
}

TEST(ImageFormatConverterYuv, KnownPixels) {
    // Y0 U Y1 V: grey, white/black, and a saturated red (Y 76, U 85, V 255).
    const Bytes yuyv = {128, 128, 128, 128, 255, 128, 0, 128, 76, 85, 76, 255};
    const Bytes rgb = {128, 128, 128, 128, 128, 128, 255, 255, 255, 0, 0, 0, 254, 0, 0, 254, 0, 0};
    EXPECT_EQ(ConvertTo(kRgb8, yuyv, Pt(sdk::PixelType_YUV422_8), 6, 1), rgb);
    EXPECT_EQ(ConvertTo(kBgr8, yuyv, Pt(sdk::PixelType_YCbCr422_8), 6, 1), SwapRB(rgb));
    Bytes uyvy(yuyv.size());
    for (size_t i = 0; i < yuyv.size(); i += 2) {
        uyvy[i] = yuyv[i + 1];
        uyvy[i + 1] = yuyv[i];
    }
    EXPECT_EQ(ConvertTo(kRgb8, uyvy, Pt(sdk::PixelType_YUV422_8_UYVY), 6, 1), rgb);
    EXPECT_EQ(ConvertTo(kRgb8, uyvy, Pt(sdk::PixelType_YCbCr422_8_CbYCrY), 6, 1), rgb);
    EXPECT_EQ(ConvertTo(kMono8, yuyv, Pt(sdk::PixelType_YUV422_8), 6, 1),
              (Bytes{128, 128, 255, 0, 76, 76}));
    EXPECT_EQ(ConvertTo(kMono8, uyvy, Pt(sdk::PixelType_YUV422_8_UYVY), 6, 1),
              (Bytes{128, 128, 255, 0, 76, 76}));
}

TEST(ImageFormatConverterYuv, FullRangeBt601WithinOneStep) {
    // Every (U, V) pair on a grid with several Y values against the real-valued formula.
    Bytes src;
    std::vector<int> yuv;
    for (int u = 0; u < 256; u += 5) {
        for (int v = 0; v < 256; v += 3) {
            for (int y : {0, 16, 100, 235, 255}) {
                src.insert(src.end(), {uint8_t(y), uint8_t(u), uint8_t(y), uint8_t(v)});
                yuv.insert(yuv.end(), {y, u, v});
            }
        }
    }
    const uint32_t width = static_cast<uint32_t>(src.size() / 2);
    const Bytes out = ConvertTo(kRgb8, src, Pt(sdk::PixelType_YUV422_8), width, 1);
    auto ref = [](double x) { return std::clamp(static_cast<int>(std::floor(x + 0.5)), 0, 255); };
    int worst = 0;
    for (size_t i = 0; i < yuv.size() / 3; ++i) {
        const int y = yuv[3 * i], u = yuv[3 * i + 1] - 128, v = yuv[3 * i + 2] - 128;
        const int expected[3] = {ref(y + 1.402 * v), ref(y - 0.344136 * u - 0.714136 * v),
                                 ref(y + 1.772 * u)};
        for (int pixel = 0; pixel < 2; ++pixel) {
            for (int ch = 0; ch < 3; ++ch) {
                worst = std::max(worst, std::abs(out[(2 * i + pixel) * 3 + ch] - expected[ch]));
            }
        }
    }
    EXPECT_LE(worst, 1);
}

// --- Bayer sources -----------------------------------------------------------------------------

namespace {
// 4 x 4 test image; expected interior pixels worked out by hand.
const Bytes kBayer4x4 = {12, 200, 34, 90, 7, 55, 180, 3, 250, 16, 77, 141, 66, 128, 9, 240};

struct HandPixel {
    uint32_t x, y;
    uint8_t r, g, b;
};
}  // namespace

TEST(ImageFormatConverterBayer, HandComputedInteriorPixels) {
    const std::pair<sdk::EPixelType, std::vector<HandPixel>> cases[] = {
        // R G / G B: (1,1) blue site, (1,2) green in a blue row, (2,1) green in a red row,
        // (2,2) red site.
        {sdk::PixelType_BayerRG8,
         {{1, 1, 93, 101, 55}, {2, 1, 56, 180, 29}, {1, 2, 164, 16, 92}, {2, 2, 77, 87, 107}}},
        {sdk::PixelType_BayerBG8,
         {{1, 1, 55, 101, 93}, {2, 1, 29, 180, 56}, {1, 2, 92, 16, 164}, {2, 2, 107, 87, 77}}},
        {sdk::PixelType_BayerGR8,
         {{1, 1, 108, 55, 94}, {2, 1, 112, 42, 180}, {1, 2, 16, 128, 66}, {2, 2, 79, 77, 95}}},
        {sdk::PixelType_BayerGB8,
         {{1, 1, 94, 55, 108}, {2, 1, 180, 42, 112}, {1, 2, 66, 128, 16}, {2, 2, 95, 77, 79}}},
    };
    for (const auto& [type, pixels] : cases) {
        SCOPED_TRACE(type);
        const Bytes rgb = ConvertTo(kRgb8, kBayer4x4, Pt(type), 4, 4);
        const Bytes bgr = ConvertTo(kBgr8, kBayer4x4, Pt(type), 4, 4);
        const Bytes mono = ConvertTo(kMono8, kBayer4x4, Pt(type), 4, 4);
        for (const HandPixel& p : pixels) {
            const size_t i = p.y * 4 + p.x;
            EXPECT_EQ(rgb[3 * i], p.r) << p.x << "," << p.y;
            EXPECT_EQ(rgb[3 * i + 1], p.g) << p.x << "," << p.y;
            EXPECT_EQ(rgb[3 * i + 2], p.b) << p.x << "," << p.y;
            EXPECT_EQ(bgr[3 * i], p.b);
            EXPECT_EQ(bgr[3 * i + 2], p.r);
            EXPECT_EQ(mono[i], LumaRef(p.r, p.g, p.b));
        }
    }
}

TEST(ImageFormatConverterBayer, CornerUsesMirroredNeighbours) {
    // Red site at (0,0) of R G / G B: green from (1,0) and (0,1) twice, blue from (1,1).
    const Bytes rgb = ConvertTo(kRgb8, kBayer4x4, Pt(sdk::PixelType_BayerRG8), 4, 4);
    EXPECT_EQ(rgb[0], 12);
    EXPECT_EQ(rgb[1], (200 + 200 + 7 + 7 + 2) >> 2);
    EXPECT_EQ(rgb[2], 55);
    // Bottom-right (3,3) is a blue site: red from the mirrored diagonal (2,2).
    const size_t last = 3 * 15;
    EXPECT_EQ(rgb[last], 77);
    EXPECT_EQ(rgb[last + 1], (9 + 9 + 141 + 141 + 2) >> 2);
    EXPECT_EQ(rgb[last + 2], 240);
}

TEST(ImageFormatConverterBayer, FlatColourStaysFlatUpToTheBorder) {
    // A uniformly lit scene: every red site 200, green 100, blue 50.
    for (const BayerCase& k : kBayer) {
        SCOPED_TRACE(k.cfa);
        const uint32_t w = 37, h = 9;
        Bytes img(size_t(w) * h);
        for (uint32_t y = 0; y < h; ++y) {
            for (uint32_t x = 0; x < w; ++x) {
                const char c = ColourAt(k.cfa, x, y);
                img[y * w + x] = c == 'R' ? 200 : c == 'G' ? 100 : 50;
            }
        }
        const Bytes rgb = ConvertTo(kRgb8, img, k.type8, w, h);
        for (size_t i = 0; i < rgb.size(); i += 3) {
            ASSERT_EQ(rgb[i], 200) << i / 3;
            ASSERT_EQ(rgb[i + 1], 100) << i / 3;
            ASSERT_EQ(rgb[i + 2], 50) << i / 3;
        }
    }
}

TEST(ImageFormatConverterBayer, RandomImagesMatchTheBilinearReference) {
    // Widths around the vector block sizes, tiny images included.
    const std::pair<uint32_t, uint32_t> sizes[] = {{1, 1},  {1, 5},   {5, 1},   {2, 2},  {3, 3},
                                                   {4, 7},  {33, 4},  {34, 3},  {35, 5}, {66, 6},
                                                   {67, 3}, {100, 4}, {131, 5}, {258, 3}};
    unsigned seed = 11;
    for (const BayerCase& k : kBayer) {
        for (const auto& [w, h] : sizes) {
            SCOPED_TRACE(::testing::Message() << k.cfa << " " << w << "x" << h);
            const Bytes img = RandomBytes(size_t(w) * h, seed++);
            const Bytes ref = BilinearRef(img, w, h, k.cfa);
            EXPECT_EQ(ConvertTo(kRgb8, img, k.type8, w, h), ref);
            EXPECT_EQ(ConvertTo(kBgr8, img, k.type8, w, h), SwapRB(ref));
            EXPECT_EQ(ConvertTo(kMono8, img, k.type8, w, h), LumaOf(ref));
        }
    }
}

TEST(ImageFormatConverterBayer, WideSamplesAreReducedBeforeDemosaicing) {
    std::mt19937 gen(3);
    const uint32_t w = 68, h = 6;
    for (const BayerCase& k : kBayer) {
        for (unsigned bits : {10u, 12u, 16u}) {
            std::uniform_int_distribution<unsigned> dist(0, (1u << bits) - 1);
            std::vector<unsigned> samples(size_t(w) * h);
            for (auto& v : samples) v = dist(gen);
            Bytes msb8(samples.size()), lsb8(samples.size());
            for (size_t i = 0; i < samples.size(); ++i) {
                msb8[i] = static_cast<uint8_t>(samples[i] >> (bits - 8));
                lsb8[i] = static_cast<uint8_t>(samples[i] & 0xFF);
            }
            const Bytes msbRef = BilinearRef(msb8, w, h, k.cfa);
            const Bytes lsbRef = BilinearRef(lsb8, w, h, k.cfa);
            std::vector<std::pair<uint32_t, Bytes>> encodings;
            if (bits == 16) {
                encodings.push_back({k.type16, Le16(samples)});
            } else {
                encodings.push_back({bits == 10 ? k.type10 : k.type12, Le16(samples)});
                encodings.push_back(
                    {bits == 10 ? k.type10p : k.type12p, PackLsbFirst(samples, bits)});
                encodings.push_back(
                    {bits == 10 ? k.type10Packed : k.type12Packed, PackGigE(samples, bits)});
            }
            for (const auto& [type, src] : encodings) {
                SCOPED_TRACE(::testing::Message() << k.cfa << " type " << std::hex << type);
                EXPECT_EQ(ConvertTo(kRgb8, src, type, w, h), msbRef);
                EXPECT_EQ(ConvertTo(kBgr8, src, type, w, h), SwapRB(msbRef));
                EXPECT_EQ(ConvertTo(kMono8, src, type, w, h), LumaOf(msbRef));
                EXPECT_EQ(
                    ConvertTo(kRgb8, src, type, w, h, BitDepthReduction::KeepLeastSignificantBits),
                    lsbRef);
            }
        }
    }
}

TEST(ImageFormatConverterBayer, ScratchRowsAreReusedAcrossImagesOfDifferentSizes) {
    ImageFormatConverter c;
    c.SetOutputPixelFormat(kRgb8);
    for (auto [w, h] : {std::pair<uint32_t, uint32_t>{64, 8}, {16, 4}, {96, 5}}) {
        std::vector<unsigned> samples(size_t(w) * h);
        const Bytes img8 = RandomBytes(samples.size(), w);
        for (size_t i = 0; i < samples.size(); ++i) samples[i] = unsigned(img8[i]) << 4;
        EXPECT_EQ(Convert(c, Le16(samples), Pt(sdk::PixelType_BayerGB12), w, h),
                  BilinearRef(img8, w, h, "GB"));
    }
}

TEST(ImageFormatConverterKernels, RunOnTheTargetTheEnvironmentCapsThemTo) {
    const char* cap = std::getenv("OSTRAVELK_SIMD");
    if (!cap) GTEST_SKIP() << "OSTRAVELK_SIMD not set";
#if defined(__x86_64__)
    const std::string expected = std::string(cap) == "sse2" ? "emu128" : "ssse3";
    if (std::string(cap) == "sse2" || std::string(cap) == "baseline") {
        EXPECT_EQ(ImageFormatConverter::KernelName(), expected);
    }
#endif
}
