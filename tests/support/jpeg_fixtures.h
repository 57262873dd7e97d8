#pragma once
// JPEG test inputs made with libjpeg directly (so the reader is tested against
// files it did not write), and a small marker walker for inspecting outputs.
#include <cstdint>
#include <string>
#include <vector>

namespace qdx::test {

struct JpegFixture {
    int width = 8;
    int height = 8;
    int components = 3;  // 1 grey, 3 RGB, 4 CMYK
    // Top row first, `components` bytes per pixel (R, G, B or C, M, Y, K).
    std::vector<uint8_t> samples;
    int quality = 100;
    bool fullChroma = true;  // every component sampled 1 x 1; else 2 x 2 luminance
    bool progressive = false;
    int densityUnit = 0;
    int xDensity = 1;
    int yDensity = 1;
    int extraMarkerBytes = 0;  // an APP1 segment of this many bytes after the JFIF header
};

// Encodes the fixture; empty when the library refused it.
std::string EncodeJpeg(const JpegFixture& fixture);

// A fixture filled by a function of (x, y, component).
template <typename Fill>
JpegFixture MakeFixture(int width, int height, int components, Fill fill) {
    JpegFixture fixture;
    fixture.width = width;
    fixture.height = height;
    fixture.components = components;
    fixture.samples.resize(size_t(width) * height * components);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < components; ++c)
                fixture.samples[(size_t(y) * width + x) * components + c] = uint8_t(fill(x, y, c));
    return fixture;
}

struct JpegSegment {
    uint8_t marker = 0;        // the byte after 0xFF
    size_t offset = 0;         // of the 0xFF
    std::string payload;       // without the length field
};

// The marker segments from SOI up to and including the first SOS.
std::vector<JpegSegment> JpegHeaderSegments(const std::string& bytes);
// The first segment with this marker, or null.
const JpegSegment* FindSegment(const std::vector<JpegSegment>& segments, uint8_t marker);

}  // namespace qdx::test
