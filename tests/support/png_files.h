#pragma once
// PNG files for tests: a builder for hand-made files and a small reference
// decoder that works the plain way (whole stream inflated at once, whole
// image unfiltered, samples kept at full depth).
#include <cstdint>
#include <string>
#include <vector>

namespace qdx::test {

std::string PngChunk(const char* tag, const std::string& data);
std::string PngHeaderData(uint32_t width, uint32_t height, uint8_t depth, uint8_t colourType, uint8_t interlace = 0);
std::string Deflate(const std::string& raw, int level = 6);
std::string Be32(uint32_t value);
extern const std::string kPngSignature;

// Signature, IHDR, `beforeData` (ready-made chunks), one IDAT with the
// compressed `filteredRows`, IEND.
std::string MakePng(uint32_t width, uint32_t height, uint8_t depth, uint8_t colourType, const std::string& filteredRows,
                    const std::string& beforeData = "", uint8_t interlace = 0);

// Filters raw image bytes (rows of `rowBytes`, no filter bytes) with the
// given type per row (cycled), distance `bytesPerPixel`.
std::string FilterRows(const std::string& raw, uint32_t rowBytes, uint32_t height, uint32_t bytesPerPixel,
                       const std::vector<int>& types);

struct ReferencePng {
    bool ok = false;
    uint32_t width = 0, height = 0;
    int depth = 0, colourType = 0, interlace = 0;
    int channels = 0;
    // samples[(y * width + x) * channels + c], at full depth, top row first.
    std::vector<uint16_t> samples;
    std::vector<uint8_t> palette;  // red, green, blue triples
    std::string transparency;      // tRNS data (first, before IDAT, checksum right)
    std::string background;        // bKGD data
    bool hasTransparency = false, hasBackground = false;
    std::vector<std::string> chunkTags;
    std::string imageData;  // all IDAT data joined
};

// Decodes plainly; ok is false for anything it cannot take.
ReferencePng DecodeReferencePng(const std::string& file);

}  // namespace qdx::test
