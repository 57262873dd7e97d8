#pragma once
// UTF-16 <-> UTF-8 conversion for the POSIX side of the OS layer and the
// command line. Ill-formed input (lone surrogates, bad UTF-8) becomes U+FFFD.
#include <cstddef>
#include <string>

namespace qdx {

class WideString;

std::string ToUtf8(const char16_t* text, size_t length);
std::string ToUtf8(const char16_t* text);
// Appends the UTF-8 text to `out`; false when the string could not grow.
bool AppendUtf8(WideString& out, const char* text, size_t length);
bool AppendUtf8(WideString& out, const char* text);

}  // namespace qdx
