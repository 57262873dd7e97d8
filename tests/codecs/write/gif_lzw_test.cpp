#include <gtest/gtest.h>

#include <random>

#include "codecs/read/gif_reader.h"
#include "codecs/write/gif_writer.h"
#include "tests/support/gif_builder.h"

namespace qdx {
namespace {

using test::Bytes;
using test::Code;

Bytes Encode(GifWriterState& state, const Bytes& indices) {
    Bytes out(GifLzwOutputBound(indices.size()) + 16, 0xEE);
    uint8_t* end = EncodeLzw(state, indices.data(), uint32_t(indices.size()), out.data());
    if (!end) return {};
    const size_t used = size_t(end - out.data());
    EXPECT_LE(used, GifLzwOutputBound(indices.size()));
    EXPECT_EQ(out[used], 0xEE);  // nothing written past the end it reports
    out.resize(used);
    return out;
}

// Decodes a code stream with the reader, as rows of at most 1000 pixels
// (count must then be a multiple of 1000).
Bytes DecodeRow(const Bytes& stream, size_t count) {
    test::GifBuilder gif;
    gif.globalBits = 8;
    gif.minimumCodeSize = 8;
    gif.screenWidth = gif.width = uint32_t(count > 1000 ? 1000 : count);
    gif.screenHeight = gif.height = uint32_t(count > 1000 ? count / 1000 : 1);
    gif.data = stream;
    GifReaderState state;
    DecodedImage image;
    if (!test::DecodeBytes(state, gif.Build(), image)) return {};
    Bytes row = test::TopDownIndices(image);
    image.pixels.Reset();
    return row;
}

TEST(GifLzwEncoder, OnePixelIsClearIndexEndInNineBits) {
    GifWriterState state;
    // 256, 7, 257 in nine bits each: 27 bits, then the partial byte.
    EXPECT_EQ(Encode(state, {7}), Bytes({0x00, 0x0F, 0x04, 0x04}));
    EXPECT_EQ(Encode(state, {7}), test::PackCodes({{256, 9}, {7, 9}, {257, 9}}, true));
}

TEST(GifLzwEncoder, TheLastByteIsNeverMerged) {
    GifWriterState state;
    EXPECT_EQ(Encode(state, {5, 5, 5}), test::PackCodes({{256, 9}, {5, 9}, {5, 9}, {5, 9}, {257, 9}}, true));
    // Four: 5 5 are merged into 258 once it exists, the last 5 stands alone.
    EXPECT_EQ(Encode(state, {5, 5, 5, 5}),
              test::PackCodes({{256, 9}, {5, 9}, {258, 9}, {5, 9}, {257, 9}}, true));
    // Two different bytes.
    EXPECT_EQ(Encode(state, {1, 2}), test::PackCodes({{256, 9}, {1, 9}, {2, 9}, {257, 9}}, true));
}

TEST(GifLzwEncoder, AnEndOnAByteBoundaryStillGetsOneMoreByte) {
    GifWriterState state;
    // Clear + 6 codes + end = 8 codes of 9 bits = 72 bits = 9 whole bytes.
    const Bytes out = Encode(state, {1, 2, 3, 4, 5, 6});
    ASSERT_EQ(out.size(), 10u);
    EXPECT_EQ(out.back(), 0);
    EXPECT_EQ(out, test::PackCodes({{256, 9}, {1, 9}, {2, 9}, {3, 9}, {4, 9}, {5, 9}, {6, 9}, {257, 9}}, true));
}

// Width of the j-th emission after a clear when every emission adds a code:
// the emission after code 512 is added is the first of 10 bits, and so on.
int WidthOfEmission(int j) { return j <= 255 ? 9 : j <= 767 ? 10 : j <= 1791 ? 11 : 12; }

TEST(GifLzwEncoder, WidthGrowsRightAfterCode512IsAdded) {
    GifWriterState state;
    const Bytes input = test::UniquePairs(300);
    std::vector<Code> codes = {{256, 9}};
    for (size_t k = 1; k <= input.size(); ++k) codes.emplace_back(input[k - 1], k <= 255 ? 9 : 10);
    codes.emplace_back(257, 10);
    EXPECT_EQ(Encode(state, input), test::PackCodes(codes, true));
    EXPECT_EQ(state.codeWidth, 10);
}

TEST(GifLzwEncoder, ClearFollowsThe4096thCode) {
    GifWriterState state;
    const Bytes input = test::UniquePairs(5000);
    std::vector<Code> codes = {{256, 9}};
    int j = 0;
    for (size_t k = 1; k <= input.size(); ++k) {
        ++j;
        codes.emplace_back(input[k - 1], WidthOfEmission(j));
        if (j == 3839 && k < input.size()) {  // codes 258 to 4095 have been added
            codes.emplace_back(256, 12);
            j = 0;
        }
    }
    codes.emplace_back(257, WidthOfEmission(j));
    const Bytes out = Encode(state, input);
    EXPECT_EQ(out, test::PackCodes(codes, true));
    EXPECT_EQ(DecodeRow(out, input.size()), input);
}

TEST(GifLzwEncoder, ReaderGivesBackWhatWasEncoded) {
    GifWriterState state;
    std::mt19937 random(7);
    for (int colours : {1, 2, 16, 256}) {
        for (size_t count : {size_t(1), size_t(2), size_t(257), size_t(5000), size_t(200000)}) {
            Bytes input(count);
            for (auto& b : input) b = uint8_t(random() % uint32_t(colours));
            // Runs of one colour give long strings.
            if (count > 1000) std::fill(input.begin() + 100, input.begin() + 900, uint8_t(colours - 1));
            const Bytes out = Encode(state, input);
            ASSERT_FALSE(out.empty());
            EXPECT_EQ(out[0], 0x00);  // clear code first
            EXPECT_EQ(DecodeRow(out, count), input) << colours << " colours, " << count << " pixels";
        }
    }
    EXPECT_EQ(EncodeLzw(state, nullptr, 0, nullptr), nullptr);
}

}  // namespace
}  // namespace qdx
