#pragma once
// A growable, NUL-terminated UTF-16 text that carries every path and text of
// the program. Buffers grow in steps of 128 bytes and never shrink; a growth
// that fails leaves the string empty with no buffer, and the text that was to
// be added is dropped.
// Path edits are in core/os/path_edit.h, texts by number in core/text_source.h.
#include <cstdint>

namespace qdx {

class WideString {
public:
    WideString() = default;
    explicit WideString(const char16_t* text) { Assign(text); }
    WideString(const WideString& other) { Assign(other); }
    WideString& operator=(const WideString& other) {
        if (this != &other) Assign(other);
        return *this;
    }
    WideString(WideString&& other) noexcept;
    WideString& operator=(WideString&& other) noexcept;
    ~WideString();

    // Room for n code units plus the terminator.
    bool Reserve(uint32_t n);

    bool Append(const char16_t* text, uint32_t n);
    bool Append(const char16_t* text);  // null appends nothing
    bool Append(const WideString& text) { return Append(text.buffer_, text.length_); }
    bool Append(char16_t unit) { return Append(&unit, 1); }
    bool Assign(const char16_t* text);  // null gives the empty text
    bool Assign(const WideString& other);
    void Clear();  // length 0, buffer kept

    // Reserve n, set the length to 0 and hand out the buffer for a function
    // to write into; call RecomputeLength afterwards. Null on failure.
    char16_t* ReserveForWriting(uint32_t n);
    void RecomputeLength();
    // Cut the text at `length` units (no effect when already shorter).
    void Truncate(uint32_t length);

    // Decimal form of a signed 32-bit value appended to the text.
    bool AppendDecimal(int32_t value);

    const char16_t* Text() const { return buffer_ ? buffer_ : u""; }
    const char16_t* Buffer() const { return buffer_; }
    uint32_t Length() const { return length_; }
    uint32_t Capacity() const { return capacity_; }
    bool IsEmpty() const { return length_ == 0; }
    char16_t operator[](uint32_t i) const { return buffer_[i]; }

private:
    char16_t* buffer_ = nullptr;
    uint32_t capacity_ = 0;  // bytes
    uint32_t length_ = 0;    // code units before the NUL
};

// Compares two NUL-terminated texts, folding only ASCII A-Z / a-z.
bool EqualsIgnoringAsciiCase(const char16_t* a, const char16_t* b);

// Writes `value` in decimal with a NUL into `out` (at least 12 units) and
// returns the number of digits and sign written.
uint32_t FormatDecimal(int32_t value, char16_t* out);

// Length of a NUL-terminated text (0 for null).
uint32_t TextLength(const char16_t* text);

}  // namespace qdx
