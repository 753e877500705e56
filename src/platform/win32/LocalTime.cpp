#include "platform/LocalTime.h"

#include <ctime>
#include <time.h>

namespace platform {

bool ToLocalCalendarTime(std::int64_t secondsSince1970, CalendarTime& local) {
    __time64_t time = static_cast<__time64_t>(secondsSince1970);
    // TZ, when set, overrides the system's zone; _tzset reads it again.
    _tzset();
    std::tm parts{};
    if (_localtime64_s(&parts, &time) != 0)
        return false;
    local.year = parts.tm_year + 1900;
    local.month = parts.tm_mon + 1;
    local.day = parts.tm_mday;
    local.hour = parts.tm_hour;
    local.minute = parts.tm_min;
    local.second = parts.tm_sec;
    return true;
}

} // namespace platform
