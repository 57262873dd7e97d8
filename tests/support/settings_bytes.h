#pragma once
// Builds settings files byte by byte for the tests: a header, a table of
// (A, B) pairs and a data area whose blocks the table points at.
#include <cstdint>
#include <string>
#include <vector>

namespace qdx::test {

inline void PutU32(std::string& bytes, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes.push_back(char(uint8_t(value >> (8 * i))));
}

inline uint32_t GetU32(const std::string& bytes, size_t at) {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value |= uint32_t(uint8_t(bytes.at(at + i))) << (8 * i);
    return value;
}

inline std::string Utf16Bytes(const std::u16string& text) {
    std::string bytes;
    for (char16_t unit : text) {
        bytes.push_back(char(uint8_t(unit)));
        bytes.push_back(char(uint8_t(unit >> 8)));
    }
    return bytes;
}

class SettingsBytes {
public:
    // `count` table entries in the file; `headerCount` is what the header
    // claims (the same unless a test wants them to disagree).
    explicit SettingsBytes(uint32_t count = 87, uint32_t version = 0x0578, int64_t headerCount = -1)
        : header_((version << 16) | uint32_t(headerCount < 0 ? count : uint32_t(headerCount))),
          table_(count, {0, 0}) {}

    uint32_t DataStart() const { return 4 + 8 * uint32_t(table_.size()); }

    SettingsBytes& Entry(uint32_t index, uint32_t a, uint32_t b) {
        table_.at(index) = {a, b};
        return *this;
    }
    SettingsBytes& Integer(uint32_t index, uint32_t value) { return Entry(index, 1, value); }
    // Appends the bytes to the data area and points the entry at them.
    SettingsBytes& Block(uint32_t index, const std::string& bytes) {
        Entry(index, DataStart() + uint32_t(data_.size()), uint32_t(bytes.size()));
        data_ += bytes;
        return *this;
    }
    SettingsBytes& Text(uint32_t index, const std::u16string& text) { return Block(index, Utf16Bytes(text)); }
    // Raw bytes in the data area that no entry points at.
    SettingsBytes& Filler(const std::string& bytes) {
        data_ += bytes;
        return *this;
    }

    std::string Bytes() const {
        std::string bytes;
        PutU32(bytes, header_);
        for (const auto& entry : table_) {
            PutU32(bytes, entry.a);
            PutU32(bytes, entry.b);
        }
        return bytes + data_;
    }

private:
    struct Pair {
        uint32_t a, b;
    };
    uint32_t header_;
    std::vector<Pair> table_;
    std::string data_;
};

}  // namespace qdx::test
