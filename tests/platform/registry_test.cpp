// The registry operations the program relies on, against the real registry on Windows (under Wine) and
// against the .reg file on Linux.
#include "platform/registry.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/common/scoped_env.h"
#include "tests/common/temp_dir.h"

using namespace platform;

namespace {

class Registry : public ::testing::Test {
protected:
    void SetUp() override {
#ifndef _WIN32
        env_.Set("UNINSTALL_REGISTRY", (folder_.Path() / "registry.reg").string());
#endif
    }
    void TearDown() override { RegistryKey::DeleteKey(root_); }
    std::string Key(const std::string& below) const { return root_ + "\\" + below; }

    TempDir folder_;
    ScopedEnv env_;
    std::string root_ = "Software\\UfPlatformTest_" + folder_.Path().filename().string();
};

TEST_F(Registry, KeyPathsOpenWithoutRegardToCaseAndOuterBackslashes) {
    RegistryKey key;
    EXPECT_EQ(key.Open(Key("Quarnel\\Velmora3\\"), false), kRegNotFound);
    EXPECT_FALSE(key.Valid());
    EXPECT_EQ(key.Open(root_, false), kRegNotFound) << "opening without creating creates nothing";
    AnsiString text = "unchanged";
    EXPECT_EQ(key.ReadString("DataPath", text), kRegInvalidHandle);
    EXPECT_EQ(key.WriteString("DataPath", "x"), kRegInvalidHandle);
    EXPECT_EQ(text, "unchanged");
    ASSERT_EQ(key.Open(Key("Quarnel\\Velmora3\\"), true), kRegSuccess);
    ASSERT_EQ(key.WriteString("DataPath", "C:\\Data"), kRegSuccess);
    const std::tuple<std::string, bool, long> paths[] = {
        {Key("QUARNEL\\velmora3"), false, kRegSuccess},
        {Key("Quarnel"), false, kRegSuccess},  // the parent came with it
        {"\\" + Key("Quarnel\\Velmora3"), false, kRegSuccess},
        {Key("Quarnel\\Velmora"), false, kRegNotFound},
        {Key("Quarnel\\Velmora3\\X"), false, kRegNotFound},
        {Key("Quarnel\\\\Velmora3"), true, kRegInvalidParameter},  // an empty part
    };
    for (const auto& [path, create, result] : paths) EXPECT_EQ(key.Open(path, create), result) << path;
    ASSERT_EQ(key.Open(Key("quarnel\\VELMORA3"), false), kRegSuccess);
    EXPECT_EQ(key.ReadString("DATAPATH", text), kRegSuccess);
    EXPECT_EQ(text, "C:\\Data");
}

TEST_F(Registry, ValuesReadAsStoredAndOtherTypesAreErrors) {
    RegistryKey key;
    ASSERT_EQ(key.Open(Key("Values"), true), kRegSuccess);
    const double start = 45000.25;
    std::vector<uint8_t> date(8);
    std::memcpy(date.data(), &start, 8);
    ASSERT_EQ(key.WriteString("Plain", "a\\b \"quoted\" \xE9"), kRegSuccess);
    ASSERT_EQ(key.WriteString("Expand", "%SystemRoot%\\x", true), kRegSuccess);
    ASSERT_EQ(key.WriteString("Empty", ""), kRegSuccess);
    ASSERT_EQ(key.WriteString("", "default value"), kRegSuccess);
    ASSERT_EQ(key.WriteDword("Number", 0x12345678), kRegSuccess);
    ASSERT_EQ(key.WriteBinary("StartDate", date), kRegSuccess);
    ASSERT_EQ(key.WriteBinary("Nothing", {}), kRegSuccess);
    const std::pair<const char*, const char*> strings[] = {
        {"Plain", "a\\b \"quoted\" \xE9"}, {"Expand", "%SystemRoot%\\x"}, {"Empty", ""}, {"", "default value"}};
    for (const auto& [name, stored] : strings) {
        AnsiString text;
        EXPECT_EQ(key.ReadString(name, text), kRegSuccess) << name;
        EXPECT_EQ(text, stored) << name;
    }
    uint32_t type = 99, number = 0;
    EXPECT_EQ(key.GetValueType("Expand", type), kRegSuccess);
    EXPECT_EQ(type, kRegExpandSz);
    EXPECT_EQ(key.ReadDword("Number", number), kRegSuccess);
    EXPECT_EQ(number, 0x12345678u);
    std::vector<uint8_t> bytes;
    EXPECT_EQ(key.ReadBinary("startdate", bytes), kRegSuccess);
    EXPECT_EQ(bytes, date);
    EXPECT_EQ(key.ReadBinary("Nothing", bytes), kRegSuccess);
    EXPECT_TRUE(bytes.empty());

    AnsiString text = "kept";
    for (const char* name : {"Number", "StartDate"}) EXPECT_EQ(key.ReadString(name, text), kRegWrongType) << name;
    EXPECT_EQ(key.ReadString("Missing", text), kRegNotFound);
    EXPECT_EQ(text, "kept");
    for (const char* name : {"Plain", "Number"}) EXPECT_EQ(key.ReadBinary(name, bytes), kRegWrongType) << name;
    EXPECT_EQ(key.ReadDword("StartDate", number), kRegWrongType);
    // Replacing keeps one value of the new type.
    ASSERT_EQ(key.WriteString("StartDate", "yesterday"), kRegSuccess);
    EXPECT_EQ(key.ReadBinary("StartDate", bytes), kRegWrongType);
    EXPECT_FALSE(RegistryErrorText(kRegWrongType).empty());
}

TEST_F(Registry, ValuesAndKeysAreDeletedAndKeysMove) {
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
    RegistryKey moved(std::move(other));
    EXPECT_FALSE(other.Valid());
    other = std::move(moved);
    other.Close();
    EXPECT_EQ(RegistryKey::DeleteKey(Key("a\\b")), kRegSuccess);
    EXPECT_EQ(key.Open(Key("A\\B\\C"), false), kRegNotFound) << "sub-keys go with their key";
    EXPECT_EQ(key.Open(Key("A\\B"), false), kRegNotFound);
    ASSERT_EQ(key.Open(Key("A\\Other"), false), kRegSuccess) << "siblings stay";
    EXPECT_TRUE(key.HasValue("x"));
    EXPECT_EQ(RegistryKey::DeleteKey(Key("A\\B")), kRegNotFound);
    EXPECT_EQ(RegistryKey::DeleteKey(""), kRegInvalidParameter);
}

}  // namespace
