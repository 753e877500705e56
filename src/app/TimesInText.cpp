#include "app/TimesInText.h"

namespace {

bool IsDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

// Letters and digits of any script count as part of a word; a time must not touch one.
bool IsWordUnit(char16_t c) {
    return IsDigit(c) || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_' ||
           (c >= 0xC0 && c != 0xD7 && c != 0xF7 && !(c >= 0x2000 && c <= 0x2BFF) &&
            !(c >= 0x3000 && c <= 0x303F));
}

// Reads a run of digits at `i`; answers its length (0 when none).
std::size_t Digits(std::u16string_view text, std::size_t i, std::int32_t& value) {
    std::size_t n = 0;
    value = 0;
    while (i + n < text.size() && IsDigit(text[i + n]) && n < 4) {
        value = value * 10 + (text[i + n] - u'0');
        ++n;
    }
    if (i + n < text.size() && IsDigit(text[i + n]))
        return 0; // too long a run to be part of a time
    return n;
}

} // namespace

std::vector<TimeInText> FindTimesInText(std::u16string_view text, std::int32_t lastSecond) {
    std::vector<TimeInText> times;
    std::size_t i = 0;
    while (i < text.size()) {
        if (!IsDigit(text[i]) ||
            (i > 0 && (IsWordUnit(text[i - 1]) || text[i - 1] == u':' || text[i - 1] == u'.'))) {
            ++i;
            continue;
        }
        std::int32_t first = 0, second = 0, third = 0;
        const std::size_t n1 = Digits(text, i, first);
        std::size_t end = i + n1;
        std::size_t fields = 1;
        std::size_t n2 = 0, n3 = 0;
        if (n1 > 0 && end < text.size() && text[end] == u':') {
            n2 = Digits(text, end + 1, second);
            if (n2 == 2) {
                end += 1 + n2;
                fields = 2;
                if (end < text.size() && text[end] == u':') {
                    n3 = Digits(text, end + 1, third);
                    if (n3 == 2) {
                        end += 1 + n3;
                        fields = 3;
                    }
                }
            }
        }
        // Nothing word-like or another colon-and-digit field may follow the time.
        const bool standsAlone =
            end >= text.size() || (!IsWordUnit(text[end]) &&
                                   !(text[end] == u':' && end + 1 < text.size() && IsDigit(text[end + 1])));
        std::int32_t seconds = -1;
        if (fields == 2 && n1 <= 3 && second < 60)
            seconds = first * 60 + second;
        else if (fields == 3 && n1 <= 2 && second < 60 && third < 60)
            seconds = first * 3600 + second * 60 + third;
        if (seconds >= 0 && standsAlone && (lastSecond < 0 || seconds <= lastSecond))
            times.push_back({i, end - i, seconds});
        i = end > i ? end : i + 1;
    }
    return times;
}
