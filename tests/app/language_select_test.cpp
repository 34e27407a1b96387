// The dialog's language selection against the real machine: the product's key in a registry only this
// test sees (a .reg file of its own on Linux, HKEY_CURRENT_USER redirected to a scratch key under Wine),
// settings and language files in a temporary folder, the real parser, store and translator. The locale
// query and the tree's release are the two hooks the selection offers.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "app/LanguageSelection.h"
#include "app/TxRegistry.h"
#include "app/UninstallMain.h"
#include "platform/registry.h"
#include "toolkit/Backend.h"
#include "xml/Node.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;
using toolkit::TScriptedBackend;

namespace {

const std::vector<WideString> kEnglishReasons = {u"Unstable",      u"Lacks some functions", u"Resource hungry",
                                                 u"Unfriendly interface", u"Too expensive", u"Upgrade version",
                                                 u"Other"};

void SetEnv(const char* name, const std::string& value) {
#ifdef _WIN32
    _putenv_s(name, value.c_str());
#else
    if (value.empty()) unsetenv(name);
    else setenv(name, value.c_str(), 1);
#endif
}

int ProcessId() {
#ifdef _WIN32
    return int(GetCurrentProcessId());
#else
    return int(getpid());
#endif
}

// A registry only this test sees.
class ScratchRegistry {
public:
    explicit ScratchRegistry([[maybe_unused]] const fs::path& folder) {
#ifdef _WIN32
        scratch_ = "Software\\UfTests\\language-" + std::to_string(ProcessId());
        if (RegCreateKeyExA(HKEY_CURRENT_USER, scratch_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &root_,
                            nullptr) != ERROR_SUCCESS ||
            RegOverridePredefKey(HKEY_CURRENT_USER, root_) != ERROR_SUCCESS)
            throw std::runtime_error("cannot redirect HKEY_CURRENT_USER");
#else
        SetEnv("UNINSTALL_REGISTRY", (folder / "registry.reg").string());
#endif
    }
    ~ScratchRegistry() {
#ifdef _WIN32
        RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        RegCloseKey(root_);
        RegDeleteTreeA(HKEY_CURRENT_USER, scratch_.c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\UfTests");
#else
        SetEnv("UNINSTALL_REGISTRY", "");
#endif
    }
    ScratchRegistry(const ScratchRegistry&) = delete;
    ScratchRegistry& operator=(const ScratchRegistry&) = delete;

private:
#ifdef _WIN32
    std::string scratch_;
    HKEY root_ = nullptr;
#endif
};

fs::path MakeTempFolder() {
    static std::atomic<int> counter{0};
    fs::path folder = fs::temp_directory_path() / ("uf-lang-" + std::to_string(ProcessId()) + "-" +
                                                   std::to_string(counter++));
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

void WriteFile(const fs::path& file, const std::string& bytes) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << bytes;
}

// A language file that touches the window title, the header, the question, the button and two reasons.
std::string LanguageFile(const std::string& tag, const std::string& sectionName = "Uninstall",
                         const std::string& formName = "UninstallMainForm") {
    return "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n<Section Name=\"" + sectionName +
           "\">\r\n  <Form Name=\"" + formName + "\" Caption=\"" + tag + " title\">\r\n" +
           "    <Control Name=\"lbQuestionCaption\" Caption=\"" + tag + ":\" />\r\n" +
           "    <Control Name=\"lbQuestion\" Caption=\"" + tag + " question\" />\r\n" +
           "    <Control Name=\"bnDelete\" Caption=\"" + tag + " button\" />\r\n" +
           "    <Control Name=\"rgReason\"><i>" + tag + " 0</i><i>" + tag + " 1</i></Control>\r\n" +
           "  </Form>\r\n</Section>\r\n";
}

std::string Settings(const std::string& language) {
    return "<?xml version=\"1.0\"?>\r\n<Options>\r\n  <Advanced Language=\"" + language + "\" />\r\n</Options>\r\n";
}

class LanguageSelectionTest : public ::testing::Test {
protected:
    LanguageSelectionTest() : folder(MakeTempFolder()), registry(folder), form(nullptr) {
        language::System().UserDefaultLCID = [this] { return lcid; };
        trace = folder / "XML_Log.txt";
        SetEnv("UNINSTALL_XML_LOG", trace.string());
        form.ProductName = "My Product";
        form.SetEnglishTexts();
    }
    ~LanguageSelectionTest() override {
        language::ResetSystem();
        SetEnv("UNINSTALL_XML_LOG", "");
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }

    static void WriteValue(const char* name, const std::string& value) {
        platform::RegistryKey key;
        ASSERT_EQ(platform::kRegSuccess, key.Open(language::kProductKey, true));
        ASSERT_EQ(platform::kRegSuccess, key.WriteString(name, value));
    }
    // The folders the way an installer writes them, without the trailing separator.
    void RegisterFolders(const fs::path& data, const fs::path& xml) {
        WriteValue("DataPath", data.string());
        WriteValue("XMLPath", xml.string());
    }
    void WriteLanguage(const fs::path& xml, const std::string& name, const std::string& content) {
        WriteFile(xml / "Lang" / name / "Uninstall.xml", content);
    }

    // Marks the texts SetEnglishTexts owns, so that a test sees whether it ran.
    void Stale() {
        form.lbQuestionCaption->SetText("stale");
        form.rgReason->GetItems()->Clear();
    }
    bool English() const {
        return form.lbQuestionCaption->GetText() == "Question:" &&
               form.lbQuestion->GetText() == "Why have you made up your mind to remove My Product?" &&
               form.bnDelete->GetCaption() == u"Uninstall" && form.rgReason->GetItems()->Items() == kEnglishReasons &&
               form.rgReason->GetItemIndex() == 6;
    }
    bool Translated(const std::string& tag) const {
        auto items = form.rgReason->GetItems()->Items();
        return form.lbQuestionCaption->GetText() == tag + ":" && form.lbQuestion->GetText() == tag + " question" &&
               platform::WideToAnsi(form.bnDelete->GetCaption()) == tag + " button" && form.GetCaption() == tag + " title" &&
               items.size() == 7 && platform::WideToAnsi(items[0]) == tag + " 0" &&
               platform::WideToAnsi(items[1]) == tag + " 1" && items[6] == u"Other";
    }

    fs::path folder;
    ScratchRegistry registry;
    fs::path trace;
    std::uint32_t lcid = 1033;
    TUninstallMainForm form;
};

TEST(AddPathSeparator, CompletesFolderPaths) {
    EXPECT_EQ("", AddPathSeparator(""));
    EXPECT_EQ("C:", AddPathSeparator("C:"));
    EXPECT_EQ("C:\\Data\\", AddPathSeparator("C:\\Data\\"));
    EXPECT_EQ("C:/Data/", AddPathSeparator("C:/Data"));
    EXPECT_EQ("C:\\Data\\", AddPathSeparator("C:\\Data"));
    EXPECT_EQ("C:\\a/b/", AddPathSeparator("C:\\a/b"));
    EXPECT_EQ("D:\\", AddPathSeparator("D"));
    EXPECT_EQ("d:\\", AddPathSeparator("d"));
    EXPECT_EQ("1\\", AddPathSeparator("1"));
    EXPECT_EQ("/srv/velmora/", AddPathSeparator("/srv/velmora"));
    EXPECT_EQ("Data\\", AddPathSeparator("Data"));
}

TEST_F(LanguageSelectionTest, FoldersFromTheRegistryAreCompleted) {
    // Written with "/" and without the final separator: the settings file is found as <DataPath>/Desktop.xml.
    const fs::path data = folder / "Data", xml = folder / "XML";
    WriteValue("DataPath", data.generic_string());
    WriteValue("XMLPath", xml.string());
    WriteFile(data / "Desktop.xml", Settings("Testish"));
    WriteLanguage(xml, "Testish", LanguageFile("T"));
    form.SelectLanguage();
    EXPECT_TRUE(Translated("T"));
}

TEST_F(LanguageSelectionTest, RegistryMissingUsesTheCurrentFolder) {
    WriteFile(folder / "Desktop.xml", Settings("Testish"));
    WriteLanguage(folder, "Testish", LanguageFile("C"));
    const fs::path before = fs::current_path();
    fs::current_path(folder);
    form.SelectLanguage();
    fs::current_path(before);
    EXPECT_TRUE(Translated("C"));
}

TEST_F(LanguageSelectionTest, PlugPathStandsInForAnEmptyXmlPath) {
    const fs::path data = folder / "Data", plug = folder / "Plug", xml = folder / "XML";
    WriteValue("DataPath", data.string());
    WriteValue("XMLPath", "");
    WriteValue("PlugPath", plug.string());
    WriteFile(data / "Desktop.xml", Settings("Testish"));
    WriteLanguage(plug, "Testish", LanguageFile("P"));
    WriteLanguage(xml, "Testish", LanguageFile("X"));
    form.SelectLanguage();
    EXPECT_TRUE(Translated("P"));

    WriteValue("XMLPath", xml.string());  // set: PlugPath is not looked at
    form.SelectLanguage();
    EXPECT_TRUE(Translated("X"));
}

TEST_F(LanguageSelectionTest, RussianLocaleOverridesTheSettings) {
    const fs::path data = folder / "Data", xml = folder / "XML";
    RegisterFolders(data, xml);
    WriteFile(data / "Desktop.xml", Settings("English"));
    WriteLanguage(xml, "Russian", LanguageFile("R"));
    WriteLanguage(xml, "German", LanguageFile("G"));
    lcid = 1049;
    form.SelectLanguage();
    EXPECT_TRUE(Translated("R"));

    // Another Russian locale (Moldova) is not the Russian user: the settings decide.
    lcid = 0x0819;
    form.SelectLanguage();
    EXPECT_TRUE(English());
    WriteFile(data / "Desktop.xml", Settings("German"));
    form.SelectLanguage();
    EXPECT_TRUE(Translated("G"));
}

TEST_F(LanguageSelectionTest, EnglishInAnyCaseLooksUpNoFile) {
    const fs::path data = folder / "Data", xml = folder / "XML";
    RegisterFolders(data, xml);
    for (const char* name : {"ENGLISH", "english", "English"}) {
        WriteLanguage(xml, name, LanguageFile("E"));
        WriteFile(data / "Desktop.xml", Settings(name));
        Stale();
        form.SelectLanguage();
        EXPECT_TRUE(English()) << name;
    }
}

TEST_F(LanguageSelectionTest, NothingToTranslateGivesEnglish) {
    const fs::path data = folder / "Data", xml = folder / "XML";
    RegisterFolders(data, xml);

    Stale();  // no settings file
    form.SelectLanguage();
    EXPECT_TRUE(English());

    WriteFile(data / "Desktop.xml", "<?xml version=\"1.0\"?>\r\n<Options><General Language=\"German\" /></Options>\r\n");
    WriteLanguage(xml, "German", LanguageFile("G"));
    Stale();  // no Options\Advanced
    form.SelectLanguage();
    EXPECT_TRUE(English());

    WriteFile(data / "Desktop.xml", Settings(""));
    Stale();  // empty Language
    form.SelectLanguage();
    EXPECT_TRUE(English());

    WriteFile(data / "Desktop.xml", Settings("Klingon"));
    Stale();  // no language file
    form.SelectLanguage();
    EXPECT_TRUE(English());
}

TEST_F(LanguageSelectionTest, FileWithoutTheSectionChangesNothing) {
    const fs::path data = folder / "Data", xml = folder / "XML";
    RegisterFolders(data, xml);
    WriteFile(data / "Desktop.xml", Settings("German"));
    WriteLanguage(xml, "German", LanguageFile("G", "Install"));
    form.SelectLanguage();
    EXPECT_TRUE(English());
    EXPECT_EQ("Uninstall", form.GetCaption());

    // A section named in other letter case is the dialog's.
    WriteLanguage(xml, "German", LanguageFile("G", "UNINSTALL"));
    form.SelectLanguage();
    EXPECT_TRUE(Translated("G"));
}

TEST_F(LanguageSelectionTest, FailuresWhileApplyingRestoreEnglish) {
    const fs::path data = folder / "Data", xml = folder / "XML";
    RegisterFolders(data, xml);
    WriteFile(data / "Desktop.xml", Settings("German"));

    // The translation fails half way (the form's Name setter refuses "&..."): English again, but the
    // window title, changed before the failure, keeps its translation.
    WriteLanguage(xml, "German", LanguageFile("G", "Uninstall", "&amp;UninstallMainForm"));
    form.SelectLanguage();
    EXPECT_TRUE(English());
    EXPECT_EQ("G title", form.GetCaption());

    // The tree's release fails after a complete translation.
    WriteLanguage(xml, "German", LanguageFile("H"));
    int released = 0;
    language::System().ReleaseTree = [&released](TxmlNode* top) {
        DestroyNode(top);
        ++released;
        throw Exception("Problem with XMLNode");
    };
    form.SelectLanguage();
    EXPECT_EQ(1, released);
    EXPECT_TRUE(English());
    EXPECT_EQ("H title", form.GetCaption());

    // Not even an Exception: still English, nothing leaves.
    language::System().ReleaseTree = [](TxmlNode* top) {
        DestroyNode(top);
        throw 42;
    };
    form.SelectLanguage();
    EXPECT_TRUE(English());
}

TEST_F(LanguageSelectionTest, LanguageFileTreeIsReleased) {
    const fs::path data = folder / "Data", xml = folder / "XML";
    RegisterFolders(data, xml);
    WriteFile(data / "Desktop.xml", Settings("German"));
    WriteLanguage(xml, "German", LanguageFile("G"));
    form.SelectLanguage();
    ASSERT_TRUE(Translated("G"));
    std::ifstream in(trace, std::ios::binary);
    const std::string lines((std::istreambuf_iterator<char>(in)), {});
    // Both trees went: the settings store's and the language file's.
    EXPECT_NE(std::string::npos, lines.find("Advanced\r\n")) << lines;
    EXPECT_NE(std::string::npos, lines.find("Control\r\n")) << lines;
}

// FormCreate runs the selection with an application whose message boxes are recorded.
class LanguageMessageBoxTest : public LanguageSelectionTest {
protected:
    TUninstallMainForm* Create() {
        application.SetBackend(&backend);
        application.SetParams({"UninstallFeedback.exe", "My_Product"});
        return application.CreateForm<TUninstallMainForm>();
    }
    TScriptedBackend backend;
    toolkit::TApplication application;
};

TEST_F(LanguageMessageBoxTest, NonStringRegistryValueReachesTheMessageBox) {
    platform::RegistryKey key;
    ASSERT_EQ(platform::kRegSuccess, key.Open(language::kProductKey, true));
    ASSERT_EQ(platform::kRegSuccess, key.WriteDword("DataPath", 7));
    TUninstallMainForm* dialog = Create();
    ASSERT_EQ(1u, backend.Messages.size());
    EXPECT_EQ("Invalid data type for 'DataPath'", backend.Messages[0].text);
    EXPECT_EQ(u"Uninstall", dialog->bnDelete->GetCaption());
    EXPECT_EQ(kEnglishReasons, dialog->rgReason->GetItems()->Items());
}

TEST_F(LanguageMessageBoxTest, ExpandableStringIsReadAsStored) {
    platform::RegistryKey key;
    ASSERT_EQ(platform::kRegSuccess, key.Open(language::kProductKey, true));
    ASSERT_EQ(platform::kRegSuccess, key.WriteString("DataPath", "%NO_SUCH_VARIABLE%", true));
    TxRegistry registry;
    ASSERT_TRUE(registry.OpenKey(language::kProductKey, false));
    EXPECT_EQ("%NO_SUCH_VARIABLE%", registry.ReadString("DataPath"));
    EXPECT_EQ("fallback", registry.ReadStringDef("Missing", "fallback"));
    Create();
    EXPECT_TRUE(backend.Messages.empty());
}

TEST_F(LanguageMessageBoxTest, UnreadableSettingsFileReachesTheMessageBox) {
    const fs::path data = folder / "Data", xml = folder / "XML";
    RegisterFolders(data, xml);
    WriteLanguage(xml, "German", LanguageFile("G"));
    fs::create_directories(data);
    const fs::path settings = data / "Desktop.xml";
#ifdef _WIN32
    // Held open without sharing: the store's loader cannot open it.
    WriteFile(settings, Settings("German"));
    HANDLE held = CreateFileA(settings.string().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
#else
    // A socket in the file system exists but cannot be opened as a file (ENXIO), even for root.
    int sock = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(sock, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(settings.string().size(), sizeof address.sun_path);
    settings.string().copy(address.sun_path, sizeof address.sun_path - 1);
    ASSERT_EQ(0, bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address));
#endif
    TUninstallMainForm* dialog = Create();
#ifdef _WIN32
    CloseHandle(held);
#else
    close(sock);
#endif
    ASSERT_EQ(1u, backend.Messages.size());
    EXPECT_NE(std::string::npos, backend.Messages[0].text.find("Desktop.xml")) << backend.Messages[0].text;
    EXPECT_EQ("Question:", dialog->lbQuestionCaption->GetText());
    EXPECT_EQ(u"Uninstall", dialog->bnDelete->GetCaption());
    EXPECT_EQ(6, dialog->rgReason->GetItemIndex());
}

TEST_F(LanguageMessageBoxTest, TranslatedDialogFromFormCreate) {
    const fs::path data = folder / "Data", xml = folder / "XML";
    RegisterFolders(data, xml);
    WriteFile(data / "Desktop.xml", Settings("German"));
    WriteLanguage(xml, "German", LanguageFile("G"));
    TUninstallMainForm* dialog = Create();
    EXPECT_TRUE(backend.Messages.empty());
    EXPECT_EQ("G question", dialog->lbQuestion->GetText());
    EXPECT_EQ(6, dialog->rgReason->GetItemIndex());
    EXPECT_EQ("", dialog->edOther->GetText());
}

}  // namespace
