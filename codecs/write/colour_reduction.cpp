#include "codecs/write/colour_reduction.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "core/file_helpers.h"
#include "core/os/os.h"

namespace qdx {

namespace {

// Larger than any sum of three squared differences (3 * 255 * 255 = 195075).
constexpr int32_t kFarther = 195076;

inline uint8_t Blue(uint32_t colour) { return uint8_t(colour); }
inline uint8_t Green(uint32_t colour) { return uint8_t(colour >> 8); }
inline uint8_t Red(uint32_t colour) { return uint8_t(colour >> 16); }

inline int32_t Distance(const int32_t* squared, const RGBQUAD& entry, uint32_t colour) {
    return squared[int(entry.rgbBlue) - Blue(colour)] + squared[int(entry.rgbGreen) - Green(colour)] +
           squared[int(entry.rgbRed) - Red(colour)];
}

}  // namespace

bool EnsureSquaredDifferenceTable(PixelConverter& converter) {
    if (converter.squaredDifference) return true;
    if (!converter.squaredDifference.Allocate(511)) return false;
    for (int32_t d = -255; d <= 255; ++d) converter.squaredDifference[size_t(d + 255)] = d * d;
    return true;
}

uint32_t CountColours(uint32_t pixelCount, const uint8_t* workPixels) {
    ColourSet set;
    return set.Mark(pixelCount, workPixels);
}

uint32_t ColourSet::Mark(uint32_t pixelCount, const uint8_t* workPixels) {
    count_ = 0;
    if (!bits_ && !bits_.Allocate((uint64_t(1) << 24) / 64, 4)) return 0;
    uint64_t* bits = bits_.Get();
    std::memset(bits, 0, (size_t(1) << 24) / 8);
    uint32_t count = 0;
    for (uint32_t i = 0; i < pixelCount; ++i) {
        const uint32_t key = LoadWorkColour(workPixels + size_t(i) * 4);
        const uint64_t bit = uint64_t(1) << (key & 63);
        uint64_t& word = bits[key >> 6];
        count += (word & bit) == 0;
        word |= bit;
    }
    count_ = count;
    return count;
}

bool ColourSet::Rank() {
    constexpr size_t kWords = (size_t(1) << 24) / 64;
    if (!bits_) return false;
    if (!ranks_ && !ranks_.Allocate(kWords)) return false;
    uint32_t total = 0;
    for (size_t w = 0; w < kWords; ++w) {
        ranks_[w] = total;
        total += BitCount(bits_[w]);
    }
    return true;
}

os::PixelArray<uint64_t> ColourSet::WeightedColours(uint32_t pixelCount, const uint8_t* workPixels) const {
    os::PixelArray<uint64_t> colours;
    if (!colours.Allocate(uint64_t(count_) + 1)) return colours;
    uint32_t next = 0;
    for (uint32_t w = 0; w < (uint32_t(1) << 24) / 64; ++w)
        for (uint64_t word = bits_[w]; word != 0; word &= word - 1)
            colours[next++] = (uint64_t(w) << 6) | uint32_t(std::countr_zero(word));
    for (uint32_t i = 0; i < pixelCount; ++i)
        colours[RankOf(LoadWorkColour(workPixels + size_t(i) * 4))] += uint64_t(1) << 32;
    return colours;
}

void BuildExactPalette(const PixelConverter& converter, uint32_t count, RGBQUAD* paletteOut) {
    RGBQUAD colours[256] = {};
    uint32_t collected = 0;
    if (converter.sourceDepth != 24) {
        // An 8-bit source: its own palette with repeated colours dropped.
        const uint32_t entries = converter.sourceDepth < 8 ? (1u << converter.sourceDepth) : 256;
        colours[collected++] = converter.paletteIn[0];
        for (uint32_t i = 1; i < entries; ++i) {
            const uint32_t key = ColourKey(converter.paletteIn[i]);
            bool repeated = false;
            for (uint32_t j = 0; j < collected && !repeated; ++j) repeated = ColourKey(colours[j]) == key;
            if (!repeated) colours[collected++] = converter.paletteIn[i];
        }
    } else {
        // First occurrences in memory order, then a selection sort darkest
        // first. The sort is not stable; equal sums end up where its swaps
        // leave them.
        if (count > 256) count = 256;
        uint32_t keys[256];
        uint32_t slots[1024];
        std::fill(std::begin(slots), std::end(slots), 0xFFFFFFFFu);
        const uint64_t pixelCount = uint64_t(uint32_t(converter.width)) * uint32_t(converter.height);
        for (uint64_t p = 0; p < pixelCount && collected < count; ++p) {
            const uint32_t key = LoadWorkColour(converter.workBuffer.Get() + p * 4);
            uint32_t slot = (key * 2654435761u) >> 22;
            bool seen = false;
            while (slots[slot] != 0xFFFFFFFFu) {
                if (slots[slot] == key) {
                    seen = true;
                    break;
                }
                slot = (slot + 1) & 1023;
            }
            if (seen) continue;
            slots[slot] = key;
            keys[collected++] = key;
        }
        for (uint32_t j = 0; j < collected; ++j) {
            uint32_t smallest = j;
            uint32_t smallestSum = uint32_t(Blue(keys[j])) + Green(keys[j]) + Red(keys[j]);
            for (uint32_t k = j + 1; k < collected; ++k) {
                const uint32_t sum = uint32_t(Blue(keys[k])) + Green(keys[k]) + Red(keys[k]);
                if (sum < smallestSum) {
                    smallest = k;
                    smallestSum = sum;
                }
            }
            std::swap(keys[j], keys[smallest]);
        }
        for (uint32_t j = 0; j < collected; ++j) colours[j] = RGBQUAD{Blue(keys[j]), Green(keys[j]), Red(keys[j]), 0};
    }
    std::copy(colours, colours + 256, paletteOut);
}

namespace {

// One box of the median cut: a range of the colour array and its statistics.
struct CutBox {
    uint32_t first = 0;
    uint32_t end = 0;      // one past the last
    int32_t range = -1;    // weighted range of the split channel; -1 when empty
    uint8_t channel = 0;   // 0 blue, 1 green, 2 red
    uint8_t splitValue = 0;
    uint8_t channelMax = 0;
    uint8_t median[3] = {};
};

using Histograms = uint32_t[3][256];

// Minimum, maximum and median of each channel from the box's histograms, the
// weighted ranges, and the channel to split: red, then green when its range
// is strictly larger, then blue when its range beats that.
void BoxStatistics(CutBox& box, const Histograms& histogram) {
    uint32_t size = 0;
    for (int v = 0; v < 256; ++v) size += histogram[0][v];
    if (size == 0) {
        box.range = -1;
        return;
    }
    const uint32_t half = size / 2;
    int32_t minimum[3], maximum[3];
    for (int c = 0; c < 3; ++c) {
        const uint32_t* bins = histogram[c];
        int v = 0;
        while (bins[v] == 0) ++v;
        minimum[c] = v;
        v = 255;
        while (bins[v] == 0) --v;
        maximum[c] = v;
        uint32_t total = 0;
        for (v = 0; v < 256; ++v) {
            total += bins[v];
            if (total > half) break;
        }
        box.median[c] = uint8_t(v);
    }
    const int32_t blueRange = maximum[0] - minimum[0];
    const int32_t greenRange = 2 * (maximum[1] - minimum[1]);
    const int32_t redRange = (3 * (maximum[2] - minimum[2])) / 2;
    int channel = 2;
    int32_t range = redRange;
    if (greenRange > range) {
        channel = 1;
        range = greenRange;
    }
    if (blueRange > range) {
        channel = 0;
        range = blueRange;
    }
    box.channel = uint8_t(channel);
    box.range = range;
    box.splitValue = box.median[channel];
    box.channelMax = uint8_t(maximum[channel]);
}

void AddToHistograms(Histograms& histogram, const uint64_t* colours, uint32_t first, uint32_t end) {
    for (uint32_t i = first; i < end; ++i) {
        const uint32_t colour = uint32_t(colours[i]);
        const uint32_t weight = uint32_t(colours[i] >> 32);
        histogram[0][Blue(colour)] += weight;
        histogram[1][Green(colour)] += weight;
        histogram[2][Red(colour)] += weight;
    }
}

}  // namespace

// The cut is described over an array of pixel numbers, partitioned in place.
// Which pixels a box holds depends only on the thresholds compared with each
// pixel's own colour, never on the order inside the array, and pixels of one
// colour always go the same way. So the boxes hold exactly the same pixels
// when the array carries each distinct colour once with its pixel count, and
// every statistic (histograms, medians, ranges) comes out the same. That
// array is usually a small fraction of the pixel count.
bool MedianCutWeighted(uint64_t* colours, uint32_t distinct, uint32_t n, RGBQUAD* paletteOut) {
    if (n == 0 || n > 256 || distinct == 0) return false;
    os::HeapArray<Histograms> histogramBlock;
    os::HeapArray<CutBox> boxBlock;
    if (!histogramBlock.Allocate(n) || !boxBlock.Allocate(n)) return false;
    Histograms* histograms = histogramBlock.Get();
    CutBox* boxes = boxBlock.Get();
    for (uint32_t i = 0; i < n; ++i) boxes[i] = CutBox{};
    boxes[0].first = 0;
    boxes[0].end = distinct;
    AddToHistograms(histograms[0], colours, 0, distinct);
    BoxStatistics(boxes[0], histograms[0]);

    for (uint32_t i = 1; i < n; ++i) {
        // The box with the largest range; the lowest-numbered of equals.
        uint32_t chosen = 0;
        for (uint32_t k = 1; k < i; ++k)
            if (boxes[k].range > boxes[chosen].range) chosen = k;
        CutBox& box = boxes[chosen];
        CutBox& upper = boxes[i];
        if (box.range < 0) {
            // Only empty boxes are left (cannot happen with more distinct
            // colours than boxes); the new box stays empty too.
            upper.first = upper.end = box.end;
            continue;
        }
        // A box of one value in its split channel has a threshold of -1: all
        // of it moves to the new box.
        const int32_t threshold = box.splitValue == box.channelMax ? int32_t(box.splitValue) - 1 : box.splitValue;
        const unsigned shift = 8u * box.channel;

        // Every colour is compared with the threshold once; those above it are
        // swapped to the top. Branch-free, as the outcome is close to random.
        uint32_t l = box.first;
        uint32_t u = box.end;
        while (l < u) {
            const uint64_t value = colours[l];
            const uint64_t other = colours[u - 1];
            const uint32_t above = int32_t((value >> shift) & 255u) > threshold;
            colours[l] = above ? other : value;
            colours[u - 1] = above ? value : other;
            u -= above;
            l += 1u - above;
        }
        upper.first = u;
        upper.end = box.end;
        box.end = u;

        // Histograms of the smaller part by counting, of the larger part by
        // subtracting them from the parent's.
        Histograms& parent = histograms[chosen];
        Histograms& added = histograms[i];
        if (upper.end - upper.first <= box.end - box.first) {
            AddToHistograms(added, colours, upper.first, upper.end);
            for (int c = 0; c < 3; ++c)
                for (int v = 0; v < 256; ++v) parent[c][v] -= added[c][v];
        } else {
            AddToHistograms(added, colours, box.first, box.end);  // the lower part, for now
            for (int c = 0; c < 3; ++c)
                for (int v = 0; v < 256; ++v) {
                    const uint32_t lower = added[c][v];
                    added[c][v] = parent[c][v] - lower;
                    parent[c][v] = lower;
                }
        }
        BoxStatistics(upper, added);
        BoxStatistics(box, parent);
    }

    for (uint32_t i = 0; i < n; ++i)
        paletteOut[i] = RGBQUAD{boxes[i].median[0], boxes[i].median[1], boxes[i].median[2], 0};
    return true;
}

bool MedianCutPalette(const PixelConverter& converter, uint32_t n, RGBQUAD* paletteOut) {
    if (n == 0 || n > 256 || !converter.workBuffer) return false;
    const uint64_t pixelCount =
        uint64_t(uint32_t(std::max(converter.width, 0))) * uint32_t(std::max(converter.height, 0));
    if (!MedianCutAccepts(pixelCount)) return false;
    ColourSet set;
    const uint32_t distinct = set.Mark(uint32_t(pixelCount), converter.workBuffer.Get());
    if (distinct == 0 || !set.Rank()) return false;
    const os::PixelArray<uint64_t> colours = set.WeightedColours(uint32_t(pixelCount), converter.workBuffer.Get());
    return colours && MedianCutWeighted(colours.Get(), distinct, n, paletteOut);
}

uint32_t NearestIndex(const int32_t* squaredDifference, const RGBQUAD* palette, uint32_t n, uint32_t colour) {
    const int32_t* squared = squaredDifference + 255;
    int32_t best = kFarther;
    uint32_t index = 0;
    for (uint32_t i = 0; i < n; ++i) {
        const int32_t d = Distance(squared, palette[i], colour);
        if (d < best) {
            best = d;
            index = i;
        }
    }
    return index;
}

namespace {

constexpr uint32_t kCubes = 32 * 32 * 32;

inline uint32_t CubeOf(uint32_t colour) {
    return (uint32_t(Red(colour) >> 3) << 10) | (uint32_t(Green(colour) >> 3) << 5) | (Blue(colour) >> 3);
}

}  // namespace

bool NearestColourSearch::Prepare(const int32_t* squaredDifference, const RGBQUAD* palette, uint32_t n) {
    if (!squaredDifference || n > 256) return false;
    squared_ = squaredDifference + 255;
    palette_ = palette;
    n_ = n;
    lastColour_ = 0xFFFFFFFFu;
    lastIndex_ = 0;
    if (!candidates_ && !candidates_.Allocate(uint64_t(kCubes) * 256)) return false;
    if (!counts_ && !counts_.Allocate(kCubes)) return false;
    std::memset(counts_.Get(), 0, size_t(kCubes) * sizeof(uint16_t));
    return true;
}

// For every colour c of the cube and every entry e, mind(e) <= d(c, e) <=
// maxd(e), where mind and maxd are the distances from e to the nearest and
// farthest point of the cube. The nearest entry of c is at most min(maxd)
// away, so an entry with mind above that can be neither the nearest nor tie
// with it. The remaining entries are searched in index order with the same
// strict test, so the first of equally near entries still wins.
void NearestColourSearch::BuildCube(uint32_t cube) {
    const int32_t low[3] = {int32_t(cube & 31) << 3, int32_t((cube >> 5) & 31) << 3, int32_t(cube >> 10) << 3};
    int32_t nearest[256];
    int32_t bound = kFarther;
    for (uint32_t i = 0; i < n_; ++i) {
        const int32_t value[3] = {palette_[i].rgbBlue, palette_[i].rgbGreen, palette_[i].rgbRed};
        int32_t nearSum = 0;
        int32_t farSum = 0;
        for (int c = 0; c < 3; ++c) {
            const int32_t lo = low[c];
            const int32_t hi = low[c] + 7;
            const int32_t near = value[c] < lo ? lo - value[c] : (value[c] > hi ? value[c] - hi : 0);
            const int32_t far = std::max(value[c] - lo, hi - value[c]);
            nearSum += squared_[near];
            farSum += squared_[far];
        }
        nearest[i] = nearSum;
        bound = std::min(bound, farSum);
    }
    uint8_t* list = candidates_.Get() + size_t(cube) * 256;
    uint32_t count = 0;
    for (uint32_t i = 0; i < n_; ++i)
        if (nearest[i] <= bound) list[count++] = uint8_t(i);
    counts_[cube] = uint16_t(count + 1);
}

uint32_t NearestColourSearch::Find(uint32_t colour) {
    if (colour == lastColour_) return lastIndex_;
    const uint32_t cube = CubeOf(colour);
    if (counts_[cube] == 0) BuildCube(cube);
    const uint8_t* list = candidates_.Get() + size_t(cube) * 256;
    const uint32_t count = counts_[cube] - 1u;
    int32_t best = kFarther;
    uint32_t index = 0;
    for (uint32_t k = 0; k < count; ++k) {
        const uint32_t i = list[k];
        const int32_t d = Distance(squared_, palette_[i], colour);
        if (d < best) {
            best = d;
            index = i;
        }
    }
    lastColour_ = colour;
    lastIndex_ = index;
    return index;
}

void ExactColourIndex::Build(const RGBQUAD* palette) {
    std::fill(std::begin(keys_), std::end(keys_), kEmpty);
    for (uint32_t i = 0; i < 256; ++i) {
        const uint32_t key = ColourKey(palette[i]);
        uint32_t slot = (key * 2654435761u) >> 22;
        while (keys_[slot] != kEmpty && keys_[slot] != key) slot = (slot + 1) & (kSlots - 1);
        if (keys_[slot] == kEmpty) {  // an earlier equal entry keeps its place
            keys_[slot] = key;
            indices_[slot] = uint8_t(i);
        }
    }
}

uint32_t ExactColourIndex::Find(uint32_t colour) const {
    uint32_t slot = (colour * 2654435761u) >> 22;
    while (keys_[slot] != kEmpty) {
        if (keys_[slot] == colour) return indices_[slot];
        slot = (slot + 1) & (kSlots - 1);
    }
    return 0;
}

}  // namespace qdx
