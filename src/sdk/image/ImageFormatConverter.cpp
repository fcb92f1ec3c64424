#include "sdk/image/ImageFormatConverter.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "sdk/convert/RowKernels.h"
#include "sdk/genapi/GenericException.h"
#include "sdk/image/PixelType.h"

namespace sdk {

namespace {

using convert::BayerRowLayout;

// Output types.
constexpr uint32_t kMono8 = PixelType_Mono8;
constexpr uint32_t kRgb8 = PixelType_RGB8packed;
constexpr uint32_t kBgr8 = PixelType_BGR8packed;

enum class Family { Mono, Bayer, Colour, Yuv };

// How the samples of a row are stored.
enum class Coding {
    U8,        // one byte per sample
    S8,        // one signed byte per sample
    U16,       // little-endian 16-bit container
    P10,       // 4 samples in 5 bytes, least significant bit first
    P12,       // 2 samples in 3 bytes, least significant bit first
    Packed10,  // 2 samples in 3 bytes, high bits in bytes 0 and 2
    Packed12,  // 2 samples in 3 bytes, high bits in bytes 0 and 2
    Rgb,       // R G B
    Bgr,       // B G R
    Rgba,      // R G B A
    Bgra,      // B G R A
    Yuyv,      // Y0 U Y1 V
    Uyvy,      // U Y0 V Y1
};

enum class Cfa { None, RG, GR, GB, BG };  // colours of the first two pixels of row 0

struct Format {
    EPixelType type;
    Family family;
    Coding coding;
    unsigned bits;
    Cfa cfa;
};

constexpr Format kFormats[] = {
    {PixelType_Mono8, Family::Mono, Coding::U8, 8, Cfa::None},
    {PixelType_Mono8Signed, Family::Mono, Coding::S8, 8, Cfa::None},
    {PixelType_Mono10, Family::Mono, Coding::U16, 10, Cfa::None},
    {PixelType_Mono12, Family::Mono, Coding::U16, 12, Cfa::None},
    {PixelType_Mono14, Family::Mono, Coding::U16, 14, Cfa::None},
    {PixelType_Mono16, Family::Mono, Coding::U16, 16, Cfa::None},
    {PixelType_Mono10p, Family::Mono, Coding::P10, 10, Cfa::None},
    {PixelType_Mono12p, Family::Mono, Coding::P12, 12, Cfa::None},
    {PixelType_Mono10Packed, Family::Mono, Coding::Packed10, 10, Cfa::None},
    {PixelType_Mono12Packed, Family::Mono, Coding::Packed12, 12, Cfa::None},
    {PixelType_BayerGR8, Family::Bayer, Coding::U8, 8, Cfa::GR},
    {PixelType_BayerRG8, Family::Bayer, Coding::U8, 8, Cfa::RG},
    {PixelType_BayerGB8, Family::Bayer, Coding::U8, 8, Cfa::GB},
    {PixelType_BayerBG8, Family::Bayer, Coding::U8, 8, Cfa::BG},
    {PixelType_BayerGR10, Family::Bayer, Coding::U16, 10, Cfa::GR},
    {PixelType_BayerRG10, Family::Bayer, Coding::U16, 10, Cfa::RG},
    {PixelType_BayerGB10, Family::Bayer, Coding::U16, 10, Cfa::GB},
    {PixelType_BayerBG10, Family::Bayer, Coding::U16, 10, Cfa::BG},
    {PixelType_BayerGR12, Family::Bayer, Coding::U16, 12, Cfa::GR},
    {PixelType_BayerRG12, Family::Bayer, Coding::U16, 12, Cfa::RG},
    {PixelType_BayerGB12, Family::Bayer, Coding::U16, 12, Cfa::GB},
    {PixelType_BayerBG12, Family::Bayer, Coding::U16, 12, Cfa::BG},
    {PixelType_BayerGR16, Family::Bayer, Coding::U16, 16, Cfa::GR},
    {PixelType_BayerRG16, Family::Bayer, Coding::U16, 16, Cfa::RG},
    {PixelType_BayerGB16, Family::Bayer, Coding::U16, 16, Cfa::GB},
    {PixelType_BayerBG16, Family::Bayer, Coding::U16, 16, Cfa::BG},
    {PixelType_BayerGR10p, Family::Bayer, Coding::P10, 10, Cfa::GR},
    {PixelType_BayerRG10p, Family::Bayer, Coding::P10, 10, Cfa::RG},
    {PixelType_BayerGB10p, Family::Bayer, Coding::P10, 10, Cfa::GB},
    {PixelType_BayerBG10p, Family::Bayer, Coding::P10, 10, Cfa::BG},
    {PixelType_BayerGR12p, Family::Bayer, Coding::P12, 12, Cfa::GR},
    {PixelType_BayerRG12p, Family::Bayer, Coding::P12, 12, Cfa::RG},
    {PixelType_BayerGB12p, Family::Bayer, Coding::P12, 12, Cfa::GB},
    {PixelType_BayerBG12p, Family::Bayer, Coding::P12, 12, Cfa::BG},
    {PixelType_BayerGR10Packed, Family::Bayer, Coding::Packed10, 10, Cfa::GR},
    {PixelType_BayerRG10Packed, Family::Bayer, Coding::Packed10, 10, Cfa::RG},
    {PixelType_BayerGB10Packed, Family::Bayer, Coding::Packed10, 10, Cfa::GB},
    {PixelType_BayerBG10Packed, Family::Bayer, Coding::Packed10, 10, Cfa::BG},
    {PixelType_BayerGR12Packed, Family::Bayer, Coding::Packed12, 12, Cfa::GR},
    {PixelType_BayerRG12Packed, Family::Bayer, Coding::Packed12, 12, Cfa::RG},
    {PixelType_BayerGB12Packed, Family::Bayer, Coding::Packed12, 12, Cfa::GB},
    {PixelType_BayerBG12Packed, Family::Bayer, Coding::Packed12, 12, Cfa::BG},
    {PixelType_RGB8, Family::Colour, Coding::Rgb, 8, Cfa::None},
    {PixelType_BGR8, Family::Colour, Coding::Bgr, 8, Cfa::None},
    {PixelType_RGBa8, Family::Colour, Coding::Rgba, 8, Cfa::None},
    {PixelType_BGRa8, Family::Colour, Coding::Bgra, 8, Cfa::None},
    {PixelType_YUV422_8, Family::Yuv, Coding::Yuyv, 8, Cfa::None},
    {PixelType_YCbCr422_8, Family::Yuv, Coding::Yuyv, 8, Cfa::None},
    {PixelType_YUV422_8_UYVY, Family::Yuv, Coding::Uyvy, 8, Cfa::None},
    {PixelType_YCbCr422_8_CbYCrY, Family::Yuv, Coding::Uyvy, 8, Cfa::None},
};

const Format* FindFormat(uint32_t type) {
    for (const Format& f : kFormats) {
        if (static_cast<uint32_t>(f.type) == type) return &f;
    }
    return nullptr;
}

std::string Hex(uint32_t v) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", v);
    return text;
}

const Format& RequireFormat(uint32_t type) {
    const Format* f = FindFormat(type);
    if (!f) {
        throw InvalidArgumentException("Unsupported source pixel type " + Hex(type), __FILE__,
                                       __LINE__);
    }
    return *f;
}

// Pixels per group of whole bytes.
uint32_t GroupPixels(Coding c) {
    switch (c) {
        case Coding::P10:
            return 4;
        case Coding::P12:
        case Coding::Packed10:
        case Coding::Packed12:
        case Coding::Yuyv:
        case Coding::Uyvy:
            return 2;
        default:
            return 1;
    }
}

void RequireWidth(const Format& f, uint32_t width) {
    const uint32_t group = GroupPixels(f.coding);
    if (width % group != 0) {
        throw InvalidArgumentException("Width " + std::to_string(width) + " is not a multiple of " +
                                           std::to_string(group) + " for pixel type " +
                                           Hex(static_cast<uint32_t>(f.type)),
                                       __FILE__, __LINE__);
    }
}

// Bytes of one packed row (the width fits the format).
uint64_t RowBytes(Coding c, uint64_t width) {
    switch (c) {
        case Coding::U8:
        case Coding::S8:
            return width;
        case Coding::U16:
        case Coding::Yuyv:
        case Coding::Uyvy:
            return 2 * width;
        case Coding::P10:
            return width / 4 * 5;
        case Coding::P12:
        case Coding::Packed10:
        case Coding::Packed12:
            return width / 2 * 3;
        case Coding::Rgb:
        case Coding::Bgr:
            return 3 * width;
        case Coding::Rgba:
        case Coding::Bgra:
            return 4 * width;
    }
    return 0;
}

size_t CheckedSize(uint64_t a, uint64_t b, uint64_t plus = 0) {
    uint64_t product = 0;
    uint64_t sum = 0;
    if (__builtin_mul_overflow(a, b, &product) || __builtin_add_overflow(product, plus, &sum) ||
        sum > SIZE_MAX) {
        throw OutOfRangeException("Image size overflows", __FILE__, __LINE__);
    }
    return static_cast<size_t>(sum);
}

size_t SourceSize(const Format& f, uint32_t width, uint32_t height, uint32_t paddingX) {
    if (width == 0 || height == 0) return 0;
    const uint64_t row = RowBytes(f.coding, width);
    return CheckedSize(height - 1, row + paddingX, row);
}

unsigned OutputBytesPerPixel(uint32_t outputType) {
    return outputType == kMono8 ? 1 : 3;
}

// Brings one mono or Bayer source row to 8-bit samples.
void ReduceRow(const Format& f, unsigned shift, const uint8_t* src, uint32_t width, uint8_t* dst) {
    switch (f.coding) {
        case Coding::U8:
            std::memcpy(dst, src, width);
            return;
        case Coding::S8:
            convert::ReduceSigned8(src, width, dst);
            return;
        case Coding::U16:
            convert::ReduceU16(src, width, shift, dst);
            return;
        case Coding::P10:
            convert::ReduceP10(src, width, shift, dst);
            return;
        case Coding::P12:
            convert::ReduceP12(src, width, shift, dst);
            return;
        case Coding::Packed10:
            convert::ReducePacked10(src, width, shift, dst);
            return;
        case Coding::Packed12:
            convert::ReducePacked12(src, width, shift, dst);
            return;
        default:
            return;
    }
}

BayerRowLayout LayoutOfRow(Cfa cfa, uint32_t y) {
    const bool evenGreenFirst = cfa == Cfa::GR || cfa == Cfa::GB;
    const bool evenRed = cfa == Cfa::RG || cfa == Cfa::GR;
    const bool odd = (y & 1u) != 0;
    return BayerRowLayout{evenGreenFirst != odd, evenRed != odd};
}

// Mirrored neighbour rows (same colour), or the row itself in a one-row image.
uint32_t RowAbove(uint32_t y, uint32_t height) {
    return y > 0 ? y - 1 : (height > 1 ? 1 : 0);
}
uint32_t RowBelow(uint32_t y, uint32_t height) {
    return y + 1 < height ? y + 1 : (height > 1 ? height - 2 : 0);
}

}  // namespace

ImageFormatConverter::ImageFormatConverter() : mOutputPixelType(kMono8) {}

void ImageFormatConverter::Initialize(uint32_t sourcePixelType) {
    mSourcePixelType = sourcePixelType;
}

void ImageFormatConverter::SetBitDepthReduction(BitDepthReduction reduction) {
    if (reduction != BitDepthReduction::KeepLeastSignificantBits &&
        reduction != BitDepthReduction::KeepMostSignificantBits) {
        throw OutOfRangeException("Bit depth reduction " +
                                      std::to_string(static_cast<int32_t>(reduction)) +
                                      " is not a valid setting",
                                  __FILE__, __LINE__);
    }
    mReduction = reduction;
}

void ImageFormatConverter::SetOutputPixelFormat(uint32_t pixelType) {
    if (!IsSupportedOutputFormat(pixelType)) {
        throw InvalidArgumentException("Unsupported output pixel type " + Hex(pixelType), __FILE__,
                                       __LINE__);
    }
    mOutputPixelType = pixelType;
}

size_t ImageFormatConverter::GetBufferSizeForConversion(uint32_t pixelType, uint32_t width,
                                                        uint32_t height) const {
    RequireWidth(RequireFormat(pixelType), width);
    return CheckedSize(uint64_t(width) * OutputBytesPerPixel(mOutputPixelType), height);
}

size_t ImageFormatConverter::GetSourceSize(uint32_t pixelType, uint32_t width, uint32_t height,
                                           uint32_t paddingX) {
    const Format& f = RequireFormat(pixelType);
    RequireWidth(f, width);
    return SourceSize(f, width, height, paddingX);
}

bool ImageFormatConverter::IsSupportedInputFormat(uint32_t pixelType) {
    return FindFormat(pixelType) != nullptr;
}

bool ImageFormatConverter::IsSupportedOutputFormat(uint32_t pixelType) {
    return pixelType == kMono8 || pixelType == kRgb8 || pixelType == kBgr8;
}

std::string ImageFormatConverter::KernelName() {
    return convert::TargetName();
}

uint8_t* ImageFormatConverter::Scratch(size_t bytes) {
    if (mScratch.size() < bytes) mScratch.resize(bytes);
    return mScratch.data();
}

size_t ImageFormatConverter::Convert(void* dest, size_t destSize, const void* src, size_t srcSize,
                                     uint32_t srcPixelType, uint32_t width, uint32_t height,
                                     uint32_t paddingX) {
    const Format& f = RequireFormat(srcPixelType);
    RequireWidth(f, width);
    const unsigned outBpp = OutputBytesPerPixel(mOutputPixelType);
    const size_t outRow = CheckedSize(width, outBpp);
    const size_t outSize = CheckedSize(outRow, height);
    const size_t inSize = SourceSize(f, width, height, paddingX);
    if (destSize < outSize) {
        throw OutOfRangeException("Destination buffer too small: " + std::to_string(destSize) +
                                      " bytes for " + std::to_string(outSize),
                                  __FILE__, __LINE__);
    }
    if (srcSize < inSize) {
        throw OutOfRangeException("Source buffer too small: " + std::to_string(srcSize) +
                                      " bytes for " + std::to_string(inSize),
                                  __FILE__, __LINE__);
    }
    if (outSize == 0) return 0;
    if (!dest || !src) {
        throw InvalidArgumentException("Null image buffer", __FILE__, __LINE__);
    }

    const auto* in = static_cast<const uint8_t*>(src);
    auto* out = static_cast<uint8_t*>(dest);
    const size_t inRow = RowBytes(f.coding, width);
    const size_t inStride = inRow + paddingX;
    const bool mono = mOutputPixelType == kMono8;
    const bool bgr = mOutputPixelType == kBgr8;
    const unsigned shift =
        mReduction == BitDepthReduction::KeepMostSignificantBits ? f.bits - 8 : 0;
    auto inRowAt = [&](uint32_t y) { return in + y * inStride; };
    auto outRowAt = [&](uint32_t y) { return out + y * outRow; };
    // Conversions of each pixel on its own treat an image without row padding as one long row:
    // a call per row, with its set-up and tail, cost a few percent of a conversion that runs at
    // the rate of the memory.
    const bool oneRun = paddingX == 0 && uint64_t(width) * height <= UINT32_MAX;
    const uint32_t runWidth = oneRun ? width * height : width;
    const uint32_t runs = oneRun ? 1 : height;

    switch (f.family) {
        case Family::Mono: {
            if (mono && f.coding == Coding::U8 && paddingX == 0) {
                std::memcpy(out, in, outSize);
                break;
            }
            if (!mono && f.coding == Coding::U8) {
                for (uint32_t y = 0; y < runs; ++y) {
                    convert::ReplicateMono(inRowAt(y), runWidth, outRowAt(y));
                }
                break;
            }
            if (mono) {
                // Rows hold whole pixel groups, so an image without padding is one long row.
                for (uint32_t y = 0; y < runs; ++y) {
                    ReduceRow(f, shift, inRowAt(y), runWidth, outRowAt(y));
                }
                break;
            }
            uint8_t* row = Scratch(width);
            for (uint32_t y = 0; y < height; ++y) {
                ReduceRow(f, shift, inRowAt(y), width, row);
                convert::ReplicateMono(row, width, outRowAt(y));
            }
            break;
        }
        case Family::Bayer: {
            // 8-bit rows are used in place; wider samples are reduced into three rotating
            // scratch rows (rows y - 1, y and y + 1 always fall in different slots).
            const bool direct = f.coding == Coding::U8;
            uint8_t* slots = direct ? nullptr : Scratch(CheckedSize(width, 3));
            int64_t slotRow[3] = {-1, -1, -1};
            auto row8 = [&](uint32_t y) -> const uint8_t* {
                if (direct) return inRowAt(y);
                uint8_t* slot = slots + size_t(y % 3) * width;
                if (slotRow[y % 3] != y) {
                    ReduceRow(f, shift, inRowAt(y), width, slot);
                    slotRow[y % 3] = y;
                }
                return slot;
            };
            for (uint32_t y = 0; y < height; ++y) {
                const uint8_t* cur = row8(y);
                const uint8_t* up = row8(RowAbove(y, height));
                const uint8_t* down = row8(RowBelow(y, height));
                const BayerRowLayout layout = LayoutOfRow(f.cfa, y);
                if (mono) {
                    convert::DemosaicRowLuma(up, cur, down, width, layout, outRowAt(y));
                } else {
                    convert::DemosaicRowColour(up, cur, down, width, layout, bgr, outRowAt(y));
                }
            }
            break;
        }
        case Family::Colour: {
            const bool four = f.coding == Coding::Rgba || f.coding == Coding::Bgra;
            const bool redFirst = f.coding == Coding::Rgb || f.coding == Coding::Rgba;
            const bool swap = redFirst == bgr;
            for (uint32_t y = 0; y < runs; ++y) {
                if (mono) {
                    convert::LumaOfColour(inRowAt(y), runWidth, four ? 4 : 3, redFirst,
                                          outRowAt(y));
                } else if (four) {
                    convert::DropAlpha(inRowAt(y), runWidth, swap, outRowAt(y));
                } else {
                    convert::CopyColour3(inRowAt(y), runWidth, swap, outRowAt(y));
                }
            }
            break;
        }
        case Family::Yuv: {
            const bool uyvy = f.coding == Coding::Uyvy;
            for (uint32_t y = 0; y < height; ++y) {
                if (mono) {
                    convert::YuvToLuma(inRowAt(y), width, uyvy, outRowAt(y));
                } else {
                    convert::YuvToColour(inRowAt(y), width, uyvy, bgr, outRowAt(y));
                }
            }
            break;
        }
    }
    return outSize;
}

}  // namespace sdk
