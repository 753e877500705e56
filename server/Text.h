#pragma once
// Byte and text helpers for files that people write: UTF-8 checks and repair, number parsing that never
// throws, splitting and trimming, and cutting UTF-8 texts to a byte or UTF-16 unit budget.

#include "platform/Utf.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace station {

// Windows-1252 (the usual fallback of IRC clients on Windows) to UTF-8; undefined bytes become U+FFFD.
std::string Cp1252ToUtf8(std::string_view text);
// `text` itself when it is valid UTF-8, else its Windows-1252 reading.
std::string RepairUtf8(std::string_view text);

// UTF-16 units needed for valid UTF-8 `text` (characters above U+FFFF take two).
std::size_t Utf16Units(std::string_view text);
// The longest prefix of valid UTF-8 `text` that ends on a character boundary and takes at most
// `maxBytes` bytes and `maxUnits` UTF-16 units.
std::string_view CutUtf8(std::string_view text, std::size_t maxBytes, std::size_t maxUnits);

std::string_view Trim(std::string_view text);
// Splits at every `separator`; n separators give n + 1 fields.
std::vector<std::string_view> Split(std::string_view text, char separator);
// Splits `text` into lines at LF, dropping a CR before it and a UTF-8 byte order mark at the start.
std::vector<std::string_view> SplitLines(std::string_view text);
bool StartsWith(std::string_view text, std::string_view prefix);
bool EndsWith(std::string_view text, std::string_view suffix);
std::string ToLower(std::string_view text);
// `text` for a log line: control bytes, backslashes and bytes above 0x7E written as \xHH, so that what
// a client sent cannot forge or hide log lines.
std::string EscapedForLog(std::string_view text);

// Decimal digits only (no sign, no blanks), at most `max`.
bool ParseUnsigned(std::string_view text, std::uint64_t max, std::uint64_t& value);
// An optional "-" and decimal digits, within [min, max].
bool ParseSigned(std::string_view text, std::int64_t min, std::int64_t max, std::int64_t& value);

} // namespace station
