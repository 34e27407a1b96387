// The report's texts byte by byte: query encoding, the statistics URL, the "OK" rule, the mail link, the
// version table and the day count.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "app/FeedbackReport.h"

namespace {

using Rows = std::vector<std::pair<AnsiString, AnsiString>>;

TEST(ReportText, QueryValueAndMailBodyEncodings) {
    const Rows query = {
        {"AZaz09!$'()*-.@_", "AZaz09!$'()*-.@_"},
        {"ab \xE9~", "ab+%E9%7E"},
        {"&=+%#?/:;,\"<>[]^`{|}", "%26%3D%2B%25%23%3F%2F%3A%3B%2C%22%3C%3E%5B%5D%5E%60%7B%7C%7D"},
        {"\x01\t\r\n\x7F\x80\xFF", "%01%09%0D%0A%7F%80%FF"},
        {AnsiString("ab\0cd", 5), "ab"},  // ends at the first zero byte
    };
    for (const auto& [text, encoded] : query) EXPECT_EQ(EncodeQueryValue(text), encoded) << text;
    const Rows body = {
        {"Other: a&b", "Other:%20a%26b"},
        {"100% #1 a+b", "100%25%20%231%20a%2Bb"},
        {"a\r\nb\nc\rd\n\re", "a%0D%0Ab%0D%0Ac%0D%0Ad%0D%0A%0D%0Ae"},  // every line break form is one CR LF
        {"a\r\n", "a%0D%0A"},
        {"a\r", "a%0D%0A"},
        {AnsiString("\t\x01\x1F\x7F\0z", 6), "%09%01%1F%7F%00z"},
        {"\"<>\\^`{|}", "%22%3C%3E%5C%5E%60%7B%7C%7D"},
        {"\xC4\xE0\xFF?=/:@~'!$()*,; ", "\xC4\xE0\xFF?=/:@~'!$()*,;%20"},
    };
    for (const auto& [text, encoded] : body) EXPECT_EQ(EncodeMailBody(text), encoded) << text;
}

TEST(ReportText, UrlMailLinkAndTheOKRule) {
    EXPECT_EQ(BuildReportUrl("stat.example", 12, "My Product", "Windows 95 OSR 2", "Too expensive"),
              "http://stat.example/stat/uninstall.php?days=12&prj=My+Product&os=Windows+95+OSR+2&reason=Too+expensive");
    EXPECT_EQ(BuildReportUrl("h:8080", 1, "", "Unknown", "Other: "),
              "http://h:8080/stat/uninstall.php?days=1&prj=&os=Unknown&reason=Other%3A+");
    EXPECT_EQ(BuildReportUrl("h", 0, "p", "o", "r"), "http://h/stat/uninstall.php?prj=p&os=o&reason=r");
    // The subject is the query encoding, bytes above 0x7F included; the body leaves those alone.
    EXPECT_EQ(BuildMailLink("a@b", "\xC0&b", "\xC0 &"), "mailto:a@b?subject=uninstall+%C0%26b&body=\xC0%20%26");
    EXPECT_TRUE(IsReportAccepted(true, {"OK", "more"}));
    EXPECT_FALSE(IsReportAccepted(false, {"OK"}));  // the request never went out
    for (const std::vector<AnsiString>& lines : std::vector<std::vector<AnsiString>>{
             {}, {"", "OK"}, {"OK "}, {"ok"}, {"OKAY"}, {AnsiString("OK\0", 3)}})
        EXPECT_FALSE(IsReportAccepted(true, lines)) << (lines.empty() ? "none" : lines[0]);
}

TEST(ReportText, WindowsVersionTable) {
    const struct {
        unsigned platform, major, minor;
        const char* servicePack;
        std::uint32_t kernel;
        int expected;
    } cases[] = {
        // Windows 95 family: minor 0..9 is 95, "B" after trimming is OSR 2.
        {1, 4, 0, "", 0, 1}, {1, 4, 0, "\tB\r\n", 0, 2}, {1, 4, 9, "B", 0, 2}, {1, 4, 0, "b", 0, 1},
        {1, 4, 0, "B B", 0, 1}, {1, 4, 0, "A", 0x0004005A, 1},
        // minor 10..89: ME when the kernel says 4.90, else 98 SE with "A", else 98.
        {1, 4, 10, "", 0, 3}, {1, 4, 10, " A ", 0, 4}, {1, 4, 89, "A", 0, 4}, {1, 4, 10, "", 0x0004005A, 5},
        {1, 4, 10, "A", 0x00040059, 4}, {1, 4, 90, "A", 0, 5}, {1, 4, 91, "", 0x0004005A, 0},
        // NT family, then other platforms.
        {2, 3, 1, "", 0, 6}, {2, 3, 5, "", 0, 7}, {2, 3, 51, "Service Pack 5", 0, 8}, {2, 3, 0, "", 0, 0},
        {2, 3, 50, "", 0, 0}, {2, 4, 99, "", 0, 9}, {2, 5, 0, "", 0, 10}, {2, 5, 1, "", 0, 11},
        {2, 5, 2, "", 0, 0}, {2, 6, 1, "", 0, 0}, {2, 2, 0, "", 0, 0}, {0, 5, 1, "", 0, 0}, {3, 5, 1, "", 0, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ClassifyWindowsVersion(c.platform, c.major, c.minor, c.servicePack, c.kernel), c.expected)
            << c.platform << " " << c.major << "." << c.minor << " '" << c.servicePack << "' " << c.kernel;
}

TEST(ReportText, DaysTruncateTowardZeroPlusOneAndFitThirtyTwoBits) {
    const double today = 46000.0, nan = std::nan(""), inf = std::numeric_limits<double>::infinity();
    const std::pair<double, std::int32_t> cases[] = {
        {today, 1}, {today + 0.75, 1}, {today - 1 + 10.0 / 24, 1}, {today - 1, 2}, {today + 1.5, 0},
        {today + 3, -2}, {0.0, 46001}, {nan, -1}, {inf, -1}, {-inf, -1}, {-1e300, -1}, {1e300, -1},
        {today - 2147483646.0, 2147483647}, {today - 2147483647.0, -1},
        {today + 2147483649.0, -2147483648}, {today + 2147483650.0, -1},
    };
    for (const auto& [start, days] : cases) EXPECT_EQ(DaysSinceStart(start, today), days) << start;
}

}  // namespace
