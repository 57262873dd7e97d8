#include "core/os/utf_convert.h"

#include "core/os/wide_string.h"

namespace qdx {

std::string ToUtf8(const char16_t* text, size_t length) {
    std::string out;
    out.reserve(length);
    for (size_t i = 0; i < length; ++i) {
        uint32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string ToUtf8(const char16_t* text) { return ToUtf8(text, TextLength(text)); }

bool AppendUtf8(WideString& out, const char* text, size_t length) {
    const auto* s = reinterpret_cast<const unsigned char*>(text);
    size_t i = 0;
    while (i < length) {
        uint32_t c = s[i];
        uint32_t extra = 0;
        uint32_t minimum = 0;
        if (c < 0x80) {
            extra = 0;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1, c &= 0x1F, minimum = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2, c &= 0x0F, minimum = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3, c &= 0x07, minimum = 0x10000;
        } else {
            c = 0xFFFD, extra = 0;
        }
        size_t j = 1;
        bool valid = true;
        for (; j <= extra; ++j) {
            if (i + j >= length || (s[i + j] & 0xC0) != 0x80) {
                valid = false;
                break;
            }
            c = (c << 6) | (s[i + j] & 0x3F);
        }
        if (!valid || (extra && (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)))) {
            c = 0xFFFD;  // an invalid sequence resumes at the byte that broke it
        }
        i += valid ? extra + 1 : j;
        if (c >= 0x10000) {
            const char16_t pair[2] = {char16_t(0xD800 + ((c - 0x10000) >> 10)), char16_t(0xDC00 + ((c - 0x10000) & 0x3FF))};
            if (!out.Append(pair, 2)) return false;
        } else if (!out.Append(char16_t(c))) {
            return false;
        }
    }
    return true;
}

bool AppendUtf8(WideString& out, const char* text) {
    size_t n = 0;
    while (text && text[n]) ++n;
    return AppendUtf8(out, text, n);
}

}  // namespace qdx
