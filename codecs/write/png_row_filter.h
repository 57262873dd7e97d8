#pragma once
// The PNG writer's adaptive row filter. Every row buffer starts with its
// filter-type position followed by rowBytes bytes of pixel data.
#include <cstdint>

namespace qdx {

// Number of positions i >= 1 of a filtered row (type byte included, `length`
// bytes in all) where byte i equals byte i - 1 and is one of 0, 1, 2, 3,
// 252, 253, 254, 255.
uint32_t ScoreFilteredRow(const uint8_t* row, uint32_t length);

// `raw[0]` must be 0: the raw row doubles as the None candidate.
// Builds the Sub, Up, Average and Paeth candidates of `raw` (previous raw row
// `previous`, all zero for the first row) into candidates[0..3], scores them
// and None, and returns the winning filter type 0 to 4: the better of Sub and
// Up (Sub on a tie), the better of Average and Paeth (Average on a tie), the
// better of those two (Sub/Up on a tie), and None unless the winner scores
// strictly higher.
int ChooseRowFilter(const uint8_t* raw, const uint8_t* previous, uint32_t rowBytes, uint32_t bytesPerPixel,
                    uint8_t* const candidates[4]);

}  // namespace qdx
