// AVX2 versions of the hot row kernels. Every function here carries the AVX2 target attribute
// and is reached only through Avx2Kernels(), which checks the processor first; nothing in this
// file may be an inline function shared with other translation units.

#include "sdk/convert/RowKernels.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>

#define OSTRAVELK_AVX2 __attribute__((target("avx2")))

namespace sdk::convert {

namespace {

// pshufb masks that interleave three byte planes (16 pixels per 128-bit lane) into 48 bytes of
// 3-byte pixels: kInterleave.m[out][plane] picks the bytes of plane for output vector out.
struct InterleaveMasks {
    alignas(32) int8_t m[3][3][32];
};

constexpr InterleaveMasks MakeInterleaveMasks() {
    InterleaveMasks s{};
    for (int out = 0; out < 3; ++out) {
        for (int plane = 0; plane < 3; ++plane) {
            for (int i = 0; i < 32; ++i) {
                const int k = out * 16 + (i & 15);  // byte within the lane's 48 output bytes
                s.m[out][plane][i] = (k % 3 == plane) ? static_cast<int8_t>(k / 3) : int8_t(-128);
            }
        }
    }
    return s;
}

constexpr InterleaveMasks kInterleave = MakeInterleaveMasks();

OSTRAVELK_AVX2 inline __m256i Load(const uint8_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

OSTRAVELK_AVX2 inline __m256i Mask(int out, int plane) {
    return _mm256_load_si256(reinterpret_cast<const __m256i*>(kInterleave.m[out][plane]));
}

// Writes 32 pixels (96 bytes) whose three channels are the byte planes a, b, c.
OSTRAVELK_AVX2 inline void Store3(__m256i a, __m256i b, __m256i c, uint8_t* dst) {
    __m256i o[3];
    for (int out = 0; out < 3; ++out) {
        o[out] = _mm256_or_si256(_mm256_or_si256(_mm256_shuffle_epi8(a, Mask(out, 0)),
                                                 _mm256_shuffle_epi8(b, Mask(out, 1))),
                                 _mm256_shuffle_epi8(c, Mask(out, 2)));
    }
    // Each lane holds 48 bytes of its own 16 pixels; put them in memory order.
    auto* d = reinterpret_cast<__m256i*>(dst);
    _mm256_storeu_si256(d, _mm256_permute2x128_si256(o[0], o[1], 0x20));
    _mm256_storeu_si256(d + 1, _mm256_permute2x128_si256(o[2], o[0], 0x30));
    _mm256_storeu_si256(d + 2, _mm256_permute2x128_si256(o[1], o[2], 0x31));
}

// The three channels of 32 demosaiced pixels starting at an even column, as 16-bit lanes:
// *E for the even columns, *O for the odd ones.
struct Planes16 {
    __m256i ownE, ownO, greenE, greenO, otherE, otherO;
    __m256i raw;  // the row's own bytes
};

template <bool kGreenFirst>
OSTRAVELK_AVX2 inline Planes16 Demosaic32(const uint8_t* up, const uint8_t* cur,
                                          const uint8_t* down) {
    const __m256i lo = _mm256_set1_epi16(0x00FF);
    const __m256i two = _mm256_set1_epi16(2);
    // A load at x - 1 gives (odd[i - 1], even[i]) per 16-bit lane, a load at x + 1 gives
    // (odd[i], even[i + 1]).
    const __m256i cm = Load(cur - 1), cp = Load(cur + 1);
    const __m256i um = Load(up - 1), upp = Load(up + 1);
    const __m256i dm = Load(down - 1), dp = Load(down + 1);
    const __m256i cOm = _mm256_and_si256(cm, lo), cE = _mm256_srli_epi16(cm, 8);
    const __m256i cO = _mm256_and_si256(cp, lo), cEp = _mm256_srli_epi16(cp, 8);
    const __m256i uE = _mm256_srli_epi16(um, 8), uO = _mm256_and_si256(upp, lo);
    const __m256i dE = _mm256_srli_epi16(dm, 8), dO = _mm256_and_si256(dp, lo);

    Planes16 p;
    p.raw = Load(cur);
    if (kGreenFirst) {
        // Green at even columns, the row's colour at odd ones.
        const __m256i vsE = _mm256_add_epi16(uE, dE);
        const __m256i vsEp = _mm256_add_epi16(_mm256_srli_epi16(upp, 8), _mm256_srli_epi16(dp, 8));
        p.ownE = _mm256_avg_epu16(cOm, cO);
        p.greenE = cE;
        p.otherE = _mm256_avg_epu16(uE, dE);
        p.ownO = cO;
        p.greenO = _mm256_srli_epi16(
            _mm256_add_epi16(_mm256_add_epi16(_mm256_add_epi16(cE, cEp), _mm256_add_epi16(uO, dO)),
                             two),
            2);
        p.otherO = _mm256_srli_epi16(_mm256_add_epi16(_mm256_add_epi16(vsE, vsEp), two), 2);
    } else {
        // The row's colour at even columns, green at odd ones.
        const __m256i vsO = _mm256_add_epi16(uO, dO);
        const __m256i vsOm = _mm256_add_epi16(_mm256_and_si256(um, lo), _mm256_and_si256(dm, lo));
        p.ownE = cE;
        p.greenE = _mm256_srli_epi16(
            _mm256_add_epi16(_mm256_add_epi16(_mm256_add_epi16(cOm, cO), _mm256_add_epi16(uE, dE)),
                             two),
            2);
        p.otherE = _mm256_srli_epi16(_mm256_add_epi16(_mm256_add_epi16(vsOm, vsO), two), 2);
        p.ownO = _mm256_avg_epu16(cE, cEp);
        p.greenO = cO;
        p.otherO = _mm256_avg_epu16(uO, dO);
    }
    return p;
}

OSTRAVELK_AVX2 inline __m256i Join(__m256i even, __m256i odd) {
    return _mm256_or_si256(even, _mm256_slli_epi16(odd, 8));
}

template <bool kGreenFirst, bool kOwnFirst>
OSTRAVELK_AVX2 uint32_t ColourRun(const uint8_t* up, const uint8_t* cur, const uint8_t* down,
                                  uint32_t width, uint8_t* dst) {
    const __m256i lo = _mm256_set1_epi16(0x00FF);
    uint32_t x = 2;
    for (; x + 32 < width; x += 32) {
        const Planes16 p = Demosaic32<kGreenFirst>(up + x, cur + x, down + x);
        // The sampled channel comes straight from the row's bytes.
        const __m256i own = kGreenFirst ? _mm256_or_si256(p.ownE, _mm256_andnot_si256(lo, p.raw))
                                        : _mm256_or_si256(_mm256_and_si256(p.raw, lo),
                                                          _mm256_slli_epi16(p.ownO, 8));
        const __m256i green =
            kGreenFirst
                ? _mm256_or_si256(_mm256_and_si256(p.raw, lo), _mm256_slli_epi16(p.greenO, 8))
                : _mm256_or_si256(p.greenE, _mm256_andnot_si256(lo, p.raw));
        const __m256i other = Join(p.otherE, p.otherO);
        if (kOwnFirst) {
            Store3(own, green, other, dst + 3 * size_t(x));
        } else {
            Store3(other, green, own, dst + 3 * size_t(x));
        }
    }
    return x;
}

// (a wa + b wb + c wc + half) >> 8 per 16-bit lane; the sum stays below 2^16.
OSTRAVELK_AVX2 inline __m256i WeightedSum(__m256i a, __m256i wa, __m256i b, __m256i wb, __m256i c,
                                          __m256i wc, __m256i half) {
    const __m256i sum =
        _mm256_add_epi16(_mm256_add_epi16(_mm256_mullo_epi16(a, wa), _mm256_mullo_epi16(b, wb)),
                         _mm256_add_epi16(_mm256_mullo_epi16(c, wc), half));
    return _mm256_srli_epi16(sum, 8);
}

template <bool kGreenFirst>
OSTRAVELK_AVX2 uint32_t LumaRun(const uint8_t* up, const uint8_t* cur, const uint8_t* down,
                                uint32_t width, bool redRow, uint8_t* dst) {
    const __m256i wOwn = _mm256_set1_epi16(static_cast<short>(redRow ? kLumaR : kLumaB));
    const __m256i wOther = _mm256_set1_epi16(static_cast<short>(redRow ? kLumaB : kLumaR));
    const __m256i wGreen = _mm256_set1_epi16(static_cast<short>(kLumaG));
    const __m256i half = _mm256_set1_epi16(128);
    uint32_t x = 2;
    for (; x + 32 < width; x += 32) {
        const Planes16 p = Demosaic32<kGreenFirst>(up + x, cur + x, down + x);
        const __m256i y = Join(WeightedSum(p.ownE, wOwn, p.greenE, wGreen, p.otherE, wOther, half),
                               WeightedSum(p.ownO, wOwn, p.greenO, wGreen, p.otherO, wOther, half));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + x), y);
    }
    return x;
}

OSTRAVELK_AVX2 uint32_t DemosaicColourRunAvx2(const uint8_t* up, const uint8_t* cur,
                                              const uint8_t* down, uint32_t width,
                                              BayerRowLayout layout, bool bgr, uint8_t* dst) {
    const bool ownFirst = layout.redRow != bgr;
    if (layout.greenFirst) {
        return ownFirst ? ColourRun<true, true>(up, cur, down, width, dst)
                        : ColourRun<true, false>(up, cur, down, width, dst);
    }
    return ownFirst ? ColourRun<false, true>(up, cur, down, width, dst)
                    : ColourRun<false, false>(up, cur, down, width, dst);
}

OSTRAVELK_AVX2 uint32_t DemosaicLumaRunAvx2(const uint8_t* up, const uint8_t* cur,
                                            const uint8_t* down, uint32_t width,
                                            BayerRowLayout layout, uint8_t* dst) {
    return layout.greenFirst ? LumaRun<true>(up, cur, down, width, layout.redRow, dst)
                             : LumaRun<false>(up, cur, down, width, layout.redRow, dst);
}

// Most significant bytes of packed pixels, 32 pixels per step. Each 128-bit lane unpacks eight
// pixels from kGroupBytes bytes: pshufb gathers the two bytes holding each pixel's top bits into
// a 16-bit lane, a multiply-high shifts every lane right by its own amount, and the low bytes are
// packed together.
struct MsbMasks {
    alignas(32) int8_t shuffle[32];
    alignas(32) uint16_t multiplier[16];  // 0: no shift needed
};

// Two unaligned 16-byte loads as the low and high lane.
OSTRAVELK_AVX2 inline __m256i Lanes(const uint8_t* low, const uint8_t* high) {
    return _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(low))),
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(high)), 1);
}

template <uint32_t kGroupBytes>
OSTRAVELK_AVX2 uint32_t MsbRun(const uint8_t* src, uint32_t width, uint8_t* dst,
                               const MsbMasks& masks) {
    const __m256i shuffle = _mm256_load_si256(reinterpret_cast<const __m256i*>(masks.shuffle));
    const __m256i mul = _mm256_load_si256(reinterpret_cast<const __m256i*>(masks.multiplier));
    const bool shift = masks.multiplier[0] != 0;
    const __m256i lo = _mm256_set1_epi16(0x00FF);
    const size_t rowBytes = size_t(width) / 8 * kGroupBytes;
    uint32_t i = 0;
    // The last lane reads 16 bytes from the fourth group.
    for (; size_t(i / 8 + 3) * kGroupBytes + 16 <= rowBytes; i += 32) {
        const uint8_t* p = src + size_t(i / 8) * kGroupBytes;
        __m256i a = _mm256_shuffle_epi8(Lanes(p, p + 2 * kGroupBytes), shuffle);
        __m256i b = _mm256_shuffle_epi8(Lanes(p + kGroupBytes, p + 3 * kGroupBytes), shuffle);
        if (shift) {
            a = _mm256_and_si256(_mm256_mulhi_epu16(a, mul), lo);
            b = _mm256_and_si256(_mm256_mulhi_epu16(b, mul), lo);
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), _mm256_packus_epi16(a, b));
    }
    return i;
}

constexpr int8_t kZero = -128;  // pshufb: write zero

constexpr MsbMasks MakeP12Masks() {
    MsbMasks m{};
    for (int j = 0; j < 16; ++j) {
        const int px = j & 7, base = 3 * (px / 2);
        const bool odd = px & 1;
        m.shuffle[2 * j] = static_cast<int8_t>(odd ? base + 1 : base);
        m.shuffle[2 * j + 1] = static_cast<int8_t>(odd ? base + 2 : base + 1);
        m.multiplier[j] = odd ? 1u << 8 : 1u << 12;  // >> 8, >> 4
    }
    return m;
}

constexpr MsbMasks MakePacked12Masks() {
    MsbMasks m{};
    for (int j = 0; j < 16; ++j) {
        const int px = j & 7, base = 3 * (px / 2);
        m.shuffle[2 * j] = static_cast<int8_t>((px & 1) ? base + 2 : base);
        m.shuffle[2 * j + 1] = kZero;
        m.multiplier[j] = 0;
    }
    return m;
}

constexpr MsbMasks MakeP10Masks() {
    MsbMasks m{};
    for (int j = 0; j < 16; ++j) {
        const int px = j & 7, k = px & 3, base = 5 * (px / 4);
        m.shuffle[2 * j] = static_cast<int8_t>(base + k);
        m.shuffle[2 * j + 1] = static_cast<int8_t>(base + k + 1);
        m.multiplier[j] = static_cast<uint16_t>(1u << (16 - 2 * (k + 1)));  // >> 2, 4, 6, 8
    }
    return m;
}

constexpr MsbMasks kP12Masks = MakeP12Masks();
constexpr MsbMasks kPacked12Masks = MakePacked12Masks();
constexpr MsbMasks kP10Masks = MakeP10Masks();

OSTRAVELK_AVX2 uint32_t MsbP12RunAvx2(const uint8_t* src, uint32_t width, uint8_t* dst) {
    return MsbRun<12>(src, width, dst, kP12Masks);
}
OSTRAVELK_AVX2 uint32_t MsbPacked12RunAvx2(const uint8_t* src, uint32_t width, uint8_t* dst) {
    return MsbRun<12>(src, width, dst, kPacked12Masks);
}
OSTRAVELK_AVX2 uint32_t MsbP10RunAvx2(const uint8_t* src, uint32_t width, uint8_t* dst) {
    return MsbRun<10>(src, width, dst, kP10Masks);
}

// Mono to colour, 32 pixels per step.
OSTRAVELK_AVX2 uint32_t ReplicateRunAvx2(const uint8_t* src, uint32_t width, uint8_t* dst) {
    uint32_t i = 0;
    for (; i + 32 <= width; i += 32) {
        const __m256i v = Load(src + i);
        Store3(v, v, v, dst + 3 * size_t(i));
    }
    return i;
}

// Exchanges the first and third byte of 3-byte pixels, five pixels (15 bytes) per 16-byte
// load and store; the 16th byte written is rewritten by the next step, and the loop stops while
// that byte is still inside the row.
OSTRAVELK_AVX2 uint32_t SwapColour3RunAvx2(const uint8_t* src, uint32_t width, uint8_t* dst) {
    const __m128i swap = _mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 14, 13, 12, 15);
    uint32_t i = 0;
    for (; size_t(i) * 3 + 16 <= size_t(width) * 3; i += 5) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 3 * size_t(i)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 3 * size_t(i)),
                         _mm_shuffle_epi8(v, swap));
    }
    return i;
}

// 16-bit containers, 32 pixels per step.
OSTRAVELK_AVX2 uint32_t ReduceU16RunAvx2(const uint8_t* src, uint32_t width, unsigned shift,
                                         uint8_t* dst) {
    const __m128i count = _mm_cvtsi32_si128(static_cast<int>(shift));
    const __m256i lo = _mm256_set1_epi16(0x00FF);
    uint32_t i = 0;
    for (; i + 32 <= width; i += 32) {
        const __m256i a = _mm256_and_si256(_mm256_srl_epi16(Load(src + 2 * size_t(i)), count), lo);
        const __m256i b =
            _mm256_and_si256(_mm256_srl_epi16(Load(src + 2 * size_t(i) + 32), count), lo);
        // packus works per lane: pixels 0-7, 16-23, 8-15, 24-31 -> reorder the 64-bit quarters.
        const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi16(a, b), 0xD8);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), packed);
    }
    return i;
}

// YUV 4:2:2 to colour, 32 pixels per step, with the integer arithmetic of YuvChromaTerms:
// pmulhrsw(c * 128, k) is (c * 128 * k + 2^14) >> 15.
struct YuvMasks {
    alignas(32) int8_t u[32];
    alignas(32) int8_t v[32];
};

constexpr YuvMasks MakeYuvMasks(bool uyvy) {
    YuvMasks m{};
    for (int i = 0; i < 32; ++i) {
        const int pixel = (i & 15) / 2, pair = pixel / 2;
        const bool high = i & 1;
        m.u[i] = high ? kZero : static_cast<int8_t>(4 * pair + (uyvy ? 0 : 1));
        m.v[i] = high ? kZero : static_cast<int8_t>(4 * pair + (uyvy ? 2 : 3));
    }
    return m;
}

constexpr YuvMasks kYuyvMasks = MakeYuvMasks(false);
constexpr YuvMasks kUyvyMasks = MakeYuvMasks(true);

struct Rgb16 {
    __m256i r, g, b;
};

// Eight pixels per lane, as 16-bit lanes.
template <bool kUyvy>
OSTRAVELK_AVX2 inline Rgb16 YuvToRgb16(__m256i yuv) {
    const YuvMasks& masks = kUyvy ? kUyvyMasks : kYuyvMasks;
    const __m256i centre = _mm256_set1_epi16(128);
    const __m256i round = _mm256_set1_epi16(32);
    const __m256i y =
        kUyvy ? _mm256_srli_epi16(yuv, 8) : _mm256_and_si256(yuv, _mm256_set1_epi16(0x00FF));
    const __m256i u = _mm256_slli_epi16(
        _mm256_sub_epi16(
            _mm256_shuffle_epi8(yuv, _mm256_load_si256(reinterpret_cast<const __m256i*>(masks.u))),
            centre),
        7);
    const __m256i v = _mm256_slli_epi16(
        _mm256_sub_epi16(
            _mm256_shuffle_epi8(yuv, _mm256_load_si256(reinterpret_cast<const __m256i*>(masks.v))),
            centre),
        7);
    const __m256i tr = _mm256_mulhrs_epi16(v, _mm256_set1_epi16(kYuvRv));
    const __m256i tg = _mm256_add_epi16(_mm256_mulhrs_epi16(u, _mm256_set1_epi16(kYuvGu)),
                                        _mm256_mulhrs_epi16(v, _mm256_set1_epi16(kYuvGv)));
    const __m256i tb = _mm256_mulhrs_epi16(u, _mm256_set1_epi16(kYuvBu));
    return Rgb16{_mm256_add_epi16(y, _mm256_srai_epi16(_mm256_add_epi16(tr, round), 6)),
                 _mm256_add_epi16(y, _mm256_srai_epi16(_mm256_add_epi16(tg, round), 6)),
                 _mm256_add_epi16(y, _mm256_srai_epi16(_mm256_add_epi16(tb, round), 6))};
}

template <bool kUyvy, bool kBgr>
OSTRAVELK_AVX2 uint32_t YuvRun(const uint8_t* src, uint32_t width, uint8_t* dst) {
    uint32_t i = 0;
    for (; i + 32 <= width; i += 32) {
        const __m256i a = Load(src + 2 * size_t(i));
        const __m256i b = Load(src + 2 * size_t(i) + 32);
        // Lane 0 gets pixels 0-15, lane 1 pixels 16-31: first halves in lo, second in hi.
        const Rgb16 lo = YuvToRgb16<kUyvy>(_mm256_permute2x128_si256(a, b, 0x20));
        const Rgb16 hi = YuvToRgb16<kUyvy>(_mm256_permute2x128_si256(a, b, 0x31));
        const __m256i r = _mm256_packus_epi16(lo.r, hi.r);
        const __m256i g = _mm256_packus_epi16(lo.g, hi.g);
        const __m256i bl = _mm256_packus_epi16(lo.b, hi.b);
        if (kBgr) {
            Store3(bl, g, r, dst + 3 * size_t(i));
        } else {
            Store3(r, g, bl, dst + 3 * size_t(i));
        }
    }
    return i;
}

OSTRAVELK_AVX2 uint32_t YuvToColourRunAvx2(const uint8_t* src, uint32_t width, bool uyvy, bool bgr,
                                           uint8_t* dst) {
    if (uyvy)
        return bgr ? YuvRun<true, true>(src, width, dst) : YuvRun<true, false>(src, width, dst);
    return bgr ? YuvRun<false, true>(src, width, dst) : YuvRun<false, false>(src, width, dst);
}

const KernelSet kAvx2 = {DemosaicColourRunAvx2, DemosaicLumaRunAvx2,
                         MsbP10RunAvx2,         MsbP12RunAvx2,
                         MsbPacked12RunAvx2,    ReduceU16RunAvx2,
                         YuvToColourRunAvx2,    ReplicateRunAvx2,
                         SwapColour3RunAvx2,    "avx2"};

}  // namespace

const KernelSet* Avx2Kernels() {
    return __builtin_cpu_supports("avx2") ? &kAvx2 : nullptr;
}

}  // namespace sdk::convert

#else

namespace sdk::convert {
const KernelSet* Avx2Kernels() {
    return nullptr;
}
}  // namespace sdk::convert

#endif
