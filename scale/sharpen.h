#pragma once
// Post-resize sharpening (an unsharp mask over a 5 x 5 box) and the state it
// keeps for a whole batch.
#include <cstdint>

#include "core/os/owned_memory.h"

namespace qdx {

struct DecodedImage;
class WorkerPool;

// Strength indexes 0 .. 100; the gain is index x detail / 8.
inline constexpr uint32_t kMaxSharpenStrength = 100;
// Pixels whose summed absolute detail is at most this stay as they are.
inline constexpr uint32_t kSharpenThreshold = 20;
// Index ranges of the clamp and division tables.
inline constexpr int32_t kClampLowest = -1600;  // 0 + (100 x -128) >> 3
inline constexpr int32_t kClampHighest = 1842;  // 255 + (100 x 127) >> 3
inline constexpr uint32_t kDivisionEntries = 25 * 255 + 1;

struct SharpenState {
    uint32_t width = 0, height = 0;
    const uint8_t* source = nullptr;  // the picture's pixels, not owned
    os::PixelMemory output;           // handed to the picture on success
    os::PixelMemory detail;           // signed bytes per channel, source layout
    // One private-heap block: the gain table G[k][d] (101 x 256 values, d
    // offset by 128) followed by the clamp table (x offset by 1600).
    os::HeapMemory gainAndClamp;
    const int16_t* gain = nullptr;
    const uint8_t* clamp = nullptr;
    os::HeapMemory division;     // V[s], s = 0 .. 25 x 255
    WorkerPool* pool = nullptr;  // threads that share the rows; none: the caller's
};

// Builds whichever tables are missing; false when memory is short.
bool BuildSharpenTables(SharpenState& state);

// Table look-ups (the tables must have been built).
inline int32_t SharpenGain(const SharpenState& state, uint32_t strength, int32_t detail) {
    return state.gain[strength * 256 + uint32_t(detail + 128)];
}
inline uint8_t SharpenClamp(const SharpenState& state, int32_t value) { return state.clamp[value - kClampLowest]; }
inline uint8_t SharpenDivide(const SharpenState& state, uint32_t sum) { return state.division.Get()[sum]; }

// Sharpens a 24-bit picture in place of its pixel buffer with strength index
// `strength`. True when the picture was sharpened; false when it was left
// exactly as it was (too small, not 24 bits, strength out of range, memory).
bool Sharpen(SharpenState& state, DecodedImage& picture, uint32_t strength);

}  // namespace qdx
