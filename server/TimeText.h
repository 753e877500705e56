#pragma once
// Times as people write them: stream offsets as [-]H:MM:SS (or plain seconds), calendar dates and times
// of day, and broadcast start times as UTC seconds since 1970-01-01.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace station {

// "[-]H:MM:SS" (hours unbounded, minutes and seconds two digits below 60) or "[-]SECONDS".
std::optional<std::int64_t> ParseOffset(std::string_view text);
// "[-]H:MM:SS" with hours without leading zeros.
std::string FormatOffset(std::int64_t seconds);

// Days since 1970-01-01 of a proleptic Gregorian date; nullopt when the date does not exist.
std::optional<std::int64_t> DaysFromCivil(int year, int month, int day);
// The calendar date of `days` since 1970-01-01.
void CivilFromDays(std::int64_t days, int& year, int& month, int& day);

// "HH:MM:SS" or "HH:MM" (hours 0-23): seconds since midnight.
std::optional<int> ParseTimeOfDay(std::string_view text);

// A point in time: "YYYY-MM-DD HH:MM[:SS]" or with "T" between date and time, followed by nothing
// (the zone `defaultOffsetSeconds`), "Z" or "+HH:MM"/"-HH:MM"; or "@SECONDS" since the epoch.
// Answers UTC seconds since 1970-01-01.
std::optional<std::int64_t> ParseDateTime(std::string_view text, std::int64_t defaultOffsetSeconds = 0);
// "+HH:MM", "-HH:MM" or "Z": seconds east of UTC.
std::optional<std::int64_t> ParseZoneOffset(std::string_view text);
// "YYYY-MM-DD HH:MM:SS" in UTC.
std::string FormatUtc(std::int64_t seconds);

// English month ("Jan".."Dec") to 1-12, or 0.
int MonthFromName(std::string_view name);

} // namespace station

namespace station {
// The zone written at the end of a ParseDateTime text ("Z" or "+HH:MM"), if any: seconds east of UTC.
std::optional<std::int64_t> ZoneOfDateTime(std::string_view text);
} // namespace station
