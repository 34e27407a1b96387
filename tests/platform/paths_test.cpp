#include "platform/message_box.h"
#include "platform/paths.h"

#include <gtest/gtest.h>

#include "tests/common/scoped_env.h"

using namespace platform;

TEST(Environment, VariablesAreReadInTheAnsiCodePage) {
    ScopedEnv env;
    env.Set("UF_TEST_VARIABLE", "caf\xC3\xA9");  // UTF-8 é: one byte of Windows-1251 or 1252, or "?"
#ifdef _WIN32
    EXPECT_EQ(GetEnv("UF_TEST_VARIABLE"), "caf\xC3\xA9");
#else
    EXPECT_EQ(GetEnv("UF_TEST_VARIABLE"), Utf8ToAnsi("caf\xC3\xA9"));
    EXPECT_EQ(GetEnv("UF_TEST_VARIABLE").size(), 4u);
#endif
    env.Set("UF_TEST_VARIABLE", "");
    EXPECT_EQ(GetEnv("UF_TEST_VARIABLE"), "");
    EXPECT_NE(UserConfigDir(), "");
}

#ifndef _WIN32
TEST(Environment, UserFoldersFollowTheXdgRules) {
    ScopedEnv env;
    env.Set("HOME", "/home/u");
    env.Set("XDG_CONFIG_HOME", "");
    env.Set("XDG_STATE_HOME", "");
    EXPECT_EQ(UserConfigDir(), "/home/u/.config");
    EXPECT_EQ(UserStateDir(), "/home/u/.local/state");
    env.Set("XDG_CONFIG_HOME", "/cfg");
    env.Set("XDG_STATE_HOME", "relative/is/ignored");
    EXPECT_EQ(UserConfigDir(), "/cfg");
    EXPECT_EQ(UserStateDir(), "/home/u/.local/state");
    env.Set("HOME", "");
    EXPECT_EQ(UserStateDir(), "");
}

TEST(MessageBox, GoesToStandardErrorAsUtf8OnLinux) {
    ::testing::internal::CaptureStderr();
    ShowMessageBox("Error", "caf\xE9 failed");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Error: " + AnsiToUtf8("caf\xE9 failed") + "\n");
}
#endif
