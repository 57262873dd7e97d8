// Area averaging (reduction) and linear interpolation (enlargement), one
// direction at a time: columns first, then rows.
//
// Everything that depends only on the position along a line (where an output
// closes, how much of the closing sample carries over, interpolation
// fractions) is worked out once per pass into a plan and then applied to every
// line, so the column pass runs over whole stored rows with the same control
// flow for every byte. The per-sample arithmetic is unchanged by this: each
// output is still D[a - carry] with carry = trunc(q * s + 0.5), and each
// interpolated sample trunc(q[r] * f + q[l] * (1 - f) + 0.5).
#include <atomic>
#include <cstring>

#include "core/worker_pool.h"
#include "scale/filters.h"

namespace qdx {

namespace {

// Area averaging of n samples into m < n.
struct ReducePlan {
    os::HeapArray<uint8_t> divide;    // D[k] = trunc(k / d + 0.5), D[L + 1] = 255
    uint32_t lastIndex = 0;           // L + 1: sums are capped here
    os::HeapArray<int32_t> closing;   // per sample 0 .. n-2: output it closes, or -1
    os::HeapArray<double> remainder;  // per output: s after the subtraction of d
};

bool MakeReducePlan(uint32_t n, uint32_t m, ReducePlan& plan) {
    const double d = double(n) / double(m);
    // The running sum never exceeds 255 * (d + 2); keep it and the table in
    // 31 bits (a table of 2 GiB could not be had anyway).
    if (255.0 * (d + 2.0) >= 2147483647.0) return false;
    const uint32_t L = uint32_t(255.0 * d + 0.5);
    if (!plan.divide.Allocate(size_t(L) + 2)) return false;
    for (uint32_t k = 0; k <= L; ++k) {
        const double v = double(k) / d + 0.5;
        plan.divide[k] = uint8_t(v >= 255.0 ? 255 : uint32_t(v));
    }
    plan.divide[L + 1] = 255;
    plan.lastIndex = L + 1;

    if (!plan.closing.Allocate(n) || !plan.remainder.Allocate(m)) return false;
    double s = 0.0;
    uint32_t emitted = 0;
    for (uint32_t k = 0; k + 1 < n; ++k) {
        s += 1.0;
        plan.closing[k] = -1;
        // The last output is always closed by the last sample.
        if (s >= d && emitted + 1 < m) {
            s -= d;
            plan.remainder[emitted] = s;
            plan.closing[k] = int32_t(emitted);
            ++emitted;
        }
    }
    // With exact arithmetic every output but the last closes inside the loop;
    // should rounding ever lose one, those outputs repeat the last one.
    return true;
}

inline uint32_t Carry(uint32_t q, double s) { return uint32_t(double(q) * s + 0.5); }

// Linear interpolation of n samples into m > n.
struct EnlargePlan {
    os::HeapArray<uint32_t> left, right;
    os::HeapArray<double> fraction;  // f
};

bool MakeEnlargePlan(uint32_t n, uint32_t m, EnlargePlan& plan) {
    if (!plan.left.Allocate(m) || !plan.right.Allocate(m) || !plan.fraction.Allocate(m)) return false;
    const double ratio = double(n) / double(m);
    double x = 0.5 * ratio - 0.5;
    for (uint32_t i = 0; i < m; ++i, x += ratio) {
        const double p = x < 0.0 ? 0.0 : x;
        uint32_t l = uint32_t(p);
        double f = p - double(l);
        if (l >= n) {  // only reachable through rounding: stay on the last sample
            l = n - 1;
            f = 0.0;
        }
        plan.left[i] = l;
        plan.right[i] = l + 1 == n ? l : l + 1;
        plan.fraction[i] = f;
    }
    return true;
}

inline uint8_t Interpolate(uint32_t ql, uint32_t qr, double f) {
    return uint8_t(uint32_t(double(qr) * f + double(ql) * (1.0 - f) + 0.5));
}

// Columns: every stored row of `source` (width bytes used of each) is one
// sample of all columns at once.
bool ReduceColumns(const uint8_t* source, uint32_t stride, uint32_t rowBytes, uint32_t n, uint8_t* target,
                   uint32_t m) {
    ReducePlan plan;
    os::HeapArray<uint32_t> sums;
    if (!MakeReducePlan(n, m, plan) || !sums.Allocate(rowBytes)) return false;
    const uint8_t* D = plan.divide.Get();
    const uint32_t cap = plan.lastIndex;
    uint32_t* a = sums.Get();
    uint32_t carry[256];
    uint32_t produced = 0;
    for (uint32_t k = 0; k + 1 < n; ++k) {
        const uint8_t* q = source + size_t(k) * stride;
        const int32_t closes = plan.closing[k];
        if (closes < 0) {
            for (uint32_t x = 0; x < rowBytes; ++x) a[x] += q[x];
            continue;
        }
        const double s = plan.remainder[uint32_t(closes)];
        for (uint32_t v = 0; v < 256; ++v) carry[v] = Carry(v, s);
        uint8_t* out = target + size_t(closes) * stride;
        for (uint32_t x = 0; x < rowBytes; ++x) {
            const uint32_t c = carry[q[x]];
            const uint32_t total = a[x] + q[x] - c;
            out[x] = D[total < cap ? total : cap];
            a[x] = c;
        }
        produced = uint32_t(closes) + 1;
    }
    const uint8_t* q = source + size_t(n - 1) * stride;
    uint8_t* last = target + size_t(m - 1) * stride;
    for (uint32_t x = 0; x < rowBytes; ++x) {
        const uint32_t total = a[x] + q[x];
        last[x] = D[total < cap ? total : cap];
    }
    for (uint32_t j = produced; j + 1 < m; ++j) std::memcpy(target + size_t(j) * stride, last, rowBytes);
    return true;
}

bool EnlargeColumns(const uint8_t* source, uint32_t stride, uint32_t rowBytes, uint32_t n, uint8_t* target,
                    uint32_t m) {
    EnlargePlan plan;
    if (!MakeEnlargePlan(n, m, plan)) return false;
    double weightRight[256], weightLeft[256];
    for (uint32_t i = 0; i < m; ++i) {
        const uint8_t* ql = source + size_t(plan.left[i]) * stride;
        const uint8_t* qr = source + size_t(plan.right[i]) * stride;
        uint8_t* out = target + size_t(i) * stride;
        const double f = plan.fraction[i];
        const double g = 1.0 - f;
        // The two products per sample value, as the formula forms them.
        for (uint32_t v = 0; v < 256; ++v) {
            weightRight[v] = double(v) * f;
            weightLeft[v] = double(v) * g;
        }
        for (uint32_t x = 0; x < rowBytes; ++x)
            out[x] = uint8_t(uint32_t(weightRight[qr[x]] + weightLeft[ql[x]] + 0.5));
    }
    return true;
}

// Rows: each stored row is one line of pixels of 3 interleaved channels.
bool ReduceRows(const uint8_t* source, uint32_t sourceStride, uint32_t n, uint8_t* target, uint32_t targetStride,
                uint32_t m, uint32_t height) {
    ReducePlan plan;
    if (!MakeReducePlan(n, m, plan)) return false;
    const uint8_t* D = plan.divide.Get();
    const uint32_t cap = plan.lastIndex;
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* q = source + size_t(y) * sourceStride;
        uint8_t* out = target + size_t(y) * targetStride;
        uint32_t a0 = 0, a1 = 0, a2 = 0, produced = 0;
        for (uint32_t k = 0; k + 1 < n; ++k, q += 3) {
            a0 += q[0];
            a1 += q[1];
            a2 += q[2];
            const int32_t closes = plan.closing[k];
            if (closes < 0) continue;
            const double s = plan.remainder[uint32_t(closes)];
            const uint32_t c0 = Carry(q[0], s), c1 = Carry(q[1], s), c2 = Carry(q[2], s);
            uint8_t* o = out + size_t(closes) * 3;
            a0 -= c0;
            a1 -= c1;
            a2 -= c2;
            o[0] = D[a0 < cap ? a0 : cap];
            o[1] = D[a1 < cap ? a1 : cap];
            o[2] = D[a2 < cap ? a2 : cap];
            a0 = c0;
            a1 = c1;
            a2 = c2;
            produced = uint32_t(closes) + 1;
        }
        a0 += q[0];
        a1 += q[1];
        a2 += q[2];
        uint8_t* o = out + size_t(m - 1) * 3;
        o[0] = D[a0 < cap ? a0 : cap];
        o[1] = D[a1 < cap ? a1 : cap];
        o[2] = D[a2 < cap ? a2 : cap];
        for (uint32_t j = produced; j + 1 < m; ++j) std::memcpy(out + size_t(j) * 3, o, 3);
    }
    return true;
}

bool EnlargeRows(const uint8_t* source, uint32_t sourceStride, uint32_t n, uint8_t* target, uint32_t targetStride,
                 uint32_t m, uint32_t height) {
    EnlargePlan plan;
    if (!MakeEnlargePlan(n, m, plan)) return false;
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* q = source + size_t(y) * sourceStride;
        uint8_t* out = target + size_t(y) * targetStride;
        for (uint32_t i = 0; i < m; ++i, out += 3) {
            const uint8_t* ql = q + size_t(plan.left[i]) * 3;
            const uint8_t* qr = q + size_t(plan.right[i]) * 3;
            const double f = plan.fraction[i];
            out[0] = Interpolate(ql[0], qr[0], f);
            out[1] = Interpolate(ql[1], qr[1], f);
            out[2] = Interpolate(ql[2], qr[2], f);
        }
    }
    return true;
}

// Splits `count` lines (byte columns or rows) into a few pieces for the
// pool; each line is computed alone, so the split does not change a byte.
// Column pieces are whole cache lines wide.
constexpr uint32_t kPiecesPerThread = 4;
constexpr uint32_t kCacheLine = 64;

uint32_t PieceCount(const WorkerPool* pool, uint32_t count, uint32_t smallest) {
    const uint32_t threads = pool ? pool->Threads() : 1;
    uint32_t pieces = threads <= 1 ? 1 : threads * kPiecesPerThread;
    if (pieces > count / smallest) pieces = count / smallest;
    return pieces < 1 ? 1 : pieces;
}

uint32_t PieceStart(uint32_t count, uint32_t pieces, uint32_t piece, uint32_t alignment) {
    if (piece >= pieces) return count;
    const uint32_t start = uint32_t(uint64_t(count) * piece / pieces) / alignment * alignment;
    return start > count ? count : start;
}

}  // namespace

os::PixelMemory AreaAverageResample(const uint8_t* source, uint32_t sourceWidth, uint32_t sourceHeight,
                                    uint32_t targetWidth, uint32_t targetHeight, WorkerPool* pool) {
    const uint32_t sourceStride = Stride24(sourceWidth);
    const uint8_t* current = source;
    os::PixelMemory columns;
    std::atomic<bool> failed{false};
    if (targetHeight != sourceHeight) {
        columns = AllocatePixelBuffer(sourceWidth, targetHeight, 24);
        if (!columns) return {};
        const uint32_t rowBytes = sourceWidth * 3;
        const uint32_t pieces = PieceCount(pool, rowBytes, kCacheLine);
        uint8_t* target = columns.Get();
        ForEachIndex(pool, pieces, [&](uint32_t piece) {
            const uint32_t first = PieceStart(rowBytes, pieces, piece, kCacheLine);
            const uint32_t width = PieceStart(rowBytes, pieces, piece + 1, kCacheLine) - first;
            if (width == 0) return;
            const bool done = targetHeight < sourceHeight
                                  ? ReduceColumns(source + first, sourceStride, width, sourceHeight, target + first,
                                                  targetHeight)
                                  : EnlargeColumns(source + first, sourceStride, width, sourceHeight, target + first,
                                                   targetHeight);
            if (!done) failed = true;
        });
        if (failed) return {};
        current = columns.Get();
    }
    if (targetWidth == sourceWidth) {
        if (current == source) return {};  // same size: handled by the caller
        return columns;
    }
    os::PixelMemory rows = AllocatePixelBuffer(targetWidth, targetHeight, 24);
    if (!rows) return {};
    const uint32_t targetStride = Stride24(targetWidth);
    const uint32_t pieces = PieceCount(pool, targetHeight, 1);
    ForEachIndex(pool, pieces, [&](uint32_t piece) {
        const uint32_t first = PieceStart(targetHeight, pieces, piece, 1);
        const uint32_t height = PieceStart(targetHeight, pieces, piece + 1, 1) - first;
        const uint8_t* in = current + size_t(first) * sourceStride;
        uint8_t* out = rows.Get() + size_t(first) * targetStride;
        const bool done = targetWidth < sourceWidth
                              ? ReduceRows(in, sourceStride, sourceWidth, out, targetStride, targetWidth, height)
                              : EnlargeRows(in, sourceStride, sourceWidth, out, targetStride, targetWidth, height);
        if (!done) failed = true;
    });
    if (failed) return {};
    return rows;
}

}  // namespace qdx
