#include "platform/files.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace platform;
namespace fs = std::filesystem;

namespace {

class Files : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("uf_files_" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
        fs::create_directories(folder_);
        base_ = folder_.string();
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    std::string Path(const std::string& name) const { return base_ + "/" + name; }
    size_t Entries() const { return size_t(std::distance(fs::directory_iterator(folder_), fs::directory_iterator())); }

    fs::path folder_;
    std::string base_;
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
    try {
        ReadWholeFile(Path("none.txt"));
        FAIL() << "no error";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.Code(), 2);  // ENOENT and ERROR_FILE_NOT_FOUND alike
    }
    EXPECT_FALSE(RemoveFile(Path("none.txt")));
    WriteFileAtomically(Path("x"), "x");
    EXPECT_TRUE(RemoveFile(Path("x")));
    EXPECT_FALSE(FileExists(Path("x")));
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
    EXPECT_TRUE(fs::exists(folder_ / utf8));
    EXPECT_EQ(NativePath("a\\b"), "a/b");
}
#endif

}  // namespace
