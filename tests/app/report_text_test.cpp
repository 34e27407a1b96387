// The report's texts byte by byte: query encoding, the statistics URL, the "OK" rule, the mail link, the
// version table and the day count.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "app/FeedbackReport.h"

namespace {

TEST(ReportEncoding, QueryValueKeepsOnlyTheSafeBytes) {
    EXPECT_EQ(EncodeQueryValue(AnsiString("ab \xE9")), "ab+%E9");
    EXPECT_EQ(EncodeQueryValue("~"), "%7E");
    EXPECT_EQ(EncodeQueryValue("*"), "*");
    EXPECT_EQ(EncodeQueryValue("AZaz09!$'()*-.@_"), "AZaz09!$'()*-.@_");
    EXPECT_EQ(EncodeQueryValue("&=+%#?/:;,\"<>[]^`{|}"),
              "%26%3D%2B%25%23%3F%2F%3A%3B%2C%22%3C%3E%5B%5D%5E%60%7B%7C%7D");
    EXPECT_EQ(EncodeQueryValue("\x01\t\r\n\x7F\x80\xFF"), "%01%09%0D%0A%7F%80%FF");
    EXPECT_EQ(EncodeQueryValue("Other: "), "Other%3A+");
    EXPECT_EQ(EncodeQueryValue(""), "");
}

TEST(ReportEncoding, QueryValueEndsAtTheFirstZeroByte) {
    EXPECT_EQ(EncodeQueryValue(AnsiString("ab\0cd", 5)), "ab");
    EXPECT_EQ(EncodeQueryValue(AnsiString("\0x", 2)), "");
}

TEST(ReportEncoding, QueryValueIsAtMostThreeTimesTheInput) {
    AnsiString all;
    for (int c = 1; c < 256; ++c) all += static_cast<char>(c);
    const AnsiString encoded = EncodeQueryValue(all);
    EXPECT_LE(encoded.size(), all.size() * 3);
    // Every byte but the 72 literal ones and the space takes three bytes.
    EXPECT_EQ(encoded.size(), 72u + 1u + (255u - 73u) * 3u);
}

TEST(ReportUrl, KeysInFixedOrderWithDaysOnlyFromOne) {
    EXPECT_EQ(BuildReportUrl("stat.example", 12, "My Product", "Windows 95 OSR 2", "Too expensive"),
              "http://stat.example/stat/uninstall.php?days=12&prj=My+Product&os=Windows+95+OSR+2"
              "&reason=Too+expensive");
    EXPECT_EQ(BuildReportUrl("h", 1, "p", "Unknown", "r"),
              "http://h/stat/uninstall.php?days=1&prj=p&os=Unknown&reason=r");
    for (int days : {0, -1, -5, std::numeric_limits<std::int32_t>::min()})
        EXPECT_EQ(BuildReportUrl("h", days, "p", "Unknown", "r"),
                  "http://h/stat/uninstall.php?prj=p&os=Unknown&reason=r")
            << days;
    EXPECT_EQ(BuildReportUrl("127.0.0.1:8080", 2147483647, "", "Unknown", "Other: "),
              "http://127.0.0.1:8080/stat/uninstall.php?days=2147483647&prj=&os=Unknown&reason=Other%3A+");
}

TEST(ReportAcceptance, OnlyAFirstLineOfExactlyOK) {
    EXPECT_TRUE(IsReportAccepted(true, {"OK"}));
    EXPECT_TRUE(IsReportAccepted(true, {"OK", "more", "lines"}));
    EXPECT_FALSE(IsReportAccepted(false, {"OK"}));  // the request never went out
    EXPECT_FALSE(IsReportAccepted(true, {}));
    EXPECT_FALSE(IsReportAccepted(true, {"", "OK"}));
    EXPECT_FALSE(IsReportAccepted(true, {"OK "}));
    EXPECT_FALSE(IsReportAccepted(true, {" OK"}));
    EXPECT_FALSE(IsReportAccepted(true, {"ok"}));
    EXPECT_FALSE(IsReportAccepted(true, {"Ok"}));
    EXPECT_FALSE(IsReportAccepted(true, {"OKAY"}));
    EXPECT_FALSE(IsReportAccepted(true, {AnsiString("OK\0", 3)}));
}

TEST(ReportMail, BodyKeepsTheUsersWordsWhole) {
    EXPECT_EQ(EncodeMailBody("Too expensive"), "Too%20expensive");
    EXPECT_EQ(EncodeMailBody("Other: a&b"), "Other:%20a%26b");
    EXPECT_EQ(EncodeMailBody("100% #1 a+b"), "100%25%20%231%20a%2Bb");
    EXPECT_EQ(EncodeMailBody("  "), "%20%20");
    // Every line break form is one CR LF.
    EXPECT_EQ(EncodeMailBody("a\r\nb\nc\rd\n\re"), "a%0D%0Ab%0D%0Ac%0D%0Ad%0D%0A%0D%0Ae");
    EXPECT_EQ(EncodeMailBody(AnsiString("\t\x01\x1F\x7F\0z", 6)), "%09%01%1F%7F%00z");
    // Characters a URI cannot hold are encoded; bytes of the code page above 0x7F and the punctuation a
    // URI can hold pass as they are.
    EXPECT_EQ(EncodeMailBody("\"<>\\^`{|}"), "%22%3C%3E%5C%5E%60%7B%7C%7D");
    EXPECT_EQ(EncodeMailBody("\xC4\xE0\xFF?=/:@~'!$()*,;"), "\xC4\xE0\xFF?=/:@~'!$()*,;");
}

TEST(ReportMail, LinkForms) {
    EXPECT_EQ(BuildMailLink("feedback@velmora.example", "My Product", "Too expensive"),
              "mailto:feedback@velmora.example?subject=uninstall+My+Product&body=Too%20expensive");
    EXPECT_EQ(BuildMailLink("a@b", "P", "Other: a&b"), "mailto:a@b?subject=uninstall+P&body=Other:%20a%26b");
    EXPECT_EQ(BuildMailLink("a@b", "P", "Other: "), "mailto:a@b?subject=uninstall+P&body=Other:%20");
    // The subject is the query encoding, bytes above 0x7F included; the body leaves those alone.
    EXPECT_EQ(BuildMailLink("a@b", "\xC0&b", "\xC0 &"), "mailto:a@b?subject=uninstall+%C0%26b&body=\xC0%20%26");
    EXPECT_EQ(BuildMailLink("a@b", "", ""), "mailto:a@b?subject=uninstall+&body=");
}

struct VersionCase {
    unsigned platform, major, minor;
    const char* servicePack;
    std::uint32_t kernel;
    int expected;
};

TEST(ReportClassifier, FullTable) {
    const VersionCase cases[] = {
        // Windows 95 family: minor 0..9 is 95, "B" after trimming is OSR 2.
        {1, 4, 0, "", 0, 1},
        {1, 4, 0, " B ", 0, 2},
        {1, 4, 0, "\tB\r\n", 0, 2},
        {1, 4, 9, "B", 0, 2},
        {1, 4, 3, "C", 0, 1},
        {1, 4, 0, "b", 0, 1},
        {1, 4, 0, "B B", 0, 1},
        {1, 4, 0, "A", 0x0004005A, 1},  // the kernel word matters only for 98
        // minor 10..89: ME when the kernel says 4.90, else 98 SE with "A", else 98.
        {1, 4, 10, "", 0, 3},
        {1, 4, 10, " A ", 0, 4},
        {1, 4, 89, "A", 0, 4},
        {1, 4, 10, "a", 0, 3},
        {1, 4, 10, "A", 0x0004005A, 5},
        {1, 4, 10, "", 0x0004005A, 5},
        {1, 4, 10, "A", 0x00040059, 4},
        {1, 4, 90, "", 0, 5},
        {1, 4, 90, "A", 0, 5},
        {1, 4, 91, "", 0x0004005A, 0},
        {1, 4, 255, "", 0, 0},
        {1, 7, 0, "", 0, 1},  // the family has no rule for major
        // NT family.
        {2, 3, 1, "", 0, 6},
        {2, 3, 5, "", 0, 7},
        {2, 3, 51, "Service Pack 5", 0, 8},
        {2, 3, 0, "", 0, 0},
        {2, 3, 50, "", 0, 0},
        {2, 4, 0, "Service Pack 6", 0, 9},
        {2, 4, 99, "", 0, 9},
        {2, 5, 0, "", 0, 10},
        {2, 5, 1, "Service Pack 3", 0, 11},
        {2, 5, 2, "", 0, 0},
        {2, 6, 1, "Service Pack 1", 0, 0},
        {2, 10, 0, "", 0, 0},
        {2, 2, 0, "", 0, 0},
        // Other platforms, including "not Windows" and CE.
        {0, 0, 0, "", 0, 0},
        {0, 5, 1, "", 0, 0},
        {3, 5, 1, "", 0, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ClassifyWindowsVersion(c.platform, c.major, c.minor, c.servicePack, c.kernel), c.expected)
            << "platform " << c.platform << " version " << c.major << "." << c.minor << " sp '" << c.servicePack
            << "' kernel " << std::hex << c.kernel;
}

TEST(ReportClassifier, NamesTable) {
    const char* const expected[] = {"Unknown",      "Windows 95",    "Windows 95 OSR 2", "Windows 98",
                                    "Windows 98SE", "Windows ME",    "Windows NT31",     "Windows NT35",
                                    "Windows NT351", "Windows NT4",  "Windows 2000",     "Windows XP"};
    for (int i = 0; i < OSNameCount; ++i) EXPECT_STREQ(OSNames[i], expected[i]) << i;
}

TEST(ReportDays, TruncatesTowardZeroAndAddsOne) {
    const double today = 46000.0;
    EXPECT_EQ(DaysSinceStart(today, today), 1);                  // started at midnight today
    EXPECT_EQ(DaysSinceStart(today + 0.75, today), 1);           // later today: -0.75 truncates to 0
    EXPECT_EQ(DaysSinceStart(today - 1 + 10.0 / 24, today), 1);  // yesterday 10:00: 0.58 days
    EXPECT_EQ(DaysSinceStart(today - 1, today), 2);              // yesterday midnight
    EXPECT_EQ(DaysSinceStart(today - 2, today), 3);
    EXPECT_EQ(DaysSinceStart(today + 1.5, today), 0);            // future: no days key
    EXPECT_EQ(DaysSinceStart(today + 3, today), -2);
    EXPECT_EQ(DaysSinceStart(0.0, today), 46001);
    EXPECT_EQ(DaysSinceStart(-693593.0, today), 693594 + 46000);  // year 1
}

TEST(ReportDays, UnrepresentableCountsAreErrors) {
    const double today = 46000.0;
    EXPECT_EQ(DaysSinceStart(std::nan(""), today), -1);
    EXPECT_EQ(DaysSinceStart(std::numeric_limits<double>::infinity(), today), -1);
    EXPECT_EQ(DaysSinceStart(-std::numeric_limits<double>::infinity(), today), -1);
    EXPECT_EQ(DaysSinceStart(-1e300, today), -1);
    EXPECT_EQ(DaysSinceStart(1e300, today), -1);
    // The 32-bit border: 2147483647 fits, one more does not.
    EXPECT_EQ(DaysSinceStart(today - 2147483646.0, today), 2147483647);
    EXPECT_EQ(DaysSinceStart(today - 2147483647.0, today), -1);
    EXPECT_EQ(DaysSinceStart(today + 2147483649.0, today), -2147483648);
    EXPECT_EQ(DaysSinceStart(today + 2147483650.0, today), -1);
}

}  // namespace
