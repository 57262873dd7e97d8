// The HEIF reader's own rules around libheif: sizes refused before anything
// is decoded, damaged files failing alone. How files decode is compared with
// heif-convert in tests/batch/reference_suites_test.cpp.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "codecs/read/heif_library.h"
#include "codecs/read/heif_reader.h"

namespace qdx {
namespace {

namespace fs = std::filesystem;

// The committed starting inputs of the HEIF fuzz target: small HEIC and AVIF files.
std::vector<std::string> CorpusFiles() {
    std::string folder = QDX_SOURCE_DIR "/fuzz/corpus/heif_read_fuzzer";
#if defined(_WIN32)
    folder = "Z:" + folder;  // the host's root under Wine
#endif
    std::vector<std::string> files;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(fs::path(folder), error)) {
        std::ifstream in(entry.path(), std::ios::binary);
        files.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return files;
}

const HeifFunctions* Library() {
    const char16_t* missing = nullptr;
    return LoadHeifFunctions(missing);
}

bool Decode(HeifReaderState& state, const std::string& bytes, size_t size, DecodedImage& image) {
    return DecodeHeifBytes(state, reinterpret_cast<const uint8_t*>(bytes.data()), uint32_t(size), image);
}

TEST(HeifReader, RefusesSizesBeyondItsLimits) {
    struct Case {
        uint32_t largestSide, width, height;
        bool allowed;
    };
    const Case cases[] = {
        {kHeifLargestSide, 1, 1, true},
        {kHeifLargestSide, 0, 7, false},
        {kHeifLargestSide, 7, 0, false},
        {kHeifLargestSide, kHeifLargestSide + 1, 1, false},
        {kHeifLargestSide, 1, kHeifLargestSide + 1, false},
        // libheif's widest rows (four 16-bit samples) must stay within 32-bit sizes.
        {kHeifLargestSide, 32768, 16383, true},
        {kHeifLargestSide, 32768, 16384, false},
        {100, 100, 100, true},
        {100, 101, 1, false},
    };
    for (const Case& c : cases) {
        HeifReaderState state;
        state.largestSide = c.largestSide;
        EXPECT_EQ(CheckHeifDimensions(state, c.width, c.height) == 0, c.allowed) << c.width << " x " << c.height;
    }
}

TEST(HeifReader, DamagedOrOversizedFilesFailAloneAndKeepNothing) {
    const std::vector<std::string> corpus = CorpusFiles();
    ASSERT_GE(corpus.size(), 10u);
    HeifReaderState state;
    state.library = Library();
    ASSERT_NE(state.library, nullptr);
    for (const std::string& file : corpus) {
        for (const size_t cut : {size_t(16), file.size() / 2, file.size() - 1}) {
            DecodedImage image;
            EXPECT_FALSE(Decode(state, file, cut, image)) << file.size() << " bytes cut at " << cut;
            EXPECT_EQ(image.pixels.Get(), nullptr);
            EXPECT_NE(state.input.status, kStatusUnspecified);
        }
        // Every starting input is wider or taller than 16 pixels.
        state.largestSide = 16;
        DecodedImage refused;
        EXPECT_FALSE(Decode(state, file, file.size(), refused));
        EXPECT_EQ(state.input.status, kStatusUnsupported);
        // The same state reads the whole file afterwards.
        state.largestSide = kHeifLargestSide;
        DecodedImage whole;
        EXPECT_TRUE(Decode(state, file, file.size(), whole)) << state.input.status;
    }
    HeifReaderState withoutLibrary;
    DecodedImage image;
    EXPECT_FALSE(Decode(withoutLibrary, corpus[0], corpus[0].size(), image));
}

}  // namespace
}  // namespace qdx
