#include "app/Links.h"

#include "platform/Utf.h"
#include "platform/LocalTime.h"

#include <array>

namespace {

constexpr std::u16string_view kBase62Digits =
    u"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

// The largest place value that can be multiplied by 62 within 32 bits. It stops the walk before a sixth
// digit.
constexpr std::uint32_t kLargestPlaceValue = 69273666;

// The keywords in the order they are looked for; the first one found is used.
constexpr std::array<std::u16string_view, 6> kKeywords = {u"track-",  u"track:",   u"stream-",
                                                          u"stream:", u"station-", u"station:"};

// Links hold at most a keyword and four numbers.
constexpr std::size_t kMaxTokens = 5;

int Base62DigitValue(char16_t c) {
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'A' && c <= u'Z')
        return c - u'A' + 10;
    if (c >= u'a' && c <= u'z')
        return c - u'a' + 36;
    return -1;
}

bool IsSeparator(char16_t c) {
    return c == u'-' || c == u':';
}

void AppendTwoDigits(std::u16string& out, unsigned value) {
    out.push_back(static_cast<char16_t>(u'0' + value / 10 % 10));
    out.push_back(static_cast<char16_t>(u'0' + value % 10));
}

void AppendDecimal(std::u16string& out, std::uint64_t value) {
    std::array<char16_t, 20> digits{};
    std::size_t count = 0;
    do {
        digits[count++] = static_cast<char16_t>(u'0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (count > 0)
        out.push_back(digits[--count]);
}

} // namespace

std::optional<ParsedLink> ParseLink(std::u16string_view text) {
    text = text.substr(0, text.find(u'\0'));

    std::size_t start = std::u16string_view::npos;
    for (std::u16string_view keyword : kKeywords) {
        start = text.find(keyword);
        if (start != std::u16string_view::npos)
            break;
    }
    if (start == std::u16string_view::npos)
        return std::nullopt;

    // Letters and digits make up a token, a separator starts the next one, anything else ends the scan.
    std::array<std::u16string_view, kMaxTokens> tokens{};
    std::size_t current = 0;
    std::size_t tokenStart = start;
    std::size_t i = start;
    for (; i < text.size(); ++i) {
        char16_t c = text[i];
        if (Base62DigitValue(c) >= 0)
            continue;
        if (!IsSeparator(c))
            break;
        tokens[current] = text.substr(tokenStart, i - tokenStart);
        tokenStart = i + 1;
        if (++current == kMaxTokens)
            break;
    }
    if (current < kMaxTokens)
        tokens[current] = text.substr(tokenStart, i - tokenStart);

    ParsedLink link;
    if (tokens[0] == u"track" && !tokens[1].empty() && !tokens[2].empty() && !tokens[3].empty()) {
        link.stationId = DecodeBase62(tokens[1]);
        link.streamId = DecodeBase62(tokens[2]);
        link.seconds = DecodeBase62(tokens[3]);
        return link;
    }
    if (tokens[0] == u"stream" && !tokens[1].empty() && !tokens[2].empty()) {
        link.stationId = DecodeBase62(tokens[1]);
        link.streamId = DecodeBase62(tokens[2]);
        return link;
    }
    if (tokens[0] == u"station" && !tokens[1].empty()) {
        link.stationId = DecodeBase62(tokens[1]);
        return link;
    }
    return std::nullopt;
}

std::optional<ParsedLink> ParseNarrowLink(std::string_view utf8) {
    utf8 = utf8.substr(0, utf8.find('\0'));
    std::u16string wide = Utf8ToUtf16(utf8);
    if (wide.size() >= kLinkBufferUnits)
        return std::nullopt;
    return ParseLink(wide);
}

bool StartsWithLinkScheme(std::string_view narrow) {
    if (narrow.size() < kLinkScheme.size())
        return false;
    for (std::size_t i = 0; i < kLinkScheme.size(); ++i) {
        char c = narrow[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != static_cast<char>(kLinkScheme[i]))
            return false;
    }
    return true;
}

std::u16string MakeTrackLink(std::int32_t stationId, std::int32_t streamId, std::int32_t seconds) {
    return u"track-" + EncodeBase62(static_cast<std::uint32_t>(stationId)) + u"-" +
           EncodeBase62(static_cast<std::uint32_t>(streamId)) + u"-" +
           EncodeBase62(static_cast<std::uint32_t>(seconds));
}

std::u16string MakeStreamLink(std::int32_t stationId, std::int32_t streamId) {
    return u"stream-" + EncodeBase62(static_cast<std::uint32_t>(stationId)) + u"-" +
           EncodeBase62(static_cast<std::uint32_t>(streamId));
}

std::u16string EncodeBase62(std::uint32_t value) {
    std::u16string text;
    do {
        text.insert(text.begin(), kBase62Digits[value % 62]);
        value /= 62;
    } while (value != 0);
    return text;
}

std::int32_t DecodeBase62(std::u16string_view text) {
    std::uint32_t sum = 0;
    std::uint32_t place = 1;
    for (std::size_t i = text.size(); i-- > 0;) {
        if (place > kLargestPlaceValue)
            return 0;
        int digit = Base62DigitValue(text[i]);
        if (digit < 0)
            return 0;
        sum += static_cast<std::uint32_t>(digit) * place;
        place *= 62;
    }
    // Five digits reach at most 916132831, which fits a signed 32-bit number.
    return static_cast<std::int32_t>(sum);
}

std::u16string FormatDuration(std::int64_t seconds) {
    std::u16string text;
    // The magnitude in unsigned arithmetic, so that the most negative value has one too.
    std::uint64_t magnitude = static_cast<std::uint64_t>(seconds);
    if (seconds < 0) {
        text.push_back(u'-');
        magnitude = 0 - magnitude;
    }
    AppendDecimal(text, magnitude / 3600);
    text.push_back(u':');
    AppendTwoDigits(text, static_cast<unsigned>(magnitude / 60 % 60));
    text.push_back(u':');
    AppendTwoDigits(text, static_cast<unsigned>(magnitude % 60));
    return text;
}

std::u16string FormatDateTime(std::uint32_t secondsSince1970) {
    platform::CalendarTime local;
    if (!platform::ToLocalCalendarTime(static_cast<std::int64_t>(secondsSince1970), local))
        return {};
    // Years of 32-bit times are positive in every zone (1969 to 2106).
    std::u16string text;
    AppendDecimal(text, static_cast<std::uint64_t>(local.year));
    text.push_back(u'-');
    AppendTwoDigits(text, static_cast<unsigned>(local.month));
    text.push_back(u'-');
    AppendTwoDigits(text, static_cast<unsigned>(local.day));
    text.push_back(u' ');
    AppendTwoDigits(text, static_cast<unsigned>(local.hour));
    text.push_back(u':');
    AppendTwoDigits(text, static_cast<unsigned>(local.minute));
    return text;
}
