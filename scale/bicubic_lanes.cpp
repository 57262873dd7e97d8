// The inner loops of a bicubic step for SSE2 (the floor of every x86-64
// processor), SSE4.1 and AVX2, chosen at run time.
//
// Why the exact loops give the very bytes of the double sums
// ------------------------------------------------------------
// A step is run exactly only when every weight of both of its tables is a
// whole multiple of 2^-9 with magnitude at most 1 (checked when the tables
// are built; true whenever the source positions fall on multiples of 1/8, as
// for ratios 1.25, 2 and 4, since the kernel is a cubic). Write the row
// weights as a_k / 2^9 and the column weights as b_k / 2^9 with integers
// |a_k|, |b_k| <= 2^9, and the samples s (bytes of the pre-blurred picture) as
// integers 0 .. 255. Then in the double sums:
//   - each product a_k s / 2^9 has |a_k s| <= 2^9 x 255 < 2^17, and each
//     partial row sum is A / 2^9 with |A| <= 4 x 2^9 x 255 = 522240 < 2^19;
//   - each product (b_k / 2^9)(A / 2^9) = b_k A / 2^18 has |b_k A| < 2^28, and
//     each partial column sum is N / 2^18 with |N| <= 4 x 2^9 x 522240 < 2^31.
// A double holds every integer below 2^53 times a power of two exactly, so
// no product and no partial sum is ever rounded: the double result is exactly
// N / 2^18, whatever the grouping. Clamping to 0 .. 255 and truncating then
// gives 0 for N <= 0, 255 for N >= 255 x 2^18 and floor(N / 2^18) = N >> 18
// in between, which is what the integer loops compute. The same bounds show
// that A and N fit 32-bit lanes and every pair a_k s + a_k' s' fits the
// 16 x 16 -> 32-bit multiply-add. A direction whose length does not change
// has the weights 0, 1, 0, 0, that is N = 2^9 A, and ends as A >> 9.
//
// The double loops keep the order of the documented sum in every lane:
// ((w0 x0 + w1 x1) + w2 x2) + w3 x3, multiplications and additions as
// separate operations (floating-point contraction is off for the whole
// program), so which lane holds which sample does not matter.
#include "scale/bicubic_lanes.h"

#include <cstring>

#include <immintrin.h>

namespace qdx {

namespace {

inline uint8_t ClampByte(int32_t v) { return uint8_t(v < 0 ? 0 : (v > 255 ? 255 : v)); }

// Clamped to 0 .. 255, then truncated.
inline uint8_t ClampTruncate(double v) {
    v = v < 0.0 ? 0.0 : v;
    v = v > 255.0 ? 255.0 : v;
    return uint8_t(int32_t(v));
}

inline int32_t PairWeights(int16_t first, int16_t second) {
    return int32_t(uint32_t(uint16_t(first)) | (uint32_t(uint16_t(second)) << 16));
}

// --- Exact rows --------------------------------------------------------------

void CombineRowsExactScalar(const RowTaps& t, int32_t* line, size_t x, size_t count) {
    for (; x < count; ++x)
        line[x] = t.exact[0] * t.rows[0][x] + t.exact[1] * t.rows[1][x] + t.exact[2] * t.rows[2][x] +
                  t.exact[3] * t.rows[3][x];
}

void CombineRowsExactSse2(const RowTaps& t, int32_t* line, size_t count) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i w01 = _mm_set1_epi32(PairWeights(t.exact[0], t.exact[1]));
    const __m128i w23 = _mm_set1_epi32(PairWeights(t.exact[2], t.exact[3]));
    size_t x = 0;
    for (; x + 16 <= count; x += 16) {
        const __m128i r0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t.rows[0] + x));
        const __m128i r1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t.rows[1] + x));
        const __m128i r2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t.rows[2] + x));
        const __m128i r3 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t.rows[3] + x));
        // Byte pairs (s0, s1) and (s2, s3) of each sample, then as words.
        const __m128i p01[2] = {_mm_unpacklo_epi8(r0, r1), _mm_unpackhi_epi8(r0, r1)};
        const __m128i p23[2] = {_mm_unpacklo_epi8(r2, r3), _mm_unpackhi_epi8(r2, r3)};
        for (int h = 0; h < 2; ++h) {
            const __m128i lo = _mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi8(p01[h], zero), w01),
                                             _mm_madd_epi16(_mm_unpacklo_epi8(p23[h], zero), w23));
            const __m128i hi = _mm_add_epi32(_mm_madd_epi16(_mm_unpackhi_epi8(p01[h], zero), w01),
                                             _mm_madd_epi16(_mm_unpackhi_epi8(p23[h], zero), w23));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(line + x + 8 * h), lo);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(line + x + 8 * h + 4), hi);
        }
    }
    CombineRowsExactScalar(t, line, x, count);
}

__attribute__((target("avx2"))) void CombineRowsExactAvx2(const RowTaps& t, int32_t* line, size_t count) {
    const __m256i w01 = _mm256_set1_epi32(PairWeights(t.exact[0], t.exact[1]));
    const __m256i w23 = _mm256_set1_epi32(PairWeights(t.exact[2], t.exact[3]));
    size_t x = 0;
    for (; x + 16 <= count; x += 16) {
        const __m128i r0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t.rows[0] + x));
        const __m128i r1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t.rows[1] + x));
        const __m128i r2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t.rows[2] + x));
        const __m128i r3 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t.rows[3] + x));
        const __m256i lo = _mm256_add_epi32(_mm256_madd_epi16(_mm256_cvtepu8_epi16(_mm_unpacklo_epi8(r0, r1)), w01),
                                            _mm256_madd_epi16(_mm256_cvtepu8_epi16(_mm_unpacklo_epi8(r2, r3)), w23));
        const __m256i hi = _mm256_add_epi32(_mm256_madd_epi16(_mm256_cvtepu8_epi16(_mm_unpackhi_epi8(r0, r1)), w01),
                                            _mm256_madd_epi16(_mm256_cvtepu8_epi16(_mm_unpackhi_epi8(r2, r3)), w23));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(line + x), lo);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(line + x + 8), hi);
    }
    CombineRowsExactScalar(t, line, x, count);
}

// --- Exact columns -----------------------------------------------------------

void CombineColumnsExactScalar(const ColumnTaps& t, const int32_t* line, uint8_t* out) {
    for (uint32_t i = 0; i < t.pixels; ++i, out += 3) {
        const uint32_t* o = t.offsets + size_t(i) * 4;
        const int32_t* b = t.exact + size_t(i) * 4;
        for (uint32_t c = 0; c < 3; ++c) {
            const int32_t n =
                b[0] * line[o[0] + c] + b[1] * line[o[1] + c] + b[2] * line[o[2] + c] + b[3] * line[o[3] + c];
            out[c] = ClampByte(n >> (2 * kExactWeightBits));
        }
    }
}

// Four lanes per pixel: its three channels and one sample of slack.
__attribute__((target("sse4.1"))) void CombineColumnsExactSse41(const ColumnTaps& t, const int32_t* line,
                                                                 uint8_t* out, uint32_t first = 0) {
    const __m128i zero = _mm_setzero_si128();
    out += size_t(first) * 3;
    for (uint32_t i = first; i < t.pixels; ++i, out += 3) {
        const uint32_t* o = t.offsets + size_t(i) * 4;
        const int32_t* b = t.exact + size_t(i) * 4;
        __m128i n = _mm_mullo_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(line + o[0])), _mm_set1_epi32(b[0]));
        for (int k = 1; k < 4; ++k)
            n = _mm_add_epi32(n, _mm_mullo_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(line + o[k])),
                                                 _mm_set1_epi32(b[k])));
        n = _mm_srai_epi32(n, 2 * kExactWeightBits);
        const int32_t bytes = _mm_cvtsi128_si32(_mm_packus_epi16(_mm_packs_epi32(n, zero), zero));
        // The fourth byte lands where the next pixel goes; the last pixel
        // stores three.
        std::memcpy(out, &bytes, i + 1 < t.pixels ? 4 : 3);
    }
}

// Two pixels at a time, one in each half of the register.
__attribute__((target("avx2"))) void CombineColumnsExactAvx2(const ColumnTaps& t, const int32_t* line, uint8_t* out) {
    const __m256i zero = _mm256_setzero_si256();
    uint32_t i = 0;
    // Each store writes a fourth byte where the next pixel goes, so the last
    // pixel is left to the loop below.
    for (; i + 2 < t.pixels; i += 2, out += 6) {
        const uint32_t* o = t.offsets + size_t(i) * 4;
        const int32_t* b = t.exact + size_t(i) * 4;
        __m256i n = zero;
        for (int k = 0; k < 4; ++k) {
            const __m256i v = _mm256_inserti128_si256(
                _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(line + o[k]))),
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(line + o[4 + k])), 1);
            const __m256i w = _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_set1_epi32(b[k])),
                                                      _mm_set1_epi32(b[4 + k]), 1);
            n = _mm256_add_epi32(n, _mm256_mullo_epi32(v, w));
        }
        n = _mm256_srai_epi32(n, 2 * kExactWeightBits);
        const __m256i bytes = _mm256_packus_epi16(_mm256_packs_epi32(n, zero), zero);
        const int32_t first = _mm_cvtsi128_si32(_mm256_castsi256_si128(bytes));
        const int32_t second = _mm_cvtsi128_si32(_mm256_extracti128_si256(bytes, 1));
        std::memcpy(out, &first, 4);
        std::memcpy(out + 3, &second, 4);
    }
    CombineColumnsExactSse41(t, line, out - size_t(i) * 3, i);
}

// --- Pre-blur ----------------------------------------------------------------

__attribute__((target("avx2"))) inline __m256i Load32(const uint8_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

// Words of the low (h = 0) or high half of each 16-byte lane.
__attribute__((target("avx2"))) inline __m256i Widen(__m256i v, int h) {
    return h == 0 ? _mm256_unpacklo_epi8(v, _mm256_setzero_si256()) : _mm256_unpackhi_epi8(v, _mm256_setzero_si256());
}

// Eight 32-bit blurred values of words q = 0 (low half) or 1 of each lane.
template <bool wide>
__attribute__((target("avx2"))) inline __m256i BlurQuarter(__m256i centre, __m256i pairs, __m256i outer, int q,
                                                           __m256i w01, __m256i w2, __m128i shift) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i cp = q == 0 ? _mm256_unpacklo_epi16(centre, pairs) : _mm256_unpackhi_epi16(centre, pairs);
    __m256i sum = _mm256_madd_epi16(cp, w01);
    if (wide) {
        const __m256i o = q == 0 ? _mm256_unpacklo_epi16(outer, zero) : _mm256_unpackhi_epi16(outer, zero);
        sum = _mm256_add_epi32(sum, _mm256_madd_epi16(o, w2));
    }
    return _mm256_and_si256(_mm256_srl_epi32(sum, shift), _mm256_set1_epi32(255));
}

// out[x] = low byte of (u0 c[x] + u1 (a[x] + b[x]) + u2 (d[x] + e[x])) >> shift,
// 32 samples at a time; returns how many samples it did. Every unpack and
// pack works within the 16-byte lanes, so the order comes back at the end.
template <bool wide>
__attribute__((target("avx2"))) size_t PreBlurAvx2(const uint8_t* c, const uint8_t* a, const uint8_t* b,
                                                   const uint8_t* d, const uint8_t* e, const uint32_t u[3],
                                                   uint32_t shift, uint8_t* out, size_t count) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i w01 = _mm256_set1_epi32(int32_t(u[0] | (u[1] << 16)));  // weights fit in 16 bits
    const __m256i w2 = _mm256_set1_epi32(int32_t(u[2]));
    const __m128i s = _mm_cvtsi32_si128(int32_t(shift));
    size_t x = 0;
    for (; x + 32 <= count; x += 32) {
        const __m256i cv = Load32(c + x), av = Load32(a + x), bv = Load32(b + x);
        const __m256i dv = wide ? Load32(d + x) : zero, ev = wide ? Load32(e + x) : zero;
        __m256i words[2];
        for (int h = 0; h < 2; ++h) {
            const __m256i centre = Widen(cv, h), pairs = _mm256_add_epi16(Widen(av, h), Widen(bv, h));
            const __m256i outer = _mm256_add_epi16(Widen(dv, h), Widen(ev, h));
            words[h] = _mm256_packs_epi32(BlurQuarter<wide>(centre, pairs, outer, 0, w01, w2, s),
                                          BlurQuarter<wide>(centre, pairs, outer, 1, w01, w2, s));
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x), _mm256_packus_epi16(words[0], words[1]));
    }
    return x;
}

// --- Double rows -------------------------------------------------------------

void CombineRowsDoubleScalar(const RowTaps& t, double* line, size_t x, size_t count) {
    const double* w = t.weights;
    for (; x < count; ++x)
        line[x] = ((w[0] * double(t.rows[0][x]) + w[1] * double(t.rows[1][x])) + w[2] * double(t.rows[2][x])) +
                  w[3] * double(t.rows[3][x]);
}

void CombineRowsDoubleSse2(const RowTaps& t, double* line, size_t count) {
    const __m128i zero = _mm_setzero_si128();
    const __m128d w0 = _mm_set1_pd(t.weights[0]), w1 = _mm_set1_pd(t.weights[1]);
    const __m128d w2 = _mm_set1_pd(t.weights[2]), w3 = _mm_set1_pd(t.weights[3]);
    // Two samples of row r at x as doubles.
    auto two = [&](int r, size_t x) {
        uint16_t pair;
        std::memcpy(&pair, t.rows[r] + x, 2);
        return _mm_cvtepi32_pd(_mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(pair), zero), zero));
    };
    size_t x = 0;
    for (; x + 2 <= count; x += 2) {
        __m128d sum = _mm_add_pd(_mm_mul_pd(w0, two(0, x)), _mm_mul_pd(w1, two(1, x)));
        sum = _mm_add_pd(sum, _mm_mul_pd(w2, two(2, x)));
        sum = _mm_add_pd(sum, _mm_mul_pd(w3, two(3, x)));
        _mm_storeu_pd(line + x, sum);
    }
    CombineRowsDoubleScalar(t, line, x, count);
}

// Four byte samples as doubles.
__attribute__((target("avx2"))) inline __m256d FourAsDoubles(const uint8_t* bytes) {
    int32_t quad;
    std::memcpy(&quad, bytes, 4);
    return _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(_mm_cvtsi32_si128(quad)));
}

__attribute__((target("avx2"))) void CombineRowsDoubleAvx2(const RowTaps& t, double* line, size_t count) {
    const __m256d w0 = _mm256_set1_pd(t.weights[0]), w1 = _mm256_set1_pd(t.weights[1]);
    const __m256d w2 = _mm256_set1_pd(t.weights[2]), w3 = _mm256_set1_pd(t.weights[3]);
    size_t x = 0;
    for (; x + 4 <= count; x += 4) {
        __m256d sum = _mm256_add_pd(_mm256_mul_pd(w0, FourAsDoubles(t.rows[0] + x)), _mm256_mul_pd(w1, FourAsDoubles(t.rows[1] + x)));
        sum = _mm256_add_pd(sum, _mm256_mul_pd(w2, FourAsDoubles(t.rows[2] + x)));
        sum = _mm256_add_pd(sum, _mm256_mul_pd(w3, FourAsDoubles(t.rows[3] + x)));
        _mm256_storeu_pd(line + x, sum);
    }
    CombineRowsDoubleScalar(t, line, x, count);
}

// --- Double columns ----------------------------------------------------------

// Channels 0 and 1 of a pixel in one register, channel 2 on its own.
void CombineColumnsDoubleSse2(const ColumnTaps& t, const double* line, uint8_t* out) {
    const __m128d zero = _mm_setzero_pd(), top = _mm_set1_pd(255.0);
    for (uint32_t i = 0; i < t.pixels; ++i, out += 3) {
        const uint32_t* o = t.offsets + size_t(i) * 4;
        const double* w = t.weights + size_t(i) * 4;
        __m128d pair = _mm_mul_pd(_mm_set1_pd(w[0]), _mm_loadu_pd(line + o[0]));
        __m128d third = _mm_mul_sd(_mm_set_sd(w[0]), _mm_load_sd(line + o[0] + 2));
        for (int k = 1; k < 4; ++k) {
            pair = _mm_add_pd(pair, _mm_mul_pd(_mm_set1_pd(w[k]), _mm_loadu_pd(line + o[k])));
            third = _mm_add_sd(third, _mm_mul_sd(_mm_set_sd(w[k]), _mm_load_sd(line + o[k] + 2)));
        }
        const __m128i a = _mm_cvttpd_epi32(_mm_min_pd(_mm_max_pd(pair, zero), top));
        const __m128i c = _mm_cvttpd_epi32(_mm_min_pd(_mm_max_pd(third, zero), top));
        out[0] = uint8_t(_mm_cvtsi128_si32(a));
        out[1] = uint8_t(_mm_cvtsi128_si32(_mm_srli_si128(a, 4)));
        out[2] = uint8_t(_mm_cvtsi128_si32(c));
    }
}

// Four lanes per pixel: its three channels and one sample of slack.
__attribute__((target("avx2"))) void CombineColumnsDoubleAvx2(const ColumnTaps& t, const double* line,
                                                               uint8_t* out) {
    const __m256d zero = _mm256_setzero_pd(), top = _mm256_set1_pd(255.0);
    const __m128i zeroWords = _mm_setzero_si128();
    for (uint32_t i = 0; i < t.pixels; ++i, out += 3) {
        const uint32_t* o = t.offsets + size_t(i) * 4;
        const double* w = t.weights + size_t(i) * 4;
        __m256d sum = _mm256_mul_pd(_mm256_broadcast_sd(w), _mm256_loadu_pd(line + o[0]));
        for (int k = 1; k < 4; ++k)
            sum = _mm256_add_pd(sum, _mm256_mul_pd(_mm256_broadcast_sd(w + k), _mm256_loadu_pd(line + o[k])));
        const __m128i whole = _mm256_cvttpd_epi32(_mm256_min_pd(_mm256_max_pd(sum, zero), top));
        const int32_t bytes = _mm_cvtsi128_si32(_mm_packus_epi16(_mm_packs_epi32(whole, zeroWords), zeroWords));
        std::memcpy(out, &bytes, i + 1 < t.pixels ? 4 : 3);
    }
}

Lanes DetectLanes() {
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2")) return Lanes::Avx2;
    if (__builtin_cpu_supports("sse4.1")) return Lanes::Sse41;
    return Lanes::Sse2;
}

}  // namespace

Lanes BestLanes() {
    static const Lanes best = DetectLanes();
    return best;
}

bool LanesAvailable(Lanes lanes) { return uint8_t(lanes) <= uint8_t(BestLanes()); }

void CombineRowsExact(Lanes lanes, const RowTaps& taps, int32_t* line, size_t count) {
    if (lanes == Lanes::Avx2)
        CombineRowsExactAvx2(taps, line, count);
    else
        CombineRowsExactSse2(taps, line, count);
}

void CombineColumnsExact(Lanes lanes, const ColumnTaps& taps, const int32_t* line, uint8_t* out) {
    if (lanes == Lanes::Sse2)
        CombineColumnsExactScalar(taps, line, out);
    else if (lanes == Lanes::Sse41)
        CombineColumnsExactSse41(taps, line, out);
    else
        CombineColumnsExactAvx2(taps, line, out);
}

size_t PreBlurWide(Lanes lanes, bool wide, const uint8_t* c, const uint8_t* a, const uint8_t* b, const uint8_t* d,
                   const uint8_t* e, const uint32_t u[3], uint32_t shift, uint8_t* out, size_t count) {
    if (lanes != Lanes::Avx2) return 0;
    return wide ? PreBlurAvx2<true>(c, a, b, d, e, u, shift, out, count)
                : PreBlurAvx2<false>(c, a, b, d, e, u, shift, out, count);
}

void FinishRowExact(const int32_t* line, uint8_t* out, size_t count) {
    for (size_t x = 0; x < count; ++x) out[x] = ClampByte(line[x] >> kExactWeightBits);
}

void CombineRowsDouble(Lanes lanes, const RowTaps& taps, double* line, size_t count) {
    if (lanes == Lanes::Avx2)
        CombineRowsDoubleAvx2(taps, line, count);
    else
        CombineRowsDoubleSse2(taps, line, count);
}

void CombineColumnsDouble(Lanes lanes, const ColumnTaps& taps, const double* line, uint8_t* out) {
    if (lanes == Lanes::Avx2)
        CombineColumnsDoubleAvx2(taps, line, out);
    else
        CombineColumnsDoubleSse2(taps, line, out);
}

void FinishRowDouble(const double* line, uint8_t* out, size_t count) {
    for (size_t x = 0; x < count; ++x) out[x] = ClampTruncate(line[x]);
}

}  // namespace qdx
