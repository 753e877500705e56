#include "Text.h"

#include "platform/Utf.h"

#include <array>
#include <charconv>

namespace station {
namespace {

// Windows-1252 code points for bytes 0x80-0x9F; 0 marks the five undefined bytes.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

} // namespace

std::string Cp1252ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 2);
    for (char ch : text) {
        const auto b = static_cast<unsigned char>(ch);
        if (b < 0x80) {
            out.push_back(ch);
        } else if (b < 0xA0) {
            const char16_t mapped = kCp1252High[b - 0x80];
            AppendUtf8(out, mapped != 0 ? mapped : 0xFFFD);
        } else {
            AppendUtf8(out, b);
        }
    }
    return out;
}

std::string RepairUtf8(std::string_view text) {
    if (IsValidUtf8(text))
        return std::string(text);
    return Cp1252ToUtf8(text);
}

std::size_t Utf16Units(std::string_view text) {
    std::size_t units = 0;
    for (char ch : text) {
        const auto b = static_cast<unsigned char>(ch);
        if ((b & 0xC0) != 0x80)
            units += (b >= 0xF0) ? 2 : 1;
    }
    return units;
}

std::string_view CutUtf8(std::string_view text, std::size_t maxBytes, std::size_t maxUnits) {
    std::size_t bytes = 0;
    std::size_t units = 0;
    while (bytes < text.size()) {
        const auto b = static_cast<unsigned char>(text[bytes]);
        std::size_t length = 1;
        if (b >= 0xF0)
            length = 4;
        else if (b >= 0xE0)
            length = 3;
        else if (b >= 0xC0)
            length = 2;
        const std::size_t charUnits = length == 4 ? 2 : 1;
        if (bytes + length > text.size() || bytes + length > maxBytes || units + charUnits > maxUnits)
            break;
        bytes += length;
        units += charUnits;
    }
    return text.substr(0, bytes);
}

std::string_view Trim(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(separator, start);
        if (end == std::string_view::npos) {
            fields.push_back(text.substr(start));
            return fields;
        }
        fields.push_back(text.substr(start, end - start));
        start = end + 1;
    }
}

std::vector<std::string_view> SplitLines(std::string_view text) {
    if (StartsWith(text, "\xEF\xBB\xBF"))
        text.remove_prefix(3);
    std::vector<std::string_view> lines = Split(text, '\n');
    if (!lines.empty() && lines.back().empty())
        lines.pop_back();
    // Any number of carriage returns end a line: a file converted twice to Windows line ends has
    // "\r\r\n", and a line's last field must read back the same after it is written anew.
    for (auto& line : lines)
        while (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
    return lines;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool EndsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

std::string ToLower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool ParseUnsigned(std::string_view text, std::uint64_t max, std::uint64_t& value) {
    if (text.empty())
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    std::uint64_t parsed = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (error != std::errc() || end != text.data() + text.size() || parsed > max)
        return false;
    value = parsed;
    return true;
}

bool ParseSigned(std::string_view text, std::int64_t min, std::int64_t max, std::int64_t& value) {
    const bool negative = StartsWith(text, "-");
    if (negative)
        text.remove_prefix(1);
    std::uint64_t magnitude = 0;
    if (!ParseUnsigned(text, std::uint64_t{1} << 63, magnitude))
        return false;
    if (!negative && magnitude > static_cast<std::uint64_t>(INT64_MAX))
        return false;
    const std::int64_t parsed =
        negative ? static_cast<std::int64_t>(0 - magnitude) : static_cast<std::int64_t>(magnitude);
    if (parsed < min || parsed > max)
        return false;
    value = parsed;
    return true;
}

std::string EscapedForLog(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7F || c == '\\') {
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace station
