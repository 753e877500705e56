#pragma once
// Conversions between the program's UTF-16 texts and UTF-8 at its boundaries. Invalid input never fails:
// each ill-formed sequence becomes U+FFFD.

#include <string>
#include <string_view>

std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

// True when `utf8` is well-formed: no overlong forms, surrogates or code points past U+10FFFF.
bool IsValidUtf8(std::string_view utf8);
// Appends code point `c` (at most U+10FFFF, not a surrogate) to `out` as UTF-8.
void AppendUtf8(std::string& out, char32_t c);
