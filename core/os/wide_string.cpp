#include "core/os/wide_string.h"

#include <cstring>
#include <utility>

#include "core/os/os.h"

namespace qdx {

namespace {

// (2n + 2) bytes rounded up to a multiple of 128; false when that leaves 32 bits.
bool BytesFor(uint32_t n, uint32_t& bytes) {
    uint64_t need = (uint64_t(n) * 2 + 2 + 127) & ~uint64_t(127);
    if (need > 0xFFFFFFFFu) return false;
    bytes = uint32_t(need);
    return true;
}

}  // namespace

uint32_t TextLength(const char16_t* text) {
    if (!text) return 0;
    uint32_t n = 0;
    while (text[n]) ++n;
    return n;
}

WideString::WideString(WideString&& other) noexcept
    : buffer_(other.buffer_), capacity_(other.capacity_), length_(other.length_) {
    other.buffer_ = nullptr;
    other.capacity_ = 0;
    other.length_ = 0;
}

WideString& WideString::operator=(WideString&& other) noexcept {
    if (this != &other) {
        if (buffer_) os::ProcessHeapFree(buffer_);
        buffer_ = other.buffer_;
        capacity_ = other.capacity_;
        length_ = other.length_;
        other.buffer_ = nullptr;
        other.capacity_ = 0;
        other.length_ = 0;
    }
    return *this;
}

WideString::~WideString() {
    if (buffer_) os::ProcessHeapFree(buffer_);
}

bool WideString::Reserve(uint32_t n) {
    uint32_t bytes = 0;
    const bool sizeFits = BytesFor(n, bytes);
    if (buffer_ && sizeFits && capacity_ >= uint32_t(uint64_t(n) * 2 + 2)) return true;
    if (!buffer_) {
        if (!sizeFits) return false;
        auto* fresh = static_cast<char16_t*>(os::ProcessHeapAlloc(bytes));
        if (!fresh) return false;
        buffer_ = fresh;
        capacity_ = bytes;
        length_ = 0;
        return true;
    }
    void* grown = sizeFits ? os::ProcessHeapRealloc(buffer_, bytes) : nullptr;
    if (!grown) {
        // A failed growth empties the string rather than leaving a half state.
        os::ProcessHeapFree(buffer_);
        buffer_ = nullptr;
        capacity_ = 0;
        length_ = 0;
        return false;
    }
    buffer_ = static_cast<char16_t*>(grown);
    capacity_ = bytes;
    return true;
}

bool WideString::Append(const char16_t* text, uint32_t n) {
    if (uint64_t(length_) + n > 0x7FFFFFFEu) return false;
    // The source may lie inside our own buffer, which growing can move.
    const bool aliased = buffer_ && text >= buffer_ && text < buffer_ + capacity_ / 2;
    const size_t offset = aliased ? size_t(text - buffer_) : 0;
    if (!Reserve(length_ + n)) return false;
    if (aliased) text = buffer_ + offset;
    if (n) std::memmove(buffer_ + length_, text, size_t(n) * 2);
    length_ += n;
    buffer_[length_] = 0;
    return true;
}

bool WideString::Append(const char16_t* text) {
    if (!text) return true;
    return Append(text, TextLength(text));
}

bool WideString::Assign(const char16_t* text) {
    if (buffer_ && text >= buffer_ && text < buffer_ + capacity_ / 2) {
        // Assigning a tail of ourselves.
        const uint32_t n = TextLength(text);
        std::memmove(buffer_, text, size_t(n) * 2);
        length_ = n;
        buffer_[n] = 0;
        return true;
    }
    const uint32_t n = TextLength(text);
    if (!Reserve(n)) return false;
    length_ = 0;
    return Append(text, n);
}

bool WideString::Assign(const WideString& other) {
    if (this == &other) return true;
    if (!Reserve(other.length_)) return false;
    length_ = 0;
    return Append(other.Text(), other.length_);
}

void WideString::Clear() {
    length_ = 0;
    if (buffer_) buffer_[0] = 0;
}

char16_t* WideString::ReserveForWriting(uint32_t n) {
    if (!Reserve(n)) return nullptr;
    length_ = 0;
    buffer_[0] = 0;
    return buffer_;
}

void WideString::RecomputeLength() {
    if (!buffer_) {
        length_ = 0;
        return;
    }
    const uint32_t units = capacity_ / 2;
    uint32_t n = 0;
    while (n < units && buffer_[n]) ++n;
    if (n == units) {  // no terminator written: keep the last unit for it
        n = units - 1;
        buffer_[n] = 0;
    }
    length_ = n;
}

void WideString::Truncate(uint32_t length) {
    if (length >= length_) return;
    length_ = length;
    buffer_[length_] = 0;
}

bool WideString::AppendDecimal(int32_t value) {
    char16_t digits[12];
    const uint32_t n = FormatDecimal(value, digits);
    return Append(digits, n);
}

bool EqualsIgnoringAsciiCase(const char16_t* a, const char16_t* b) {
    if (!a) a = u"";
    if (!b) b = u"";
    for (;; ++a, ++b) {
        char16_t x = *a, y = *b;
        if (x >= u'A' && x <= u'Z') x = char16_t(x + 32);
        if (y >= u'A' && y <= u'Z') y = char16_t(y + 32);
        if (x != y) return false;
        if (x == 0) return true;
    }
}

uint32_t FormatDecimal(int32_t value, char16_t* out) {
    char16_t reversed[11];
    uint32_t digits = 0;
    // Work in unsigned so that INT32_MIN has a magnitude too.
    uint32_t magnitude = value < 0 ? 0u - uint32_t(value) : uint32_t(value);
    do {
        reversed[digits++] = char16_t(u'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude);
    uint32_t n = 0;
    if (value < 0) out[n++] = u'-';
    while (digits) out[n++] = reversed[--digits];
    out[n] = 0;
    return n;
}

}  // namespace qdx
