#include "platform/files.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "tests/common/temp_dir.h"

using namespace platform;
namespace fs = std::filesystem;

namespace {

class Files : public ::testing::Test {
protected:
    std::string Path(const std::string& name) const { return base_ + "/" + name; }
    size_t Entries() const { return size_t(std::distance(fs::directory_iterator(folder_.Path()), fs::directory_iterator())); }

    TempDir folder_;
    std::string base_ = folder_.Path().string();
};

TEST_F(Files, WriteFileAtomicallyReplacesTheWholeContentAndLeavesNothingBehind) {
    const std::string name = Path("settings.xml");
    WriteFileAtomically(name, std::string("first\0version", 13));
    EXPECT_EQ(ReadWholeFile(name), std::string("first\0version", 13));
    WriteFileAtomically(name, "2");
    EXPECT_EQ(ReadWholeFile(name), "2");
    WriteFileAtomically(name, "");
    EXPECT_EQ(ReadWholeFile(name), "");
    EXPECT_EQ(Entries(), 1u);
    EXPECT_THROW(WriteFileAtomically(Path("nope/settings.xml"), "x"), EInOutError);
    EXPECT_THROW(WriteFileAtomically(base_, "x"), EInOutError) << "a folder cannot be replaced by a file";
    EXPECT_TRUE(DirectoryExists(base_));
    EXPECT_EQ(Entries(), 1u);
}

TEST_F(Files, MissingFilesAndFoldersAreToldApart) {
    EXPECT_FALSE(FileExists(Path("none.txt")));
    EXPECT_FALSE(FileExists(base_)) << "a folder is not a file";
    EXPECT_FALSE(FileExists(""));
    EXPECT_TRUE(DirectoryExists(base_));
    EXPECT_FALSE(RemoveFile(Path("none.txt")));
    WriteFileAtomically(Path("x"), "x");
    EXPECT_TRUE(RemoveFile(Path("x")));
    EXPECT_FALSE(FileExists(Path("x")));
}

// The error number is the platform's own kind (GetLastError on Windows, errno on Linux), and the message
// ends in the system's text for that number.
TEST_F(Files, ReadErrorsCarryThePlatformsCodeAndItsText) {
#ifdef _WIN32
    const int folderCode = 5;  // ERROR_ACCESS_DENIED: a folder does not open as a file
#else
    const int folderCode = EISDIR;  // it opens, but does not read
#endif
    const struct {
        std::string path;
        int code;
    } cases[] = {{Path("none.txt"), 2}, {base_, folderCode}};  // 2: ENOENT and ERROR_FILE_NOT_FOUND alike
    for (const auto& c : cases) {
        try {
            ReadWholeFile(c.path);
            ADD_FAILURE() << "no error for " << c.path;
        } catch (const EInOutError& e) {
            EXPECT_EQ(e.Code(), c.code) << c.path;
            const std::string text = SystemErrorText(c.code);
            EXPECT_EQ(text.find("System error"), std::string::npos) << "no system text for " << c.code;
            EXPECT_TRUE(e.Message().ends_with("\": " + text)) << e.Message();
        }
    }
}

TEST_F(Files, CreateDirectoriesMakesEveryMissingLevel) {
    const std::string deep = Path("a/b/c");
    CreateDirectories(deep);
    CreateDirectories(deep + "/");
    EXPECT_TRUE(DirectoryExists(deep));
    WriteFileAtomically(Path("a/file"), "x");
    EXPECT_THROW(CreateDirectories(Path("a/file/sub")), EInOutError);
}

TEST_F(Files, BackslashesSeparateFoldersOnEveryTarget) {
    CreateDirectories(Path("Lang\\Russian"));
    WriteFileAtomically(Path("Lang\\Russian\\Uninstall.xml"), "<x/>");
    EXPECT_TRUE(FileExists(Path("Lang/Russian/Uninstall.xml")));
    EXPECT_EQ(ReadWholeFile(Path("Lang\\Russian\\Uninstall.xml")), "<x/>");
}

#ifndef _WIN32
TEST_F(Files, AnsiNamesBecomeUtf8NamesOnLinux) {
    // "\xE9" in Windows-1252 or "\xE9" (й) in Windows-1251: either way one UTF-8 character.
    const std::string ansi = Path("caf\xE9.txt");
    WriteFileAtomically(ansi, "x");
    const std::string utf8 = AnsiToUtf8("caf\xE9.txt");
    EXPECT_TRUE(fs::exists(folder_.Path() / utf8));
    EXPECT_EQ(NativePath("a\\b"), "a/b");
}

TEST_F(Files, AFolderThatCannotBeMadeSaysWhy) {
    try {
        CreateDirectories(Path("a/" + std::string(300, 'x') + "/b"));
        ADD_FAILURE() << "no error";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.Code(), ENAMETOOLONG);
    }
}
#endif

}  // namespace
