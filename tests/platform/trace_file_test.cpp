// The node trace file is appended to by a process that may run elevated: only a plain file of its own
// takes the line, never the file a planted link leads to.
#include "platform/files.h"
#include "platform/trace_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>

#include "tests/common/temp_dir.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace fs = std::filesystem;

namespace {

// Windows builds of the standard library make no symbolic links, and Wine makes none at all.
bool MakeSymbolicLink(const fs::path& target, const fs::path& at) {
#ifdef _WIN32
    CreateSymbolicLinkA(at.string().c_str(), target.string().c_str(), SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
    const DWORD attributes = GetFileAttributesA(at.string().c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
#else
    fs::create_symlink(target, at);
    return true;
#endif
}

TEST(TraceFile, AppendsOnlyToAPlainFileOfItsOwn) {
    const TempDir temp;
    const fs::path& folder = temp.Path();
    const fs::path victim = folder / "victim.txt";
    struct Case {
        const char* what;
        std::function<bool(const fs::path&)> plant;  // makes what stands at the trace file's place
        const char* content;                         // the trace file's afterwards; none when refused
    };
    const Case cases[] = {
        {"no file yet", [](const fs::path&) { return true; }, "Root\r\n"},
        {"a plain file", [](const fs::path& at) { return bool(std::ofstream(at) << "Old "); }, "Old Root\r\n"},
        {"a symbolic link", [&](const fs::path& at) { return MakeSymbolicLink(victim, at); }, nullptr},
        {"a hard link", [&](const fs::path& at) { return fs::create_hard_link(victim, at), true; }, nullptr},
        {"a folder", [](const fs::path& at) { return fs::create_directory(at); }, nullptr},
#ifndef _WIN32
        {"a FIFO nobody reads", [](const fs::path& at) { return mkfifo(at.c_str(), 0600) == 0; }, nullptr},
#endif
    };
    int n = 0;
    for (const Case& c : cases) {
        std::ofstream(victim) << "secret";
        const fs::path trace = folder / ("XML_Log" + std::to_string(n++) + ".txt");
        if (!c.plant(trace)) {
            std::printf("%s cannot be made here: not tried\n", c.what);
            continue;
        }
        EXPECT_EQ(platform::AppendToTextFile(trace.string(), "Root\r\n"), c.content != nullptr) << c.what;
        EXPECT_EQ(platform::ReadWholeFile(victim.string()), "secret") << c.what;
        if (!c.content) continue;
        EXPECT_EQ(platform::ReadWholeFile(trace.string()), c.content) << c.what;
    }
}

}  // namespace
