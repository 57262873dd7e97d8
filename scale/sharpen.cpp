// Unsharp mask: each pixel is pushed away from the 5 x 5 box average of its
// neighbourhood by index / 8 of the difference, unless the difference summed
// over the three channels is small (flat and noisy areas stay untouched).
// All per-sample work is table look-ups and integer sums.
#include "scale/sharpen.h"

#include <atomic>
#include <cstring>
#include <utility>

#include "core/decoded_image.h"
#include "core/os/os.h"
#include "core/worker_pool.h"

namespace qdx {

namespace {

constexpr size_t kGainEntries = size_t(kMaxSharpenStrength + 1) * 256;
constexpr size_t kClampEntries = size_t(kClampHighest - kClampLowest + 1);
constexpr uint32_t kBandsPerThread = 4;

// Stored rows first .. end - 1 of the sharpened picture into state.output.
bool SharpenRows(SharpenState& state, uint32_t strength, uint32_t first, uint32_t end) {
    // Column sums of 5 clamped rows, one stored row at a time (at most 5 x 255).
    const uint32_t width = state.width, height = state.height, stride = RowStride(width, 24);
    const uint32_t rowBytes = width * 3;
    os::HeapMemory sums;
    if (!sums.Allocate(size_t(rowBytes) * sizeof(uint16_t))) return false;
    auto* columnSums = reinterpret_cast<uint16_t*>(sums.Get());
    const uint8_t* V = state.division.Get();
    const uint8_t* clamp = state.clamp - kClampLowest;
    const int16_t* gain = state.gain + size_t(strength) * 256 + 128;
    const int32_t last = int32_t(height) - 1;
    for (uint32_t y = first; y < end; ++y) {
        const uint8_t* rows[5];
        for (int32_t dy = -2; dy <= 2; ++dy) {
            int32_t r = int32_t(y) + dy;
            r = r < 0 ? 0 : r > last ? last : r;
            rows[dy + 2] = state.source + size_t(r) * stride;
        }
        for (uint32_t b = 0; b < rowBytes; ++b)
            columnSums[b] = uint16_t(rows[0][b] + rows[1][b] + rows[2][b] + rows[3][b] + rows[4][b]);

        // Blur: V of the 25-sample sum, written into the output row.
        uint8_t* out = state.output.Get() + size_t(y) * stride;
        const uint16_t* cs = columnSums;
        for (uint32_t b = 6; b + 6 < rowBytes; ++b)
            out[b] = V[cs[b - 6] + cs[b - 3] + cs[b] + cs[b + 3] + cs[b + 6]];
        const uint32_t edgePixels[4] = {0, 1, width - 2, width - 1};
        for (uint32_t px : edgePixels) {
            for (uint32_t c = 0; c < 3; ++c) {
                uint32_t sum = 0;
                for (int32_t dx = -2; dx <= 2; ++dx) {
                    int32_t x = int32_t(px) + dx;
                    x = x < 0 ? 0 : x > int32_t(width) - 1 ? int32_t(width) - 1 : x;
                    sum += cs[uint32_t(x) * 3 + c];
                }
                out[px * 3 + c] = V[sum];
            }
        }

        // Detail, then the sharpened pixel where the detail is large enough.
        const uint8_t* src = rows[2];
        auto* detail = reinterpret_cast<int8_t*>(state.detail.Get() + size_t(y) * stride);
        for (uint32_t b = 0; b < rowBytes; ++b) {
            int32_t d = int32_t(src[b]) - int32_t(out[b]);
            detail[b] = int8_t(d < -128 ? -128 : d > 127 ? 127 : d);
        }
        for (uint32_t b = 0; b < rowBytes; b += 3) {
            const int32_t d0 = detail[b], d1 = detail[b + 1], d2 = detail[b + 2];
            const uint32_t total = uint32_t((d0 < 0 ? -d0 : d0) + (d1 < 0 ? -d1 : d1) + (d2 < 0 ? -d2 : d2));
            if (total <= kSharpenThreshold) {
                out[b] = src[b];
                out[b + 1] = src[b + 1];
                out[b + 2] = src[b + 2];
            } else {
                out[b] = clamp[src[b] + gain[d0]];
                out[b + 1] = clamp[src[b + 1] + gain[d1]];
                out[b + 2] = clamp[src[b + 2] + gain[d2]];
            }
        }
    }
    return true;
}

}  // namespace

bool BuildSharpenTables(SharpenState& state) {
    if (!state.gainAndClamp) {
        os::HeapMemory block;
        if (!block.Allocate(kGainEntries * sizeof(int16_t) + kClampEntries)) return false;
        auto* gain = reinterpret_cast<int16_t*>(block.Get());
        for (uint32_t k = 0; k <= kMaxSharpenStrength; ++k)
            for (int32_t d = -128; d <= 127; ++d)
                gain[k * 256 + uint32_t(d + 128)] = int16_t((int32_t(k) * d) >> 3);  // arithmetic shift: floor
        auto* clamp = reinterpret_cast<uint8_t*>(gain + kGainEntries);
        for (int32_t x = kClampLowest; x <= kClampHighest; ++x)
            clamp[x - kClampLowest] = uint8_t(x <= 0 ? 0 : x >= 255 ? 255 : x);
        state.gainAndClamp = std::move(block);
        state.gain = gain;
        state.clamp = clamp;
    }
    if (!state.division) {
        os::HeapMemory division;
        if (!division.Allocate(kDivisionEntries)) return false;
        // s / 25 rounded, in 16-bit fixed point; 2621 / 65536 is a shade
        // below 1 / 25, so a few sums just above a half round down.
        for (uint32_t s = 0; s < kDivisionEntries; ++s) division.Get()[s] = uint8_t((2621u * s + 32768u) >> 16);
        state.division = std::move(division);
    }
    return true;
}

bool Sharpen(SharpenState& state, DecodedImage& picture, uint32_t strength) {
    if (picture.header.biBitCount != 24 || !picture.pixels || strength > kMaxSharpenStrength) return false;
    if (picture.header.biWidth < 5 || picture.header.biHeight < 5) return false;
    const uint32_t width = uint32_t(picture.header.biWidth), height = uint32_t(picture.header.biHeight);
    const uint32_t stride = RowStride(width, 24);
    if (stride == 0 || stride > 0x7FFFFFFFu) return false;
    if (!BuildSharpenTables(state)) return false;
    state.detail.Reset();  // the last picture's, before the new one is taken
    state.detail = AllocatePixelBuffer(width, height, 24);
    if (!state.detail) return false;
    state.output = AllocatePixelBuffer(width, height, 24);
    if (!state.output) return false;  // the detail buffer stays until the next call
    state.width = width;
    state.height = height;
    state.source = picture.pixels.Get();

    // Bands of rows for the pool; every row is computed alone, so the bands
    // do not change a byte.
    const uint32_t threads = state.pool ? state.pool->Threads() : 1;
    uint32_t bands = threads <= 1 ? 1 : threads * kBandsPerThread;
    if (bands > height) bands = height;
    std::atomic<bool> failed{false};
    ForEachIndex(state.pool, bands, [&](uint32_t band) {
        const uint32_t first = uint32_t(uint64_t(height) * band / bands);
        const uint32_t last = uint32_t(uint64_t(height) * (band + 1) / bands);
        if (!SharpenRows(state, strength, first, last)) failed = true;
    });
    if (failed) {
        state.output.Reset();
        return false;
    }

    state.detail.Reset();
    picture.pixels = std::move(state.output);
    state.source = nullptr;
    return true;
}

}  // namespace qdx
