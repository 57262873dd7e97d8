// The inner loops of a bicubic step for SSE2 (the floor of every x86-64
// processor), SSE4.1 and AVX2, chosen at run time.
//
// Why the exact loops give the very bytes of the double sums
// ------------------------------------------------------------
// A step is run exactly only when every weight of both of its tables is a
// whole multiple of 2^-9 with magnitude at most 1 (checked when the tables
// are built; true whenever the source positions fall on multiples of 1/8, as
// for ratios 1.25, 2 and 4, since the kernel is a cubic). Write the row
// weights as a_r / 2^9 and the column weights as b_k / 2^9 with integers
// |a_r|, |b_k| <= 2^9, and the samples s (bytes of the pre-blurred picture) as
// integers 0 .. 255. Then in the double sums (rows first):
//   - each product a_r s / 2^9 has |a_r s| <= 2^9 x 255 < 2^17, and each
//     partial row sum is A / 2^9 with |A| <= 4 x 2^9 x 255 = 522240 < 2^19;
//   - each product (b_k / 2^9)(A / 2^9) = b_k A / 2^18 has |b_k A| < 2^28, and
//     each partial column sum is N / 2^18 with |N| <= 4 x 2^9 x 522240 < 2^31.
// A double holds every integer below 2^53 times a power of two exactly, so
// no product and no partial sum is ever rounded: the double result is exactly
// N / 2^18 with N = sum over r and k of a_r b_k s(r, k), whatever the
// grouping. The integer loops group it the other way round, columns first:
// h_r = sum over k of b_k s(r, k), with |h_r| <= 522240 < 2^19 by the same
// bound, then N = sum over r of a_r h_r, each product below 2^28 and each
// partial sum below 2^31; integers are exact, so it is the same N. Clamping
// to 0 .. 255 and truncating then gives 0 for N <= 0, 255 for N >= 255 x 2^18
// and floor(N / 2^18) = N >> 18 in between, which is what the integer loops
// compute (an arithmetic shift, then saturation to 0 .. 255). The bounds also
// show that every pair b_k s + b_k' s' fits the 16 x 16 -> 32-bit multiply-add
// and every value fits a 32-bit lane. A direction whose length does not
// change has the weights 0, 1, 0, 0 and passes its samples through.
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

// --- Exact columns: a byte row to a line of column sums ----------------------

void CombineColumnsExactScalar(const ColumnTaps& t, const uint8_t* row, int32_t* line, uint32_t first,
                               uint32_t last) {
    for (uint32_t i = first; i < last; ++i) {
        const uint32_t* o = t.offsets + size_t(i) * 4;
        const int32_t* b = t.exact + size_t(i) * 4;
        for (uint32_t c = 0; c < 3; ++c)
            line[size_t(i) * 3 + c] = b[0] * row[o[0] + c] + b[1] * row[o[1] + c] + b[2] * row[o[2] + c] +
                                      b[3] * row[o[3] + c];
    }
}

// Of the 16 bytes from a pixel's first tap (four pixels of three channels),
// the words (s0, s1) and (s2, s3) of each channel, ready for the multiply-add
// with the pairs (b0, b1) and (b2, b3); the fourth lane stays zero.
constexpr int8_t kZ = -128;  // a shuffle index that gives a zero byte
#define QDX_PICK01 0, kZ, 3, kZ, 1, kZ, 4, kZ, 2, kZ, 5, kZ, kZ, kZ, kZ, kZ
#define QDX_PICK23 6, kZ, 9, kZ, 7, kZ, 10, kZ, 8, kZ, 11, kZ, kZ, kZ, kZ, kZ

// One pixel at a time. Each store writes a zero fourth value where the next
// pixel goes (or into the line's slack).
__attribute__((target("sse4.1"))) void CombineColumnsExactSse41(const ColumnTaps& t, const uint8_t* row,
                                                                 int32_t* line, uint32_t i) {
    const __m128i pick01 = _mm_setr_epi8(QDX_PICK01), pick23 = _mm_setr_epi8(QDX_PICK23);
    for (; i < t.runLast; ++i) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + t.offsets[size_t(i) * 4]));
        const __m128i w01 = _mm_set1_epi32(t.exactPairs[size_t(i) * 2]);
        const __m128i w23 = _mm_set1_epi32(t.exactPairs[size_t(i) * 2 + 1]);
        const __m128i h = _mm_add_epi32(_mm_madd_epi16(_mm_shuffle_epi8(bytes, pick01), w01),
                                        _mm_madd_epi16(_mm_shuffle_epi8(bytes, pick23), w23));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(line + size_t(i) * 3), h);
    }
}

// Two pixels at a time, one in each half of the register.
__attribute__((target("avx2"))) void CombineColumnsExactAvx2(const ColumnTaps& t, const uint8_t* row,
                                                              int32_t* line) {
    const __m256i pick01 = _mm256_setr_epi8(QDX_PICK01, QDX_PICK01), pick23 = _mm256_setr_epi8(QDX_PICK23, QDX_PICK23);
    const __m256i spread01 = _mm256_setr_epi32(0, 0, 0, 0, 2, 2, 2, 2);
    const __m256i spread23 = _mm256_setr_epi32(1, 1, 1, 1, 3, 3, 3, 3);
    uint32_t i = t.runFirst;
    for (; i + 2 <= t.runLast; i += 2) {
        const uint32_t* o = t.offsets + size_t(i) * 4;
        const __m256i bytes =
            _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + o[0]))),
                                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + o[4])), 1);
        // The pairs of both pixels, spread over the lanes of their halves.
        const __m256i pairs = _mm256_castsi128_si256(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(t.exactPairs + size_t(i) * 2)));
        const __m256i h = _mm256_add_epi32(
            _mm256_madd_epi16(_mm256_shuffle_epi8(bytes, pick01), _mm256_permutevar8x32_epi32(pairs, spread01)),
            _mm256_madd_epi16(_mm256_shuffle_epi8(bytes, pick23), _mm256_permutevar8x32_epi32(pairs, spread23)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(line + size_t(i) * 3), _mm256_castsi256_si128(h));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(line + size_t(i) * 3 + 3), _mm256_extracti128_si256(h, 1));
    }
    CombineColumnsExactSse41(t, row, line, i);
}

#undef QDX_PICK01
#undef QDX_PICK23

// --- Exact rows: four lines of column sums to output bytes -------------------

void CombineRowsExactScalar(const int32_t* const h[4], const int16_t a[4], uint8_t* out, size_t x, size_t count) {
    for (; x < count; ++x)
        out[x] = ClampByte((a[0] * h[0][x] + a[1] * h[1][x] + a[2] * h[2][x] + a[3] * h[3][x]) >>
                           (2 * kExactWeightBits));
}

// Four output values from position x of the lines, shifted but not clamped.
__attribute__((target("sse4.1"))) inline __m128i RowSumsSse41(const int32_t* const h[4], const __m128i w[4], size_t x) {
    __m128i n = _mm_setzero_si128();
    for (int r = 0; r < 4; ++r)
        n = _mm_add_epi32(n, _mm_mullo_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(h[r] + x)), w[r]));
    return _mm_srai_epi32(n, 2 * kExactWeightBits);
}

__attribute__((target("sse4.1"))) void CombineRowsExactSse41(const int32_t* const h[4], const int16_t a[4],
                                                              uint8_t* out, size_t count) {
    __m128i w[4];
    for (int r = 0; r < 4; ++r) w[r] = _mm_set1_epi32(a[r]);
    size_t x = 0;
    for (; x + 16 <= count; x += 16) {
        const __m128i words0 = _mm_packs_epi32(RowSumsSse41(h, w, x), RowSumsSse41(h, w, x + 4));
        const __m128i words1 = _mm_packs_epi32(RowSumsSse41(h, w, x + 8), RowSumsSse41(h, w, x + 12));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_packus_epi16(words0, words1));
    }
    CombineRowsExactScalar(h, a, out, x, count);
}

// Eight output values from position x of the lines, shifted but not clamped.
__attribute__((target("avx2"))) inline __m256i RowSumsAvx2(const int32_t* const h[4], const __m256i w[4], size_t x) {
    __m256i n = _mm256_setzero_si256();
    for (int r = 0; r < 4; ++r)
        n = _mm256_add_epi32(n, _mm256_mullo_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(h[r] + x)), w[r]));
    return _mm256_srai_epi32(n, 2 * kExactWeightBits);
}

__attribute__((target("avx2"))) void CombineRowsExactAvx2(const int32_t* const h[4], const int16_t a[4],
                                                           uint8_t* out, size_t count) {
    __m256i w[4];
    for (int r = 0; r < 4; ++r) w[r] = _mm256_set1_epi32(a[r]);
    // The packs work within 16-byte halves; the permutation puts the four
    // groups of each half back in order.
    const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
    size_t x = 0;
    for (; x + 32 <= count; x += 32) {
        const __m256i words0 = _mm256_packs_epi32(RowSumsAvx2(h, w, x), RowSumsAvx2(h, w, x + 8));
        const __m256i words1 = _mm256_packs_epi32(RowSumsAvx2(h, w, x + 16), RowSumsAvx2(h, w, x + 24));
        const __m256i bytes = _mm256_permutevar8x32_epi32(_mm256_packus_epi16(words0, words1), order);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x), bytes);
    }
    CombineRowsExactScalar(h, a, out, x, count);
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

// The same in 16-bit lanes, 32 samples at a time, with weights and shift
// from NarrowBlur: every sum stays below 2^16, so nothing wraps.
template <bool wide>
__attribute__((target("avx2"))) size_t PreBlurNarrowAvx2(const uint8_t* c, const uint8_t* a, const uint8_t* b,
                                                         const uint8_t* d, const uint8_t* e, const uint16_t u[3],
                                                         uint32_t shift, uint8_t* out, size_t count) {
    const __m256i zero = _mm256_setzero_si256(), low = _mm256_set1_epi16(255);
    const __m256i w0 = _mm256_set1_epi16(int16_t(u[0])), w1 = _mm256_set1_epi16(int16_t(u[1]));
    const __m256i w2 = _mm256_set1_epi16(int16_t(u[2]));
    const __m128i s = _mm_cvtsi32_si128(int32_t(shift));
    size_t x = 0;
    for (; x + 32 <= count; x += 32) {
        const __m256i cv = Load32(c + x), av = Load32(a + x), bv = Load32(b + x);
        const __m256i dv = wide ? Load32(d + x) : zero, ev = wide ? Load32(e + x) : zero;
        __m256i words[2];
        for (int h = 0; h < 2; ++h) {
            __m256i sum = _mm256_add_epi16(_mm256_mullo_epi16(Widen(cv, h), w0),
                                           _mm256_mullo_epi16(_mm256_add_epi16(Widen(av, h), Widen(bv, h)), w1));
            if (wide)
                sum = _mm256_add_epi16(sum,
                                       _mm256_mullo_epi16(_mm256_add_epi16(Widen(dv, h), Widen(ev, h)), w2));
            words[h] = _mm256_and_si256(_mm256_srl_epi16(sum, s), low);
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x), _mm256_packus_epi16(words[0], words[1]));
    }
    return x;
}

// Takes a power of two common to the weights out of them and of the shift,
// which changes no result; true when what is left keeps every sum of the
// blur (at most 255 times the weights' total) below 2^16.
bool NarrowBlur(bool wide, const uint32_t u[3], uint32_t shift, uint16_t narrow[3], uint32_t& narrowShift) {
    const uint32_t used = u[0] | u[1] | (wide ? u[2] : 0);
    if (used == 0) return false;
    uint32_t k = 0;
    while (k < shift && ((used >> k) & 1) == 0) ++k;
    const uint64_t total = (uint64_t(u[0]) + 2 * uint64_t(u[1]) + (wide ? 2 * uint64_t(u[2]) : 0)) >> k;
    if (total * 255 > 0xFFFF) return false;
    for (int i = 0; i < 3; ++i) narrow[i] = uint16_t(i == 2 && !wide ? 0 : u[i] >> k);
    narrowShift = shift - k;
    return true;
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

void CombineColumnsExact(Lanes lanes, const ColumnTaps& taps, const uint8_t* row, int32_t* line) {
    const uint32_t first = lanes == Lanes::Sse2 ? taps.pixels : taps.runFirst;
    const uint32_t last = lanes == Lanes::Sse2 ? taps.pixels : taps.runLast;
    CombineColumnsExactScalar(taps, row, line, 0, first);
    if (lanes == Lanes::Avx2)
        CombineColumnsExactAvx2(taps, row, line);
    else if (lanes == Lanes::Sse41)
        CombineColumnsExactSse41(taps, row, line, first);
    // After the run: its last store reached into the first pixel here.
    CombineColumnsExactScalar(taps, row, line, last, taps.pixels);
}

void CombineRowsExact(Lanes lanes, const int32_t* const lines[4], const int16_t weights[4], uint8_t* out,
                      size_t count) {
    if (lanes == Lanes::Avx2)
        CombineRowsExactAvx2(lines, weights, out, count);
    else if (lanes == Lanes::Sse41)
        CombineRowsExactSse41(lines, weights, out, count);
    else
        CombineRowsExactScalar(lines, weights, out, 0, count);
}

size_t PreBlurWide(Lanes lanes, bool wide, const uint8_t* c, const uint8_t* a, const uint8_t* b, const uint8_t* d,
                   const uint8_t* e, const uint32_t u[3], uint32_t shift, uint8_t* out, size_t count) {
    if (lanes != Lanes::Avx2) return 0;
    uint16_t narrow[3];
    uint32_t narrowShift = 0;
    if (NarrowBlur(wide, u, shift, narrow, narrowShift))
        return wide ? PreBlurNarrowAvx2<true>(c, a, b, d, e, narrow, narrowShift, out, count)
                    : PreBlurNarrowAvx2<false>(c, a, b, d, e, narrow, narrowShift, out, count);
    return wide ? PreBlurAvx2<true>(c, a, b, d, e, u, shift, out, count)
                : PreBlurAvx2<false>(c, a, b, d, e, u, shift, out, count);
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

}  // namespace qdx
