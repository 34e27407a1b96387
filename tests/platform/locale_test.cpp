#include "platform/locale.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

using namespace platform;

TEST(Locale, PosixNamesMapToWindowsLocaleIdentifiers) {
    EXPECT_EQ(LcidFromLocaleName("ru_RU.UTF-8"), 1049u);
    EXPECT_EQ(LcidFromLocaleName("ru_MD"), 0x0819u) << "another Russian locale, not 1049";
    EXPECT_EQ(LcidFromLocaleName("ru"), 1049u);
    EXPECT_EQ(LcidFromLocaleName("ru_UA.KOI8-U"), 1049u) << "an unknown territory gets the language's primary locale";
    EXPECT_EQ(LcidFromLocaleName("en_US.UTF-8"), 1033u);
    EXPECT_EQ(LcidFromLocaleName("en_GB"), 2057u);
    EXPECT_EQ(LcidFromLocaleName("de_DE.UTF-8"), 1031u);
    EXPECT_EQ(LcidFromLocaleName("de_AT@euro"), 0x0C07u);
    EXPECT_EQ(LcidFromLocaleName("fr_FR"), 0x040Cu);
    EXPECT_EQ(LcidFromLocaleName("uk_UA.UTF-8"), 1058u);
    EXPECT_EQ(LcidFromLocaleName("be_BY"), 0x0423u);
    EXPECT_EQ(LcidFromLocaleName("pt-BR"), 0x0416u);
    EXPECT_EQ(LcidFromLocaleName("RU_ru"), 1049u);
    for (const char* english : {"C", "POSIX", "C.UTF-8", "", "xx_YY", "_RU"})
        EXPECT_EQ(LcidFromLocaleName(english), 1033u) << '"' << english << '"';
}

#ifndef _WIN32
TEST(Locale, TheUsersLocaleComesFromTheFirstSetVariable) {
    auto save = [](const char* name) {
        const char* v = std::getenv(name);
        return v ? std::optional<std::string>(v) : std::nullopt;
    };
    const auto all = save("LC_ALL"), messages = save("LC_MESSAGES"), lang = save("LANG");
    setenv("LANG", "de_DE.UTF-8", 1);
    setenv("LC_MESSAGES", "ru_RU.UTF-8", 1);
    setenv("LC_ALL", "", 1);
    EXPECT_EQ(UserDefaultLCID(), 1049u) << "an empty LC_ALL does not count";
    setenv("LC_ALL", "en_GB", 1);
    EXPECT_EQ(UserDefaultLCID(), 2057u);
    unsetenv("LC_ALL");
    unsetenv("LC_MESSAGES");
    EXPECT_EQ(UserDefaultLCID(), 1031u);
    unsetenv("LANG");
    EXPECT_EQ(UserDefaultLCID(), 1033u);
    auto restore = [](const char* name, const std::optional<std::string>& v) {
        if (v) setenv(name, v->c_str(), 1);
        else unsetenv(name);
    };
    restore("LC_ALL", all);
    restore("LC_MESSAGES", messages);
    restore("LANG", lang);
}
#else
TEST(Locale, TheUsersLocaleIsTheSystemsOne) { EXPECT_NE(UserDefaultLCID(), 0u); }
#endif
