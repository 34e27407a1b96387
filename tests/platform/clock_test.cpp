#include "platform/clock.h"

#include "platform/Exception.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ctime>

using namespace platform;

TEST(Clock, DayCountsStartAt30December1899) {
    EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
    EXPECT_EQ(EncodeDate(1900, 1, 1), 2.0);
    EXPECT_EQ(EncodeDate(1900, 3, 1), 61.0) << "1900 is no leap year";
    EXPECT_EQ(EncodeDate(2000, 1, 1), 36526.0);
    EXPECT_EQ(EncodeDate(2024, 2, 29), 45351.0);
    EXPECT_EQ(EncodeDateTime(2000, 1, 1, 6, 0, 0), 36526.25);
    EXPECT_EQ(EncodeDateTime(1899, 12, 29, 18, 0, 0), -1.75) << "before the start the time counts away from zero";
    EXPECT_THROW(EncodeDate(2023, 2, 29), Exception);
    EXPECT_THROW(EncodeDate(2023, 13, 1), Exception);
    EXPECT_THROW(EncodeDateTime(2023, 1, 1, 24, 0, 0), Exception);
}

TEST(Clock, TodayIsTheLocalDateAndNowLiesWithinIt) {
    for (int attempt = 0; attempt < 3; ++attempt) {  // unless midnight passes in between
        const double today = Today();
        const double now = Now();
        const std::time_t t = std::time(nullptr);
        const std::tm local = *std::localtime(&t);
        if (Today() != today) continue;
        EXPECT_EQ(today, std::floor(today));
        EXPECT_EQ(today, EncodeDate(local.tm_year + 1900, unsigned(local.tm_mon + 1), unsigned(local.tm_mday)));
        EXPECT_GE(now, today);
        EXPECT_LT(now, today + 1);
        const double seconds = local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec;
        EXPECT_NEAR((now - today) * 86400.0, seconds, 2.0);
        return;
    }
    FAIL() << "the date kept changing";
}

TEST(Clock, TicksAdvanceAcrossASleep) {
    const uint32_t before = TickCount();
    SleepMs(0);
    SleepMs(60);
    const uint32_t elapsed = TickCount() - before;  // unsigned difference survives the wrap
    EXPECT_GE(elapsed, 40u);  // tick resolution is coarse on Windows
    EXPECT_LT(elapsed, 60000u);
}
