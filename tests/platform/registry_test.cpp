// The registry operations the program relies on, against the real registry on Windows (under Wine) and
// against the .reg file on Linux.
#include "platform/registry.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#ifdef _WIN32
#include <process.h>
#define UF_GETPID _getpid
#else
#include <unistd.h>
#define UF_GETPID getpid
#endif

using namespace platform;

namespace {

class Registry : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string unique = std::to_string(UF_GETPID()) + "_" +
            std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
        root_ = "Software\\UfPlatformTest_" + unique;
#ifndef _WIN32
        folder_ = std::filesystem::temp_directory_path() / ("uf_registry_" + unique);
        std::filesystem::create_directories(folder_);
        setenv("UNINSTALL_REGISTRY", (folder_ / "registry.reg").c_str(), 1);
#endif
    }
    void TearDown() override {
        RegistryKey::DeleteKey(root_);
#ifndef _WIN32
        unsetenv("UNINSTALL_REGISTRY");
        std::filesystem::remove_all(folder_);
#endif
    }
    std::string Key(const std::string& below) const { return root_ + "\\" + below; }

    std::string root_;
    std::filesystem::path folder_;
};

TEST_F(Registry, OpeningWithoutCreatingFindsNothingAndCreatesNothing) {
    RegistryKey key;
    EXPECT_EQ(key.Open(Key("Quarnel\\Velmora3\\"), false), kRegNotFound);
    EXPECT_FALSE(key.Valid());
    EXPECT_EQ(key.Open(Key("Quarnel\\Velmora3\\"), false), kRegNotFound);
    EXPECT_EQ(key.Open(root_, false), kRegNotFound);
    AnsiString text = "unchanged";
    EXPECT_EQ(key.ReadString("DataPath", text), kRegInvalidHandle);
    EXPECT_EQ(text, "unchanged");
    EXPECT_EQ(key.WriteString("DataPath", "x"), kRegInvalidHandle);
}

TEST_F(Registry, CreatedKeysAndTheirParentsOpenLaterWithoutRegardToCase) {
    {
        RegistryKey key;
        ASSERT_EQ(key.Open(Key("Quarnel\\Velmora3\\"), true), kRegSuccess);
        EXPECT_TRUE(key.Valid());
        ASSERT_EQ(key.WriteString("DataPath", "C:\\Data"), kRegSuccess);
    }
    RegistryKey key;
    ASSERT_EQ(key.Open(Key("QUARNEL\\velmora3"), false), kRegSuccess);
    AnsiString text;
    EXPECT_EQ(key.ReadString("DATAPATH", text), kRegSuccess);
    EXPECT_EQ(text, "C:\\Data");
    EXPECT_EQ(key.Open(Key("Quarnel"), false), kRegSuccess) << "the parent was created with the key";
    EXPECT_EQ(key.Open("\\" + Key("Quarnel\\Velmora3"), false), kRegSuccess) << "a leading backslash";
    EXPECT_EQ(key.Open(Key("Quarnel\\\\Velmora3"), true), kRegInvalidParameter);
}

TEST_F(Registry, StringValuesReadAsStoredAndOtherTypesAreErrors) {
    RegistryKey key;
    ASSERT_EQ(key.Open(Key("Values"), true), kRegSuccess);
    ASSERT_EQ(key.WriteString("Plain", "a\\b \"quoted\" \xE9"), kRegSuccess);
    ASSERT_EQ(key.WriteString("Expand", "%SystemRoot%\\x", true), kRegSuccess);
    ASSERT_EQ(key.WriteString("Empty", ""), kRegSuccess);
    ASSERT_EQ(key.WriteString("", "default value"), kRegSuccess);
    ASSERT_EQ(key.WriteDword("Number", 0x12345678), kRegSuccess);
    ASSERT_EQ(key.WriteBinary("Blob", {1, 2, 3}), kRegSuccess);

    AnsiString text;
    EXPECT_EQ(key.ReadString("Plain", text), kRegSuccess);
    EXPECT_EQ(text, "a\\b \"quoted\" \xE9");
    EXPECT_EQ(key.ReadString("Expand", text), kRegSuccess);
    EXPECT_EQ(text, "%SystemRoot%\\x") << "expandable strings are not expanded";
    EXPECT_EQ(key.ReadString("Empty", text), kRegSuccess);
    EXPECT_EQ(text, "");
    EXPECT_EQ(key.ReadString("", text), kRegSuccess);
    EXPECT_EQ(text, "default value");

    uint32_t type = 99;
    EXPECT_EQ(key.GetValueType("Expand", type), kRegSuccess);
    EXPECT_EQ(type, kRegExpandSz);
    EXPECT_EQ(key.GetValueType("Number", type), kRegSuccess);
    EXPECT_EQ(type, kRegDword);

    text = "kept";
    EXPECT_EQ(key.ReadString("Number", text), kRegWrongType);
    EXPECT_EQ(key.ReadString("Blob", text), kRegWrongType);
    EXPECT_EQ(key.ReadString("Missing", text), kRegNotFound);
    EXPECT_EQ(text, "kept");
    std::vector<uint8_t> bytes;
    EXPECT_EQ(key.ReadBinary("Plain", bytes), kRegWrongType);
    EXPECT_EQ(key.ReadBinary("Number", bytes), kRegWrongType);
    uint32_t number = 0;
    EXPECT_EQ(key.ReadDword("Number", number), kRegSuccess);
    EXPECT_EQ(number, 0x12345678u);
    EXPECT_EQ(key.ReadDword("Blob", number), kRegWrongType);
    EXPECT_FALSE(RegistryErrorText(kRegWrongType).empty());
}

TEST_F(Registry, BinaryValuesKeepTheirSizeAndBytes) {
    RegistryKey key;
    ASSERT_EQ(key.Open(Key("Quarnel\\Velmora3"), true), kRegSuccess);
    double start = 45000.25;
    std::vector<uint8_t> written(8);
    std::memcpy(written.data(), &start, 8);
    ASSERT_EQ(key.WriteBinary("StartDate", written), kRegSuccess);
    ASSERT_EQ(key.WriteBinary("Short", {0xFF, 0x00}), kRegSuccess);
    ASSERT_EQ(key.WriteBinary("Nothing", {}), kRegSuccess);
    std::vector<uint8_t> bytes;
    EXPECT_EQ(key.ReadBinary("startdate", bytes), kRegSuccess);
    EXPECT_EQ(bytes, written);
    EXPECT_EQ(key.ReadBinary("Short", bytes), kRegSuccess);
    EXPECT_EQ(bytes, (std::vector<uint8_t>{0xFF, 0x00}));
    EXPECT_EQ(key.ReadBinary("Nothing", bytes), kRegSuccess);
    EXPECT_TRUE(bytes.empty());
    // Replacing keeps one value of the new type.
    ASSERT_EQ(key.WriteString("StartDate", "yesterday"), kRegSuccess);
    EXPECT_EQ(key.ReadBinary("StartDate", bytes), kRegWrongType);
}

TEST_F(Registry, ValuesAndKeysAreDeleted) {
    RegistryKey key;
    ASSERT_EQ(key.Open(Key("A\\B\\C"), true), kRegSuccess);
    ASSERT_EQ(key.WriteString("Name", "v"), kRegSuccess);
    EXPECT_TRUE(key.HasValue("name"));
    EXPECT_EQ(key.DeleteValue("NAME"), kRegSuccess);
    EXPECT_FALSE(key.HasValue("Name"));
    EXPECT_EQ(key.DeleteValue("Name"), kRegNotFound);
    key.Close();
    EXPECT_FALSE(key.Valid());

    RegistryKey other;
    ASSERT_EQ(other.Open(Key("A\\Other"), true), kRegSuccess);
    ASSERT_EQ(other.WriteString("x", "y"), kRegSuccess);
    other.Close();
    EXPECT_EQ(RegistryKey::DeleteKey(Key("a\\b")), kRegSuccess);
    EXPECT_EQ(key.Open(Key("A\\B\\C"), false), kRegNotFound) << "sub-keys go with their key";
    EXPECT_EQ(key.Open(Key("A\\B"), false), kRegNotFound);
    ASSERT_EQ(key.Open(Key("A\\Other"), false), kRegSuccess) << "siblings stay";
    AnsiString text;
    EXPECT_EQ(key.ReadString("x", text), kRegSuccess);
    EXPECT_EQ(text, "y");
    EXPECT_EQ(RegistryKey::DeleteKey(Key("A\\B")), kRegNotFound);
    EXPECT_EQ(RegistryKey::DeleteKey(""), kRegInvalidParameter);
}

TEST_F(Registry, MovedKeysStayOpen) {
    RegistryKey key;
    ASSERT_EQ(key.Open(Key("M"), true), kRegSuccess);
    RegistryKey moved(std::move(key));
    EXPECT_FALSE(key.Valid());
    EXPECT_TRUE(moved.Valid());
    EXPECT_EQ(moved.WriteString("v", "1"), kRegSuccess);
    RegistryKey assigned;
    assigned = std::move(moved);
    AnsiString text;
    EXPECT_EQ(assigned.ReadString("v", text), kRegSuccess);
    EXPECT_EQ(text, "1");
}

}  // namespace
