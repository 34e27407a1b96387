#include "platform/message_box.h"
#include "platform/paths.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <optional>
#include <string>

using namespace platform;

#ifndef _WIN32
namespace {

class Environment : public ::testing::Test {
protected:
    void Set(const char* name, const char* value) {
        if (!saved_.count(name)) {
            const char* old = std::getenv(name);
            saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
        }
        if (value) setenv(name, value, 1);
        else unsetenv(name);
    }
    void TearDown() override {
        for (const auto& [name, value] : saved_) {
            if (value) setenv(name.c_str(), value->c_str(), 1);
            else unsetenv(name.c_str());
        }
    }
    std::map<std::string, std::optional<std::string>> saved_;
};

TEST_F(Environment, UserFoldersFollowTheXdgRules) {
    Set("HOME", "/home/u");
    Set("XDG_CONFIG_HOME", nullptr);
    Set("XDG_STATE_HOME", nullptr);
    EXPECT_EQ(UserConfigDir(), "/home/u/.config");
    EXPECT_EQ(UserStateDir(), "/home/u/.local/state");
    Set("XDG_CONFIG_HOME", "/cfg");
    Set("XDG_STATE_HOME", "relative/is/ignored");
    EXPECT_EQ(UserConfigDir(), "/cfg");
    EXPECT_EQ(UserStateDir(), "/home/u/.local/state");
    Set("HOME", nullptr);
    EXPECT_EQ(UserStateDir(), "");
}

TEST_F(Environment, VariablesAreReadInTheAnsiCodePage) {
    Set("UF_TEST_VARIABLE", "caf\xC3\xA9");  // UTF-8 é, in both Windows-1251 and 1252 one byte or "?"
    EXPECT_EQ(GetEnv("UF_TEST_VARIABLE"), Utf8ToAnsi("caf\xC3\xA9"));
    EXPECT_EQ(GetEnv("UF_TEST_VARIABLE").size(), 4u);
    Set("UF_TEST_VARIABLE", nullptr);
    EXPECT_EQ(GetEnv("UF_TEST_VARIABLE"), "");
}

TEST(MessageBox, GoesToStandardErrorAsUtf8OnLinux) {
    ::testing::internal::CaptureStderr();
    ShowMessageBox("Error", "caf\xE9 failed");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Error: " + AnsiToUtf8("caf\xE9 failed") + "\n");
}

}  // namespace
#else
TEST(Environment, VariablesAreReadInTheAnsiCodePage) {
    _putenv("UF_TEST_VARIABLE=abc");
    EXPECT_EQ(GetEnv("UF_TEST_VARIABLE"), "abc");
    _putenv("UF_TEST_VARIABLE=");
    EXPECT_EQ(GetEnv("UF_TEST_VARIABLE"), "");
    EXPECT_NE(UserConfigDir(), "");
}
#endif
