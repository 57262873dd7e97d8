#pragma once
// Result codes kept in every reader's `status` and every writer's
// `writeStatus`. They are never shown; the batch only tests success.
#include <cstdint>

namespace qdx {

// No specific result: set when a reader or writer starts, replaced by the
// precise code at a failure that has one, and still there after a success.
inline constexpr uint32_t kStatusUnspecified = 50000;
inline constexpr uint32_t kStatusOutOfMemory = 50001;
inline constexpr uint32_t kStatusUnsupported = 50002;        // unsupported or invalid content
inline constexpr uint32_t kStatusReserved3 = 50003;
inline constexpr uint32_t kStatusCannotOpen = 50004;         // cannot open/map, empty, too short
inline constexpr uint32_t kStatusCannotCreate = 50005;       // output cannot be created
inline constexpr uint32_t kStatusConversionFailed = 50006;   // pixel conversion failed
inline constexpr uint32_t kStatusMalformed = 50007;          // malformed structure
inline constexpr uint32_t kStatusTooManyPixels = 50008;      // larger than the pixel budget

}  // namespace qdx
