#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sdk {

// How samples wider than 8 bits become the 8 bits of an output channel.
enum class BitDepthReduction : int32_t {
    // sample & 0xFF: the low-order bits (bright pixels wrap); for looking at dark images.
    KeepLeastSignificantBits = 0,
    // sample >> (bits - 8): the usual scaling to 8 bits, and the default.
    KeepMostSignificantBits = 1,
};

// Converts camera images into packed 8-bit mono (Mono8) or 24-bit colour (RGB8packed,
// BGR8packed) rows: row r of the output starts at byte r * width * bytesPerPixel, with no
// padding.
//
// Pixel types are PFNC numbers. Sources: Mono8, Mono8s, Mono10/12/14/16 (little-endian 16-bit
// containers), Mono10p/12p (PFNC bit-packed, least significant bit first), Mono10Packed/
// Mono12Packed (two pixels in three bytes, high bits in the outer bytes), Bayer RG/GR/GB/BG in
// 8, 10, 12 and 16 bits and their p and Packed forms, RGB8, BGR8, RGBa8, BGRa8, YUV 4:2:2
// (YUV422_8 and YCbCr422_8 in Y U Y V order, YUV422_8_UYVY and YCbCr422_8_CbYCrY in U Y V Y
// order).
//
// Conversion rules:
// - Samples wider than 8 bits are reduced by the BitDepthReduction setting. Mono8s is offset by
//   128 (-128 -> 0, 0 -> 128, 127 -> 255).
// - Bayer: the samples are reduced to 8 bits first, then demosaiced bilinearly (own sample;
//   average of the 2 or 4 nearest samples of a missing colour, rounded half up). The first and
//   last row and column use the mirrored neighbour row/column, which has the same colour.
//   Bayer to Mono8 is the luma of the demosaiced pixel.
// - Colour to Mono8 is the BT.601 luma (77 R + 150 G + 29 B + 128) >> 8. Mono to colour
//   replicates the sample into all three channels. RGBa/BGRa drop the alpha byte.
// - YUV 4:2:2 to colour uses BT.601 full range (JFIF): R = Y + 1.402 (V - 128),
//   G = Y - 0.344136 (U - 128) - 0.714136 (V - 128), B = Y + 1.772 (U - 128), rounded and
//   clamped; both pixels of a pair share U and V. YUV to Mono8 is the Y sample.
//
// Geometry: source rows are packed plus paddingX bytes at their end (the last row's padding may
// be missing). Formats that pack pixel groups need whole groups per row: an even width for
// the 12-bit p/Packed formats, Mono10Packed and YUV 4:2:2, a multiple of four for the 10-bit p
// formats.
//
// Errors (sdk exceptions, nothing is written): InvalidArgumentException for an unknown source
// or output type (including the undefined type 0xFFFFFFFF), a width the format cannot hold or
// a null buffer; OutOfRangeException when the source or destination buffer is too small.
//
// Threading: one object is used by one thread at a time; Convert keeps scratch rows in the
// object. Separate objects are independent.
class ImageFormatConverter {
  public:
    static constexpr uint32_t kUndefinedPixelType = 0xFFFFFFFFu;

    ImageFormatConverter();

    // Prepares for images of this source type. Any value is accepted here; an unsupported one
    // makes the size query and Convert throw for it.
    void Initialize(uint32_t sourcePixelType);
    uint32_t GetSourcePixelType() const { return mSourcePixelType; }

    void SetBitDepthReduction(BitDepthReduction reduction);
    BitDepthReduction GetBitDepthReduction() const { return mReduction; }

    // Mono8 (0x01080001, the default), RGB8packed (0x02180014) or BGR8packed (0x02180015);
    // anything else throws InvalidArgumentException.
    void SetOutputPixelFormat(uint32_t pixelType);
    uint32_t GetOutputPixelFormat() const { return mOutputPixelType; }

    // Bytes of output for an image of this source type and geometry in the current output
    // format: width * height * (1 or 3).
    size_t GetBufferSizeForConversion(uint32_t pixelType, uint32_t width, uint32_t height) const;

    // Converts one image into dest and returns the number of bytes written.
    size_t Convert(void* dest, size_t destSize, const void* src, size_t srcSize,
                   uint32_t srcPixelType, uint32_t width, uint32_t height, uint32_t paddingX = 0);

    // Bytes a source image of this type and geometry occupies (rows plus padding, the last row
    // without its padding).
    static size_t GetSourceSize(uint32_t pixelType, uint32_t width, uint32_t height,
                                uint32_t paddingX = 0);
    static bool IsSupportedInputFormat(uint32_t pixelType);
    static bool IsSupportedOutputFormat(uint32_t pixelType);

    // Name of the SIMD target the conversions run on ("avx2", "sse4", "emu128", ...).
    static std::string KernelName();

  private:
    uint8_t* Scratch(size_t bytes);

    uint32_t mSourcePixelType = kUndefinedPixelType;
    uint32_t mOutputPixelType;
    BitDepthReduction mReduction = BitDepthReduction::KeepMostSignificantBits;
    std::vector<uint8_t> mScratch;  // unpacked rows; only grows
};

}  // namespace sdk
