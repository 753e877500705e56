#pragma once
// Local calendar time, following the user's time zone (Linux: TZ, else /etc/localtime).

#include <cstdint>

namespace platform {

struct CalendarTime {
    int year = 0;   // e.g. 2024
    int month = 0;  // 1 to 12
    int day = 0;    // 1 to 31
    int hour = 0;   // 0 to 23
    int minute = 0; // 0 to 59
    int second = 0; // 0 to 60 (a leap second)
};

// Converts `secondsSince1970` (UTC) to local calendar time. The time zone is looked up again at every
// call, so a changed TZ takes effect at once. False when the time cannot be represented.
bool ToLocalCalendarTime(std::int64_t secondsSince1970, CalendarTime& local);

} // namespace platform
