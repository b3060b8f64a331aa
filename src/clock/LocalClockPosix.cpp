// The system clock with the local time-zone rules, read through the C library.
#include <algorithm>
#include <ctime>

#include "clock/DateTime.h"

namespace exam {

DateTime currentDateTime() {
    const std::time_t now = std::time(nullptr);
    // localtime_r need not notice a changed TZ by itself; tzset makes it.
    tzset();
    std::tm local{};
    if (!localtime_r(&now, &local)) return MinDateTime;
    // A leap second (tm_sec 60) is shown as the last second of its minute.
    return makeDateTime({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                         local.tm_min, std::min(local.tm_sec, 59)});
}

}  // namespace exam
