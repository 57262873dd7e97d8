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

// Four row weights (as doubles, or as multiples of 2^-9) and the four rows
// they weigh; every row holds `count` byte samples.
struct RowTaps {
    const uint8_t* rows[4];
    double weights[4];
    int16_t exact[4];
};

// Column weights and byte offsets (3 x tap) of every output pixel of a row.
struct ColumnTaps {
    const double* weights;   // 4 per pixel
    const int32_t* exact;    // 4 per pixel, multiples of 2^-9
    const uint32_t* offsets; // 4 per pixel
    uint32_t pixels;
};

// line[x] = a0 s0[x] + a1 s1[x] + a2 s2[x] + a3 s3[x] in integers, for x < count.
void CombineRowsExact(Lanes lanes, const RowTaps& taps, int32_t* line, size_t count);
// out = clamp((b0 l0 + b1 l1 + b2 l2 + b3 l3) >> 18, 0, 255) per pixel and channel.
void CombineColumnsExact(Lanes lanes, const ColumnTaps& taps, const int32_t* line, uint8_t* out);
// out = clamp(line >> 9, 0, 255): a row whose width does not change.
void FinishRowExact(const int32_t* line, uint8_t* out, size_t count);

// line[x] = ((w0 s0[x] + w1 s1[x]) + w2 s2[x]) + w3 s3[x] in doubles.
void CombineRowsDouble(Lanes lanes, const RowTaps& taps, double* line, size_t count);
// out = trunc(clamp(((w0 v0 + w1 v1) + w2 v2) + w3 v3, 0, 255)) per pixel
// and channel.
void CombineColumnsDouble(Lanes lanes, const ColumnTaps& taps, const double* line, uint8_t* out);
// out = trunc(clamp(line, 0, 255)): a row whose width does not change.
void FinishRowDouble(const double* line, uint8_t* out, size_t count);

// The pre-blur of `count` samples: out[x] = low byte of (u0 c[x] +
// u1 (a[x] + b[x]) + u2 (d[x] + e[x])) >> shift, the u2 term only when `wide`.
// Does the first samples where the lanes are wider than SSE2 and returns how
// many it did (0 otherwise); exact integers, so in any order.
size_t PreBlurWide(Lanes lanes, bool wide, const uint8_t* c, const uint8_t* a, const uint8_t* b, const uint8_t* d,
                   const uint8_t* e, const uint32_t u[3], uint32_t shift, uint8_t* out, size_t count);

// Samples one past the end of a line that the column loops may read (and
// ignore): lines are allocated with this much to spare.
inline constexpr size_t kLineSlack = 4;

}  // namespace qdx
