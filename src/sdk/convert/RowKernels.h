#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Row kernels of the image format converter. Every kernel works on one row and writes packed
// output, which must not overlap the input (some write pixels twice, reading the input again in
// between); none allocates. They are written once over a portable SIMD library and compiled for
// every instruction set it knows (SSSE3, SSE4, AVX2, AVX-512 on x86-64; NEON, SVE on ARM; a
// portable emulation everywhere); each call runs the best version this processor supports, up
// to the cap set by the environment variable OSTRAVELK_SIMD or by LimitTarget(): "baseline"
// (the oldest vector instruction set with a target: SSSE3 on x86-64, NEON on 64-bit ARM),
// "sse2" or "emu128" (the portable emulation), or a target name such as "sse4", "avx2",
// "avx3". An unknown name in OSTRAVELK_SIMD leaves the dispatch uncapped.
//
// Threading: the kernels are pure functions of their arguments and may run on any thread at
// once. The cap from OSTRAVELK_SIMD is applied once, on the first call of any function here.
// LimitTarget() changes the dispatch of the whole process: call it only while no kernel runs
// (tests and benchmarks do, before converting).

namespace sdk::convert {

// Luma of colour pixels, BT.601 weights in 8-bit fixed point (they sum to 256):
// Y = (77 R + 150 G + 29 B + 128) >> 8.
constexpr unsigned kLumaR = 77;
constexpr unsigned kLumaG = 150;
constexpr unsigned kLumaB = 29;

// Where the colours of one Bayer row sit.
struct BayerRowLayout {
    bool greenFirst;  // green at even x, the row's own colour at odd x (else the other way round)
    bool redRow;      // the row's non-green sites are red (else blue)
};

// --- Dispatch ----------------------------------------------------------------------------------

// Lower-case name of the target the kernels run on now ("avx2", "sse4", "emu128", "neon", ...).
std::string TargetName();
// The targets compiled in and supported by this processor, best first (the last is the
// portable emulation), by lower-case name, whatever the current cap. Like LimitTarget(), call it
// only while no kernel runs.
std::vector<std::string> SupportedTargetNames();
// Caps the dispatch at a target: "baseline", "best" (no cap), or a name from
// SupportedTargetNames() or of a better target. Returns false, changing nothing, for a name
// no target has.
bool LimitTarget(const std::string& cap);

// --- Kernels -----------------------------------------------------------------------------------

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
// its only column. Sites of the row's own colour average the two horizontal neighbours (green
// sites) or take the four direct neighbours for green and the four diagonal ones for the
// other colour, each sum rounded half up. `bgr` selects the output byte order; the luma
// variant writes one byte per pixel.
void DemosaicRowColour(const uint8_t* up, const uint8_t* cur, const uint8_t* down, uint32_t width,
                       BayerRowLayout layout, bool bgr, uint8_t* dst);
void DemosaicRowLuma(const uint8_t* up, const uint8_t* cur, const uint8_t* down, uint32_t width,
                     BayerRowLayout layout, uint8_t* dst);

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
// G = Y - 0.344136 (U - 128) - 0.714136 (V - 128), B = Y + 1.772 (U - 128). In integers: each
// chroma product is rounded to 1/64 (coefficients in units of 2^-14, centred chroma times
// 128, (a b + 2^14) >> 15), the chroma term of a channel is rounded half up to an integer,
// added to Y and clamped to 0..255.
constexpr int kYuvRv = 22970;   // 1.402 * 2^14
constexpr int kYuvGu = -5638;   // -0.344136 * 2^14
constexpr int kYuvGv = -11700;  // -0.714136 * 2^14
constexpr int kYuvBu = 29032;   // 1.772 * 2^14
void YuvToColour(const uint8_t* src, uint32_t width, bool uyvy, bool bgr, uint8_t* dst);
void YuvToLuma(const uint8_t* src, uint32_t width, bool uyvy, uint8_t* dst);

}  // namespace sdk::convert
