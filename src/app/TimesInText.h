#pragma once
// Times of a show written in a chat line ("at 1:23:45", "12:30"): h:mm:ss with one or two hour
// digits, or m:ss with one to three minute digits, standing on their own (not part of a longer run of
// digits, colons or letters, so "10:30:00:00", "a1:30" and "1:234" are no times).

#include <cstdint>
#include <string_view>
#include <vector>

struct TimeInText {
    std::size_t start = 0;  // UTF-16 index of the first digit
    std::size_t length = 0; // UTF-16 units
    std::int32_t seconds = 0;
};

// The times in `text` in order; those later than `lastSecond` (the show's length, when not negative)
// are left out, as they point past the show's end.
std::vector<TimeInText> FindTimesInText(std::u16string_view text, std::int32_t lastSecond = -1);
