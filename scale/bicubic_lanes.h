#pragma once
// The inner loops of a bicubic step, in the instruction sets a processor may
// have. Every version gives the same bytes: the exact versions work in
// integers whose every sum is exact, the double versions sum each sample in
// the one fixed order whatever lane it lands in.
#include <cstddef>
#include <cstdint>

namespace qdx {

// Instruction sets the inner loops can use, from the x86-64 floor upwards.
enum class Lanes : uint8_t { Sse2, Sse41, Avx2 };

// The best set this processor runs (checked once).
Lanes BestLanes();
// True when this processor runs `lanes`.
bool LanesAvailable(Lanes lanes);

// Weights of an exact step are whole multiples of 2^-9 (kExactWeightBits).
inline constexpr uint32_t kExactWeightBits = 9;
inline constexpr int32_t kExactWeightOne = 1 << kExactWeightBits;

// Four row weights and the four rows they weigh; every row holds `count`
// byte samples.
struct RowTaps {
    const uint8_t* rows[4];
    double weights[4];
};

// Column weights and byte offsets (3 x tap) of every output pixel of a row.
// Pixels runFirst .. runLast - 1 have four neighbouring taps whose 16 bytes
// from the first tap lie inside the line, so one load reaches all of them.
struct ColumnTaps {
    const double* weights;     // 4 per pixel
    const int32_t* exact;      // 4 per pixel, multiples of 2^-9
    const int32_t* exactPairs; // 2 per pixel: (b0, b1) and (b2, b3) as 16-bit pairs
    const uint32_t* offsets;   // 4 per pixel
    uint32_t pixels;
    uint32_t runFirst, runLast;
};

// An exact step sums in integers, columns first: each source row becomes a
// line of h = b0 s0 + b1 s1 + b2 s2 + b3 s3 per pixel and channel (pixels x 3
// values and kLineSlack to spare), then four such lines become output bytes,
// out = clamp((a0 h0 + a1 h1 + a2 h2 + a3 h3) >> 18, 0, 255).
void CombineColumnsExact(Lanes lanes, const ColumnTaps& taps, const uint8_t* row, int32_t* line);
void CombineRowsExact(Lanes lanes, const int32_t* const lines[4], const int16_t weights[4], uint8_t* out,
                      size_t count);

// line[x] = ((w0 s0[x] + w1 s1[x]) + w2 s2[x]) + w3 s3[x] in doubles.
void CombineRowsDouble(Lanes lanes, const RowTaps& taps, double* line, size_t count);
// out = trunc(clamp(((w0 v0 + w1 v1) + w2 v2) + w3 v3, 0, 255)) per pixel
// and channel.
void CombineColumnsDouble(Lanes lanes, const ColumnTaps& taps, const double* line, uint8_t* out);

// The pre-blur of `count` samples: out[x] = low byte of (u0 c[x] +
// u1 (a[x] + b[x]) + u2 (d[x] + e[x])) >> shift, the u2 term only when `wide`.
// Does the first samples where the lanes are wider than SSE2 and returns how
// many it did (0 otherwise); exact integers, so in any order.
size_t PreBlurWide(Lanes lanes, bool wide, const uint8_t* c, const uint8_t* a, const uint8_t* b, const uint8_t* d,
                   const uint8_t* e, const uint32_t u[3], uint32_t shift, uint8_t* out, size_t count);

// Values past the end of a line that the column loops may read or write
// (and ignore): lines are allocated with this much to spare.
inline constexpr size_t kLineSlack = 4;

}  // namespace qdx
