#include "platform/clock.h"

#include "platform/Exception.h"

#include <chrono>

namespace platform {

double EncodeDate(int year, unsigned month, unsigned day) {
    using namespace std::chrono;
    const year_month_day date{std::chrono::year(year), std::chrono::month(month), std::chrono::day(day)};
    if (!date.ok()) throw Exception("Invalid argument to date encode");
    constexpr sys_days kEpoch = sys_days(1899y / December / 30);
    return double((sys_days(date) - kEpoch).count());
}

double EncodeDateTime(int year, unsigned month, unsigned day, unsigned hour, unsigned minute, unsigned second) {
    if (hour > 23 || minute > 59 || second > 59) throw Exception("Invalid argument to time encode");
    const double days = EncodeDate(year, month, day);
    const double fraction = (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
    // Before the epoch the time of day counts away from zero too: 29 December 1899, 06:00 is -1.25.
    return days < 0 ? days - fraction : days + fraction;
}

}  // namespace platform
