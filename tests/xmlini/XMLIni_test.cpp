#include "xmlini/XMLIni.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "TestSupport.h"
#include "xml/Parser.h"
#include "xmlini/XMLImpl.h"

namespace {

using IniPtr = TInterfacePtr<IXMLIni>;
using NodePtr = TInterfacePtr<IXMLTreeNode>;

WideString Wide(const AnsiString& text) { return platform::AnsiToWide(text); }

bool Open(const IniPtr& ini, const char16_t* path, bool create = false, int index = -1) {
    bool opened = false;
    CheckAutoResult(ini->OpenKey(path, create, index, &opened));
    return opened;
}

WideString Read(const IniPtr& ini, const char16_t* name, const char16_t* def = u"") {
    TBStr value;
    CheckAutoResult(ini->ReadString(name, def, value.Receive()));
    return value.Value();
}

TxmlNode* Current(const IniPtr& ini) {
    TxmlNode* node = nullptr;
    CheckAutoResult(ini->GetCurrentKeyNode(&node));
    return node;
}

TxmlNode* RootOf(const IniPtr& ini) {
    NodePtr root;
    CheckAutoResult(ini->GetRootNode(root.Receive()));
    if (!root) return nullptr;
    TxmlNode* node = nullptr;
    CheckAutoResult(root.Query<IXMLRawNode>()->GetNode(&node));
    return node;
}

// Names of the element children joined by ","; the header comment of a loaded file is left out.
std::string ChildNames(const TxmlNode* node) {
    std::string names;
    for (const TxmlNode* child : node->Children)
        if (!child->IsComment) names += (names.empty() ? "" : ",") + child->Name;
    return names;
}

int ValueCount(const IniPtr& ini) {
    int count = -1;
    CheckAutoResult(ini->GetValueCount(&count));
    return count;
}

WideString Strings(const IniPtr& ini, const char16_t* name) {
    TBStr text;
    CheckAutoResult(ini->ReadStrings(name, text.Receive()));
    return text.Value();
}

WideString FileName(const IniPtr& ini) {
    TBStr name;
    CheckAutoResult(ini->GetFileName(name.Receive()));
    return name.Value();
}

bool Exists(const IniPtr& ini, const char16_t* path) {
    bool exists = false;
    CheckAutoResult(ini->KeyExists(path, &exists));
    return exists;
}

bool ByValues(const IniPtr& ini, const char16_t* path, const char16_t* values, bool create) {
    bool opened = false;
    CheckAutoResult(ini->OpenKeyByValues(path, values, create, &opened));
    return opened;
}

bool SaveOf(const IniPtr& ini) {
    bool written = false;
    CheckAutoResult(ini->Save(&written));
    return written;
}

class Store : public testing::Test {
protected:
    void SetUp() override { liveBefore_ = LiveObjects().Count(); }
    void TearDown() override { EXPECT_EQ(LiveObjects().Count(), liveBefore_) << "store objects left referenced"; }

    // A store over a file of the folder holding the given element lines (none: no file).
    IniPtr StoreOver(const char* name, std::initializer_list<const char*> lines = {}, bool makeFile = true) {
        file_ = folder_.File(name);
        if (makeFile) WriteFileBytes(file_, XmlFileText(lines));
        return NewXMLIni(Wide(file_));
    }

    TempFolder folder_;
    AnsiString file_;
    int liveBefore_ = 0;
};

const std::initializer_list<const char*> kGerman = {"  <Options>", "    <Advanced Language=\"German\" />", "  </Options>"};

}  // namespace

TEST_F(Store, MissingFileGivesEmptyStoreAndNoKey) {
    IniPtr ini = StoreOver("Desktop.xml", {}, false);
    EXPECT_FALSE(Open(ini, u"Options\\Advanced"));
    EXPECT_EQ(Current(ini), nullptr);
    TBStr value;
    EXPECT_EQ(Failure(ini->ReadString(u"Language", u"", value.Receive())), "Open key before writing");
    EXPECT_EQ(Failure(ini->WriteString(u"Language", u"x")), "Open key before writing");
    EXPECT_EQ(ChildNames(RootOf(ini)), "");
    ini.Reset();
    EXPECT_FALSE(FileIsThere(file_)) << "releasing writes nothing";
}

TEST_F(Store, ReadsTheDialogsLanguage) {
    IniPtr ini = StoreOver("Desktop.xml", kGerman);
    EXPECT_TRUE(Open(ini, u"Options\\Advanced"));
    EXPECT_EQ(Read(ini, u"Language"), u"German");
    EXPECT_EQ(Read(ini, u"LANGUAGE"), u"German");
    EXPECT_TRUE(Open(ini, u"options\\ADVANCED"));
    EXPECT_EQ(Current(ini)->Name, "Advanced");
    EXPECT_EQ(Read(ini, u"Missing", u"fallback"), u"fallback");

    EXPECT_EQ(ValueCount(ini), 1);
    CheckAutoResult(ini->WriteString(u"language", u""));
    EXPECT_EQ(ValueCount(ini), 0);
    EXPECT_EQ(Read(ini, u"Language", u"none"), u"none");
}

TEST_F(Store, EmptyPathOpensTheTop) {
    IniPtr ini = StoreOver("a.xml", kGerman);
    EXPECT_TRUE(Open(ini, u"Options"));
    EXPECT_TRUE(Open(ini, u""));
    EXPECT_EQ(Current(ini), RootOf(ini));
    EXPECT_EQ(Failure(ini->WriteInteger(u"x", 1)), "Open key before writing");
    EXPECT_EQ(ValueCount(ini), 0);

    // A relative path of separators only stays at the current key.
    EXPECT_TRUE(Open(ini, u"Options\\Advanced"));
    EXPECT_TRUE(Open(ini, u"\\\\"));
    EXPECT_EQ(Current(ini)->Name, "Advanced");
}

TEST_F(Store, IndexSelectsAmongSameNames) {
    IniPtr ini = StoreOver("k.xml", {"  <K>", "    <Item N=\"0\" />", "    <X />", "    <Item N=\"2\" />", "  </K>"});
    ASSERT_TRUE(Open(ini, u"K\\Item", false, -1));
    EXPECT_EQ(Read(ini, u"N"), u"0");
    ASSERT_TRUE(Open(ini, u"K\\Item", false, 0));
    EXPECT_EQ(Read(ini, u"N"), u"2");
    EXPECT_FALSE(Open(ini, u"K\\Item", false, 2));
    EXPECT_EQ(Current(ini), nullptr);
    ASSERT_TRUE(Open(ini, u"K\\Item", true, 2));
    EXPECT_EQ(ChildNames(Current(ini)->Parent), "Item,X,Item,Item");
    EXPECT_EQ(Current(ini), Current(ini)->Parent->Children[3]);
    ASSERT_TRUE(Open(ini, u"K\\Item", false, -9)) << "an index below -1 searches from the start";
    EXPECT_EQ(Read(ini, u"N"), u"0");
}

TEST_F(Store, RelativeAndAbsoluteCreation) {
    IniPtr ini = StoreOver("r.xml");
    ASSERT_TRUE(Open(ini, u"A", true));
    ASSERT_TRUE(Open(ini, u"\\B", true));
    EXPECT_EQ(Current(ini)->Parent->Name, "A");
    ASSERT_TRUE(Open(ini, u"A", true));
    ASSERT_TRUE(Open(ini, u"B", true));
    EXPECT_EQ(Current(ini)->Parent, RootOf(ini));
    EXPECT_EQ(ChildNames(RootOf(ini)), "A,B");
    ASSERT_TRUE(Open(ini, u"\\A\\\\C\\", true)) << "relative to B";
    EXPECT_EQ(GetNodePath(Current(ini)), "Root\\B\\A\\C");
    EXPECT_TRUE(Open(ini, u"b\\a\\c"));

    // Without a current key a relative path has nowhere to start.
    CheckAutoResult(ini->SetCurrentKey(nullptr));
    bool opened = true;
    EXPECT_EQ(Failure(ini->OpenKey(u"\\X", true, -1, &opened)), "Open key before writing");
}

TEST_F(Store, KeyExistsMovesAlongThePath) {
    IniPtr ini = StoreOver("e.xml", {"  <A>", "    <B />", "  </A>"});
    EXPECT_FALSE(Exists(ini, u"A\\X"));
    EXPECT_EQ(Current(ini)->Name, "A");
    EXPECT_TRUE(Exists(ini, u"a\\b"));
    EXPECT_EQ(Current(ini)->Name, "B");
    EXPECT_FALSE(Exists(ini, u"Q"));
    EXPECT_EQ(Current(ini), RootOf(ini));
    EXPECT_TRUE(Exists(ini, u""));
    EXPECT_EQ(ChildNames(RootOf(ini)), "A") << "nothing is created";
}

TEST_F(Store, TypedValuesAndTheirTexts) {
    IniPtr ini = StoreOver("t.xml");
    ASSERT_TRUE(Open(ini, u"Values", true));
    TxmlNode* key = Current(ini);

    auto readBool = [&](const char* text, bool def) {
        SetAttribute(key, "B", text);
        bool value = !def;
        CheckAutoResult(ini->ReadBool(u"B", def, &value));
        return value;
    };
    EXPECT_TRUE(readBool("1", false));
    EXPECT_TRUE(readBool("TRUE", false));
    EXPECT_TRUE(readBool("true", false));
    EXPECT_FALSE(readBool("yes", true));
    EXPECT_FALSE(readBool("0", true));
    EXPECT_FALSE(readBool("-1", true));
    EXPECT_TRUE(readBool("", true)) << "absent gives the default";
    EXPECT_FALSE(readBool("", false));
    CheckAutoResult(ini->WriteBool(u"B", true));
    EXPECT_EQ(GetAttribute(key, "B"), "True");
    CheckAutoResult(ini->WriteBool(u"B", false));
    EXPECT_EQ(GetAttribute(key, "B"), "False");

    auto readInt = [&](const char* text) {
        SetAttribute(key, "I", text);
        int value = 0;
        CheckAutoResult(ini->ReadInteger(u"I", 7, &value));
        return value;
    };
    EXPECT_EQ(readInt("12abc"), 7);
    EXPECT_EQ(readInt("-12"), -12);
    EXPECT_EQ(readInt("+12"), 12);
    EXPECT_EQ(readInt(" 12"), 7);
    EXPECT_EQ(readInt("0x1F"), 7);
    EXPECT_EQ(readInt("-2147483648"), INT32_MIN);
    EXPECT_EQ(readInt("2147483648"), 7);
    EXPECT_EQ(readInt("-"), 7);
    EXPECT_EQ(readInt(""), 7);
    CheckAutoResult(ini->WriteInteger(u"I", -42));
    EXPECT_EQ(GetAttribute(key, "I"), "-42");
    CheckAutoResult(ini->WriteInteger(u"I", 0));
    EXPECT_EQ(GetAttribute(key, "I"), "0") << "zero is a value, not an empty text";
}

TEST_F(Store, RectanglesAndPoints) {
    IniPtr ini = StoreOver("g.xml");
    ASSERT_TRUE(Open(ini, u"Window", true));
    TxmlNode* key = Current(ini);
    const TIniRect def{-1, -2, -3, -4};
    auto readRect = [&](const char* text) {
        SetAttribute(key, "R", text);
        TIniRect value;
        CheckAutoResult(ini->ReadRect(u"R", def, &value));
        return value;
    };
    CheckAutoResult(ini->WriteRect(u"R", TIniRect{1, 2, 3, 4}));
    EXPECT_EQ(GetAttribute(key, "R"), "[1,2,3,4]");
    TIniRect back;
    CheckAutoResult(ini->ReadRect(u"R", def, &back));
    EXPECT_EQ(back, (TIniRect{1, 2, 3, 4}));
    EXPECT_EQ(readRect("(5; 6)"), def);
    EXPECT_EQ(readRect("[5, 6]"), (TIniRect{5, -2, -3, -4}));
    EXPECT_EQ(readRect("{ 5 , 6 ,7, 8 )"), (TIniRect{5, 6, 7, 8}));
    EXPECT_EQ(readRect("1,x,3,y"), (TIniRect{1, -2, 3, -4}));
    EXPECT_EQ(readRect("12345678901,0,0,0"), (TIniRect{1234567890, 0, 0, 0})) << "cut to ten characters";
    EXPECT_EQ(readRect(""), def);
    CheckAutoResult(ini->WriteRect(u"R", TIniRect{-99999, -1, 0, INT32_MAX}));
    CheckAutoResult(ini->ReadRect(u"R", def, &back));
    EXPECT_EQ(back, (TIniRect{-99999, -1, 0, INT32_MAX}));

    const TIniPoint pdef{-5, -6};
    auto readPoint = [&](const char* text) {
        SetAttribute(key, "P", text);
        TIniPoint value;
        CheckAutoResult(ini->ReadPoint(u"P", pdef, &value));
        return value;
    };
    EXPECT_EQ(readPoint("[10,20]"), (TIniPoint{10, 20}));
    EXPECT_EQ(readPoint("10,20"), (TIniPoint{10, 20}));
    EXPECT_EQ(readPoint("[7]"), pdef);
    EXPECT_EQ(readPoint(",,3,,4"), (TIniPoint{3, 4}));
    EXPECT_EQ(readPoint(""), pdef);
    CheckAutoResult(ini->WritePoint(u"P", TIniPoint{-3, 9}));
    EXPECT_EQ(GetAttribute(key, "P"), "[-3,9]");
    EXPECT_EQ(readPoint("[-3,9]"), (TIniPoint{-3, 9}));
}

TEST_F(Store, StringLists) {
    IniPtr ini = StoreOver("s.xml");
    ASSERT_TRUE(Open(ini, u"Lists", true));
    TxmlNode* key = Current(ini);
    CheckAutoResult(ini->WriteStrings(u"Recent", u"one\r\ntwo\nthree", 0));
    TxmlNode* list = FindChild(key, "Recent");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(ChildNames(list), "Item,Item,Item");
    EXPECT_EQ(list->Children[1]->Value, "two");
    EXPECT_EQ(Strings(ini, u"recent"), u"one\r\ntwo\r\nthree");

    SetAttribute(list, "Keep", "me");
    CheckAutoResult(ini->WriteStrings(u"Recent", u"a\rb\r\nc\r\n", 1));
    EXPECT_EQ(ChildNames(list), "Item,Item");
    EXPECT_EQ(GetAttribute(list, "Keep"), "me") << "the list element's own attributes stay";
    CheckAutoResult(ini->WriteStrings(u"Recent", u"a\nb\nc", 10));
    EXPECT_EQ(ChildNames(list), "Item,Item,Item");
    CheckAutoResult(ini->WriteStrings(u"Recent", u"", 0));
    EXPECT_EQ(ChildNames(list), "");

    EXPECT_EQ(Strings(ini, u"Missing"), u"");
    EXPECT_EQ(Failure(ini->WriteStrings(u"", u"x", 0)), "A string list needs a name");
    EXPECT_EQ(ChildNames(key), "Recent") << "the key's subkeys survive";

    // An empty name reads the current key's own children, whatever their names.
    ASSERT_TRUE(Open(ini, u"Lists\\Recent"));
    CheckAutoResult(ini->WriteStrings(u"Inner", u" x \n y ", 0));
    ASSERT_TRUE(Open(ini, u"Lists\\Recent\\Inner"));
    EXPECT_EQ(Strings(ini, u""), u"x \r\n y");

    CheckAutoResult(ini->SetCurrentKey(nullptr));
    TBStr text;
    EXPECT_EQ(Failure(ini->ReadStrings(u"Recent", text.Receive())), "Open key before writing");
}

TEST_F(Store, SavedFileLayoutAndRoundTrip) {
    IniPtr ini = StoreOver("Desktop.xml", {}, false);
    ASSERT_TRUE(Open(ini, u"Options\\Advanced", true));
    CheckAutoResult(ini->WriteString(u"Language", u"Russian"));
    EXPECT_TRUE(SaveOf(ini));
    EXPECT_EQ(ReadFileBytes(file_), XmlFileText({"  <Options>", "    <Advanced Language=\"Russian\" />", "  </Options>"}));

    ASSERT_TRUE(Open(ini, u"Options\\Lists", true));
    CheckAutoResult(ini->WriteStrings(u"Recent", u"a < b\nc & \"d\"", 0));
    CheckAutoResult(ini->WriteRect(u"Bounds", TIniRect{1, 2, 3, 4}));
    EXPECT_TRUE(SaveOf(ini));
    ini.Reset();

    IniPtr again = NewXMLIni(Wide(file_));
    ASSERT_TRUE(Open(again, u"Options\\Lists"));
    EXPECT_EQ(Strings(again, u"Recent"), u"a < b\r\nc & \"d\"");
    TIniRect rect;
    CheckAutoResult(again->ReadRect(u"Bounds", TIniRect{}, &rect));
    EXPECT_EQ(rect, (TIniRect{1, 2, 3, 4}));
    std::string before = ReadFileBytes(file_);
    EXPECT_TRUE(SaveOf(again));
    EXPECT_EQ(ReadFileBytes(file_), before) << "a re-read file saves to the same bytes";
}

TEST_F(Store, ReadOnlyAndReleaseWithoutSave) {
    IniPtr ini = StoreOver("ro.xml", kGerman);
    std::string original = ReadFileBytes(file_);
    bool readOnly = true;
    CheckAutoResult(ini->GetReadOnly(&readOnly));
    EXPECT_FALSE(readOnly);
    ASSERT_TRUE(Open(ini, u"Options\\Advanced"));
    CheckAutoResult(ini->WriteString(u"Language", u"French"));
    CheckAutoResult(ini->SetReadOnly(true));
    CheckAutoResult(ini->GetReadOnly(&readOnly));
    EXPECT_TRUE(readOnly);
    EXPECT_FALSE(SaveOf(ini));
    EXPECT_EQ(ReadFileBytes(file_), original);
    CheckAutoResult(ini->SetFileName(Wide(file_).c_str()));
    EXPECT_EQ(ReadFileBytes(file_), original) << "switching saves only when writable";
    CheckAutoResult(ini->SetReadOnly(false));
    ini.Reset();
    EXPECT_EQ(ReadFileBytes(file_), original) << "release discards unsaved changes";
}

TEST_F(Store, SameFileNameSavesAndKeepsTree) {
    IniPtr ini = StoreOver("same.xml", kGerman);
    ASSERT_TRUE(Open(ini, u"Options\\Advanced"));
    TxmlNode* root = RootOf(ini);
    TxmlNode* key = Current(ini);
    CheckAutoResult(ini->WriteString(u"Language", u"French"));
    CheckAutoResult(ini->SetFileName(Wide(file_).c_str()));
    EXPECT_EQ(RootOf(ini), root);
    EXPECT_EQ(Current(ini), key);
    EXPECT_NE(ReadFileBytes(file_).find("Language=\"French\""), std::string::npos);
}

TEST_F(Store, SwitchingFiles) {
    IniPtr ini = StoreOver("first.xml", kGerman);
    AnsiString first = file_;
    AnsiString second = folder_.File("second.xml");
    WriteFileBytes(second, XmlFileText({"  <Other Name=\"2\" />"}));
    ASSERT_TRUE(Open(ini, u"Options\\Advanced"));
    CheckAutoResult(ini->WriteString(u"Language", u"Dutch"));

    CheckAutoResult(ini->SetFileName(Wide(second).c_str()));
    EXPECT_NE(ReadFileBytes(first).find("Language=\"Dutch\""), std::string::npos) << "the old file was saved";
    EXPECT_EQ(FileName(ini), Wide(second));
    EXPECT_EQ(Current(ini), RootOf(ini));
    EXPECT_EQ(ChildNames(RootOf(ini)), "Other");
    EXPECT_TRUE(Open(ini, u"Other"));
    EXPECT_EQ(Read(ini, u"Name"), u"2");

    // A new file in a folder that does not exist yet: the folders are made when it is saved.
    AnsiString nested = folder_.File("a") + "/b/c/third.xml";
    CheckAutoResult(ini->SetFileName(Wide(nested).c_str()));
    EXPECT_EQ(ChildNames(RootOf(ini)), "");
    EXPECT_TRUE(Open(ini, u"New", true));
    EXPECT_TRUE(SaveOf(ini));
    EXPECT_TRUE(FileIsThere(nested));
}

TEST_F(Store, SaveFailuresAnswerFalse) {
    IniPtr ini = StoreOver("ok.xml", {}, false);
    ASSERT_TRUE(Open(ini, u"K", true));
    // A folder where the file should be, and a file where a folder should be.
    std::filesystem::create_directories(std::filesystem::path(file_));
    EXPECT_FALSE(SaveOf(ini));
    // The folder for a new file is made on saving; a plain file in its way makes the save fail.
    CheckAutoResult(ini->SetFileName(Wide(folder_.File("later") + "/sub/x.xml").c_str()));
    WriteFileBytes(folder_.File("later"), "x");
    ASSERT_TRUE(Open(ini, u"K", true));
    EXPECT_FALSE(SaveOf(ini));
    EXPECT_EQ(ReadFileBytes(folder_.File("later")), "x");
}

TEST_F(Store, UnreadableNewFileKeepsTheStore) {
    IniPtr ini = StoreOver("keep.xml", kGerman);
    ASSERT_TRUE(Open(ini, u"Options\\Advanced"));
    TxmlNode* root = RootOf(ini);
    AnsiString folderName = folder_.File("folder.xml");
    std::filesystem::create_directories(std::filesystem::path(folderName));
    EXPECT_NE(Failure(ini->SetFileName(Wide(folderName).c_str())), "");
    EXPECT_EQ(FileName(ini), Wide(file_));
    EXPECT_EQ(RootOf(ini), root);
    EXPECT_EQ(Read(ini, u"Language"), u"German");

    // Creating a store over such a file raises in its creator.
    EXPECT_THROW(NewXMLIni(Wide(folderName)), Exception);
}

TEST_F(Store, FileNamesBuiltTheWindowsWay) {
    // "\" separates folders on every system, as the product's paths are built.
    AnsiString name = folder_.Path() + "\\made\\Desktop.xml";
    {
        IniPtr ini = NewXMLIni(Wide(name));
        ASSERT_TRUE(Open(ini, u"Options\\Advanced", true));
        CheckAutoResult(ini->WriteString(u"Language", u"German"));
        EXPECT_TRUE(SaveOf(ini));
    }
    AnsiString written = (std::filesystem::path(folder_.Path()) / "made" / "Desktop.xml").string();
    ASSERT_TRUE(FileIsThere(written));
    IniPtr again = NewXMLIni(Wide(name));
    EXPECT_TRUE(Open(again, u"Options\\Advanced"));
    EXPECT_EQ(Read(again, u"Language"), u"German");
}

TEST_F(Store, BareFileNameSavesInCurrentFolder) {
    auto previous = std::filesystem::current_path();
    std::filesystem::current_path(std::filesystem::path(folder_.Path()));
    {
        IniPtr ini = NewXMLIni(u"bare.xml");
        EXPECT_TRUE(Open(ini, u"K", true));
        EXPECT_TRUE(SaveOf(ini));
    }
    std::filesystem::current_path(previous);
    EXPECT_TRUE(FileIsThere(folder_.File("bare.xml")));
}

TEST_F(Store, EmptyFileNameHasNoTree) {
    IniPtr ini = NewXMLIni(u"");
    EXPECT_EQ(RootOf(ini), nullptr);
    EXPECT_EQ(Current(ini), nullptr);
    bool opened = true;
    EXPECT_NE(Failure(ini->OpenKey(u"Options", true, -1, &opened)), "");
    EXPECT_FALSE(opened);
    EXPECT_FALSE(SaveOf(ini));
    bool intact = false;
    CheckAutoResult(ini->CheckTree(&intact));
    EXPECT_TRUE(intact);
}

TEST_F(Store, OpenKeyByValues) {
    IniPtr ini = StoreOver("v.xml");
    ASSERT_TRUE(ByValues(ini, u"Tools\\Tool", u"Name=Grep", true));
    TxmlNode* grep = Current(ini);
    EXPECT_EQ(GetNodePath(grep), "Root\\Tools\\Tool");
    EXPECT_EQ(grep->Attributes.Text(), "Name=Grep\r\n");
    EXPECT_TRUE(ByValues(ini, u"Tools\\Tool", u"Name=Grep", true));
    EXPECT_EQ(Current(ini), grep) << "the second call finds the first key";

    EXPECT_FALSE(ByValues(ini, u"Tools\\Tool", u"Name=Sed\r\nKind=1", false));
    EXPECT_EQ(Current(ini), nullptr);
    EXPECT_TRUE(ByValues(ini, u"Tools\\Tool", u"Name=Sed\r\nKind=1", true));
    EXPECT_EQ(ChildNames(grep->Parent), "Tool,Tool");
    EXPECT_EQ(GetAttribute(Current(ini), "Kind"), "1");
    EXPECT_TRUE(ByValues(ini, u"tools\\tool", u"Kind=1", false)) << "a subset of the values is enough";

    // Relative: the key is made below the key the walk started at.
    ASSERT_TRUE(Open(ini, u"Tools"));
    EXPECT_TRUE(ByValues(ini, u"\\Group\\Entry", u"Id=7", true));
    EXPECT_EQ(GetNodePath(Current(ini)), "Root\\Tools\\Group\\Entry");
    EXPECT_TRUE(ByValues(ini, u"Tools\\", u"", true)) << "the trailing separator is no name of its own";
}

TEST_F(Store, RenewKeyKeepsContentUnderNewName) {
    IniPtr ini = StoreOver("n.xml", {"  <Sets>", "    <Cur A=\"1\" >", "      <Child />", "    </Cur>",
                                     "    <Old B=\"2\" />", "    <Other />", "  </Sets>"});
    NodePtr renewed;
    CheckAutoResult(ini->RenewKey(u"Sets\\Cur", u"Sets\\Old", renewed.Receive()));
    TxmlNode* sets = FindChild(RootOf(ini), "Sets");
    EXPECT_EQ(ChildNames(sets), "Old,Other,Cur");
    EXPECT_EQ(sets->Children[0]->Attributes.Text(), "A=1\r\n");
    EXPECT_EQ(ChildNames(sets->Children[0]), "Child");
    EXPECT_EQ(sets->Children[2]->Attributes.Text(), "");
    EXPECT_EQ(ChildNames(sets->Children[2]), "");
    TxmlNode* answered = nullptr;
    CheckAutoResult(renewed.Query<IXMLRawNode>()->GetNode(&answered));
    EXPECT_EQ(answered, sets->Children[2]);
    EXPECT_EQ(Current(ini), answered);

    // A missing second key is made first.
    CheckAutoResult(ini->RenewKey(u"Sets\\Other", u"Sets\\Fresh", renewed.Receive()));
    EXPECT_EQ(ChildNames(sets), "Old,Fresh,Cur,Other");

    // Refused before anything is lost: the top, the key itself, an ancestor of it.
    EXPECT_EQ(Failure(ini->RenewKey(u"Sets\\Old", u"", renewed.Receive())), "Open key before writing");
    EXPECT_EQ(Failure(ini->RenewKey(u"", u"Sets\\Old", renewed.Receive())), "Open key before writing");
    EXPECT_NE(Failure(ini->RenewKey(u"Sets\\Old", u"sets\\old", renewed.Receive())), "");
    EXPECT_NE(Failure(ini->RenewKey(u"Sets\\Old\\Child", u"Sets", renewed.Receive())), "");
    EXPECT_EQ(ChildNames(sets), "Old,Fresh,Cur,Other");
    EXPECT_EQ(ChildNames(sets->Children[0]), "Child");
    EXPECT_EQ(sets->Children[0]->Attributes.Text(), "A=1\r\n");
}

TEST_F(Store, ClearDeleteAndValueLines) {
    IniPtr ini = StoreOver("c.xml", {"  <A X=\"1\" >", "    <B />", "  </A>", "  <Z />"});
    ASSERT_TRUE(Open(ini, u"A"));
    CheckAutoResult(ini->AddValueLine(u"raw line without equals"));
    EXPECT_EQ(Current(ini)->Attributes.Text(), "X=1\r\nraw line without equals\r\n");
    CheckAutoResult(ini->ClearKey());
    EXPECT_EQ(Current(ini)->Attributes.Count(), 0);
    EXPECT_EQ(ChildNames(Current(ini)), "");

    CheckAutoResult(ini->DeleteKey());
    EXPECT_EQ(ChildNames(RootOf(ini)), "Z");
    EXPECT_EQ(Current(ini), nullptr) << "no key is open after its element is gone";
    EXPECT_EQ(Failure(ini->WriteString(u"v", u"1")), "Open key before writing");
    EXPECT_EQ(Failure(ini->DeleteKey()), "Open key before writing");
    ASSERT_TRUE(Open(ini, u""));
    EXPECT_EQ(Failure(ini->ClearKey()), "Open key before writing");
    EXPECT_EQ(Failure(ini->AddValueLine(u"x=1")), "Open key before writing");
    EXPECT_EQ(ChildNames(RootOf(ini)), "Z");
}

TEST_F(Store, ChoicesAndSorting) {
    IniPtr ini = StoreOver("o.xml", {"  <L>", "    <E N=\"10\" />", "    <E N=\"9\" />", "    <E N=\"100\" />", "  </L>"});
    ASSERT_TRUE(Open(ini, u"L"));
    CheckAutoResult(ini->SortKeys(u"N"));
    TxmlNode* l = Current(ini);
    EXPECT_EQ(GetAttribute(l->Children[0], "N"), "9");

    CheckAutoResult(ini->WriteChoice(u"Align", u"Left,Right,Center", 1));
    EXPECT_EQ(GetAttribute(l, "Align"), "Right");
    int index = -1;
    CheckAutoResult(ini->ReadChoice(u"Align", u"Left,Right,Center", 0, &index));
    EXPECT_EQ(index, 1);
    ASSERT_TRUE(Open(ini, u""));
    CheckAutoResult(ini->ReadChoice(u"Align", u"Left,,Right", 5, &index));
    EXPECT_EQ(index, 1) << "reading works on the top: an absent value matches the empty item";
    EXPECT_EQ(Failure(ini->WriteChoice(u"Align", u"Left,Right", 0)), "Open key before writing");
    EXPECT_EQ(Failure(ini->SortKeys(u"N")), "Open key before writing");
}

TEST_F(Store, CurrentKeyThroughNodeInterfaces) {
    IniPtr ini = StoreOver("i.xml", kGerman);
    NodePtr root;
    CheckAutoResult(ini->GetRootNode(root.Receive()));
    NodePtr options;
    CheckAutoResult(root->FindChild(u"Options", options.Receive()));
    NodePtr advanced;
    CheckAutoResult(options->FindChild(u"Advanced", advanced.Receive()));
    CheckAutoResult(ini->SetCurrentKey(advanced.Get()));
    EXPECT_EQ(Read(ini, u"Language"), u"German");
    NodePtr key, alias;
    CheckAutoResult(ini->GetCurrentKey(key.Receive()));
    CheckAutoResult(ini->GetKey(alias.Receive()));
    EXPECT_NE(key.Get(), alias.Get());
    TBStr path;
    CheckAutoResult(alias->GetPath(path.Receive()));
    EXPECT_EQ(path.Value(), u"Root\\Options\\Advanced");

    CheckAutoResult(ini->SetCurrentKeyNode(FindChild(RootOf(ini), "Options")));
    EXPECT_EQ(Current(ini)->Name, "Options");
    CheckAutoResult(ini->SetCurrentKey(nullptr));
    CheckAutoResult(ini->GetCurrentKey(key.Receive()));
    EXPECT_FALSE(key);
    EXPECT_EQ(ValueCount(ini), 0);

    bool intact = false;
    CheckAutoResult(ini->CheckTree(&intact));
    EXPECT_TRUE(intact);
    CheckAutoResult(ini->VerifyFile());
    EXPECT_EQ(ChildNames(RootOf(ini)), "Options");
}

TEST_F(Store, SetRootNodeAdoptsAnotherTree) {
    IniPtr ini = StoreOver("adopt.xml", kGerman);
    TxmlTree previous(RootOf(ini));  // the store lets go of it without destroying it
    TxmlNode* other = LoadXmlString("<Fresh Value=\"1\" />");
    CheckAutoResult(ini->SetRootNode(WrapNode(other).Get()));
    EXPECT_EQ(RootOf(ini), other);
    EXPECT_EQ(Current(ini), previous.Get()) << "the current key is not changed";
    EXPECT_TRUE(Open(ini, u"Fresh"));
    EXPECT_EQ(Read(ini, u"Value"), u"1");
    EXPECT_TRUE(SaveOf(ini));
    EXPECT_EQ(ReadFileBytes(file_), XmlFileText({"  <Fresh Value=\"1\" />"}));
    CheckAutoResult(ini->SetRootNode(nullptr));
    EXPECT_EQ(RootOf(ini), nullptr);
    DestroyNode(other);
}

namespace {
void SetEnv(const char* name, const std::string& value) {
#ifdef _WIN32
    _putenv_s(name, value.c_str());
#else
    setenv(name, value.c_str(), 1);
#endif
}
}  // namespace

TEST_F(Store, ReleaseDestroysTreeWithTraceLines) {
    AnsiString log = folder_.File("trace.log");
    SetEnv("UNINSTALL_XML_LOG", log);
    SetXmlTraceEnabled(true);
    {
        IniPtr ini = StoreOver("trace.xml", kGerman);
        WriteFileBytes(log, "");
        CheckAutoResult(ini->VerifyFile());
        // Loading may trace the parser's own start node first; the loaded copy's release ends the log.
        // The header comment of the file is a node of its own, with an empty name.
        std::string verified = ReadFileBytes(log);
        const std::string released = "Root\r\n\r\nOptions\r\nAdvanced\r\n";
        ASSERT_GE(verified.size(), released.size());
        EXPECT_EQ(verified.substr(verified.size() - released.size()), released) << "the verified copy is released";
        WriteFileBytes(log, "");
    }
    SetXmlTraceEnabled(false);
    SetEnv("UNINSTALL_XML_LOG", "");
    EXPECT_EQ(ReadFileBytes(log), "Root\r\n\r\nOptions\r\nAdvanced\r\n");
}

TEST_F(Store, ReleaseOfAnAttachedTopReachesTheCaller) {
    IniPtr ini = StoreOver("attached.xml", kGerman);
    TxmlTree own(RootOf(ini));
    NodePtr options = WrapNode(FindChild(own.Get(), "Options"));
    CheckAutoResult(ini->SetRootNode(options.Get()));
    options.Reset();
    EXPECT_EQ(Thrown([&] { ini.Reset(); }), "Problem with XMLNode") << "the release error was lost";
    EXPECT_EQ(ChildNames(own.Get()), "Options") << "the attached node stays where it is";
}
