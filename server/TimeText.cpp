#include "TimeText.h"

#include "Text.h"

#include <array>
#include <cstdio>

namespace station {
namespace {

bool TwoDigits(std::string_view text, int max, int& value) {
    if (text.size() != 2 || text[0] < '0' || text[0] > '9' || text[1] < '0' || text[1] > '9')
        return false;
    value = (text[0] - '0') * 10 + (text[1] - '0');
    return value <= max;
}

} // namespace

std::optional<std::int64_t> ParseOffset(std::string_view text) {
    const bool negative = StartsWith(text, "-");
    std::string_view rest = negative ? text.substr(1) : text;
    const auto parts = Split(rest, ':');
    std::uint64_t total = 0;
    if (parts.size() == 1) {
        if (!ParseUnsigned(parts[0], std::uint64_t{1} << 40, total))
            return std::nullopt;
    } else if (parts.size() == 3) {
        std::uint64_t hours = 0;
        int minutes = 0;
        int seconds = 0;
        if (!ParseUnsigned(parts[0], 1u << 24, hours) || !TwoDigits(parts[1], 59, minutes) ||
            !TwoDigits(parts[2], 59, seconds))
            return std::nullopt;
        total = hours * 3600 + static_cast<std::uint64_t>(minutes) * 60 + static_cast<std::uint64_t>(seconds);
    } else {
        return std::nullopt;
    }
    const auto value = static_cast<std::int64_t>(total);
    return negative ? -value : value;
}

std::string FormatOffset(std::int64_t seconds) {
    const bool negative = seconds < 0;
    const std::uint64_t magnitude = negative
                                        ? static_cast<std::uint64_t>(0) - static_cast<std::uint64_t>(seconds)
                                        : static_cast<std::uint64_t>(seconds);
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%s%llu:%02u:%02u", negative ? "-" : "",
                  static_cast<unsigned long long>(magnitude / 3600),
                  static_cast<unsigned>(magnitude / 60 % 60), static_cast<unsigned>(magnitude % 60));
    return buffer;
}

std::optional<std::int64_t> DaysFromCivil(int year, int month, int day) {
    static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1)
        return std::nullopt;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (day > kDays[month - 1] + (month == 2 && leap ? 1 : 0))
        return std::nullopt;
    // Howard Hinnant's days_from_civil.
    const std::int64_t y = static_cast<std::int64_t>(year) - (month <= 2 ? 1 : 0);
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(std::int64_t days, int& year, int& month, int& day) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t doe = days - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

std::optional<int> ParseTimeOfDay(std::string_view text) {
    const auto parts = Split(text, ':');
    int hours = 0;
    int minutes = 0;
    int seconds = 0;
    if (parts.size() < 2 || parts.size() > 3 || !TwoDigits(parts[0], 23, hours) ||
        !TwoDigits(parts[1], 59, minutes))
        return std::nullopt;
    if (parts.size() == 3 && !TwoDigits(parts[2], 60, seconds)) // 60: a leap second
        return std::nullopt;
    return hours * 3600 + minutes * 60 + (seconds == 60 ? 59 : seconds);
}

std::optional<std::int64_t> ParseZoneOffset(std::string_view text) {
    if (text == "Z" || text == "z")
        return 0;
    if (text.size() != 6 || (text[0] != '+' && text[0] != '-') || text[3] != ':')
        return std::nullopt;
    int hours = 0;
    int minutes = 0;
    if (!TwoDigits(text.substr(1, 2), 23, hours) || !TwoDigits(text.substr(4, 2), 59, minutes))
        return std::nullopt;
    const std::int64_t offset = hours * 3600 + minutes * 60;
    return text[0] == '-' ? -offset : offset;
}

std::optional<std::int64_t> ParseDateTime(std::string_view text, std::int64_t defaultOffsetSeconds) {
    text = Trim(text);
    if (StartsWith(text, "@")) {
        std::int64_t seconds = 0;
        if (!ParseSigned(text.substr(1), INT64_C(-1) << 40, INT64_C(1) << 40, seconds))
            return std::nullopt;
        return seconds;
    }
    if (text.size() < 16 || text[4] != '-' || text[7] != '-' || (text[10] != ' ' && text[10] != 'T'))
        return std::nullopt;
    std::uint64_t year = 0;
    int month = 0;
    int day = 0;
    if (!ParseUnsigned(text.substr(0, 4), 9999, year) || !TwoDigits(text.substr(5, 2), 12, month) ||
        !TwoDigits(text.substr(8, 2), 31, day))
        return std::nullopt;
    std::string_view rest = text.substr(11);
    std::size_t clockEnd = 0;
    while (clockEnd < rest.size() &&
           ((rest[clockEnd] >= '0' && rest[clockEnd] <= '9') || rest[clockEnd] == ':'))
        ++clockEnd;
    const auto timeOfDay = ParseTimeOfDay(rest.substr(0, clockEnd));
    const auto days = DaysFromCivil(static_cast<int>(year), month, day);
    if (!timeOfDay || !days)
        return std::nullopt;
    std::string_view zone = Trim(rest.substr(clockEnd));
    std::int64_t offset = defaultOffsetSeconds;
    if (!zone.empty()) {
        const auto parsed = ParseZoneOffset(zone);
        if (!parsed)
            return std::nullopt;
        offset = *parsed;
    }
    return *days * 86400 + *timeOfDay - offset;
}

std::string FormatUtc(std::int64_t seconds) {
    std::int64_t days = seconds / 86400;
    std::int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    int year = 0;
    int month = 0;
    int day = 0;
    CivilFromDays(days, year, month, day);
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day,
                  static_cast<int>(rest / 3600), static_cast<int>(rest / 60 % 60),
                  static_cast<int>(rest % 60));
    return buffer;
}

int MonthFromName(std::string_view name) {
    static constexpr std::array<std::string_view, 12> kMonths = {"jan", "feb", "mar", "apr", "may", "jun",
                                                                 "jul", "aug", "sep", "oct", "nov", "dec"};
    const std::string lower = ToLower(name.substr(0, 3));
    if (name.size() < 3)
        return 0;
    for (std::size_t i = 0; i < kMonths.size(); ++i)
        if (lower == kMonths[i])
            return static_cast<int>(i) + 1;
    return 0;
}

} // namespace station

namespace station {
std::optional<std::int64_t> ZoneOfDateTime(std::string_view text) {
    text = Trim(text);
    if (StartsWith(text, "@") || text.size() < 17)
        return std::nullopt;
    if (EndsWith(text, "Z") || EndsWith(text, "z"))
        return 0;
    if (text.size() >= 22)
        return ParseZoneOffset(text.substr(text.size() - 6));
    return std::nullopt;
}
} // namespace station
