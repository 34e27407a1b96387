// The dialog's language selection against the real machine: the product's key in a registry of the test's
// own, settings and language files in a temporary folder, the real parser, store and translator. The locale
// query and the tree's release are the two hooks the selection offers.
#include <gtest/gtest.h>

#include <fstream>

#include "app/LanguageSelection.h"
#include "app/TxRegistry.h"
#include "app/UninstallMain.h"
#include "platform/registry.h"
#include "tests/common/scratch_registry.h"
#include "tests/toolkit/ScriptedBackend.h"
#include "xml/Node.h"

namespace fs = std::filesystem;

namespace {

void WriteFile(const fs::path& file, const std::string& bytes) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << bytes;
}

void WriteValue(const char* name, const std::string& value) {
    platform::RegistryKey key;
    ASSERT_EQ(platform::kRegSuccess, key.Open(language::kProductKey, true));
    ASSERT_EQ(platform::kRegSuccess, key.WriteString(name, value));
}

// A language file that sets the window title and the question to its tag.
std::string LanguageFile(const std::string& tag, const std::string& section = "Uninstall",
                         const std::string& formName = "UninstallMainForm") {
    return "<?xml version=\"1.0\"?>\r\n<Section Name=\"" + section + "\"><Form Name=\"" + formName + "\" Caption=\"" +
           tag + " title\"><Control Name=\"lbQuestion\" Caption=\"" + tag + "\" /></Form></Section>\r\n";
}

std::string Settings(const std::string& language) {
    return "<?xml version=\"1.0\"?>\r\n<Options><Advanced Language=\"" + language + "\" /></Options>\r\n";
}

class LanguageSelectionTest : public ::testing::Test {
protected:
    LanguageSelectionTest() : data(folder.Path() / "Data"), xml(folder.Path() / "XML"), form(nullptr) {
        language::System().UserDefaultLCID = [this] { return lcid; };
        SetEnv("UNINSTALL_XML_LOG", (folder.Path() / "XML_Log.txt").string());
        form.ProductName = "My Product";
        // The folders as an installer writes them: without the final separator, one of them with "/".
        WriteValue("DataPath", data.generic_string());
        WriteValue("XMLPath", xml.string());
    }
    ~LanguageSelectionTest() override {
        language::ResetSystem();
        SetEnv("UNINSTALL_XML_LOG", "");
    }
    void WriteLanguage(const fs::path& root, const std::string& name, const std::string& content) {
        WriteFile(root / "Lang" / name / "Uninstall.xml", content);
    }
    // The tag of the applied translation, "English" when the English texts were set again, or "unchanged".
    std::string Select() {
        form.SetEnglishTexts();
        form.lbQuestionCaption->SetText("stale");
        form.SelectLanguage();
        const AnsiString question = form.lbQuestion->GetText();
        if (question != "Why have you made up your mind to remove My Product?") return question;
        return form.lbQuestionCaption->GetText() == "Question:" ? "English" : "unchanged";
    }

    TempDir folder;
    ScratchRegistry registry;
    fs::path data, xml;
    std::uint32_t lcid = 1033;
    TUninstallMainForm form;
};

}  // namespace

TEST(AddPathSeparator, CompletesFolderPaths) {
    const std::pair<AnsiString, AnsiString> cases[] = {
        {"", ""}, {"C:", "C:"}, {"C:\\Data\\", "C:\\Data\\"}, {"C:/Data/", "C:/Data/"}, {"C:/Data", "C:/Data/"},
        {"C:\\Data", "C:\\Data\\"}, {"C:\\a/b", "C:\\a/b/"}, {"A", "A:\\"}, {"D", "D:\\"}, {"d", "d:\\"}, {"Z", "Z:\\"},
        {"a", "a:\\"}, {"z", "z:\\"}, {"@", "@\\"}, {"[", "[\\"}, {"`", "`\\"}, {"{", "{\\"}, {"1", "1\\"},
        {"Data", "Data\\"}};
    for (const auto& [path, completed] : cases) EXPECT_EQ(AddPathSeparator(path), completed) << path;
}

TEST_F(LanguageSelectionTest, TheLanguageComesFromTheLocaleOrTheSettingsAndEndsInEnglishOtherwise) {
    for (const char* name : {"Russian", "German", "English", "english"})
        WriteLanguage(xml, name, LanguageFile(std::string(1, name[0])));
    WriteLanguage(xml, "Install", LanguageFile("I", "Install"));
    WriteLanguage(xml, "Upper", LanguageFile("U", "UNINSTALL"));  // the section's name in any case
    const struct {
        std::uint32_t lcid;
        const char* settings;  // the settings file, or none
        const char* result;
    } rows[] = {
        {1033, nullptr, "English"}, {1049, nullptr, "R"}, {1049, "German", "R"}, {0x0819, "German", "G"},
        {1033, "ENGLISH", "English"}, {1033, "english", "English"}, {1033, "", "English"},
        {1033, "Klingon", "English"}, {1033, "Install", "unchanged"}, {1033, "Upper", "U"},
        {1033, "<Options><General Language=\"German\" /></Options>", "English"},
    };
    for (const auto& row : rows) {
        lcid = row.lcid;
        fs::remove(data / "Desktop.xml");
        if (row.settings)
            WriteFile(data / "Desktop.xml", row.settings[0] == '<' ? row.settings : Settings(row.settings));
        EXPECT_EQ(Select(), row.result) << row.lcid << " " << (row.settings ? row.settings : "no settings");
    }
    // Both trees were released: the settings store's and the language file's.
    std::ifstream in(folder.Path() / "XML_Log.txt", std::ios::binary);
    const std::string trace((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(std::string::npos, trace.find("Advanced\r\n"));
    EXPECT_NE(std::string::npos, trace.find("Control\r\n"));
}

TEST_F(LanguageSelectionTest, PlugPathStandsInForAnEmptyXmlPathAndNoKeyMeansTheCurrentFolder) {
    lcid = 1049;
    WriteLanguage(xml, "Russian", LanguageFile("X"));
    WriteLanguage(folder.Path() / "Plug", "Russian", LanguageFile("P"));
    WriteValue("PlugPath", (folder.Path() / "Plug").string());
    EXPECT_EQ(Select(), "X");
    WriteValue("XMLPath", "");
    EXPECT_EQ(Select(), "P");
    ASSERT_EQ(platform::kRegSuccess, platform::RegistryKey::DeleteKey(language::kProductKey));
    WriteLanguage(folder.Path(), "Russian", LanguageFile("C"));
    const fs::path before = fs::current_path();
    fs::current_path(folder.Path());
    EXPECT_EQ(Select(), "C");
    fs::current_path(before);
}

TEST_F(LanguageSelectionTest, FailuresWhileApplyingRestoreEnglishOverWhatWasChanged) {
    lcid = 1049;
    // The form's Name setter refuses "&...", after the window title has been changed.
    WriteLanguage(xml, "Russian", LanguageFile("B", "Uninstall", "&amp;UninstallMainForm"));
    EXPECT_EQ(Select(), "English");
    EXPECT_EQ("B title", form.GetCaption());
    WriteLanguage(xml, "Russian", LanguageFile("H"));
    for (int raise : {1, 2}) {  // the tree's release fails after a complete translation
        language::System().ReleaseTree = [raise](TxmlNode* top) {
            DestroyNode(top);
            if (raise == 1) throw Exception("Problem with XMLNode");
            throw 42;
        };
        EXPECT_EQ(Select(), "English");
        EXPECT_EQ("H title", form.GetCaption());
    }
}

// FormCreate runs the selection; the errors that leave it reach the application's message box.
TEST_F(LanguageSelectionTest, FormCreateShowsWhatLeavesTheSelectionAndKeepsTheDialogUsable) {
    const char* argv[] = {"UninstallFeedback.exe", "My_Product"};
    auto create = [&](const std::string& expectedMessage) {
        toolkit::TScriptedBackend backend;
        toolkit::TApplication application;
        application.SetBackend(&backend);
        application.SetArguments(2, argv);
        TUninstallMainForm* dialog = application.CreateForm<TUninstallMainForm>();
        EXPECT_EQ(backend.Messages.size(), expectedMessage.empty() ? 0u : 1u);
        for (const auto& message : backend.Messages) EXPECT_NE(std::string::npos, message.text.find(expectedMessage));
        EXPECT_EQ("", dialog->edOther->GetText());
        EXPECT_EQ(6, dialog->rgReason->GetItemIndex());
        return dialog->lbQuestion->GetText();
    };
    WriteFile(data / "Desktop.xml", Settings("German"));
    WriteLanguage(xml, "German", LanguageFile("G"));
    EXPECT_EQ("G", create(""));
    platform::RegistryKey key;
    ASSERT_EQ(platform::kRegSuccess, key.Open(language::kProductKey, true));
    ASSERT_EQ(platform::kRegSuccess, key.WriteString("XMLPath", "%NO_SUCH_VARIABLE%", true));
    TxRegistry registry;
    ASSERT_TRUE(registry.OpenKey(language::kProductKey, false));
    EXPECT_EQ("%NO_SUCH_VARIABLE%", registry.ReadString("XMLPath"));  // read as stored
    EXPECT_EQ("fallback", registry.ReadStringDef("Missing", "fallback"));
    ASSERT_EQ(platform::kRegSuccess, key.WriteDword("DataPath", 7));
    EXPECT_EQ("Why have you made up your mind to remove My Product?", create("Invalid data type for 'DataPath'"));
}
