#include "codecs/write/png_row_filter.h"
#include "codecs/common/paeth_predictor.h"

namespace qdx {

namespace {

// Runs of near-black or near-white bytes compress well.
constexpr bool IsScored(uint8_t value) { return value <= 3 || value >= 252; }

}  // namespace

uint32_t ScoreFilteredRow(const uint8_t* row, uint32_t length) {
    uint32_t score = 0;
    for (uint32_t i = 1; i < length; ++i) score += (row[i] == row[i - 1] && IsScored(row[i])) ? 1 : 0;
    return score;
}

int ChooseRowFilter(const uint8_t* raw, const uint8_t* previous, uint32_t rowBytes, uint32_t bytesPerPixel,
                    uint8_t* const candidates[4]) {
    uint8_t* sub = candidates[0];
    uint8_t* up = candidates[1];
    uint8_t* average = candidates[2];
    uint8_t* paeth = candidates[3];
    sub[0] = 1;
    up[0] = 2;
    average[0] = 3;
    paeth[0] = 4;
    const uint32_t first = bytesPerPixel < rowBytes ? bytesPerPixel : rowBytes;
    for (uint32_t i = 1; i <= first; ++i) {
        // No pixel to the left: left and upper-left count as 0.
        const uint8_t x = raw[i], b = previous[i];
        sub[i] = x;
        up[i] = uint8_t(x - b);
        average[i] = uint8_t(x - (b >> 1));
        paeth[i] = uint8_t(x - PaethPredictor(0, b, 0));
    }
    for (uint32_t i = first + 1; i <= rowBytes; ++i) {
        const uint8_t x = raw[i], a = raw[i - bytesPerPixel], b = previous[i], c = previous[i - bytesPerPixel];
        sub[i] = uint8_t(x - a);
        up[i] = uint8_t(x - b);
        average[i] = uint8_t(x - ((a + b) >> 1));
        paeth[i] = uint8_t(x - PaethPredictor(a, b, c));
    }
    const uint32_t length = rowBytes + 1;
    // The None candidate is the raw row itself, whose type position holds 0.
    const uint32_t noneScore = ScoreFilteredRow(raw, length);
    const uint32_t subScore = ScoreFilteredRow(sub, length), upScore = ScoreFilteredRow(up, length);
    const uint32_t averageScore = ScoreFilteredRow(average, length), paethScore = ScoreFilteredRow(paeth, length);
    const int firstPair = subScore >= upScore ? 1 : 2;
    const uint32_t firstScore = subScore >= upScore ? subScore : upScore;
    const int secondPair = averageScore >= paethScore ? 3 : 4;
    const uint32_t secondScore = averageScore >= paethScore ? averageScore : paethScore;
    const int winner = firstScore >= secondScore ? firstPair : secondPair;
    const uint32_t winnerScore = firstScore >= secondScore ? firstScore : secondScore;
    return winnerScore > noneScore ? winner : 0;
}

}  // namespace qdx
