#include "platform/LocalTime.h"

#include <ctime>
#include <time.h>

namespace platform {

bool ToLocalCalendarTime(std::int64_t secondsSince1970, CalendarTime& local) {
    std::time_t time = static_cast<std::time_t>(secondsSince1970);
    if (static_cast<std::int64_t>(time) != secondsSince1970)
        return false;
    // localtime_r alone keeps the zone it saw first; tzset reads TZ again (cheap when it is unchanged).
    tzset();
    std::tm parts{};
    if (localtime_r(&time, &parts) == nullptr)
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
