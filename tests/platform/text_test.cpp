#include "platform/text.h"

#include <gtest/gtest.h>

#include <climits>

using namespace platform;

TEST(Text, TrimsTheirOwnBlanks) {
    EXPECT_EQ(TrimControl(std::string_view("\x01\t x y\r\n\x20", 8)), "x y");
    EXPECT_EQ(TrimControl("\x7F x \xA0"), "\x7F x \xA0");  // DEL and NBSP are no blanks
    EXPECT_EQ(TrimControl(" \t "), "");
    EXPECT_EQ(TrimSpaceTab("\t x y \t"), "x y");
    EXPECT_EQ(TrimSpaceTab("\r x\n"), "\r x\n");
    EXPECT_EQ(TrimSpaceTab(" \t "), "");
}

TEST(Text, DecimalNumbersWithinTheirLimits) {
    const struct {
        const char* text;
        std::int64_t min, max;
        bool ok;
        std::int64_t value;
    } rows[] = {
        {"42", INT32_MIN, INT32_MAX, true, 42},
        {"+7", INT32_MIN, INT32_MAX, true, 7},
        {"-0", 0, 10, true, 0},
        {"2147483647", INT32_MIN, INT32_MAX, true, INT32_MAX},
        {"2147483648", INT32_MIN, INT32_MAX, false, -1},
        {"-2147483648", INT32_MIN, INT32_MAX, true, INT32_MIN},
        {"-2147483649", INT32_MIN, INT32_MAX, false, -1},
        {"-2147483648", -INT32_MAX, INT32_MAX, false, -1},
        {"9223372036854775807", INT64_MIN, INT64_MAX, true, INT64_MAX},
        {"-9223372036854775808", INT64_MIN, INT64_MAX, true, INT64_MIN},
        {"99999999999999999999", INT64_MIN, INT64_MAX, false, -1},
        {"-1", 0, 10, false, -1},
        {"10", 0, 10, true, 10},
        {"11", 0, 10, false, -1},
        {"", INT32_MIN, INT32_MAX, false, -1},
        {"-", INT32_MIN, INT32_MAX, false, -1},
        {"+-1", INT32_MIN, INT32_MAX, false, -1},
        {" 1", INT32_MIN, INT32_MAX, false, -1},
        {"1 ", INT32_MIN, INT32_MAX, false, -1},
        {"0x1", INT32_MIN, INT32_MAX, false, -1},
    };
    for (const auto& r : rows) {
        std::int64_t value = -1;
        EXPECT_EQ(ParseDecimal(r.text, r.min, r.max, value), r.ok) << r.text;
        EXPECT_EQ(value, r.value) << r.text;
    }
    std::uint64_t digits = 0;
    EXPECT_TRUE(ParseDigits("255", 255, digits));
    EXPECT_EQ(digits, 255u);
    EXPECT_FALSE(ParseDigits("256", 255, digits));
    EXPECT_FALSE(ParseDigits("+1", 255, digits));
    EXPECT_TRUE(ParseDigits("18446744073709551615", UINT64_MAX, digits));
    EXPECT_FALSE(ParseDigits("18446744073709551616", UINT64_MAX, digits));
}

TEST(Text, LinesAndReplacing) {
    using Lines = std::vector<std::string_view>;
    EXPECT_EQ(SplitLines("a\r\nb\nc\rd"), (Lines{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitLines("a\n\r\nb\r"), (Lines{"a", "", "b"}));
    EXPECT_EQ(SplitLines("\r\n"), Lines{""});
    EXPECT_EQ(SplitLines(""), Lines{});
    EXPECT_EQ(ReplaceAll("a&amp;amp;b", "&amp;", "&"), "a&amp;b");
    EXPECT_EQ(ReplaceAll("xx", "x", "yx"), "yxyx");
    EXPECT_EQ(ReplaceAll("abc", "d", "e"), "abc");
}
