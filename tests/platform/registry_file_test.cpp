// The .reg file behind the registry on Linux: its syntax, its encoding and how it is written back.
#ifndef _WIN32
#include "platform/registry.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <functional>
#include <thread>

#include "tests/common/scoped_env.h"
#include "tests/common/temp_dir.h"

using namespace platform;
namespace fs = std::filesystem;

namespace {

class RegistryFile : public ::testing::Test {
protected:
    void SetUp() override { env_.Set("UNINSTALL_REGISTRY", file_.string()); }
    void Write(const std::string& content) {
        fs::create_directories(file_.parent_path());
        std::ofstream(file_, std::ios::binary) << content;
    }
    std::string Read() const {
        std::stringstream s;
        s << std::ifstream(file_, std::ios::binary).rdbuf();
        return s.str();
    }
    // The string value, or "<error code>".
    static AnsiString String(const std::string& key, const std::string& name) {
        RegistryKey k;
        AnsiString text;
        const long rc = k.Open(key, false);
        if (rc == kRegSuccess && k.ReadString(name, text) == kRegSuccess) return text;
        return "<" + std::to_string(rc ? rc : k.ReadString(name, text)) + ">";
    }
    // Opens key, runs the writes and gives the file's text afterwards.
    std::string AfterWriting(const std::string& key, const std::function<void(RegistryKey&)>& writes) {
        RegistryKey k;
        EXPECT_EQ(k.Open(key, true), kRegSuccess) << key;
        writes(k);
        return Read();
    }

    TempDir folder_;
    ScopedEnv env_;
    fs::path file_ = folder_.Path() / "sub" / "registry.reg";
};

const char kSample[] =
    "Windows Registry Editor Version 5.00\r\n"
    "\r\n"
    "; the product's settings\r\n"
    "[HKEY_CURRENT_USER\\Software\\Quarnel\\Velmora3]\r\n"
    "\"DataPath\"=\"C:\\\\Data\\\\ \\\"q\\\"\"\r\n"
    "@=\"default\"\r\n"
    "\"XMLPath\"=hex(2):25,00,41,00,50,00,50,00,44,00,41,00,54,00,41,00,25,00,5c,00,\\\r\n"
    "  58,00,00,00\r\n"
    "\"StartDate\"=hex:00,00,00,00,00,f8,e5,40\r\n"
    "\"Count\"=dword:0000002a\r\n"
    "\"Big\"=hex(b):01,00,00,00,00,00,00,00\r\n"
    "\"Lines\"=hex(1):61,00,0a,00,62,00,00,00\r\n"
    "something regedit would not write\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Other]\r\n"
    "\"DataPath\"=\"elsewhere\"\r\n";

TEST_F(RegistryFile, ReadsEveryKindOfValue) {
    Write(kSample);
    const std::string key = "Software\\Quarnel\\Velmora3\\";
    const std::pair<const char*, const char*> strings[] = {
        {"DataPath", "C:\\Data\\ \"q\""}, {"", "default"}, {"XMLPath", "%APPDATA%\\X"},  // over a continued line
        {"Lines", "a\nb"}, {"Count", "<1630>"}, {"Missing", "<2>"}};
    for (const auto& [name, text] : strings) EXPECT_EQ(String(key, name), text) << name;
    EXPECT_EQ(String("Software\\Other", "DataPath"), "<2>") << "other hives are not HKEY_CURRENT_USER";
    RegistryKey k;
    ASSERT_EQ(k.Open(key, false), kRegSuccess);
    std::vector<uint8_t> bytes;
    ASSERT_EQ(k.ReadBinary("StartDate", bytes), kRegSuccess);
    double date = 0;
    ASSERT_EQ(bytes.size(), sizeof date);
    std::memcpy(&date, bytes.data(), 8);
    EXPECT_EQ(date, 44992.0);
    uint32_t number = 0, type = 0;
    EXPECT_EQ(k.ReadDword("Count", number), kRegSuccess);
    EXPECT_EQ(number, 42u);
    EXPECT_EQ(k.GetValueType("Big", type), kRegSuccess);
    EXPECT_EQ(type, kRegQword);
    EXPECT_EQ(k.ReadBinary("Big", bytes), kRegWrongType);
    EXPECT_EQ(Read(), kSample) << "reading changes nothing";
}

TEST_F(RegistryFile, WritingKeepsEverythingElseAndRewritesOnlyTheValue) {
    Write(kSample);
    std::string expected = kSample;
    const std::string old = "\"DataPath\"=\"C:\\\\Data\\\\ \\\"q\\\"\"";
    expected.replace(expected.find(old), old.size(), "\"DataPath\"=\"D:\\\\New\"");
    expected.insert(expected.find("\r\n\r\n[HKEY_LOCAL_MACHINE") + 2,
                    "\"NewBlob\"=hex:ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,\\\r\n"
                    "  ab,ab,ab,ab,ab,ab,ab,ab,ab\r\n");
    EXPECT_EQ(AfterWriting("software\\quarnel\\velmora3", [](RegistryKey& k) {
                  EXPECT_EQ(k.WriteString("datapath", "D:\\New"), kRegSuccess);
                  EXPECT_EQ(k.WriteBinary("NewBlob", std::vector<uint8_t>(30, 0xAB)), kRegSuccess);
              }),
              expected);
    expected.erase(expected.find("\"Count\""), std::string("\"Count\"=dword:0000002a\r\n").size());
    EXPECT_EQ(AfterWriting("Software\\Quarnel\\Velmora3", [](RegistryKey& k) { k.DeleteValue("Count"); }), expected);
    EXPECT_EQ(std::distance(fs::directory_iterator(file_.parent_path()), fs::directory_iterator()), 1) << "no temporary files";
}

TEST_F(RegistryFile, ANewFileGetsTheHeaderAndEachKindItsForm) {
    RegistryKey k;
    EXPECT_EQ(k.Open("Software\\Quarnel\\Velmora3\\", false), kRegNotFound);
    EXPECT_FALSE(fs::exists(file_)) << "opening without creating writes nothing";
    const std::string section = "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Quarnel\\Velmora3]\n";
    EXPECT_EQ(AfterWriting("Software\\Quarnel\\Velmora3\\", [](RegistryKey&) {}), section + "\n");
    EXPECT_EQ(AfterWriting("Software\\Quarnel\\Velmora3",
                           [](RegistryKey& k) {
                               k.WriteString("Path", "a\\\"b\"");
                               k.WriteString("Expand", "%X%", true);
                               k.WriteString("Multi", "line1\r\nline2");
                               k.WriteDword("N", 0xDEADBEEF);
                           }),
              section + "\"Path\"=\"a\\\\\\\"b\\\"\"\n\"Expand\"=hex(2):25,00,58,00,25,00,00,00\n"
                        "\"Multi\"=hex(1):6c,00,69,00,6e,00,65,00,31,00,0d,00,0a,00,6c,00,69,00,6e,00,65,\\\n"
                        "  00,32,00,00,00\n\"N\"=dword:deadbeef\n\n");
    EXPECT_EQ(String("Software\\Quarnel\\Velmora3", "Multi"), "line1\r\nline2");
    EXPECT_NE(AfterWriting("Software\\Quarnel\\Second", [](RegistryKey&) {})
                  .find("\"N\"=dword:deadbeef\n\n[HKEY_CURRENT_USER\\Software\\Quarnel\\Second]\n"),
              std::string::npos);
}

TEST_F(RegistryFile, TextIsUtf8InTheFileAndAnsiAtTheInterface) {
    const bool cyrillic = AnsiCodePage() == 1251;
    const std::string utf8 = cyrillic ? "C:\\Данные" : "C:\\Größe", escaped = cyrillic ? "C:\\\\Данные" : "C:\\\\Größe";
    Write("Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Q]\n\"P\"=\"" + escaped + "\"\n");
    const AnsiString text = String("Software\\Q", "P");
    EXPECT_EQ(AnsiToUtf8(text), utf8);
    EXPECT_NE(AfterWriting("Software\\Q", [&](RegistryKey& k) { k.WriteString("P2", text); }).find("\"P2\"=\"" + escaped + "\""),
              std::string::npos);
    // A REGEDIT4 file is ANSI throughout; 0xE9 is a letter in both Windows-1251 and Windows-1252.
    const std::string regedit4 = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Q]\r\n\"S\"=\"caf\xE9\"\r\n\"E\"=hex(2):25,58,25,00\r\n";
    Write(regedit4);
    EXPECT_EQ(String("Software\\Q", "S"), "caf\xE9");
    EXPECT_EQ(String("Software\\Q", "E"), "%X%");
    EXPECT_EQ(AfterWriting("Software\\Q", [](RegistryKey& k) { k.WriteString("E2", "\xE9", true); }),
              regedit4 + "\"E2\"=hex(2):e9,00\r\n");
}

TEST_F(RegistryFile, Utf16FilesFromRegeditAreWrittenBackUnchangedButForTheValue) {
    // Names of other keys and values with lone surrogates, and an odd last byte: kept byte for byte.
    const std::u16string text = u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Q]\r\n"
                                u"\"P\"=\"x\"\r\n[HKEY_CURRENT_USER\\Software\\R\xDC01]\r\n\"N\xD801\"=\"z\"\r\n";
    std::string bytes = "\xFF\xFE";
    for (char16_t c : text) bytes += {char(c & 0xFF), char(c >> 8)};
    Write(bytes + 'A');
    EXPECT_EQ(String("Software\\Q", "P"), "x");
    std::string expected = bytes + 'A';
    expected[expected.find(std::string("x\0\"\0", 4))] = 'y';
    EXPECT_EQ(AfterWriting("Software\\Q", [](RegistryKey& k) { k.WriteString("P", "y"); }), expected);
}

TEST_F(RegistryFile, LineBreaksInNamesAreRefusedAndWriteNothing) {
    Write(kSample);
    RegistryKey k;
    for (const char* path : {"A]\n@=dword:1\n[HKEY_CURRENT_USER\\Injected", "Software\\Q\r", "\nX"})
        EXPECT_EQ(k.Open(path, true), kRegInvalidParameter) << path;
    EXPECT_EQ(RegistryKey::DeleteKey("Software\\Quarnel\\Velmora3\n"), kRegInvalidParameter);
    ASSERT_EQ(k.Open("Software\\Quarnel\\Velmora3", false), kRegSuccess);
    EXPECT_EQ(k.WriteString("x\"=\"1\"\r\n\"Injected", "v"), kRegInvalidParameter);
    EXPECT_EQ(k.WriteDword("a\nb", 1), kRegInvalidParameter);
    EXPECT_EQ(k.DeleteValue("Count\n"), kRegInvalidParameter);
    uint32_t type = 0;
    EXPECT_EQ(k.GetValueType("Count\r", type), kRegInvalidParameter);
    EXPECT_EQ(Read(), kSample);
}

TEST_F(RegistryFile, LaterDefinitionsWinAndMalformedLinesAreKeptButIgnored) {
    const std::string lines = "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\Software\\Q]\n\"A\"=\"first\"\n"
                              "\"B\"=hex:zz\n\"C\"=\"unterminated\n\"D\"=dword:123456789\n[hkey_current_user\\SOFTWARE\\q\\]\n";
    Write(lines + "\"a\"=\"second\"\n");
    for (const auto& [name, text] : {std::pair{"A", "second"}, {"B", "<2>"}, {"C", "<2>"}, {"D", "<2>"}})
        EXPECT_EQ(String("Software\\Q", name), text) << name;
    EXPECT_EQ(AfterWriting("Software\\Q", [](RegistryKey& k) { k.WriteString("A", "third"); }), lines + "\"a\"=\"third\"\n");
    std::string deleted = lines;  // every definition of the value goes
    deleted.erase(deleted.find("\"A\""), std::string("\"A\"=\"first\"\n").size());
    EXPECT_EQ(AfterWriting("Software\\Q", [](RegistryKey& k) { k.DeleteValue("a"); }), deleted);
}

TEST_F(RegistryFile, DeletedKeysAndUnusableFilesAreErrors) {
    RegistryKey k;
    ASSERT_EQ(k.Open("Software\\Q", true), kRegSuccess);
    ASSERT_EQ(RegistryKey::DeleteKey("Software"), kRegSuccess);
    AnsiString text;
    EXPECT_EQ(k.ReadString("A", text), kRegKeyDeleted);
    EXPECT_EQ(k.WriteString("A", "x"), kRegKeyDeleted);
    EXPECT_EQ(Read(), "Windows Registry Editor Version 5.00\n\n");
    fs::remove(file_);
    fs::create_directories(file_);  // a folder where the file should be
    EXPECT_EQ(k.Open("Software", true), kRegCorrupt);
    fs::remove(file_);
    Write("Windows Registry Editor Version 5.00\n");
    if (geteuid() != 0) {
        fs::permissions(file_.parent_path(), fs::perms::owner_read | fs::perms::owner_exec);
        const long rc = k.Open("Software\\Q", true);
        EXPECT_TRUE(rc == kRegAccessDenied || rc == kRegCannotWrite) << rc;
        EXPECT_FALSE(k.Valid());
        fs::permissions(file_.parent_path(), fs::perms::owner_all);
    }
    EXPECT_EQ(Read(), "Windows Registry Editor Version 5.00\n");
}

TEST_F(RegistryFile, ConcurrentWritersLoseNothing) {
    AfterWriting("Software\\Q", [](RegistryKey&) {});
    std::vector<std::thread> writers;
    for (int t = 0; t < 6; ++t)
        writers.emplace_back([t] {
            RegistryKey k;
            if (k.Open("Software\\Q", false) != kRegSuccess) return;
            for (int i = 0; i < 15; ++i) k.WriteDword("v" + std::to_string(t) + "_" + std::to_string(i), uint32_t(i));
        });
    for (std::thread& writer : writers) writer.join();
    RegistryKey k;
    ASSERT_EQ(k.Open("Software\\Q", false), kRegSuccess);
    for (int t = 0; t < 6; ++t)
        for (int i = 0; i < 15; ++i) {
            uint32_t value = 99;
            EXPECT_EQ(k.ReadDword("v" + std::to_string(t) + "_" + std::to_string(i), value), kRegSuccess);
            EXPECT_EQ(value, uint32_t(i));
        }
}

TEST_F(RegistryFile, TheDefaultFileIsInTheUsersConfigFolder) {
    env_.Set("UNINSTALL_REGISTRY", "");
    env_.Set("XDG_CONFIG_HOME", folder_.Path().string());
    AfterWriting("Software\\Q", [](RegistryKey&) {});
    EXPECT_TRUE(fs::exists(folder_.Path() / "uninstall-feedback" / "registry.reg"));
}

}  // namespace
#endif
