// Bicubic resampling (cubic convolution, a = -1, 4 x 4 taps). Reductions of
// more than 4:1 go in steps of at most 4:1, each preceded by an integer
// Gaussian pre-blur in the directions that shrink.
#include "scale/bicubic.h"

#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "scale/filters.h"

namespace qdx {

uint32_t BicubicStepPlan(uint32_t sourceLength, uint32_t targetLength, uint32_t lengths[kMaxBicubicSteps]) {
    uint64_t first = targetLength;
    uint32_t count = 1;
    while (first * 4 < sourceLength && count < kMaxBicubicSteps) {
        first *= 4;
        ++count;
    }
    uint64_t length = first;
    for (uint32_t i = 0; i < count; ++i, length /= 4) lengths[i] = uint32_t(length);
    return count;
}

PreBlurShape PreparePreBlur(ScalingState& state, double ratio) {
    const double c = ratio / 2.0;
    uint32_t radius = uint32_t(std::ceil(c));
    if (radius > 2) radius = 2;
    if (radius < 1) radius = 1;
    const double half = c / 2.0;  // the Gaussian's standard deviation, r / 4
    const double g = 2.0 * (half * half);
    uint32_t raw[3] = {255, 0, 0};
    for (uint32_t i = 1; i <= radius; ++i) raw[i] = uint32_t(std::exp(-double(i * i) / g) * 255.0 + 0.5);
    const uint32_t total = raw[0] + 2 * (raw[1] + raw[2]);
    uint32_t shift = 0;
    while ((total >> shift) != 0) ++shift;  // binary digits of the total
    const double scale = double(1u << shift);
    for (uint32_t i = 0; i < 3; ++i)
        state.preBlurWeights[i] = int32_t(double(raw[i]) * scale / double(total) + 0.5);
    return {radius, shift};
}

double CubicKernel(double t) {
    if (t <= 1.0) return (t * t - t - 1.0) * (t - 1.0);
    const double u = t - 2.0;
    return (1.0 - t) * (u * u);
}

int64_t BicubicTapWeights(double x, double weights[4]) {
    const double base = std::floor(x);
    for (int k = 0; k < 4; ++k) weights[k] = CubicKernel(std::fabs(x - (base + double(k - 1))));
    return int64_t(base);
}

namespace {

// --- Pre-blur -------------------------------------------------------------

// out[x] = (u0 * c[x] + u1 * (a[x] + b[x]) + u2 * (d[x] + e[x])) >> shift for
// x < count, kept to its low byte and stored as a byte or a double; with
// `wide` false the u2 term is absent. All of it is exact integer arithmetic,
// so the grouping does not matter.
template <bool wide, typename Out>
void BlurSpan(const uint8_t* c, const uint8_t* a, const uint8_t* b, const uint8_t* d, const uint8_t* e,
              const uint32_t u[3], uint32_t shift, Out* out, size_t count) {
    size_t x = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i w01 = _mm_set1_epi32(int32_t(u[0] | (u[1] << 16)));  // weights fit in 16 bits
    const __m128i w2 = _mm_set1_epi32(int32_t(u[2]));
    const __m128i low = _mm_set1_epi32(255);
    const __m128i s = _mm_cvtsi32_si128(int32_t(shift));
    // Four 32-bit results from 16-bit centre samples, neighbour pairs and
    // outer pairs.
    auto four = [&](__m128i centre, __m128i pairs, __m128i outer) {
        __m128i sum = _mm_madd_epi16(_mm_unpacklo_epi16(centre, pairs), w01);
        if (wide) sum = _mm_add_epi32(sum, _mm_madd_epi16(_mm_unpacklo_epi16(outer, zero), w2));
        return _mm_and_si128(_mm_srl_epi32(sum, s), low);
    };
    auto eight = [&](__m128i centre, __m128i pairs, __m128i outer) {
        const __m128i first = four(centre, pairs, outer);
        const __m128i second =
            four(_mm_unpackhi_epi64(centre, zero), _mm_unpackhi_epi64(pairs, zero), _mm_unpackhi_epi64(outer, zero));
        return _mm_packs_epi32(first, second);
    };
    for (; x + 16 <= count; x += 16) {
        const __m128i cv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c + x));
        const __m128i av = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + x));
        const __m128i bv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + x));
        __m128i outerLo = zero, outerHi = zero;
        if (wide) {
            const __m128i dv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + x));
            const __m128i ev = _mm_loadu_si128(reinterpret_cast<const __m128i*>(e + x));
            outerLo = _mm_add_epi16(_mm_unpacklo_epi8(dv, zero), _mm_unpacklo_epi8(ev, zero));
            outerHi = _mm_add_epi16(_mm_unpackhi_epi8(dv, zero), _mm_unpackhi_epi8(ev, zero));
        }
        const __m128i pairsLo = _mm_add_epi16(_mm_unpacklo_epi8(av, zero), _mm_unpacklo_epi8(bv, zero));
        const __m128i pairsHi = _mm_add_epi16(_mm_unpackhi_epi8(av, zero), _mm_unpackhi_epi8(bv, zero));
        const __m128i centreLo = _mm_unpacklo_epi8(cv, zero), centreHi = _mm_unpackhi_epi8(cv, zero);
        if constexpr (sizeof(Out) == 1) {
            const __m128i lo = eight(centreLo, pairsLo, outerLo);
            const __m128i hi = eight(centreHi, pairsHi, outerHi);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_packus_epi16(lo, hi));
        } else {
            const __m128i results[4] = {
                four(centreLo, pairsLo, outerLo),
                four(_mm_unpackhi_epi64(centreLo, zero), _mm_unpackhi_epi64(pairsLo, zero),
                     _mm_unpackhi_epi64(outerLo, zero)),
                four(centreHi, pairsHi, outerHi),
                four(_mm_unpackhi_epi64(centreHi, zero), _mm_unpackhi_epi64(pairsHi, zero),
                     _mm_unpackhi_epi64(outerHi, zero))};
            for (int k = 0; k < 4; ++k) {
                _mm_storeu_pd(out + x + 4 * k, _mm_cvtepi32_pd(results[k]));
                _mm_storeu_pd(out + x + 4 * k + 2, _mm_cvtepi32_pd(_mm_unpackhi_epi64(results[k], results[k])));
            }
        }
    }
#endif
    for (; x < count; ++x) {
        uint32_t sum = u[0] * c[x] + u[1] * (uint32_t(a[x]) + b[x]);
        if (wide) sum += u[2] * (uint32_t(d[x]) + e[x]);
        out[x] = Out(uint8_t(sum >> shift));
    }
}

// One sample near an end of a line: the neighbours outside are left out and
// the sum is divided by the weights actually used.
inline uint8_t EdgeBlur(const uint8_t* line, size_t step, uint32_t j, uint32_t n, uint32_t radius, const int32_t* u) {
    uint32_t sum = uint32_t(u[0]) * line[size_t(j) * step];
    uint32_t used = uint32_t(u[0]);
    for (uint32_t i = 1; i <= radius; ++i) {
        if (j >= i) {
            sum += uint32_t(u[i]) * line[size_t(j - i) * step];
            used += uint32_t(u[i]);
        }
        if (j + i < n) {
            sum += uint32_t(u[i]) * line[size_t(j + i) * step];
            used += uint32_t(u[i]);
        }
    }
    return uint8_t(sum / used);
}

// The weights of one pre-blur direction.
struct BlurPass {
    bool active = false;
    PreBlurShape shape{1, 0};
    int32_t u[3] = {0, 0, 0};
    uint32_t weights[3] = {0, 0, 0};  // the same, unsigned
};

BlurPass MakeBlurPass(ScalingState& state, uint32_t from, uint32_t to) {
    BlurPass pass;
    if (to >= from) return pass;
    pass.active = true;
    pass.shape = PreparePreBlur(state, double(from) / double(to));
    for (int i = 0; i < 3; ++i) {
        pass.u[i] = state.preBlurWeights[i];
        pass.weights[i] = uint32_t(pass.u[i]);
    }
    return pass;
}

// Stored row y of the column-blurred picture, into `out`.
template <typename Out>
void BlurColumnsOfRow(const BlurPass& pass, const uint8_t* source, uint32_t stride, uint32_t rowBytes,
                      uint32_t height, uint32_t y, Out* out) {
    const uint32_t R = pass.shape.radius, S = pass.shape.shift;
    if (y < R || y + R >= height) {
        for (uint32_t x = 0; x < rowBytes; ++x) out[x] = EdgeBlur(source + x, stride, y, height, R, pass.u);
        return;
    }
    const uint8_t* c = source + size_t(y) * stride;
    if (R == 1)
        BlurSpan<false, Out>(c, c - stride, c + stride, c, c, pass.weights, S, out, rowBytes);
    else
        BlurSpan<true, Out>(c, c - stride, c + stride, c - 2 * size_t(stride), c + 2 * size_t(stride), pass.weights, S,
                       out, rowBytes);
}

// Blurs one row of `width` pixels held in `line` into `out`.
void BlurRow(const BlurPass& pass, const uint8_t* line, uint32_t width, double* out) {
    const uint32_t R = pass.shape.radius, S = pass.shape.shift, rowBytes = width * 3;
    // Pixels R .. width - 1 - R have all their neighbours.
    const uint32_t begin = R * 3, end = width > 2 * R ? (width - R) * 3 : begin;
    const uint32_t edgeBytes = (width < 2 * R ? width : R) * 3;
    const size_t count = end - begin;
    const uint8_t* q = line + begin;
    if (R == 1)
        BlurSpan<false, double>(q, q - 3, q + 3, q, q, pass.weights, S, out + begin, count);
    else
        BlurSpan<true, double>(q, q - 3, q + 3, q - 6, q + 6, pass.weights, S, out + begin, count);
    for (uint32_t b = 0; b < edgeBytes; ++b) out[b] = EdgeBlur(line + b % 3, 3, b / 3, width, R, pass.u);
    for (uint32_t b = end > edgeBytes ? end : edgeBytes; b < rowBytes; ++b)
        out[b] = EdgeBlur(line + b % 3, 3, b / 3, width, R, pass.u);
}

// Samples as doubles, eight at a time where the processor allows.
void ToDoubles(const uint8_t* bytes, double* out, uint32_t count) {
    uint32_t x = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    for (; x + 8 <= count; x += 8) {
        const __m128i words = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(bytes + x)), zero);
        const __m128i lo = _mm_unpacklo_epi16(words, zero), hi = _mm_unpackhi_epi16(words, zero);
        _mm_storeu_pd(out + x, _mm_cvtepi32_pd(lo));
        _mm_storeu_pd(out + x + 2, _mm_cvtepi32_pd(_mm_unpackhi_epi64(lo, lo)));
        _mm_storeu_pd(out + x + 4, _mm_cvtepi32_pd(hi));
        _mm_storeu_pd(out + x + 6, _mm_cvtepi32_pd(_mm_unpackhi_epi64(hi, hi)));
    }
#endif
    for (; x < count; ++x) out[x] = double(bytes[x]);
}

// The rows of a step's input after its pre-blur (columns first, then rows),
// as doubles, made when the resample first asks for them and kept in a small
// ring. The resample asks for rows in rising order, at most four neighbours
// at a time, so a ring of 8 never drops a row still in use; the results are
// those of blurring the whole picture, without a full-size buffer for it.
class BlurredRows {
public:
    static constexpr uint32_t kSlots = 8;

    bool Prepare(const uint8_t* source, uint32_t width, uint32_t height, const BlurPass& columns,
                 const BlurPass& rows) {
        source_ = source;
        width_ = width;
        height_ = height;
        stride_ = Stride24(width);
        columns_ = columns;
        rows_ = rows;
        const size_t rowBytes = size_t(width) * 3;
        if (!samples_.Allocate(rowBytes * kSlots) || !line_.Allocate(rowBytes)) return false;
        for (uint32_t i = 0; i < kSlots; ++i) held_[i] = UINT32_MAX;
        return true;
    }

    const double* Row(uint32_t y) {
        const uint32_t slot = y % kSlots;
        const uint32_t rowBytes = width_ * 3;
        double* out = samples_.get() + size_t(slot) * rowBytes;
        if (held_[slot] == y) return out;
        const uint8_t* bytes = source_ + size_t(y) * stride_;
        if (rows_.active) {
            if (columns_.active) {
                BlurColumnsOfRow(columns_, source_, stride_, rowBytes, height_, y, line_.get());
                bytes = line_.get();
            }
            BlurRow(rows_, bytes, width_, out);
        } else if (columns_.active) {
            BlurColumnsOfRow(columns_, source_, stride_, rowBytes, height_, y, out);
        } else {
            ToDoubles(bytes, out, rowBytes);
        }
        held_[slot] = y;
        return out;
    }

private:
    const uint8_t* source_ = nullptr;
    uint32_t width_ = 0, height_ = 0, stride_ = 0;
    BlurPass columns_, rows_;
    PrivateArray<double> samples_;  // kSlots rows
    PrivateArray<uint8_t> line_;    // the column-blurred line before its row blur
    uint32_t held_[kSlots] = {};
};

// --- Bicubic resample -----------------------------------------------------

// Weights and clamped tap indexes for every output index of one direction.
struct TapTable {
    double* weights;   // 4 per output
    uint32_t* taps;    // 4 per output, clamped into 0 .. n - 1
};

void FillTaps(uint32_t n, uint32_t m, TapTable table) {
    const double ratio = double(n) / double(m);
    double x = 0.5 * ratio - 0.5;
    for (uint32_t i = 0; i < m; ++i, x += ratio) {
        const int64_t base = BicubicTapWeights(x, table.weights + size_t(i) * 4);
        for (int k = 0; k < 4; ++k) {
            int64_t p = base + k - 1;
            if (p < 0) p = 0;
            if (p > int64_t(n) - 1) p = int64_t(n) - 1;
            table.taps[size_t(i) * 4 + size_t(k)] = uint32_t(p);
        }
    }
}

// Clamped to 0 .. 255, then truncated.
inline uint8_t ClampTruncate(double v) {
    v = v < 0.0 ? 0.0 : v;
    v = v > 255.0 ? 255.0 : v;
    return uint8_t(int32_t(v));
}

// v[x] = ((w[0] * s0[x] + w[1] * s1[x]) + w[2] * s2[x]) + w[3] * s3[x] for
// x < count. Two lanes at a time do the very same operations.
void CombineRows(const double w[4], const double* s0, const double* s1, const double* s2, const double* s3,
                 double* v, uint32_t count) {
    uint32_t x = 0;
#if defined(__SSE2__)
    const __m128d w0 = _mm_set1_pd(w[0]), w1 = _mm_set1_pd(w[1]), w2 = _mm_set1_pd(w[2]), w3 = _mm_set1_pd(w[3]);
    for (; x + 2 <= count; x += 2) {
        __m128d sum = _mm_add_pd(_mm_mul_pd(w0, _mm_loadu_pd(s0 + x)), _mm_mul_pd(w1, _mm_loadu_pd(s1 + x)));
        sum = _mm_add_pd(sum, _mm_mul_pd(w2, _mm_loadu_pd(s2 + x)));
        sum = _mm_add_pd(sum, _mm_mul_pd(w3, _mm_loadu_pd(s3 + x)));
        _mm_storeu_pd(v + x, sum);
    }
#endif
    for (; x < count; ++x) v[x] = ((w[0] * s0[x] + w[1] * s1[x]) + w[2] * s2[x]) + w[3] * s3[x];
}

// One output pixel from the combined line v:
// out = ((wc0 * v0 + wc1 * v1) + wc2 * v2) + wc3 * v3 per channel.
inline void CombineColumns(const double* wc, const uint32_t* ct, const double* v, uint8_t* out) {
    const double* v0 = v + size_t(ct[0]) * 3;
    const double* v1 = v + size_t(ct[1]) * 3;
    const double* v2 = v + size_t(ct[2]) * 3;
    const double* v3 = v + size_t(ct[3]) * 3;
    for (int c = 0; c < 3; ++c)
        out[c] = ClampTruncate(((wc[0] * v0[c] + wc[1] * v1[c]) + wc[2] * v2[c]) + wc[3] * v3[c]);
}

// The column weights and taps laid out for two output pixels at a time:
// per pair and tap k, the weight of the first pixel twice, that of the second
// twice, and the two side by side; and the offsets 3 x tap of both pixels.
struct PairTable {
    PrivateArray<double> weights;    // 24 per pair
    PrivateArray<uint32_t> offsets;  // 8 per pair
};

bool MakePairTable(const TapTable& columns, uint32_t sw, PairTable& pairs) {
    const size_t count = sw / 2;
    if (count == 0) return true;
    if (!pairs.weights.Allocate(count * 24) || !pairs.offsets.Allocate(count * 8)) return false;
    for (size_t p = 0; p < count; ++p) {
        const double* wa = columns.weights + p * 8;
        const double* wb = wa + 4;
        double* w = pairs.weights.get() + p * 24;
        for (int k = 0; k < 4; ++k, w += 6) {
            w[0] = w[1] = wa[k];
            w[2] = w[3] = wb[k];
            w[4] = wa[k];
            w[5] = wb[k];
        }
        for (size_t k = 0; k < 8; ++k) pairs.offsets[p * 8 + k] = columns.taps[p * 8 + k] * 3;
    }
    return true;
}

// Every output pixel of a row from the combined line v.
void CombineColumnsOfRow(const TapTable& columns, const PairTable& pairs, uint32_t sw, const double* v,
                         uint8_t* out) {
    uint32_t i = 0;
#if defined(__SSE2__)
    // Two pixels at a time: channels 0 and 1 of each pixel in one register,
    // channel 2 of both in a third; every lane sums as the scalar code does.
    const __m128d zero = _mm_setzero_pd(), top = _mm_set1_pd(255.0);
    auto finish = [&](__m128d sum) { return _mm_cvttpd_epi32(_mm_min_pd(_mm_max_pd(sum, zero), top)); };
    const double* w = pairs.weights.get();
    const uint32_t* offsets = pairs.offsets.get();
    for (; i + 2 <= sw; i += 2, out += 6, w += 24, offsets += 8) {
        __m128d sumA = zero, sumB = zero, sumC = zero;
        for (int k = 0; k < 4; ++k) {
            const double* pa = v + offsets[k];
            const double* pb = v + offsets[4 + k];
            const __m128d termA = _mm_mul_pd(_mm_loadu_pd(w + 6 * k), _mm_loadu_pd(pa));
            const __m128d termB = _mm_mul_pd(_mm_loadu_pd(w + 6 * k + 2), _mm_loadu_pd(pb));
            const __m128d termC =
                _mm_mul_pd(_mm_loadu_pd(w + 6 * k + 4), _mm_loadh_pd(_mm_load_sd(pa + 2), pb + 2));
            if (k == 0) {
                sumA = termA;
                sumB = termB;
                sumC = termC;
            } else {
                sumA = _mm_add_pd(sumA, termA);
                sumB = _mm_add_pd(sumB, termB);
                sumC = _mm_add_pd(sumC, termC);
            }
        }
        const __m128i a = finish(sumA), b = finish(sumB), c = finish(sumC);
        // [a0 a1 b0 b1 c0 c1 . .] as 16-bit values, all within 0 .. 255
        const __m128i words = _mm_packs_epi32(_mm_unpacklo_epi64(a, b), c);
        out[0] = uint8_t(_mm_extract_epi16(words, 0));
        out[1] = uint8_t(_mm_extract_epi16(words, 1));
        out[2] = uint8_t(_mm_extract_epi16(words, 4));
        out[3] = uint8_t(_mm_extract_epi16(words, 2));
        out[4] = uint8_t(_mm_extract_epi16(words, 3));
        out[5] = uint8_t(_mm_extract_epi16(words, 5));
    }
#else
    (void)pairs;
#endif
    for (; i < sw; ++i, out += 3) CombineColumns(columns.weights + size_t(i) * 4, columns.taps + size_t(i) * 4, v, out);
}

// One bicubic resample from (cw, ch) to (sw, sh).
//
// Order of the sums, identical on every target: for each output row the four
// row taps are combined first, per column and channel, from the top tap to
// the bottom one: v = ((wr0 * s0 + wr1 * s1) + wr2 * s2) + wr3 * s3, kept in
// double; then the four column taps of that line, from left to right:
// out = ((wc0 * v0 + wc1 * v1) + wc2 * v2) + wc3 * v3. That is the double sum
// of (row weight x column weight) x sample grouped by column tap. A direction
// whose length does not change has the weights 0, 1, 0, 0, for which this sum
// is exactly the middle sample; that pass is then skipped.
uint8_t* BicubicStep(BlurredRows& source, uint32_t cw, uint32_t ch, uint32_t sw, uint32_t sh) {
    // The tables: (sw + sh) entries of 4 weights and 4 tap indexes.
    const size_t entries = size_t(sw) + sh;
    const size_t tableBytes = entries * 4 * (sizeof(double) + sizeof(uint32_t));
    void* block = os::AllocatePixels(tableBytes);
    if (!block) return nullptr;
    double* weights = static_cast<double*>(block);
    uint32_t* taps = reinterpret_cast<uint32_t*>(weights + entries * 4);
    const TapTable columns{weights, taps};
    const TapTable rows{weights + size_t(sw) * 4, taps + size_t(sw) * 4};
    FillTaps(cw, sw, columns);
    FillTaps(ch, sh, rows);

    PixelBlock result;
    PrivateArray<double> line;
    PairTable pairs;
    if (!result.Allocate(sw, sh) || !line.Allocate(size_t(cw) * 3) || (cw != sw && !MakePairTable(columns, sw, pairs))) {
        os::FreePixels(block);
        return nullptr;
    }
    const uint32_t targetStride = Stride24(sw), rowBytes = cw * 3;
    const bool sameHeight = ch == sh, sameWidth = cw == sw;
    for (uint32_t j = 0; j < sh; ++j) {
        const uint32_t* rt = rows.taps + size_t(j) * 4;
        const double* v = line.get();
        if (sameHeight)
            v = source.Row(j);
        else
            CombineRows(rows.weights + size_t(j) * 4, source.Row(rt[0]), source.Row(rt[1]), source.Row(rt[2]),
                        source.Row(rt[3]), line.get(), rowBytes);
        uint8_t* out = result.get() + size_t(j) * targetStride;
        if (sameWidth) {
            for (uint32_t x = 0; x < rowBytes; ++x) out[x] = ClampTruncate(v[x]);
            continue;
        }
        CombineColumnsOfRow(columns, pairs, sw, v, out);
    }
    os::FreePixels(block);
    return result.Release();
}

}  // namespace

uint8_t* BicubicResample(ScalingState& state, const uint8_t* source, uint32_t sourceWidth, uint32_t sourceHeight,
                         uint32_t targetWidth, uint32_t targetHeight) {
    uint32_t widths[kMaxBicubicSteps], heights[kMaxBicubicSteps];
    const uint32_t widthSteps = BicubicStepPlan(sourceWidth, targetWidth, widths);
    const uint32_t heightSteps = BicubicStepPlan(sourceHeight, targetHeight, heights);
    const uint32_t steps = widthSteps > heightSteps ? widthSteps : heightSteps;

    PixelBlock current;  // the previous step's result; the caller's source before the first
    const uint8_t* input = source;
    uint32_t cw = sourceWidth, ch = sourceHeight;
    for (uint32_t step = 0; step < steps; ++step) {
        const uint32_t sw = step < widthSteps ? widths[step] : targetWidth;
        const uint32_t sh = step < heightSteps ? heights[step] : targetHeight;
        // Columns are blurred before rows, each only where it shrinks.
        const BlurPass columns = MakeBlurPass(state, ch, sh);
        const BlurPass rows = MakeBlurPass(state, cw, sw);
        BlurredRows blurred;
        if (!blurred.Prepare(input, cw, ch, columns, rows)) return nullptr;
        uint8_t* next = BicubicStep(blurred, cw, ch, sw, sh);
        if (!next) return nullptr;
        current.Adopt(next);  // the previous step's result goes at once
        input = next;
        cw = sw;
        ch = sh;
    }
    return current.Release();
}

}  // namespace qdx
