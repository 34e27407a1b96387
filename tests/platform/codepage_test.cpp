#include "platform/codepage.h"

#include <gtest/gtest.h>

using namespace platform;

TEST(CodePage, AsciiAndUnassignedBytesSurviveTheRoundTrip) {
    std::string all;
    for (int b = 1; b < 256; ++b) all += char(b);
    EXPECT_EQ(WideToAnsi(AnsiToWide(all)), all);
    EXPECT_EQ(AnsiToWide("Abc"), u"Abc");
}

TEST(CodePage, CharactersOutsideTheCodePageBecomeQuestionMarks) {
    EXPECT_EQ(WideToAnsi(u"a\u4E2Db"), "a?b");
    EXPECT_EQ(WideToAnsi(u"x\U0001F600y"), "x??y");  // one per UTF-16 unit, as Windows does
}

TEST(CodePage, Utf8RoundTripsAndRejectsMalformedSequences) {
    std::u16string text = u"Привет, \u00E9\U0001F600";
    EXPECT_EQ(Utf8ToWide(WideToUtf8(text)), text);
    EXPECT_EQ(Utf8ToWide("a\xC0\xAF" "b"), u"a\uFFFD\uFFFDb");  // overlong "/"
    EXPECT_EQ(Utf8ToWide("\xE2\x82"), u"\uFFFD\uFFFD");           // cut short
}

TEST(CodePage, LetterCaseFollowsTheCodePagesLetters) {
    EXPECT_EQ(WideUpperCase(u"straße ёжик œ"), u"STRAßE ЁЖИК Œ");
    EXPECT_TRUE(AnsiSameText("Language", "LANGUAGE"));
    EXPECT_FALSE(AnsiSameText("Language", "Languages"));
    EXPECT_TRUE(AsciiSameText("Content-Length", "content-LENGTH"));
    EXPECT_EQ(AsciiUpperCase("ab\xE9"), "AB\xE9");
    std::string accented = WideToAnsi(u"\u00E9t\u00E9");
    if (AnsiToWide(accented) == u"\u00E9t\u00E9") {
        EXPECT_EQ(AnsiUpperCase(accented), WideToAnsi(u"\u00C9T\u00C9"));
    }
}
