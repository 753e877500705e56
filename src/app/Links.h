#pragma once
// Links and identifiers: the link grammar, the base-62 number form used in links, and the two text forms
// of time shown to the user.
//
// A link names a station ("station-X", parsed only), a stream ("stream-X-Y") or a moment in a stream
// ("track-X-Y-Z", Z in whole seconds). X, Y and Z are base-62 numbers; the separator is "-" or ":" (the
// program writes "-"). Links travel with the prefix "vantri:" or the web link base in front.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The three fields of a link, always in this order; fields a link does not name are 0.
struct ParsedLink {
    std::int32_t stationId = 0;
    std::int32_t streamId = 0;
    std::int32_t seconds = 0;

    bool operator==(const ParsedLink&) const = default;
};

// The scheme that `vantri:` links start with.
inline constexpr std::u16string_view kLinkScheme = u"vantri:";

// Narrow link texts (the command line, a second instance's data) are converted into a buffer of this many
// UTF-16 units, terminating zero included; a longer text is not a link.
inline constexpr std::size_t kLinkBufferUnits = 1024;

// Finds the first "track-", else "track:", "stream-", "stream:", "station-", "station:" anywhere in `text`
// and reads the numbers that follow it. Nothing when the text is not a link; no other occurrence is tried.
// A number of six or more digits reads as 0. The text ends at its first zero unit, if any.
std::optional<ParsedLink> ParseLink(std::u16string_view text);

// ParseLink for narrow text (UTF-8), which ends at its first zero byte. A text that needs more than
// kLinkBufferUnits - 1 UTF-16 units is not a link.
std::optional<ParsedLink> ParseNarrowLink(std::string_view utf8);

// True when `narrow` starts with "vantri:" in any letter case (a second instance's data must).
bool StartsWithLinkScheme(std::string_view narrow);

// "track-" then station, stream and seconds in base 62, joined by "-". Ids and seconds are written as
// 32-bit unsigned numbers.
std::u16string MakeTrackLink(std::int32_t stationId, std::int32_t streamId, std::int32_t seconds);

// "stream-" then station and stream in base 62, joined by "-".
std::u16string MakeStreamLink(std::int32_t stationId, std::int32_t streamId);

// The base-62 digits of `value`, most significant first, without leading zeros; 0 gives "0".
std::u16string EncodeBase62(std::uint32_t value);

// The value of one to five base-62 digits. The empty text, a text of six or more digits and a text holding
// any other character give 0.
std::int32_t DecodeBase62(std::u16string_view text);

// Signed whole seconds as H:MM:SS, with "-" in front of negative values: 3725 gives "1:02:05", -59 gives
// "-0:00:59". Hours take as many digits as they need.
std::u16string FormatDuration(std::int64_t seconds);

// Seconds since 1970-01-01 UTC as local "YYYY-MM-DD HH:MM"; empty when the local time cannot be found.
std::u16string FormatDateTime(std::uint32_t secondsSince1970);
