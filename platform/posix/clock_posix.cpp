#include "platform/clock.h"

#include <cerrno>
#include <ctime>

#include <sched.h>

namespace platform {

double Now() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    const double days = EncodeDate(local.tm_year + 1900, unsigned(local.tm_mon + 1), unsigned(local.tm_mday));
    // A leap second (tm_sec 60) is counted as the last second of the day.
    const int second = local.tm_sec > 59 ? 59 : local.tm_sec;
    const double fraction =
        (local.tm_hour * 3600.0 + local.tm_min * 60.0 + second + now.tv_nsec / 1e6 / 1000.0) / 86400.0;
    return days + fraction;
}

double Today() {
    const time_t now = time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    return EncodeDate(local.tm_year + 1900, unsigned(local.tm_mon + 1), unsigned(local.tm_mday));
}

uint32_t TickCount() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const uint64_t ms = uint64_t(now.tv_sec) * 1000u + uint64_t(now.tv_nsec) / 1000000u;
    return uint32_t(ms);
}

void SleepMs(uint32_t milliseconds) {
    if (milliseconds == 0) {
        sched_yield();
        return;
    }
    timespec request{time_t(milliseconds / 1000), long(milliseconds % 1000) * 1000000L};
    timespec remaining{};
    while (nanosleep(&request, &remaining) == -1 && errno == EINTR) request = remaining;
}

}  // namespace platform
