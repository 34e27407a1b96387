#include "platform/codepage.h"

#include <gtest/gtest.h>

using namespace platform;

TEST(CodePage, AnsiRoundTripsAndQuestionMarksForTheRest) {
    std::string all;
    for (int b = 1; b < 256; ++b) all += char(b);
    EXPECT_EQ(WideToAnsi(AnsiToWide(all)), all);  // unassigned bytes too
    EXPECT_EQ(AnsiToWide("Abc"), u"Abc");
    EXPECT_EQ(WideToAnsi(u"a\u4E2Db"), "a?b");
    EXPECT_EQ(WideToAnsi(u"x\U0001F600y"), "x??y");  // one per UTF-16 unit, as Windows does
}

TEST(CodePage, Utf8RoundTripsAndRejectsMalformedSequences) {
    const std::u16string text = u"Привет, \u00E9\u0800\uD7FF\uE000\uFF21\uFFFF\U0001F600\U0010FFFF";
    EXPECT_EQ(Utf8ToWide(WideToUtf8(text)), text);
    EXPECT_EQ(WideToUtf8(u"\uFF21\U00010000"), "\xEF\xBC\xA1\xF0\x90\x80\x80");
    EXPECT_EQ(WideToUtf8(std::u16string(1, u'\xD800') + u"x"), "\xEF\xBF\xBDx");  // a lone surrogate
    const std::pair<const char*, std::u16string> malformed[] = {
        {"a\xC0\xAF" "b", u"a\uFFFD\uFFFDb"},                   // overlong "/"
        {"\xE2\x82", u"\uFFFD\uFFFD"},                           // cut short
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},                 // a surrogate
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},       // beyond U+10FFFF
        {"\xF8\x88\x80\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},  // no UTF-8 lead byte
    };
    for (const auto& [bytes, wide] : malformed) EXPECT_EQ(Utf8ToWide(bytes), wide) << bytes;
}

TEST(CodePage, LetterCaseFollowsTheCodePagesLetters) {
    EXPECT_EQ(WideUpperCase(u"straße ёжик œ ÿ ğ ł ŵ ž ƒ ω ς ѣ ґ"), u"STRAßE ЁЖИК Œ Ÿ Ğ Ł Ŵ Ž Ƒ Ω ς Ѣ Ґ");
    EXPECT_TRUE(AnsiSameText("Language", "LANGUAGE"));
    EXPECT_FALSE(AnsiSameText("Language", "Languages"));
    EXPECT_TRUE(AsciiSameText("Content-Length", "content-LENGTH"));
    EXPECT_FALSE(AsciiSameText("\xE9", "\xC9"));
    EXPECT_EQ(AsciiUpperCase("ab\xE9z{"), "AB\xE9Z{");
    std::string accented = WideToAnsi(u"\u00E9t\u00E9");
    if (AnsiToWide(accented) == u"\u00E9t\u00E9") {
        EXPECT_EQ(AnsiUpperCase(accented), WideToAnsi(u"\u00C9T\u00C9"));
        EXPECT_TRUE(AnsiSameText(accented, WideToAnsi(u"\u00C9T\u00C9")));
    }
}
