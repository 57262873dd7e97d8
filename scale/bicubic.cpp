// Bicubic resampling (cubic convolution, a = -1, 4 x 4 taps). Reductions of
// more than 4:1 go in steps of at most 4:1, each preceded by an integer
// Gaussian pre-blur in the directions that shrink.
#include "scale/bicubic.h"

#include <cmath>
#include <cstring>

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
};

BlurPass MakeBlurPass(ScalingState& state, uint32_t from, uint32_t to) {
    BlurPass pass;
    if (to >= from) return pass;
    pass.active = true;
    pass.shape = PreparePreBlur(state, double(from) / double(to));
    for (int i = 0; i < 3; ++i) pass.u[i] = state.preBlurWeights[i];
    return pass;
}

// Stored row y of the column-blurred picture, into `out`.
void BlurColumnsOfRow(const BlurPass& pass, const uint8_t* source, uint32_t stride, uint32_t rowBytes,
                      uint32_t height, uint32_t y, uint8_t* __restrict out) {
    const uint32_t R = pass.shape.radius, S = pass.shape.shift;
    const uint32_t u0 = uint32_t(pass.u[0]), u1 = uint32_t(pass.u[1]), u2 = uint32_t(pass.u[2]);
    if (y < R || y + R >= height) {
        for (uint32_t x = 0; x < rowBytes; ++x) out[x] = EdgeBlur(source + x, stride, y, height, R, pass.u);
        return;
    }
    const uint8_t* __restrict c = source + size_t(y) * stride;
    const uint8_t* __restrict up1 = c - stride;
    const uint8_t* __restrict dn1 = c + stride;
    if (R == 1) {
        for (uint32_t x = 0; x < rowBytes; ++x) out[x] = uint8_t((u0 * c[x] + u1 * (uint32_t(up1[x]) + dn1[x])) >> S);
    } else {
        const uint8_t* __restrict up2 = up1 - stride;
        const uint8_t* __restrict dn2 = dn1 + stride;
        for (uint32_t x = 0; x < rowBytes; ++x)
            out[x] = uint8_t((u0 * c[x] + u1 * (uint32_t(up1[x]) + dn1[x]) + u2 * (uint32_t(up2[x]) + dn2[x])) >> S);
    }
}

// Blurs one row of `width` pixels held in `line` into `out`.
void BlurRow(const BlurPass& pass, const uint8_t* __restrict line, uint32_t width, uint8_t* __restrict out) {
    const uint32_t R = pass.shape.radius, S = pass.shape.shift, rowBytes = width * 3;
    const uint32_t u0 = uint32_t(pass.u[0]), u1 = uint32_t(pass.u[1]), u2 = uint32_t(pass.u[2]);
    // Pixels R .. width - 1 - R have all their neighbours.
    const uint32_t begin = R * 3, end = width > 2 * R ? (width - R) * 3 : begin;
    const uint32_t edgeBytes = (width < 2 * R ? width : R) * 3;
    const ptrdiff_t count = ptrdiff_t(end) - ptrdiff_t(begin);
    const uint8_t* __restrict q = line + begin;
    uint8_t* __restrict o = out + begin;
    if (R == 1) {
        for (ptrdiff_t i = 0; i < count; ++i) o[i] = uint8_t((u0 * q[i] + u1 * (uint32_t(q[i - 3]) + q[i + 3])) >> S);
    } else {
        for (ptrdiff_t i = 0; i < count; ++i)
            o[i] = uint8_t((u0 * q[i] + u1 * (uint32_t(q[i - 3]) + q[i + 3]) + u2 * (uint32_t(q[i - 6]) + q[i + 6])) >>
                           S);
    }
    for (uint32_t b = 0; b < edgeBytes; ++b) out[b] = EdgeBlur(line + b % 3, 3, b / 3, width, R, pass.u);
    for (uint32_t b = end > edgeBytes ? end : edgeBytes; b < rowBytes; ++b)
        out[b] = EdgeBlur(line + b % 3, 3, b / 3, width, R, pass.u);
}

// The rows of a step's input after its pre-blur (columns first, then rows),
// made when the resample first asks for them and kept in a small ring. The
// resample asks for rows in rising order, at most four neighbours at a time,
// so a ring of 8 never drops a row still in use; the results are those of
// blurring the whole picture, without a full-size buffer for it.
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
        if (!columns.active && !rows.active) return true;
        const size_t rowBytes = size_t(width) * 3;
        if (!ring_.Allocate(rowBytes * (kSlots + 1))) return false;
        for (uint32_t i = 0; i < kSlots; ++i) held_[i] = UINT32_MAX;
        return true;
    }

    const uint8_t* Row(uint32_t y) {
        if (!columns_.active && !rows_.active) return source_ + size_t(y) * stride_;
        const uint32_t slot = y % kSlots;
        const size_t rowBytes = size_t(width_) * 3;
        uint8_t* out = ring_.get() + slot * rowBytes;
        if (held_[slot] == y) return out;
        if (rows_.active) {
            uint8_t* line = ring_.get() + kSlots * rowBytes;
            if (columns_.active)
                BlurColumnsOfRow(columns_, source_, stride_, uint32_t(rowBytes), height_, y, line);
            else
                std::memcpy(line, source_ + size_t(y) * stride_, rowBytes);
            BlurRow(rows_, line, width_, out);
        } else {
            BlurColumnsOfRow(columns_, source_, stride_, uint32_t(rowBytes), height_, y, out);
        }
        held_[slot] = y;
        return out;
    }

private:
    const uint8_t* source_ = nullptr;
    uint32_t width_ = 0, height_ = 0, stride_ = 0;
    BlurPass columns_, rows_;
    PrivateArray<uint8_t> ring_;  // kSlots rows and one working line
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
    if (!result.Allocate(sw, sh) || !line.Allocate(size_t(cw) * 3)) {
        os::FreePixels(block);
        return nullptr;
    }
    const uint32_t targetStride = Stride24(sw), rowBytes = cw * 3;
    const bool sameHeight = ch == sh, sameWidth = cw == sw;
    double* __restrict v = line.get();
    for (uint32_t j = 0; j < sh; ++j) {
        const uint32_t* rt = rows.taps + size_t(j) * 4;
        if (sameHeight) {
            const uint8_t* s = source.Row(j);
            for (uint32_t x = 0; x < rowBytes; ++x) v[x] = double(s[x]);
        } else {
            const double* wr = rows.weights + size_t(j) * 4;
            const double w0 = wr[0], w1 = wr[1], w2 = wr[2], w3 = wr[3];
            const uint8_t* __restrict s0 = source.Row(rt[0]);
            const uint8_t* __restrict s1 = source.Row(rt[1]);
            const uint8_t* __restrict s2 = source.Row(rt[2]);
            const uint8_t* __restrict s3 = source.Row(rt[3]);
            for (uint32_t x = 0; x < rowBytes; ++x)
                v[x] = ((w0 * double(s0[x]) + w1 * double(s1[x])) + w2 * double(s2[x])) + w3 * double(s3[x]);
        }
        uint8_t* out = result.get() + size_t(j) * targetStride;
        if (sameWidth) {
            for (uint32_t x = 0; x < rowBytes; ++x) out[x] = ClampTruncate(v[x]);
            continue;
        }
        for (uint32_t i = 0; i < sw; ++i, out += 3) {
            const double* wc = columns.weights + size_t(i) * 4;
            const uint32_t* ct = columns.taps + size_t(i) * 4;
            const double* v0 = v + size_t(ct[0]) * 3;
            const double* v1 = v + size_t(ct[1]) * 3;
            const double* v2 = v + size_t(ct[2]) * 3;
            const double* v3 = v + size_t(ct[3]) * 3;
            for (int c = 0; c < 3; ++c)
                out[c] = ClampTruncate(((wc[0] * v0[c] + wc[1] * v1[c]) + wc[2] * v2[c]) + wc[3] * v3[c]);
        }
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
