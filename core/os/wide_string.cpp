#include "core/wide_string.h"

#include <cstring>
#include <utility>

#include "core/os/os.h"

namespace qdx {

namespace {

constexpr uint32_t kTextUnits = 127;  // at most this many units of a library text

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

bool WideString::AppendText(uint32_t id, const TextSource* source) {
    if (!Reserve(length_ + kTextUnits)) return false;
    if (!source) return true;
    char16_t piece[kTextUnits + 1] = {};
    const uint32_t n = source->LoadText(id, piece, kTextUnits + 1);
    return Append(piece, n > kTextUnits ? kTextUnits : n);
}

bool WideString::AppendDecimal(int32_t value) {
    char16_t digits[12];
    const uint32_t n = FormatDecimal(value, digits);
    return Append(digits, n);
}

bool WideString::EndsWithSeparator() const {
    return length_ > 0 && buffer_[length_ - 1] == os::kPathSeparator;
}

bool WideString::SetFolderPlusName(const char16_t* folder, const char16_t* name) {
    const uint32_t folderLength = TextLength(folder);
    if (folderLength == 0) return true;
    WideString result;
    if (!result.Append(folder, folderLength)) return false;
    if (folder[folderLength - 1] != os::kPathSeparator && !result.Append(os::kPathSeparator)) return false;
    if (!result.Append(name)) return false;
    *this = std::move(result);
    return true;
}

bool WideString::SetFolderWithSeparator(const char16_t* folder) {
    WideString result;
    const uint32_t folderLength = TextLength(folder);
    if (!result.Append(folder, folderLength)) return false;
    if ((folderLength == 0 || folder[folderLength - 1] != os::kPathSeparator) && !result.Append(os::kPathSeparator))
        return false;
    *this = std::move(result);
    return true;
}

bool WideString::AppendPathComponent(const char16_t* component) {
    if (TextLength(component) == 0) return true;
    if (length_ > 0 && !EndsWithSeparator() && !Append(os::kPathSeparator)) return false;
    return Append(component);
}

namespace {

// Index of the last occurrence of `unit` at or after `from`, or -1.
int64_t LastIndexOf(const char16_t* text, uint32_t length, char16_t unit, uint32_t from = 0) {
    for (uint32_t i = length; i > from; --i)
        if (text[i - 1] == unit) return int64_t(i - 1);
    return -1;
}

// The last "." that follows the last separator, or -1.
int64_t ExtensionDot(const char16_t* text, uint32_t length) {
    const int64_t separator = LastIndexOf(text, length, os::kPathSeparator);
    const int64_t dot = LastIndexOf(text, length, u'.');
    return dot > separator ? dot : -1;
}

}  // namespace

bool WideString::ReplaceExtension(const char16_t* extension) {
    const int64_t dot = buffer_ ? ExtensionDot(buffer_, length_) : -1;
    if (dot >= 0) Truncate(uint32_t(dot));
    return Append(extension);
}

bool WideString::ReplaceFileNameWithDllPattern() {
    const int64_t separator = buffer_ ? LastIndexOf(buffer_, length_, os::kPathSeparator) : -1;
    if (separator < 0) return true;
    Truncate(uint32_t(separator + 1));
    return Append(u"*.dll");
}

void WideString::EditPath(int edit) {
    if (!buffer_ || length_ == 0) return;
    switch (edit) {
        case 1: {  // drop up to and including the first separator
            uint32_t i = 0;
            while (i < length_ && buffer_[i] != os::kPathSeparator) ++i;
            if (i == length_) return;
            const uint32_t rest = length_ - i - 1;
            std::memmove(buffer_, buffer_ + i + 1, size_t(rest) * 2);
            length_ = rest;
            buffer_[length_] = 0;
            return;
        }
        case 2: {  // keep the file name
            const int64_t separator = LastIndexOf(buffer_, length_, os::kPathSeparator);
            if (separator < 0) return;
            const uint32_t rest = length_ - uint32_t(separator) - 1;
            std::memmove(buffer_, buffer_ + separator + 1, size_t(rest) * 2);
            length_ = rest;
            buffer_[length_] = 0;
            return;
        }
        case 3: {  // keep the folder, without its trailing separator
            const int64_t separator = LastIndexOf(buffer_, length_, os::kPathSeparator);
            if (separator >= 0) Truncate(uint32_t(separator));
            return;
        }
        case 5: {  // drop the extension
            const int64_t dot = ExtensionDot(buffer_, length_);
            if (dot >= 0) Truncate(uint32_t(dot));
            return;
        }
        case 7: {  // cut at the last-but-one separator
            const int64_t last = LastIndexOf(buffer_, length_, os::kPathSeparator);
            if (last <= 0) return;
            const int64_t previous = LastIndexOf(buffer_, uint32_t(last), os::kPathSeparator);
            if (previous >= 0) Truncate(uint32_t(previous));
            return;
        }
        default:
            return;
    }
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
