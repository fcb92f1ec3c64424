// The row kernels, compiled once per SIMD target: foreach_target.h includes this file again for
// every target, each time with HWY_NAMESPACE naming that target's namespace. Everything between
// the per-target guards is therefore compiled several times; the dispatching entry points at the
// end exist once.

// The fallback for processors without a vector target is the library's 128-bit emulation, whose
// plain loops the compiler turns into the architecture's baseline vector code (SSE2 on x86-64).
// The library replaces it on GCC before 12.3 (a vectoriser bug, GCC PR 106322) by a one-lane
// scalar target that lacks the byte shuffles used here; the tests compare every kernel on the
// emulation with scalar references, so a miscompiled operation would show.
#ifndef HWY_BROKEN_EMU128
#define HWY_BROKEN_EMU128 0
#endif

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "sdk/convert/RowKernels.cpp"
#include <hwy/foreach_target.h>  // must come before highway.h

#include <hwy/highway.h>

#include <algorithm>
#include <cstring>

#include "sdk/convert/RowKernels.h"

HWY_BEFORE_NAMESPACE();
namespace sdk::convert {
namespace HWY_NAMESPACE {
namespace {

namespace hn = hwy::HWY_NAMESPACE;

using D8 = hn::ScalableTag<uint8_t>;
using D16 = hn::Repartition<uint16_t, D8>;
using DI16 = hn::Repartition<int16_t, D8>;
using V8 = hn::Vec<D8>;
using V16 = hn::Vec<D16>;
using VI16 = hn::Vec<DI16>;

// The portable emulation runs byte shuffles and interleaved loads and stores lane by lane; the
// kernels built on them use their scalar loops there, which are faster.
constexpr bool kEmulated = HWY_TARGET == HWY_EMU128 || HWY_TARGET == HWY_SCALAR;

// --- Scalar pieces: row ends and the rare settings
// ------------------------------------------------

inline uint8_t Clamp8(int v) {
    return static_cast<uint8_t>(std::min(std::max(v, 0), 255));
}

inline uint8_t LumaOf(unsigned r, unsigned g, unsigned b) {
    return static_cast<uint8_t>((kLumaR * r + kLumaG * g + kLumaB * b + 128) >> 8);
}

struct Rgb {
    unsigned r, g, b;
};

// One demosaiced pixel. xm and xp are the columns used as left and right neighbours.
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

// The pixel at x with its neighbours reflected at the row ends.
inline Rgb EdgePixel(const uint8_t* up, const uint8_t* cur, const uint8_t* down, uint32_t x,
                     uint32_t width, BayerRowLayout layout) {
    return DemosaicPixel(up, cur, down, x, Left(x, width), Right(x, width), layout);
}

// --- Vector helpers -----------------------------------------------------------------------------

// The green weight as a value the compiler cannot see: it would make each multiply by the
// constant 150 five shifts and adds (seven instructions with the copies of two-operand SSE),
// where one multiply does.
inline uint16_t GreenWeight() {
    uint16_t w = kLumaG;
#if defined(__GNUC__)
    __asm__("" : "+r"(w));
#endif
    return w;
}

// Bytes from the 16-bit lanes of even-column and odd-column values (each below 256).
inline V8 Join(V16 even, V16 odd) {
    const D8 d8;
    return hn::BitCast(d8, hn::Or(even, hn::ShiftLeft<8>(odd)));
}

// Low bytes of the 16-bit lanes of a and then b, in order.
inline V8 LowBytes(V16 a, V16 b) {
    const D8 d8;
    return hn::ConcatEven(d8, hn::BitCast(d8, b), hn::BitCast(d8, a));
}

// The three channels of Lanes(D8) demosaiced pixels starting at an even column x (1 <= x and
// x + Lanes(D8) < width), as 16-bit lanes: *E for the even columns, *O for the odd ones. A load
// at x - 1 gives (odd[i - 1], even[i]) per 16-bit lane, a load at x + 1 gives (odd[i],
// even[i + 1]).
template <bool kGreenFirst>
HWY_INLINE void DemosaicBlock(const uint8_t* up, const uint8_t* cur, const uint8_t* down, V16& ownE,
                              V16& ownO, V16& greenE, V16& greenO, V16& otherE, V16& otherO) {
    const D8 d8;
    const D16 d16;
    const V16 lo = hn::Set(d16, 0x00FF);
    const V16 two = hn::Set(d16, 2);
    const V16 cm = hn::BitCast(d16, hn::LoadU(d8, cur - 1));
    const V16 cp = hn::BitCast(d16, hn::LoadU(d8, cur + 1));
    const V16 um = hn::BitCast(d16, hn::LoadU(d8, up - 1));
    const V16 upp = hn::BitCast(d16, hn::LoadU(d8, up + 1));
    const V16 dm = hn::BitCast(d16, hn::LoadU(d8, down - 1));
    const V16 dp = hn::BitCast(d16, hn::LoadU(d8, down + 1));
    const V16 cOm = hn::And(cm, lo), cE = hn::ShiftRight<8>(cm);
    const V16 cO = hn::And(cp, lo), cEp = hn::ShiftRight<8>(cp);
    const V16 uE = hn::ShiftRight<8>(um), uO = hn::And(upp, lo);
    const V16 dE = hn::ShiftRight<8>(dm), dO = hn::And(dp, lo);
    if (kGreenFirst) {
        // Green at even columns, the row's colour at odd ones.
        const V16 vsE = hn::Add(uE, dE);
        const V16 vsEp = hn::Add(hn::ShiftRight<8>(upp), hn::ShiftRight<8>(dp));
        ownE = hn::AverageRound(cOm, cO);
        greenE = cE;
        otherE = hn::AverageRound(uE, dE);
        ownO = cO;
        greenO = hn::ShiftRight<2>(hn::Add(hn::Add(hn::Add(cE, cEp), hn::Add(uO, dO)), two));
        otherO = hn::ShiftRight<2>(hn::Add(hn::Add(vsE, vsEp), two));
    } else {
        // The row's colour at even columns, green at odd ones.
        const V16 vsO = hn::Add(uO, dO);
        const V16 vsOm = hn::Add(hn::And(um, lo), hn::And(dm, lo));
        ownE = cE;
        greenE = hn::ShiftRight<2>(hn::Add(hn::Add(hn::Add(cOm, cO), hn::Add(uE, dE)), two));
        otherE = hn::ShiftRight<2>(hn::Add(hn::Add(vsOm, vsO), two));
        ownO = hn::AverageRound(cE, cEp);
        greenO = cO;
        otherO = hn::AverageRound(uO, dO);
    }
}

// Runs block(x) for blocks of Lanes(D8) columns at even x from 2 while a block and its right
// neighbour fit in the row, and then, if more than the last column is left, once more for the
// block that ends at width - 2 or width - 3: it overlaps columns already done, which are
// written again with the same values, instead of leaving up to a vector of columns to the
// scalar code. Returns the first column not done (width - 2 at most where a block fits).
template <class Block>
HWY_INLINE uint32_t ForEachBlock(uint32_t width, Block block) {
    const uint32_t n = static_cast<uint32_t>(hn::Lanes(D8()));
    uint32_t x = 2;
    for (; x + n < width; x += n) block(x);
    if (x + 1 < width && width >= n + 3) {
        const uint32_t last = (width - 1 - n) & ~1u;
        block(last);
        x = last + n;
    }
    return x;
}

// Demosaics columns [2, end) and returns end (even, at most width - 1; width >= 3).
template <bool kGreenFirst, bool kOwnFirst>
uint32_t ColourRun(const uint8_t* up, const uint8_t* cur, const uint8_t* down, uint32_t width,
                   uint8_t* dst) {
    const D8 d8;
    return ForEachBlock(width, [&](uint32_t x) {
        V16 ownE, ownO, greenE, greenO, otherE, otherO;
        DemosaicBlock<kGreenFirst>(up + x, cur + x, down + x, ownE, ownO, greenE, greenO, otherE,
                                   otherO);
        const V8 own = Join(ownE, ownO);
        const V8 green = Join(greenE, greenO);
        const V8 other = Join(otherE, otherO);
        if (kOwnFirst) {
            hn::StoreInterleaved3(own, green, other, d8, dst + 3 * size_t(x));
        } else {
            hn::StoreInterleaved3(other, green, own, d8, dst + 3 * size_t(x));
        }
    });
}

// (a wa + b wb + c wc + 128) >> 8 per 16-bit lane; the sum stays below 2^16.
inline V16 WeightedSum(V16 a, V16 wa, V16 b, V16 wb, V16 c, V16 wc) {
    const D16 d16;
    const V16 sum = hn::Add(hn::Add(hn::Mul(a, wa), hn::Mul(b, wb)),
                            hn::Add(hn::Mul(c, wc), hn::Set(d16, 128)));
    return hn::ShiftRight<8>(sum);
}

template <bool kGreenFirst>
uint32_t LumaRun(const uint8_t* up, const uint8_t* cur, const uint8_t* down, uint32_t width,
                 bool redRow, uint8_t* dst) {
    const D8 d8;
    const D16 d16;
    const V16 wOwn = hn::Set(d16, static_cast<uint16_t>(redRow ? kLumaR : kLumaB));
    const V16 wOther = hn::Set(d16, static_cast<uint16_t>(redRow ? kLumaB : kLumaR));
    const V16 wGreen = hn::Set(d16, GreenWeight());
    if (kEmulated) return 2;
    return ForEachBlock(width, [&](uint32_t x) {
        V16 ownE, ownO, greenE, greenO, otherE, otherO;
        DemosaicBlock<kGreenFirst>(up + x, cur + x, down + x, ownE, ownO, greenE, greenO, otherE,
                                   otherO);
        hn::StoreU(Join(WeightedSum(ownE, wOwn, greenE, wGreen, otherE, wOther),
                        WeightedSum(ownO, wOwn, greenO, wGreen, otherO, wOther)),
                   d8, dst + x);
    });
}

// Luma of the bytes of three channel vectors, weights wa, wb, wc.
inline V8 LumaOfPlanes(V8 a, V8 b, V8 c, V16 wa, V16 wb, V16 wc) {
    const D16 d16;
    const V16 lo = hn::Set(d16, 0x00FF);
    const V16 a16 = hn::BitCast(d16, a), b16 = hn::BitCast(d16, b), c16 = hn::BitCast(d16, c);
    const V16 even = WeightedSum(hn::And(a16, lo), wa, hn::And(b16, lo), wb, hn::And(c16, lo), wc);
    const V16 odd = WeightedSum(hn::ShiftRight<8>(a16), wa, hn::ShiftRight<8>(b16), wb,
                                hn::ShiftRight<8>(c16), wc);
    return Join(even, odd);
}

// Most significant bytes of packed pixels, 8 pixels (kGroupBytes bytes) per 16-byte block of a
// vector. Each block is loaded from the start of its own group, a byte shuffle within the block
// gathers the two bytes holding each pixel's top bits into a 16-bit lane, a multiply-high shifts
// every lane right by its own amount, and the low bytes of two vectors are packed together.
struct MsbTables {
    uint8_t shuffle[16];
    uint16_t multiplier[8];  // 2^(16 - shift); 0: keep the lane as it is
};

// The blocks of a byte vector loaded from p, p + stride, p + 2 stride, ... (16 bytes each).
template <class D>
HWY_INLINE hn::Vec<D> LoadBlocks(D d, const uint8_t* p, size_t stride) {
    if constexpr (hn::MaxLanes(D()) <= 16) {
        return hn::LoadU(d, p);
    } else {
        const hn::Half<D> dh;
        constexpr size_t kHalfBlocks = hn::MaxLanes(D()) / 32;
        return hn::Combine(d, LoadBlocks(dh, p + kHalfBlocks * stride, stride),
                           LoadBlocks(dh, p, stride));
    }
}

// Pixels [i, end) of the row, end as far as whole steps of two vectors fit; returns end.
template <uint32_t kGroupBytes, class D>
uint32_t MsbRunOf(D d8, const uint8_t* src, uint32_t i, uint32_t width, uint8_t* dst,
                  const MsbTables& t) {
    const hn::RepartitionToWide<D> d16;
    constexpr size_t kBlocks = hn::MaxLanes(D()) / 16;
    constexpr size_t kStepBytes = 2 * kBlocks * kGroupBytes;
    // The last block of a step starts at its last group and reads 16 bytes.
    constexpr size_t kReach = kStepBytes - kGroupBytes + 16;
    const auto shuffle = hn::LoadDup128(d8, t.shuffle);
    const auto mul = hn::LoadDup128(d16, t.multiplier);
    const bool shift = t.multiplier[0] != 0;
    const size_t rowBytes = kEmulated ? 0 : size_t(width) / 8 * kGroupBytes;
    const uint8_t* p = src + size_t(i / 8) * kGroupBytes;
    const uint8_t* const end = src + rowBytes;
    for (; size_t(end - p) >= kReach; p += kStepBytes, i += 16 * kBlocks) {
        auto a = hn::BitCast(d16, hn::TableLookupBytes(LoadBlocks(d8, p, kGroupBytes), shuffle));
        auto b = hn::BitCast(
            d16,
            hn::TableLookupBytes(LoadBlocks(d8, p + kBlocks * kGroupBytes, kGroupBytes), shuffle));
        if (shift) {
            a = hn::MulHigh(a, mul);
            b = hn::MulHigh(b, mul);
        }
        hn::StoreU(hn::ConcatEven(d8, hn::BitCast(d8, b), hn::BitCast(d8, a)), d8, dst + i);
    }
    return i;
}

// Steps of the widest vectors first, then of single blocks for the last groups a wide step
// would read past; returns the first pixel left to the caller. With single blocks alone the
// 256- and 512-bit targets ran the same 16 pixels per step as SSSE3 and were no faster (Mono10p
// rows a fifth slower with the same instructions); a wide step does 32 or 64 pixels with the
// same number of shuffles, multiplies and packs, whose blocks come from 16-byte loads inserted
// into the vector, without a gather or a shuffle across blocks before the pack.
template <uint32_t kGroupBytes>
uint32_t MsbRun(const uint8_t* src, uint32_t width, uint8_t* dst, const MsbTables& t) {
    uint32_t i = 0;
#if HWY_ARCH_X86 && HWY_TARGET <= HWY_AVX2
    i = MsbRunOf<kGroupBytes>(hn::CappedTag<uint8_t, 64>(), src, i, width, dst, t);
#endif
    return MsbRunOf<kGroupBytes>(hn::Full128<uint8_t>(), src, i, width, dst, t);
}

constexpr MsbTables MakeP12Tables() {
    MsbTables m{};
    for (int j = 0; j < 8; ++j) {
        const int base = 3 * (j / 2);
        const bool odd = j & 1;
        m.shuffle[2 * j] = static_cast<uint8_t>(odd ? base + 1 : base);
        m.shuffle[2 * j + 1] = static_cast<uint8_t>(odd ? base + 2 : base + 1);
        m.multiplier[j] = odd ? 1u << 8 : 1u << 12;  // >> 8, >> 4
    }
    return m;
}

constexpr MsbTables MakePacked12Tables() {
    MsbTables m{};
    for (int j = 0; j < 8; ++j) {
        const int base = 3 * (j / 2);
        m.shuffle[2 * j] = static_cast<uint8_t>((j & 1) ? base + 2 : base);
        m.shuffle[2 * j + 1] = 0;  // the high byte is dropped
        m.multiplier[j] = 0;
    }
    return m;
}

constexpr MsbTables MakeP10Tables() {
    MsbTables m{};
    for (int j = 0; j < 8; ++j) {
        const int k = j & 3, base = 5 * (j / 4);
        m.shuffle[2 * j] = static_cast<uint8_t>(base + k);
        m.shuffle[2 * j + 1] = static_cast<uint8_t>(base + k + 1);
        m.multiplier[j] = static_cast<uint16_t>(1u << (16 - 2 * (k + 1)));  // >> 2, 4, 6, 8
    }
    return m;
}

constexpr MsbTables kP12Tables = MakeP12Tables();
constexpr MsbTables kPacked12Tables = MakePacked12Tables();
constexpr MsbTables kP10Tables = MakeP10Tables();

// Byte shuffles that put the centred U (or V) of every pixel pair into the high byte of both
// 16-bit lanes of the pair, the low byte zero: (U - 128) * 256 as a signed lane. `first` is the
// chroma byte's place in its 4-byte group (U: 1 in Y U Y V, 0 in U Y V Y; V two later).
inline V8 ChromaShuffle(unsigned first) {
    const D8 d8;
    const V8 lane = hn::Iota(d8, 0);
    const V8 group = hn::And(lane, hn::Set(d8, 0x0C));  // within 16-byte blocks
    const auto lowByte = hn::Eq(hn::And(lane, hn::Set(d8, 1)), hn::Zero(d8));
    return hn::IfThenElse(lowByte, hn::Set(d8, 0x80),
                          hn::Add(group, hn::Set(d8, static_cast<uint8_t>(first))));
}

// The chroma products take the centred chroma times 256 (the shuffle's lanes), so each
// coefficient is halved to keep the products (a b + 2^14) >> 15 of the definition.
static_assert(kYuvRv % 2 == 0 && kYuvGu % 2 == 0 && kYuvGv % 2 == 0 && kYuvBu % 2 == 0,
              "coefficients are halved exactly");

// YUV 4:2:2 to red, green and blue of Lanes(D16) pixels, not yet clamped, in signed 16-bit
// lanes. Every 16-bit lane holds (Y, chroma) or (chroma, Y); the chroma of a pixel pair is U in
// the first lane and V in the second.
template <bool kUyvy>
HWY_INLINE void YuvBlock(V8 raw, V8 uShuffle, V8 vShuffle, VI16& r, VI16& g, VI16& b) {
    const D8 d8;
    const D16 d16;
    const DI16 di16;
    const V16 w = hn::BitCast(d16, raw);
    const V16 y = kUyvy ? hn::ShiftRight<8>(w) : hn::And(w, hn::Set(d16, 0x00FF));
    const V8 centred = hn::Xor(raw, hn::Set(d8, 0x80));
    const VI16 u = hn::BitCast(di16, hn::TableLookupBytesOr0(centred, uShuffle));
    const VI16 v = hn::BitCast(di16, hn::TableLookupBytesOr0(centred, vShuffle));
    const VI16 round = hn::Set(di16, 32);
    const VI16 ys = hn::BitCast(di16, y);
    auto channel = [&](VI16 t) { return hn::Add(ys, hn::ShiftRight<6>(hn::Add(t, round))); };
    r = channel(hn::MulFixedPoint15(v, hn::Set(di16, kYuvRv / 2)));
    g = channel(hn::Add(hn::MulFixedPoint15(u, hn::Set(di16, kYuvGu / 2)),
                        hn::MulFixedPoint15(v, hn::Set(di16, kYuvGv / 2))));
    b = channel(hn::MulFixedPoint15(u, hn::Set(di16, kYuvBu / 2)));
}

// Bytes of the lanes of a and then b, each clamped to 0..255.
inline V8 ClampedBytes(VI16 a, VI16 b) {
    const D8 d8;
    const hn::Rebind<uint8_t, DI16> half;
    return hn::Combine(d8, hn::DemoteTo(half, b), hn::DemoteTo(half, a));
}

template <bool kUyvy, bool kBgr>
uint32_t YuvRun(const uint8_t* src, uint32_t width, uint8_t* dst) {
    const D8 d8;
    const uint32_t n = static_cast<uint32_t>(hn::Lanes(d8));
    const V8 uShuffle = ChromaShuffle(kUyvy ? 0 : 1);
    const V8 vShuffle = ChromaShuffle(kUyvy ? 2 : 3);
    uint32_t i = 0;
    for (; !kEmulated && i + n <= width; i += n) {
        VI16 r0, g0, b0, r1, g1, b1;
        YuvBlock<kUyvy>(hn::LoadU(d8, src + 2 * size_t(i)), uShuffle, vShuffle, r0, g0, b0);
        YuvBlock<kUyvy>(hn::LoadU(d8, src + 2 * size_t(i) + n), uShuffle, vShuffle, r1, g1, b1);
        const V8 r = ClampedBytes(r0, r1), g = ClampedBytes(g0, g1), b = ClampedBytes(b0, b1);
        if (kBgr) {
            hn::StoreInterleaved3(b, g, r, d8, dst + 3 * size_t(i));
        } else {
            hn::StoreInterleaved3(r, g, b, d8, dst + 3 * size_t(i));
        }
    }
    return i;
}

// Runs block(x) for vectors of Lanes(D8) pixels at x over a row of `width` pixels of
// kSrcBytes source bytes each, whose loads read the source from src + kSrcBytes x on; returns
// the first pixel not done (0 for a row narrower than a vector, else width). A load that
// straddles two cache lines costs about twice, and with 64-byte vectors every load of a source
// not aligned to 64 bytes does: Mono12 ran a quarter slower at AVX-512 than at SSSE3 from a
// source 16 bytes past a line. So one block runs at 0, and the rest from the first pixel whose
// source is aligned; the last block ends at the row's end. Pixels covered twice are written
// twice with the same values (the output must not overlap the source).
template <size_t kSrcBytes, class Block>
HWY_INLINE uint32_t AlignedRun(const uint8_t* src, uint32_t width, Block block) {
    const size_t n = hn::Lanes(D8());
    if (width < n) return 0;
    block(0);
    const size_t offset = (n - reinterpret_cast<uintptr_t>(src) % n) % n;
    size_t x = offset % kSrcBytes == 0 ? offset / kSrcBytes : n;  // at most n
    for (; x + n <= width; x += n) block(x);
    if (x < width) block(width - n);
    return width;
}

}  // namespace

// --- Per-target kernels -------------------------------------------------------------------------

void ReduceSigned8Impl(const uint8_t* src, uint32_t width, uint8_t* dst) {
    // Offset binary: -128 -> 0, 0 -> 128, 127 -> 255.
    const D8 d8;
    const V8 sign = hn::Set(d8, 0x80);
    uint32_t i = AlignedRun<1>(src, width, [&](size_t x) {
        hn::StoreU(hn::Xor(hn::LoadU(d8, src + x), sign), d8, dst + x);
    });
    for (; i < width; ++i) dst[i] = static_cast<uint8_t>(src[i] ^ 0x80u);
}

void ReduceU16Impl(const uint8_t* src, uint32_t width, unsigned shift, uint8_t* dst) {
    const D8 d8;
    const D16 d16;
    const size_t n = hn::Lanes(d8);
    const int count = static_cast<int>(shift);
    uint32_t i = AlignedRun<2>(src, width, [&](size_t x) {
        const V16 a = hn::BitCast(d16, hn::LoadU(d8, src + 2 * x));
        const V16 b = hn::BitCast(d16, hn::LoadU(d8, src + 2 * x + n));
        hn::StoreU(LowBytes(hn::ShiftRightSame(a, count), hn::ShiftRightSame(b, count)), d8,
                   dst + x);
    });
    for (; i < width; ++i) {
        const unsigned v = src[2 * i] | (unsigned(src[2 * i + 1]) << 8);
        dst[i] = static_cast<uint8_t>(v >> shift);
    }
}

void ReduceP10Impl(const uint8_t* src, uint32_t width, unsigned shift, uint8_t* dst) {
    uint32_t i = shift == 2 ? MsbRun<10>(src, width, dst, kP10Tables) : 0;
    src += i / 4 * 5;
    // Four pixels in five bytes, least significant bit first.
    for (; i + 4 <= width; i += 4, src += 5) {
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

void ReduceP12Impl(const uint8_t* src, uint32_t width, unsigned shift, uint8_t* dst) {
    uint32_t i = shift == 4 ? MsbRun<12>(src, width, dst, kP12Tables) : 0;
    src += i / 2 * 3;
    // Two pixels in three bytes, least significant bit first.
    for (; i + 2 <= width; i += 2, src += 3) {
        const unsigned p0 = src[0] | ((src[1] & 0x0Fu) << 8);
        const unsigned p1 = (src[1] >> 4) | (unsigned(src[2]) << 4);
        dst[i] = static_cast<uint8_t>(p0 >> shift);
        dst[i + 1] = static_cast<uint8_t>(p1 >> shift);
    }
}

void ReducePacked10Impl(const uint8_t* src, uint32_t width, unsigned shift, uint8_t* dst) {
    // The high bits sit in bytes 0 and 2 as in the 12-bit format.
    uint32_t i = shift == 2 ? MsbRun<12>(src, width, dst, kPacked12Tables) : 0;
    src += i / 2 * 3;
    // Two pixels in three bytes: high bits in bytes 0 and 2, low bits in bits 0-1 and 4-5 of
    // byte 1.
    for (; i + 2 <= width; i += 2, src += 3) {
        const unsigned p0 = (unsigned(src[0]) << 2) | (src[1] & 0x03u);
        const unsigned p1 = (unsigned(src[2]) << 2) | ((src[1] >> 4) & 0x03u);
        dst[i] = static_cast<uint8_t>(p0 >> shift);
        dst[i + 1] = static_cast<uint8_t>(p1 >> shift);
    }
}

void ReducePacked12Impl(const uint8_t* src, uint32_t width, unsigned shift, uint8_t* dst) {
    uint32_t i = shift == 4 ? MsbRun<12>(src, width, dst, kPacked12Tables) : 0;
    src += i / 2 * 3;
    // Two pixels in three bytes: high bits in bytes 0 and 2, low nibbles in byte 1.
    for (; i + 2 <= width; i += 2, src += 3) {
        const unsigned p0 = (unsigned(src[0]) << 4) | (src[1] & 0x0Fu);
        const unsigned p1 = (unsigned(src[2]) << 4) | (src[1] >> 4);
        dst[i] = static_cast<uint8_t>(p0 >> shift);
        dst[i + 1] = static_cast<uint8_t>(p1 >> shift);
    }
}

void DemosaicRowColourImpl(const uint8_t* up, const uint8_t* cur, const uint8_t* down,
                           uint32_t width, BayerRowLayout layout, bool bgr, uint8_t* dst) {
    if (width == 0) return;
    StoreColour(EdgePixel(up, cur, down, 0, width, layout), bgr, dst);
    if (width == 1) return;
    uint32_t x = 1;
    if (width >= 3) {
        StoreColour(DemosaicPixel(up, cur, down, 1, 0, 2, layout), bgr, dst + 3);
        const bool ownFirst = layout.redRow != bgr;
        if (layout.greenFirst) {
            x = ownFirst ? ColourRun<true, true>(up, cur, down, width, dst)
                         : ColourRun<true, false>(up, cur, down, width, dst);
        } else {
            x = ownFirst ? ColourRun<false, true>(up, cur, down, width, dst)
                         : ColourRun<false, false>(up, cur, down, width, dst);
        }
        for (; x + 1 < width; ++x) {
            StoreColour(DemosaicPixel(up, cur, down, x, x - 1, x + 1, layout), bgr, dst + 3 * x);
        }
    }
    StoreColour(EdgePixel(up, cur, down, x, width, layout), bgr, dst + 3 * x);
}

void DemosaicRowLumaImpl(const uint8_t* up, const uint8_t* cur, const uint8_t* down, uint32_t width,
                         BayerRowLayout layout, uint8_t* dst) {
    auto luma = [](Rgb p) { return LumaOf(p.r, p.g, p.b); };
    if (width == 0) return;
    dst[0] = luma(EdgePixel(up, cur, down, 0, width, layout));
    if (width == 1) return;
    uint32_t x = 1;
    if (width >= 3) {
        dst[1] = luma(DemosaicPixel(up, cur, down, 1, 0, 2, layout));
        x = layout.greenFirst ? LumaRun<true>(up, cur, down, width, layout.redRow, dst)
                              : LumaRun<false>(up, cur, down, width, layout.redRow, dst);
        for (; x + 1 < width; ++x) {
            dst[x] = luma(DemosaicPixel(up, cur, down, x, x - 1, x + 1, layout));
        }
    }
    dst[x] = luma(EdgePixel(up, cur, down, x, width, layout));
}

void ReplicateMonoImpl(const uint8_t* src, uint32_t width, uint8_t* dst) {
    // Three byte shuffles of a 16-byte load make 48 output bytes. Two loads per step (96 bytes
    // out, six stores in address order): with one, the loop ran about a tenth slower on a
    // 5-Mpixel image.
    const hn::Full128<uint8_t> d8;
    static constexpr uint8_t kSpread[3][16] = {
        {0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5},
        {5, 5, 6, 6, 6, 7, 7, 7, 8, 8, 8, 9, 9, 9, 10, 10},
        {10, 11, 11, 11, 12, 12, 12, 13, 13, 13, 14, 14, 14, 15, 15, 15}};
    const auto s0 = hn::LoadU(d8, kSpread[0]);
    const auto s1 = hn::LoadU(d8, kSpread[1]);
    const auto s2 = hn::LoadU(d8, kSpread[2]);
    auto spread = [&](hn::Vec<decltype(d8)> v, uint8_t* out) {
        hn::StoreU(hn::TableLookupBytes(v, s0), d8, out);
        hn::StoreU(hn::TableLookupBytes(v, s1), d8, out + 16);
        hn::StoreU(hn::TableLookupBytes(v, s2), d8, out + 32);
    };
    uint32_t i = 0;
    // Vectors of 64 bytes or more: their interleaved store (on 32-byte vectors it was no faster
    // than the 16-byte shuffles).
    const D8 dw;
    const size_t n = hn::Lanes(dw);
    for (; !kEmulated && n >= 64 && i + n <= width; i += n) {
        const V8 v = hn::LoadU(dw, src + i);
        hn::StoreInterleaved3(v, v, v, dw, dst + 3 * size_t(i));
    }
    for (; !kEmulated && i + 32 <= width; i += 32) {
        const auto a = hn::LoadU(d8, src + i);
        const auto b = hn::LoadU(d8, src + i + 16);
        spread(a, dst + 3 * size_t(i));
        spread(b, dst + 3 * size_t(i) + 48);
    }
    for (; !kEmulated && i + 16 <= width; i += 16) {
        spread(hn::LoadU(d8, src + i), dst + 3 * size_t(i));
    }
    for (; i < width; ++i) {
        dst[3 * i] = dst[3 * i + 1] = dst[3 * i + 2] = src[i];
    }
}

void CopyColour3Impl(const uint8_t* src, uint32_t width, bool swap, uint8_t* dst) {
    if (!swap) {
        std::memcpy(dst, src, size_t(width) * 3);
        return;
    }
    // Five pixels (15 bytes) per 16-byte load and store; the 16th byte written is rewritten by
    // the next step, and the loop stops while that byte is still inside the row.
    const hn::Full128<uint8_t> d8;
    static constexpr uint8_t kSwap[16] = {2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 14, 13, 12, 15};
    const auto order = hn::LoadU(d8, kSwap);
    uint32_t i = 0;
    // Three steps at a time while the last one's 16th byte is inside the row.
    for (; !kEmulated && size_t(i) * 3 + 46 <= size_t(width) * 3; i += 15) {
        const size_t at = 3 * size_t(i);
        const auto a = hn::LoadU(d8, src + at);
        const auto b = hn::LoadU(d8, src + at + 15);
        const auto c = hn::LoadU(d8, src + at + 30);
        hn::StoreU(hn::TableLookupBytes(a, order), d8, dst + at);
        hn::StoreU(hn::TableLookupBytes(b, order), d8, dst + at + 15);
        hn::StoreU(hn::TableLookupBytes(c, order), d8, dst + at + 30);
    }
    for (; !kEmulated && size_t(i) * 3 + 16 <= size_t(width) * 3; i += 5) {
        const size_t at = 3 * size_t(i);
        hn::StoreU(hn::TableLookupBytes(hn::LoadU(d8, src + at), order), d8, dst + at);
    }
    for (; i < width; ++i) {
        dst[3 * i] = src[3 * i + 2];
        dst[3 * i + 1] = src[3 * i + 1];
        dst[3 * i + 2] = src[3 * i];
    }
}

void DropAlphaImpl(const uint8_t* src, uint32_t width, bool swap, uint8_t* dst) {
    // Four pixels per 16-byte load; the 16-byte store carries four bytes that the next step
    // rewrites, and the loop stops while they are still inside the row.
    const hn::Full128<uint8_t> d8;
    static constexpr uint8_t kKeep[16] = {0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, 15, 15, 15, 15};
    static constexpr uint8_t kSwap[16] = {2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, 15, 15, 15, 15};
    const auto order = hn::LoadU(d8, swap ? kSwap : kKeep);
    uint32_t i = 0;
    // Four steps at a time while the last one's store is inside the row.
    for (; !kEmulated && size_t(i) * 3 + 52 <= size_t(width) * 3; i += 16) {
        const uint8_t* in = src + 4 * size_t(i);
        uint8_t* out = dst + 3 * size_t(i);
        const auto a = hn::LoadU(d8, in);
        const auto b = hn::LoadU(d8, in + 16);
        const auto c = hn::LoadU(d8, in + 32);
        const auto e = hn::LoadU(d8, in + 48);
        hn::StoreU(hn::TableLookupBytes(a, order), d8, out);
        hn::StoreU(hn::TableLookupBytes(b, order), d8, out + 12);
        hn::StoreU(hn::TableLookupBytes(c, order), d8, out + 24);
        hn::StoreU(hn::TableLookupBytes(e, order), d8, out + 36);
    }
    for (; !kEmulated && size_t(i) * 3 + 16 <= size_t(width) * 3; i += 4) {
        hn::StoreU(hn::TableLookupBytes(hn::LoadU(d8, src + 4 * size_t(i)), order), d8,
                   dst + 3 * size_t(i));
    }
    const unsigned first = swap ? 2 : 0;
    for (; i < width; ++i) {
        dst[3 * i] = src[4 * i + first];
        dst[3 * i + 1] = src[4 * i + 1];
        dst[3 * i + 2] = src[4 * i + 2 - first];
    }
}

void LumaOfColourImpl(const uint8_t* src, uint32_t width, uint32_t bytesPerPixel, bool redFirst,
                      uint8_t* dst) {
    const D8 d8;
    const D16 d16;
    const unsigned wFirst = redFirst ? kLumaR : kLumaB;
    const unsigned wThird = redFirst ? kLumaB : kLumaR;
    const V16 wa = hn::Set(d16, static_cast<uint16_t>(wFirst));
    const V16 wb = hn::Set(d16, GreenWeight());
    const V16 wc = hn::Set(d16, static_cast<uint16_t>(wThird));
    const size_t n = hn::Lanes(d8);
    uint32_t i = 0;
    if (bytesPerPixel == 3) {
        for (; !kEmulated && i + n <= width; i += n) {
            V8 a, b, c;
            hn::LoadInterleaved3(d8, src + 3 * size_t(i), a, b, c);
            hn::StoreU(LumaOfPlanes(a, b, c, wa, wb, wc), d8, dst + i);
        }
    } else if (bytesPerPixel == 4) {
        for (; !kEmulated && i + n <= width; i += n) {
            V8 a, b, c, alpha;
            hn::LoadInterleaved4(d8, src + 4 * size_t(i), a, b, c, alpha);
            hn::StoreU(LumaOfPlanes(a, b, c, wa, wb, wc), d8, dst + i);
        }
    }
    for (src += size_t(i) * bytesPerPixel; i < width; ++i, src += bytesPerPixel) {
        dst[i] =
            static_cast<uint8_t>((wFirst * src[0] + kLumaG * src[1] + wThird * src[2] + 128) >> 8);
    }
}

void YuvToColourImpl(const uint8_t* src, uint32_t width, bool uyvy, bool bgr, uint8_t* dst) {
    uint32_t i;
    if (uyvy) {
        i = bgr ? YuvRun<true, true>(src, width, dst) : YuvRun<true, false>(src, width, dst);
    } else {
        i = bgr ? YuvRun<false, true>(src, width, dst) : YuvRun<false, false>(src, width, dst);
    }
    const unsigned yOff = uyvy ? 1 : 0;
    const unsigned uOff = uyvy ? 0 : 1;
    const unsigned rOff = bgr ? 2 : 0;
    auto product = [](int centred, int coefficient) {
        return (centred * 128 * coefficient + 0x4000) >> 15;
    };
    for (src += 2 * size_t(i), dst += 3 * size_t(i); i + 2 <= width; i += 2, src += 4, dst += 6) {
        const int u = src[uOff] - 128, v = src[uOff + 2] - 128;
        const int cr = (product(v, kYuvRv) + 32) >> 6;
        const int cg = (product(u, kYuvGu) + product(v, kYuvGv) + 32) >> 6;
        const int cb = (product(u, kYuvBu) + 32) >> 6;
        for (unsigned k = 0; k < 2; ++k) {
            const int y = src[yOff + 2 * k];
            dst[3 * k + rOff] = Clamp8(y + cr);
            dst[3 * k + 1] = Clamp8(y + cg);
            dst[3 * k + 2 - rOff] = Clamp8(y + cb);
        }
    }
}

void YuvToLumaImpl(const uint8_t* src, uint32_t width, bool uyvy, uint8_t* dst) {
    const D8 d8;
    const size_t n = hn::Lanes(d8);
    uint32_t i = AlignedRun<2>(src, width, [&](size_t x) {
        const V8 a = hn::LoadU(d8, src + 2 * x);
        const V8 b = hn::LoadU(d8, src + 2 * x + n);
        hn::StoreU(uyvy ? hn::ConcatOdd(d8, b, a) : hn::ConcatEven(d8, b, a), d8, dst + x);
    });
    const unsigned yOff = uyvy ? 1 : 0;
    for (; i < width; ++i) dst[i] = src[2 * i + yOff];
}

int64_t CurrentTarget() {
    return HWY_TARGET;
}

}  // namespace HWY_NAMESPACE
}  // namespace sdk::convert
HWY_AFTER_NAMESPACE();

#if HWY_ONCE

#include <atomic>
#include <cctype>
#include <cstdlib>

namespace sdk::convert {

namespace {

HWY_EXPORT(ReduceSigned8Impl);
HWY_EXPORT(ReduceU16Impl);
HWY_EXPORT(ReduceP10Impl);
HWY_EXPORT(ReduceP12Impl);
HWY_EXPORT(ReducePacked10Impl);
HWY_EXPORT(ReducePacked12Impl);
HWY_EXPORT(DemosaicRowColourImpl);
HWY_EXPORT(DemosaicRowLumaImpl);
HWY_EXPORT(ReplicateMonoImpl);
HWY_EXPORT(CopyColour3Impl);
HWY_EXPORT(DropAlphaImpl);
HWY_EXPORT(LumaOfColourImpl);
HWY_EXPORT(YuvToColourImpl);
HWY_EXPORT(YuvToLumaImpl);
HWY_EXPORT(CurrentTarget);

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The target bit a cap names (0 for none). "baseline" is the oldest vector instruction set of
// the architecture that the library has a target for: SSSE3 on x86 (there is none for SSE2
// alone), the compiler's baseline elsewhere (NEON on 64-bit ARM). "sse2" is what every x86-64
// processor has: the portable emulation, which the compiler builds from SSE2 instructions.
int64_t TargetOfName(const std::string& name) {
    const std::string n = Lower(name);
#if HWY_ARCH_X86
    if (n == "baseline") return (HWY_TARGETS & HWY_SSSE3) ? HWY_SSSE3 : HWY_STATIC_TARGET;
    if (n == "sse2") return HWY_STATIC_TARGET;
#else
    if (n == "baseline") return HWY_STATIC_TARGET;
#endif
    for (int64_t bits = HWY_TARGETS; bits != 0; bits &= bits - 1) {
        const int64_t target = bits & -bits;
        if (Lower(hwy::TargetName(target)) == n) return target;
    }
    return 0;
}

// The targets the current cap disables (see LimitTarget).
std::atomic<int64_t> gDisabled{0};

void Disable(int64_t targets) {
    gDisabled = targets;
    hwy::DisableTargets(targets);
}

// Applies OSTRAVELK_SIMD once; unknown names leave every target enabled.
void ApplyEnvironment() {
    static const bool applied = [] {
        if (const char* cap = std::getenv("OSTRAVELK_SIMD")) LimitTarget(cap);
        return true;
    }();
    (void)applied;
}

}  // namespace

// A kernel's version for the best target under the cap, which is applied first.
#define OSTRAVELK_DISPATCH(kernel) (ApplyEnvironment(), HWY_DYNAMIC_DISPATCH(kernel))

std::string TargetName() {
    return Lower(hwy::TargetName(OSTRAVELK_DISPATCH(CurrentTarget)()));
}

std::vector<std::string> SupportedTargetNames() {
    ApplyEnvironment();
    // The processor's own set, whatever the current cap.
    const int64_t disabled = gDisabled;
    hwy::DisableTargets(0);
    const int64_t supported = hwy::SupportedTargets();
    hwy::DisableTargets(disabled);
    std::vector<std::string> names;
    for (int64_t bits = supported & HWY_TARGETS; bits != 0; bits &= bits - 1) {
        names.push_back(Lower(hwy::TargetName(bits & -bits)));
    }
    return names;
}

bool LimitTarget(const std::string& cap) {
    if (Lower(cap) == "best") {
        Disable(0);
        return true;
    }
    const int64_t target = TargetOfName(cap);
    if (target == 0) return false;
    // Lower bits are better targets: disable every bit below the cap's.
    Disable(target - 1);
    return true;
}

void ReduceSigned8(const uint8_t* src, uint32_t width, uint8_t* dst) {
    OSTRAVELK_DISPATCH(ReduceSigned8Impl)(src, width, dst);
}

void ReduceU16(const uint8_t* src, uint32_t width, unsigned shift, uint8_t* dst) {
    OSTRAVELK_DISPATCH(ReduceU16Impl)(src, width, shift, dst);
}

void ReduceP10(const uint8_t* src, uint32_t width, unsigned shift, uint8_t* dst) {
    OSTRAVELK_DISPATCH(ReduceP10Impl)(src, width, shift, dst);
}

void ReduceP12(const uint8_t* src, uint32_t width, unsigned shift, uint8_t* dst) {
    OSTRAVELK_DISPATCH(ReduceP12Impl)(src, width, shift, dst);
}

void ReducePacked10(const uint8_t* src, uint32_t width, unsigned shift, uint8_t* dst) {
    OSTRAVELK_DISPATCH(ReducePacked10Impl)(src, width, shift, dst);
}

void ReducePacked12(const uint8_t* src, uint32_t width, unsigned shift, uint8_t* dst) {
    OSTRAVELK_DISPATCH(ReducePacked12Impl)(src, width, shift, dst);
}

void DemosaicRowColour(const uint8_t* up, const uint8_t* cur, const uint8_t* down, uint32_t width,
                       BayerRowLayout layout, bool bgr, uint8_t* dst) {
    OSTRAVELK_DISPATCH(DemosaicRowColourImpl)(up, cur, down, width, layout, bgr, dst);
}

void DemosaicRowLuma(const uint8_t* up, const uint8_t* cur, const uint8_t* down, uint32_t width,
                     BayerRowLayout layout, uint8_t* dst) {
    OSTRAVELK_DISPATCH(DemosaicRowLumaImpl)(up, cur, down, width, layout, dst);
}

void ReplicateMono(const uint8_t* src, uint32_t width, uint8_t* dst) {
    OSTRAVELK_DISPATCH(ReplicateMonoImpl)(src, width, dst);
}

void CopyColour3(const uint8_t* src, uint32_t width, bool swap, uint8_t* dst) {
    OSTRAVELK_DISPATCH(CopyColour3Impl)(src, width, swap, dst);
}

void DropAlpha(const uint8_t* src, uint32_t width, bool swap, uint8_t* dst) {
    OSTRAVELK_DISPATCH(DropAlphaImpl)(src, width, swap, dst);
}

void LumaOfColour(const uint8_t* src, uint32_t width, uint32_t bytesPerPixel, bool redFirst,
                  uint8_t* dst) {
    OSTRAVELK_DISPATCH(LumaOfColourImpl)(src, width, bytesPerPixel, redFirst, dst);
}

void YuvToColour(const uint8_t* src, uint32_t width, bool uyvy, bool bgr, uint8_t* dst) {
    OSTRAVELK_DISPATCH(YuvToColourImpl)(src, width, uyvy, bgr, dst);
}

void YuvToLuma(const uint8_t* src, uint32_t width, bool uyvy, uint8_t* dst) {
    OSTRAVELK_DISPATCH(YuvToLumaImpl)(src, width, uyvy, dst);
}

}  // namespace sdk::convert

#endif  // HWY_ONCE
