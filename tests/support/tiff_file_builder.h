#pragma once
// Builds small TIFF files byte by byte for reader tests: the header, a data
// area of values and strips, then the first directory (written last, so its
// offset is known only when the file is built).
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace qdx::test {

class TiffFileBuilder {
public:
    static constexpr uint16_t kByte = 1, kAscii = 2, kShort = 3, kLong = 4, kRational = 5;

    explicit TiffFileBuilder(bool littleEndian) : little_(littleEndian) { data_.resize(8); }

    bool LittleEndian() const { return little_; }

    // Appends raw bytes to the data area and returns their file offset.
    uint32_t AddBytes(const std::vector<uint8_t>& bytes) {
        const uint32_t offset = uint32_t(data_.size());
        data_.insert(data_.end(), bytes.begin(), bytes.end());
        return offset;
    }
    uint32_t AddShorts(std::initializer_list<uint32_t> values) { return AddShorts(std::vector<uint32_t>(values)); }
    uint32_t AddShorts(const std::vector<uint32_t>& values) {
        std::vector<uint8_t> bytes;
        for (uint32_t v : values) Put16(bytes, uint16_t(v));
        return AddBytes(bytes);
    }
    uint32_t AddLongs(std::initializer_list<uint32_t> values) {
        std::vector<uint8_t> bytes;
        for (uint32_t v : values) Put32(bytes, v);
        return AddBytes(bytes);
    }
    uint32_t AddRational(uint32_t numerator, uint32_t denominator) { return AddLongs({numerator, denominator}); }

    // An entry with one value in its field: a SHORT in the first two bytes
    // (file order), anything else as a 32-bit value or offset.
    void Entry(uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
        std::vector<uint8_t> field;
        if (type == kShort && count <= 1) {
            Put16(field, uint16_t(value));
            Put16(field, 0);
        } else {
            Put32(field, value);
        }
        RawEntry(tag, type, count, field);
    }
    // Two SHORTs standing in the entry itself.
    void TwoShortsEntry(uint16_t tag, uint16_t first, uint16_t second) {
        std::vector<uint8_t> field;
        Put16(field, first);
        Put16(field, second);
        RawEntry(tag, kShort, 2, field);
    }
    void RawEntry(uint16_t tag, uint16_t type, uint32_t count, const std::vector<uint8_t>& field) {
        std::vector<uint8_t> entry;
        Put16(entry, tag);
        Put16(entry, type);
        Put32(entry, count);
        entry.insert(entry.end(), field.begin(), field.end());
        entry.resize(12, 0);
        entries_.push_back(entry);
    }

    // Header, data area, directory (entries as added; no sorting), next 0.
    std::string Build(uint16_t version = 42) const {
        std::vector<uint8_t> file = data_;
        if (file.size() % 2) file.push_back(0);
        const uint32_t directory = uint32_t(file.size());
        file[0] = file[1] = little_ ? 'I' : 'M';
        std::vector<uint8_t> head;
        Put16(head, version);
        Put32(head, directory);
        std::copy(head.begin(), head.end(), file.begin() + 2);
        std::vector<uint8_t> dir;
        Put16(dir, uint16_t(entries_.size()));
        for (const auto& e : entries_) dir.insert(dir.end(), e.begin(), e.end());
        Put32(dir, 0);
        file.insert(file.end(), dir.begin(), dir.end());
        return std::string(file.begin(), file.end());
    }

    void Put16(std::vector<uint8_t>& out, uint16_t v) const {
        if (little_) {
            out.push_back(uint8_t(v));
            out.push_back(uint8_t(v >> 8));
        } else {
            out.push_back(uint8_t(v >> 8));
            out.push_back(uint8_t(v));
        }
    }
    void Put32(std::vector<uint8_t>& out, uint32_t v) const {
        if (little_) {
            Put16(out, uint16_t(v));
            Put16(out, uint16_t(v >> 16));
        } else {
            Put16(out, uint16_t(v >> 16));
            Put16(out, uint16_t(v));
        }
    }

private:
    bool little_;
    std::vector<uint8_t> data_;
    std::vector<std::vector<uint8_t>> entries_;
};

// A complete one-strip image: width, height, photometric, one BitsPerSample
// value (three when `samples` is 3), the strip, optional colour map.
struct SimpleTiff {
    bool littleEndian = true;
    uint32_t width = 1;
    uint32_t height = 1;
    uint32_t photometric = 1;
    uint32_t bitsPerSample = 8;
    uint32_t samples = 1;
    uint32_t compression = 1;
    std::vector<uint8_t> strip;
    std::vector<uint32_t> colourMap;  // 3 * 2^bits values when photometric is 3
};

inline std::string BuildSimpleTiff(const SimpleTiff& s, TiffFileBuilder* extra = nullptr) {
    TiffFileBuilder local(s.littleEndian);
    TiffFileBuilder& b = extra ? *extra : local;
    const uint32_t stripOffset = b.AddBytes(s.strip);
    b.Entry(256, TiffFileBuilder::kLong, 1, s.width);
    b.Entry(257, TiffFileBuilder::kShort, 1, s.height);
    if (s.samples == 1) {
        b.Entry(258, TiffFileBuilder::kShort, 1, s.bitsPerSample);
    } else {
        std::vector<uint32_t> bits(s.samples, s.bitsPerSample);
        b.Entry(258, TiffFileBuilder::kShort, s.samples, b.AddShorts(bits));
    }
    b.Entry(259, TiffFileBuilder::kShort, 1, s.compression);
    b.Entry(262, TiffFileBuilder::kShort, 1, s.photometric);
    b.Entry(273, TiffFileBuilder::kLong, 1, stripOffset);
    b.Entry(277, TiffFileBuilder::kShort, 1, s.samples);
    b.Entry(279, TiffFileBuilder::kLong, 1, uint32_t(s.strip.size()));
    if (!s.colourMap.empty()) b.Entry(320, TiffFileBuilder::kShort, uint32_t(s.colourMap.size()), b.AddShorts(s.colourMap));
    return b.Build();
}

}  // namespace qdx::test
