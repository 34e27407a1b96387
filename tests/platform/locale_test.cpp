#include "platform/locale.h"

#include <gtest/gtest.h>

#include "tests/common/scoped_env.h"

using namespace platform;

TEST(Locale, PosixNamesMapToWindowsLocaleIdentifiers) {
    const std::pair<const char*, uint32_t> names[] = {
        {"ru_RU.UTF-8", 1049}, {"ru_MD", 0x0819},  // another Russian locale, not 1049
        {"ru", 1049},          {"ru_UA.KOI8-U", 1049},  // an unknown territory: the language's primary locale
        {"RU_ru", 1049},       {"de_AT@euro", 0x0C07}, {"pt-BR", 0x0416}, {"en_GB", 2057},
        {"C", 1033},           {"POSIX", 1033},        {"C.UTF-8", 1033}, {"", 1033}, {"xx_YY", 1033}, {"_RU", 1033},
    };
    for (const auto& [name, lcid] : names) EXPECT_EQ(LcidFromLocaleName(name), lcid) << '"' << name << '"';
}

#ifndef _WIN32
TEST(Locale, TheUsersLocaleComesFromTheFirstSetVariable) {
    // Each row sets LC_ALL, LC_MESSAGES and LANG ("" unsets); an empty LC_ALL does not count.
    ScopedEnv env;
    const std::tuple<const char*, const char*, const char*, uint32_t> rows[] = {
        {"", "ru_RU.UTF-8", "de_DE.UTF-8", 1049}, {"en_GB", "ru_RU.UTF-8", "de_DE.UTF-8", 2057},
        {"", "", "de_DE.UTF-8", 1031}, {"", "", "", 1033}};
    for (const auto& [all, messages, lang, lcid] : rows) {
        env.Set("LC_ALL", all);
        env.Set("LC_MESSAGES", messages);
        env.Set("LANG", lang);
        EXPECT_EQ(UserDefaultLCID(), lcid) << all << messages << lang;
    }
}
#else
TEST(Locale, TheUsersLocaleIsTheSystemsOne) { EXPECT_NE(UserDefaultLCID(), 0u); }
#endif
