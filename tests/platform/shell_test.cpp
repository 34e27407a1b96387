// Opening a URL on Linux starts xdg-open; a fake one first on PATH records what it was given.
#ifndef _WIN32
#include "platform/shell.h"
#include "platform/clock.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/common/scoped_env.h"
#include "tests/common/temp_dir.h"

using namespace platform;
namespace fs = std::filesystem;

namespace {

class OpenUrlTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(folder_ / "bin");
        std::ofstream(folder_ / "bin" / "xdg-open") << "#!/bin/sh\nprintf '%s' \"$1\" > \"" << record_.string()
                                                    << ".tmp\"\nmv \"" << record_.string() << ".tmp\" \"" << record_.string()
                                                    << "\"\nsleep 5\n";
        fs::permissions(folder_ / "bin" / "xdg-open", fs::perms::owner_all);
        env_.Set("PATH", (folder_ / "bin").string() + ":" + std::getenv("PATH"));
    }
    std::string Recorded() {
        for (int i = 0; i < 500 && !fs::exists(record_); ++i) SleepMs(10);
        std::stringstream s;
        s << std::ifstream(record_, std::ios::binary).rdbuf();
        return s.str();
    }

    TempDir temp_;
    ScopedEnv env_;
    fs::path folder_ = temp_.Path(), record_ = folder_ / "argument";
};

TEST_F(OpenUrlTest, PassesTheUrlAsOneArgumentWithoutAShellAndWithoutWaiting) {
    const std::string url = "mailto:feedback@velmora.example?subject=uninstall+X&body=a%20b&c; touch pwned $(id)";
    const uint32_t start = TickCount();
    ASSERT_TRUE(OpenUrl(url));
    EXPECT_LT(TickCount() - start, 3000u) << "the fake sleeps 5 s; the caller must not wait for it";
    EXPECT_EQ(Recorded(), url);
    EXPECT_FALSE(fs::exists(fs::current_path() / "pwned"));
}

TEST_F(OpenUrlTest, AnsiBytesArePassedAsUtf8) {
    ASSERT_TRUE(OpenUrl("mailto:x?body=caf\xE9"));
    EXPECT_EQ(Recorded(), "mailto:x?body=" + AnsiToUtf8("caf\xE9"));
}

// Children of this process that have ended but were not waited for.
int Zombies() {
    int count = 0;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        if (!std::getline(stat, line)) continue;
        const size_t close = line.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream rest(line.substr(close + 2));
        char state = 0;
        long parent = 0;
        rest >> state >> parent;
        if (parent == getpid() && state == 'Z') ++count;
    }
    return count;
}

TEST_F(OpenUrlTest, TheOpenerIsReapedWhenItEnds) {
    std::ofstream(folder_ / "bin" / "xdg-open") << "#!/bin/sh\nexit 0\n";
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(OpenUrl("http://example.com/"));
    int zombies = -1;
    for (int i = 0; i < 300 && (zombies = Zombies()) != 0; ++i) SleepMs(10);
    EXPECT_EQ(zombies, 0);
}

// Without a program for the link, the terminal shows it instead.
TEST_F(OpenUrlTest, ALinkNoProgramTakesIsPrinted) {
    const struct {
        const char* opener;  // the fake xdg-open's script; null: there is none on PATH
        bool handedOn;
    } cases[] = {{nullptr, false}, {"#!/bin/sh\nexit 3\n", false}, {"#!/bin/sh\nexit 0\n", true}};
    const std::string url = "mailto:x?subject=uninstall+P&body=caf\xE9";
    for (const auto& c : cases) {
        if (c.opener != nullptr) std::ofstream(folder_ / "bin" / "xdg-open") << c.opener;
        env_.Set("PATH", (folder_ / (c.opener ? "bin" : "empty")).string());
        testing::internal::CaptureStderr();
        EXPECT_EQ(OpenUrl(url), c.handedOn) << (c.opener ? c.opener : "no opener");
        const std::string printed = testing::internal::GetCapturedStderr();
        EXPECT_EQ(printed.find("\n" + AnsiToUtf8(url) + "\n") != std::string::npos, !c.handedOn) << printed;
    }
}

}  // namespace
#endif
