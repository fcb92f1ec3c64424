#pragma once

#include <cstddef>
#include <cstdint>

// Row kernels of the image format converter. Every kernel works on one row and writes packed
// output; none allocates. The portable kernels live in RowKernels.cpp, the x86-64 AVX2 ones in
// RowKernelsAvx2.cpp, and Kernels() picks the fastest set this processor runs.
//
// Threading: all kernels are pure functions of their arguments; Kernels() is safe to call from
// any thread (its choice is made once).

namespace sdk::convert {

// Luma of colour pixels, BT.601 weights in 8-bit fixed point (they sum to 256):
// Y = (77 R + 150 G + 29 B + 128) >> 8.
constexpr unsigned kLumaR = 77;
constexpr unsigned kLumaG = 150;
constexpr unsigned kLumaB = 29;

inline uint8_t Luma(unsigned r, unsigned g, unsigned b) {
    return static_cast<uint8_t>((kLumaR * r + kLumaG * g + kLumaB * b + 128) >> 8);
}

// Where the colours of one Bayer row sit.
struct BayerRowLayout {
    bool greenFirst;  // green at even x, the row's own colour at odd x (else the other way round)
    bool redRow;      // the row's non-green sites are red (else blue)
};

// --- Portable kernels --------------------------------------------------------------------------

// Reductions of one source row to 8-bit samples: out = (sample >> shift) & 0xFF.
void ReduceSigned8(const uint8_t* src, uint32_t width, uint8_t* dst);
void ReduceU16(const uint8_t* src, uint32_t width, unsigned shift, uint8_t* dst);
void ReduceP10(const uint8_t* src, uint32_t width, unsigned shift, uint8_t* dst);
void ReduceP12(const uint8_t* src, uint32_t width, unsigned shift, uint8_t* dst);
void ReducePacked10(const uint8_t* src, uint32_t width, unsigned shift, uint8_t* dst);
void ReducePacked12(const uint8_t* src, uint32_t width, unsigned shift, uint8_t* dst);

// Bilinear demosaic of one 8-bit row from the rows above and below (which are the reflected
// neighbours on the first and last row). Columns 0 and width - 1 use the reflected column
// (x = 1, x = width - 2), which keeps the colour of every site; a one-pixel wide image uses
// its only column. `bgr` selects the output byte order; the luma variant writes one byte per
// pixel. The bulk of the row goes through the given kernel set.
struct KernelSet;
void DemosaicRowColour(const KernelSet& kernels, const uint8_t* up, const uint8_t* cur,
                       const uint8_t* down, uint32_t width, BayerRowLayout layout, bool bgr,
                       uint8_t* dst);
void DemosaicRowLuma(const KernelSet& kernels, const uint8_t* up, const uint8_t* cur,
                     const uint8_t* down, uint32_t width, BayerRowLayout layout, uint8_t* dst);

// Mono to colour by replication: every output channel is the sample.
void ReplicateMono(const uint8_t* src, uint32_t width, uint8_t* dst);

// 3- and 4-byte colour pixels. `swap` exchanges the first and third channel.
void CopyColour3(const uint8_t* src, uint32_t width, bool swap, uint8_t* dst);
void DropAlpha(const uint8_t* src, uint32_t width, bool swap, uint8_t* dst);
// Luma of 3- or 4-byte pixels; `redFirst` says whether red is the first byte.
void LumaOfColour(const uint8_t* src, uint32_t width, uint32_t bytesPerPixel, bool redFirst,
                  uint8_t* dst);

// YUV 4:2:2 (width is even). `uyvy` selects the U Y0 V Y1 byte order instead of Y0 U Y1 V.
// Colour uses BT.601 full range (JFIF): R = Y + 1.402 (V - 128),
// G = Y - 0.344136 (U - 128) - 0.714136 (V - 128), B = Y + 1.772 (U - 128). In integers, exactly
// as the vector kernels compute it: each chroma product is rounded to 1/64 (coefficients in
// units of 2^-14), the chroma term of a channel is rounded half up to an integer, added to Y and
// clamped to 0..255.
struct YuvChroma {
    int r, g, b;  // integer chroma terms added to Y
};
inline int YuvProduct(int centred, int coefficient14) {  // round(centred * coeff * 64)
    return (centred * 128 * coefficient14 + 0x4000) >> 15;
}
constexpr int kYuvRv = 22970;   // 1.402 * 2^14
constexpr int kYuvGu = -5638;   // -0.344136 * 2^14
constexpr int kYuvGv = -11700;  // -0.714136 * 2^14
constexpr int kYuvBu = 29032;   // 1.772 * 2^14
inline YuvChroma YuvChromaTerms(int u, int v) {
    u -= 128;
    v -= 128;
    return YuvChroma{(YuvProduct(v, kYuvRv) + 32) >> 6,
                     (YuvProduct(u, kYuvGu) + YuvProduct(v, kYuvGv) + 32) >> 6,
                     (YuvProduct(u, kYuvBu) + 32) >> 6};
}
void YuvToColour(const uint8_t* src, uint32_t width, bool uyvy, bool bgr, uint8_t* dst);
void YuvToLuma(const uint8_t* src, uint32_t width, bool uyvy, uint8_t* dst);

// --- Dispatched kernels ------------------------------------------------------------------------

// Kernels with a processor-specific version. The "Run" kernels do the bulk of a row and return
// where they stopped; the caller finishes the row with the portable code.
struct KernelSet {
    // Demosaic columns [2, end) of a row whose width is at least 3; returns end (even, at most
    // width - 1).
    uint32_t (*demosaicColourRun)(const uint8_t* up, const uint8_t* cur, const uint8_t* down,
                                  uint32_t width, BayerRowLayout layout, bool bgr, uint8_t* dst);
    uint32_t (*demosaicLumaRun)(const uint8_t* up, const uint8_t* cur, const uint8_t* down,
                                uint32_t width, BayerRowLayout layout, uint8_t* dst);
    // Most significant 8 bits of the first pixels of a row; returns how many pixels were done.
    uint32_t (*msbP10Run)(const uint8_t* src, uint32_t width, uint8_t* dst);
    uint32_t (*msbP12Run)(const uint8_t* src, uint32_t width, uint8_t* dst);
    uint32_t (*msbPacked12Run)(const uint8_t* src, uint32_t width, uint8_t* dst);  // and 10Packed
    // 16-bit containers, (sample >> shift) & 0xFF, for the first pixels of a row.
    uint32_t (*reduceU16Run)(const uint8_t* src, uint32_t width, unsigned shift, uint8_t* dst);
    // YUV 4:2:2 to colour for the first pixels of a row; returns how many were done.
    uint32_t (*yuvToColourRun)(const uint8_t* src, uint32_t width, bool uyvy, bool bgr,
                               uint8_t* dst);
    // Mono to colour, and the exchange of the first and third byte of 3-byte pixels, for the
    // first pixels of a row.
    uint32_t (*replicateRun)(const uint8_t* src, uint32_t width, uint8_t* dst);
    uint32_t (*swapColour3Run)(const uint8_t* src, uint32_t width, uint8_t* dst);
    const char* name;
};

// The kernel set for this processor: AVX2 on x86-64 processors that have it, else portable.
const KernelSet& Kernels();
// The portable set (always available; tests compare the two).
const KernelSet& PortableKernels();
// The AVX2 set, or null when the processor (or the build target) lacks it.
const KernelSet* Avx2Kernels();

}  // namespace sdk::convert
