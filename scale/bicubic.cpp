// Bicubic resampling (cubic convolution, a = -1, 4 x 4 taps). Reductions of
// more than 4:1 go in steps of at most 4:1, each preceded by an integer
// Gaussian pre-blur in the directions that shrink.
#include "scale/bicubic.h"

#include <atomic>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/worker_pool.h"
#include "scale/bicubic_lanes.h"
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

// BlurSpan into bytes, the widest lanes first.
template <bool wide>
void BlurBytes(Lanes lanes, const uint8_t* c, const uint8_t* a, const uint8_t* b, const uint8_t* d, const uint8_t* e,
               const uint32_t u[3], uint32_t shift, uint8_t* out, size_t count) {
    const size_t done = PreBlurWide(lanes, wide, c, a, b, d, e, u, shift, out, count);
    BlurSpan<wide, uint8_t>(c + done, a + done, b + done, d + done, e + done, u, shift, out + done, count - done);
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
    Lanes lanes = Lanes::Sse2;
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

// Blurs one row of `width` pixels held in `line` into `out`.
void BlurRow(const BlurPass& pass, const uint8_t* line, uint32_t width, uint8_t* out) {
    const uint32_t R = pass.shape.radius, S = pass.shape.shift, rowBytes = width * 3;
    // Pixels R .. width - 1 - R have all their neighbours.
    const uint32_t begin = R * 3, end = width > 2 * R ? (width - R) * 3 : begin;
    const uint32_t edgeBytes = (width < 2 * R ? width : R) * 3;
    const size_t count = end - begin;
    const uint8_t* q = line + begin;
    if (R == 1)
        BlurBytes<false>(pass.lanes, q, q - 3, q + 3, q, q, pass.weights, S, out + begin, count);
    else
        BlurBytes<true>(pass.lanes, q, q - 3, q + 3, q - 6, q + 6, pass.weights, S, out + begin, count);
    for (uint32_t b = 0; b < edgeBytes; ++b) out[b] = EdgeBlur(line + b % 3, 3, b / 3, width, R, pass.u);
    for (uint32_t b = end > edgeBytes ? end : edgeBytes; b < rowBytes; ++b)
        out[b] = EdgeBlur(line + b % 3, 3, b / 3, width, R, pass.u);
}

// --- Rows on demand ----------------------------------------------------------
//
// A step never sees a whole picture: each output row asks the stage before it
// for the few rows it needs, and so on back to the source. Every stage is
// asked for its rows in rising order, at most five neighbours at a time
// (the column pre-blur of radius 2; the bicubic taps span four rows), so a
// ring of 8 rows per stage never drops a row still in use. The bytes are
// those of running every stage over the whole picture, without the
// full-size buffers.

class RowSource {
public:
    // Row y of `width` x 3 bytes; valid until 8 later rows have been asked for.
    virtual const uint8_t* Row(uint32_t y) = 0;

protected:
    ~RowSource() = default;
};

// Rows of a whole picture in memory.
class PictureRows final : public RowSource {
public:
    PictureRows(const uint8_t* pixels, uint32_t width) : pixels_(pixels), stride_(Stride24(width)) {}
    const uint8_t* Row(uint32_t y) override { return pixels_ + size_t(y) * stride_; }

private:
    const uint8_t* pixels_;
    uint32_t stride_;
};

// The last rows a stage made, by row number.
template <typename T>
class RowRing {
public:
    static constexpr uint32_t kSlots = 8;

    bool Allocate(size_t rowLength) {
        rowLength_ = rowLength;
        for (uint32_t i = 0; i < kSlots; ++i) held_[i] = UINT32_MAX;
        return rowLength <= SIZE_MAX / kSlots && rows_.Allocate(rowLength * kSlots);
    }
    bool Holds(uint32_t y) const { return held_[y % kSlots] == y; }
    T* Slot(uint32_t y) {
        held_[y % kSlots] = y;
        return rows_.Get() + size_t(y % kSlots) * rowLength_;
    }

private:
    os::HeapArray<T> rows_;
    size_t rowLength_ = 0;
    uint32_t held_[kSlots] = {};
};

// A step's input after its pre-blur: columns first, then rows, each only
// where the step shrinks that direction.
class BlurredRows final : public RowSource {
public:
    bool Prepare(RowSource* input, uint32_t width, uint32_t height, const BlurPass& columns, const BlurPass& rows) {
        input_ = input;
        width_ = width;
        height_ = height;
        columns_ = columns;
        rows_ = rows;
        if (!columns.active && !rows.active) return true;
        const size_t rowBytes = size_t(width) * 3;
        return ring_.Allocate(rowBytes) && (!(columns.active && rows.active) || line_.Allocate(rowBytes));
    }

    const uint8_t* Row(uint32_t y) override {
        if (!columns_.active && !rows_.active) return input_->Row(y);
        if (ring_.Holds(y)) return ring_.Slot(y);
        uint8_t* out = ring_.Slot(y);
        const uint8_t* bytes = nullptr;
        if (columns_.active) {
            uint8_t* target = rows_.active ? line_.Get() : out;
            BlurColumnsOfRow(y, target);
            bytes = target;
        } else {
            bytes = input_->Row(y);
        }
        if (rows_.active) BlurRow(rows_, bytes, width_, out);
        return out;
    }

private:
    // Row y of the column-blurred picture, into `out`.
    void BlurColumnsOfRow(uint32_t y, uint8_t* out) {
        const uint32_t R = columns_.shape.radius, S = columns_.shape.shift, rowBytes = width_ * 3;
        // Rows y - R .. y + R inside the picture, asked for in rising order.
        const uint8_t* near[5] = {nullptr, nullptr, nullptr, nullptr, nullptr};
        for (uint32_t k = 0; k <= 2 * R; ++k) {
            const int64_t r = int64_t(y) + int64_t(k) - int64_t(R);
            if (r >= 0 && r < int64_t(height_)) near[k] = input_->Row(uint32_t(r));
        }
        const uint8_t* c = near[R];
        if (y >= R && y + R < height_) {
            if (R == 1)
                BlurBytes<false>(columns_.lanes, c, near[0], near[2], c, c, columns_.weights, S, out, rowBytes);
            else
                BlurBytes<true>(columns_.lanes, c, near[1], near[3], near[0], near[4], columns_.weights, S, out, rowBytes);
            return;
        }
        // Near the top or bottom: neighbours outside are left out and the sum
        // is divided by the weights used.
        const uint32_t* u = columns_.weights;
        uint32_t used = u[0];
        for (uint32_t i = 1; i <= R; ++i) used += (near[R - i] ? u[i] : 0) + (near[R + i] ? u[i] : 0);
        for (uint32_t x = 0; x < rowBytes; ++x) {
            uint32_t sum = u[0] * c[x];
            for (uint32_t i = 1; i <= R; ++i) {
                if (near[R - i]) sum += u[i] * near[R - i][x];
                if (near[R + i]) sum += u[i] * near[R + i][x];
            }
            out[x] = uint8_t(sum / used);
        }
    }

    RowSource* input_ = nullptr;
    uint32_t width_ = 0, height_ = 0;
    BlurPass columns_, rows_;
    RowRing<uint8_t> ring_;
    os::HeapArray<uint8_t> line_;  // the column-blurred line before its row blur
};

// --- Bicubic steps -----------------------------------------------------------

// Everything one step needs that does not change from row to row, shared by
// every band of rows: both directions' tap weights (as doubles and, for an
// exact step, as multiples of 2^-9) and clamped taps.
struct StepTables {
    uint32_t cw = 0, ch = 0, sw = 0, sh = 0;
    bool exact = false;
    BlurPass columnBlur, rowBlur;
    ColumnTaps columns{};
    const double* rowWeights = nullptr;  // 4 per output row
    const int32_t* rowExact = nullptr;
    const uint32_t* rowTaps = nullptr;
};

// Weights and clamped taps of every output index of one direction; returns
// whether every weight is a whole multiple of 2^-9 of magnitude at most 1.
bool FillTaps(uint32_t n, uint32_t m, double* weights, int32_t* exact, uint32_t* taps, uint32_t tapScale) {
    const double ratio = double(n) / double(m);
    double x = 0.5 * ratio - 0.5;
    bool whole = true;
    for (uint32_t i = 0; i < m; ++i, x += ratio) {
        const int64_t base = BicubicTapWeights(x, weights + size_t(i) * 4);
        for (int k = 0; k < 4; ++k) {
            int64_t p = base + k - 1;
            if (p < 0) p = 0;
            if (p > int64_t(n) - 1) p = int64_t(n) - 1;
            taps[size_t(i) * 4 + size_t(k)] = uint32_t(p) * tapScale;
            const double scaled = weights[size_t(i) * 4 + size_t(k)] * double(kExactWeightOne);
            const bool fits = scaled >= -double(kExactWeightOne) && scaled <= double(kExactWeightOne) &&
                              scaled == double(int32_t(scaled));
            exact[size_t(i) * 4 + size_t(k)] = fits ? int32_t(scaled) : 0;
            whole = whole && fits;
        }
    }
    return whole;
}

// Two weights as the 16-bit pair of a multiply-add, the first in the low half.
int32_t WeightPair(int32_t first, int32_t second) {
    return int32_t(uint32_t(uint16_t(first)) | (uint32_t(uint16_t(second)) << 16));
}

// The exact pairs of every output pixel, and the run of pixels whose four
// taps are neighbours with 16 bytes from the first inside a line of
// `lineBytes`.
void FillColumnRun(ColumnTaps& t, int32_t* pairs, uint32_t lineBytes) {
    auto inRun = [&](uint32_t i) {
        const uint32_t* o = t.offsets + size_t(i) * 4;
        return o[1] == o[0] + 3 && o[2] == o[0] + 6 && o[3] == o[0] + 9 && uint64_t(o[0]) + 16 <= lineBytes;
    };
    for (uint32_t i = 0; i < t.pixels; ++i) {
        const int32_t* b = t.exact + size_t(i) * 4;
        pairs[size_t(i) * 2] = WeightPair(b[0], b[1]);
        pairs[size_t(i) * 2 + 1] = WeightPair(b[2], b[3]);
    }
    t.exactPairs = pairs;
    uint32_t first = 0;
    while (first < t.pixels && !inRun(first)) ++first;
    uint32_t last = first;
    while (last < t.pixels && inRun(last)) ++last;
    t.runFirst = first;
    t.runLast = last;
}

// The tables of one step in one block from the pixel allocator.
class TableBlock {
public:
    bool Build(uint32_t cw, uint32_t ch, uint32_t sw, uint32_t sh, bool allowExact, StepTables& t) {
        const size_t entries = (size_t(sw) + sh) * 4;
        const size_t pairs = size_t(sw) * 2;
        if (!block_.Allocate(entries * (sizeof(double) + sizeof(int32_t) + sizeof(uint32_t)) + pairs * sizeof(int32_t)))
            return false;
        double* weights = reinterpret_cast<double*>(block_.Get());
        int32_t* exact = reinterpret_cast<int32_t*>(weights + entries);
        uint32_t* taps = reinterpret_cast<uint32_t*>(exact + entries);
        int32_t* columnPairs = reinterpret_cast<int32_t*>(taps + entries);
        const size_t c = size_t(sw) * 4;
        const bool columnsWhole = FillTaps(cw, sw, weights, exact, taps, 3);
        const bool rowsWhole = FillTaps(ch, sh, weights + c, exact + c, taps + c, 1);
        t.cw = cw, t.ch = ch, t.sw = sw, t.sh = sh;
        t.exact = allowExact && columnsWhole && rowsWhole;
        t.columns = ColumnTaps{weights, exact, nullptr, taps, sw, 0, 0};
        FillColumnRun(t.columns, columnPairs, cw * 3);
        t.rowWeights = weights + c, t.rowExact = exact + c, t.rowTaps = taps + c;
        return true;
    }

private:
    os::PixelMemory block_;
};

// The rows of one bicubic step from (cw, ch) to (sw, sh), made on demand.
//
// Order of the sums, identical on every target and in every lane: for each
// output row the four row taps are combined first, per column and channel,
// from the top tap to the bottom one: v = ((wr0 * s0 + wr1 * s1) + wr2 * s2) +
// wr3 * s3, kept in double; then the four column taps of that line, from left
// to right: out = ((wc0 * v0 + wc1 * v1) + wc2 * v2) + wc3 * v3, clamped and
// truncated. That is the double sum of (row weight x column weight) x sample
// grouped by column tap. An exact step computes the same numbers in integers,
// columns first, each source row's column sums made once and kept for the
// output rows that share it (see bicubic_lanes.cpp for why they are equal).
class StepRows final : public RowSource {
public:
    bool Prepare(RowSource* input, const StepTables& tables, Lanes lanes) {
        input_ = input;
        t_ = &tables;
        lanes_ = lanes;
        if (tables.exact) return columnSums_.Allocate(size_t(tables.sw) * 3 + kLineSlack) && ring_.Allocate(size_t(tables.sw) * 3);
        return doubleLine_.Allocate(size_t(tables.cw) * 3 + kLineSlack) && ring_.Allocate(size_t(tables.sw) * 3);
    }

    const uint8_t* Row(uint32_t j) override {
        if (ring_.Holds(j)) return ring_.Slot(j);
        uint8_t* out = ring_.Slot(j);
        Produce(j, out);
        return out;
    }

    // Output row j into `out` (sw x 3 bytes).
    void Produce(uint32_t j, uint8_t* out) {
        const uint32_t* rt = t_->rowTaps + size_t(j) * 4;
        if (t_->exact) {
            const int32_t* lines[4];
            int16_t weights[4];
            for (int k = 0; k < 4; ++k) {
                lines[k] = ColumnSums(rt[k]);
                weights[k] = int16_t(t_->rowExact[size_t(j) * 4 + size_t(k)]);
            }
            CombineRowsExact(lanes_, lines, weights, out, size_t(t_->sw) * 3);
            return;
        }
        RowTaps taps;
        for (int k = 0; k < 4; ++k) {
            taps.rows[k] = input_->Row(rt[k]);
            taps.weights[k] = t_->rowWeights[size_t(j) * 4 + size_t(k)];
        }
        CombineRowsDouble(lanes_, taps, doubleLine_.Get(), size_t(t_->cw) * 3);
        CombineColumnsDouble(lanes_, t_->columns, doubleLine_.Get(), out);
    }

private:
    // The column sums of input row y. An output row's four taps are at most
    // four neighbouring rows, asked for in rising order, so the ring keeps
    // every one still needed.
    const int32_t* ColumnSums(uint32_t y) {
        if (columnSums_.Holds(y)) return columnSums_.Slot(y);
        int32_t* line = columnSums_.Slot(y);
        CombineColumnsExact(lanes_, t_->columns, input_->Row(y), line);
        return line;
    }

    RowSource* input_ = nullptr;
    const StepTables* t_ = nullptr;
    Lanes lanes_ = Lanes::Sse2;
    RowRing<uint8_t> ring_;
    RowRing<int32_t> columnSums_;  // sw x 3 values and the slack per slot
    os::HeapArray<double> doubleLine_;
};

// Output rows first .. last - 1 of the whole resample, through every step,
// with a chain of its own.
bool RunBand(const uint8_t* source, uint32_t sourceWidth, const StepTables* steps, uint32_t stepCount, Lanes lanes,
             uint8_t* result, uint32_t first, uint32_t last) {
    PictureRows picture(source, sourceWidth);
    BlurredRows blurred[kMaxBicubicSteps];
    StepRows made[kMaxBicubicSteps];
    RowSource* input = &picture;
    for (uint32_t s = 0; s < stepCount; ++s) {
        const StepTables& t = steps[s];
        if (!blurred[s].Prepare(input, t.cw, t.ch, t.columnBlur, t.rowBlur) || !made[s].Prepare(&blurred[s], t, lanes))
            return false;
        input = &made[s];
    }
    const StepTables& final = steps[stepCount - 1];
    const uint32_t stride = Stride24(final.sw);
    for (uint32_t j = first; j < last; ++j) made[stepCount - 1].Produce(j, result + size_t(j) * stride);
    return true;
}

// Bands of output rows for the pool: a few per thread so that an uneven band
// does not leave threads idle, but not so thin that the rows each band
// re-makes at its top edge add up.
constexpr uint32_t kBandsPerThread = 4;
constexpr uint32_t kMinBandRows = 16;

uint32_t BandCount(const WorkerPool* pool, uint32_t rows) {
    const uint32_t threads = pool ? pool->Threads() : 1;
    if (threads <= 1) return 1;
    uint32_t bands = threads * kBandsPerThread;
    const uint32_t thickest = rows / kMinBandRows;
    if (bands > thickest) bands = thickest;
    return bands < 1 ? 1 : bands;
}

}  // namespace

os::PixelMemory BicubicResample(ScalingState& state, const uint8_t* source, uint32_t sourceWidth,
                                uint32_t sourceHeight, uint32_t targetWidth, uint32_t targetHeight) {
    uint32_t widths[kMaxBicubicSteps], heights[kMaxBicubicSteps];
    const uint32_t widthSteps = BicubicStepPlan(sourceWidth, targetWidth, widths);
    const uint32_t heightSteps = BicubicStepPlan(sourceHeight, targetHeight, heights);
    const uint32_t stepCount = widthSteps > heightSteps ? widthSteps : heightSteps;

    const Lanes lanes = LanesAvailable(state.lanes) ? state.lanes : BestLanes();
    StepTables steps[kMaxBicubicSteps];
    TableBlock blocks[kMaxBicubicSteps];
    uint32_t cw = sourceWidth, ch = sourceHeight;
    for (uint32_t s = 0; s < stepCount; ++s) {
        const uint32_t sw = s < widthSteps ? widths[s] : targetWidth;
        const uint32_t sh = s < heightSteps ? heights[s] : targetHeight;
        if (!blocks[s].Build(cw, ch, sw, sh, state.exactIntegers, steps[s])) return {};
        // Columns are blurred before rows, each only where it shrinks.
        steps[s].columnBlur = MakeBlurPass(state, ch, sh);
        steps[s].rowBlur = MakeBlurPass(state, cw, sw);
        steps[s].columnBlur.lanes = steps[s].rowBlur.lanes = lanes;
        ++(steps[s].exact ? state.exactSteps : state.doubleSteps);
        cw = sw;
        ch = sh;
    }

    os::PixelMemory result = AllocatePixelBuffer(targetWidth, targetHeight, 24);
    if (!result) return {};
    const uint32_t bands = BandCount(state.pool, targetHeight);
    std::atomic<bool> failed{false};
    ForEachIndex(state.pool, bands, [&](uint32_t band) {
        const uint32_t first = uint32_t(uint64_t(targetHeight) * band / bands);
        const uint32_t last = uint32_t(uint64_t(targetHeight) * (band + 1) / bands);
        if (!RunBand(source, sourceWidth, steps, stepCount, lanes, result.Get(), first, last)) failed = true;
    });
    if (failed) return {};
    return result;
}

}  // namespace qdx
