#pragma once
// Conversions between the program's UTF-16 texts and UTF-8 at its boundaries. Invalid input never fails:
// each ill-formed sequence becomes U+FFFD.

#include <string>
#include <string_view>

std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);
