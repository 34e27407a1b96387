#include "platform/clock.h"

#include <windows.h>

namespace platform {

double Now() {
    SYSTEMTIME local{};
    GetLocalTime(&local);
    const double days = EncodeDate(local.wYear, local.wMonth, local.wDay);
    return days + (local.wHour * 3600.0 + local.wMinute * 60.0 + local.wSecond + local.wMilliseconds / 1000.0) / 86400.0;
}

double Today() {
    SYSTEMTIME local{};
    GetLocalTime(&local);
    return EncodeDate(local.wYear, local.wMonth, local.wDay);
}

uint32_t TickCount() { return GetTickCount(); }

void SleepMs(uint32_t milliseconds) { Sleep(milliseconds); }

}  // namespace platform
