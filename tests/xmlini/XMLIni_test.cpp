#include "xmlini/XMLIni.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "TestSupport.h"
#include "xml/Parser.h"
#include "xmlini/XMLImpl.h"

namespace {

using IniPtr = TInterfacePtr<IXMLIni>;
using Ini = IXMLIni;
using xmltest::ChildNames;
using xmltest::Shape;

WideString Wide(const AnsiString& text) { return platform::AnsiToWide(text); }
bool Open(const IniPtr& ini, const char16_t* path, bool create = false, int index = -1) { return Out(ini, &Ini::OpenKey, path, create, index); }
WideString Read(const IniPtr& ini, const char16_t* name) { return Out(ini, &Ini::ReadString, name, u"-"); }
TxmlNode* Current(const IniPtr& ini) { return Out(ini, &Ini::GetCurrentKeyNode); }
TxmlNode* RawOf(const TInterfacePtr<IXMLTreeNode>& node) {
    return node ? Out(node.Query<IXMLRawNode>(), &IXMLRawNode::GetNode) : nullptr;
}
TxmlNode* RootOf(const IniPtr& ini) { return RawOf(Out(ini, &Ini::GetRootNode)); }
bool Save(const IniPtr& ini) { return Out(ini, &Ini::Save); }
const std::string kNoKey = "Open key before writing";

class Store : public testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(LiveObjects().Count(), liveBefore_) << "store objects left referenced"; }

    // A store over a file of the folder holding the given element lines (none: no file).
    IniPtr StoreOver(const char* name, std::initializer_list<const char*> lines = {}, bool makeFile = true) {
        file_ = folder_.File(name);
        if (makeFile) WriteFile(file_, XmlFileText(lines));
        return NewXMLIni(Wide(file_));
    }

    int liveBefore_ = LiveObjects().Count();
    TempDir folder_;
    AnsiString file_;
};

const std::initializer_list<const char*> kGerman = {"  <Options>", "    <Advanced Language=\"German\" />", "  </Options>"};

}  // namespace

TEST_F(Store, OpeningKeysAndReadingTheDialogsLanguage) {
    IniPtr missing = StoreOver("Missing.xml", {}, false);
    EXPECT_FALSE(Open(missing, u"Options\\Advanced"));
    EXPECT_EQ(Failure(missing->WriteString(u"Language", u"x")), kNoKey);
    missing.Reset();
    EXPECT_FALSE(std::filesystem::exists(file_)) << "releasing writes nothing";

    IniPtr ini = StoreOver("Desktop.xml", kGerman);
    EXPECT_TRUE(Open(ini, u"options\\ADVANCED"));
    EXPECT_EQ(Read(ini, u"LANGUAGE") + Read(ini, u"Missing"), u"German-");
    EXPECT_EQ(Out(ini, &Ini::GetValueCount), 1);
    EXPECT_TRUE(Open(ini, u"\\\\")) << "a relative path of separators only stays at the current key";
    CheckAutoResult(ini->WriteString(u"language", u""));
    EXPECT_EQ(Shape(Current(ini)), "Advanced");
    EXPECT_TRUE(Open(ini, u""));  // the top: readable, not writable
    EXPECT_EQ(Current(ini), RootOf(ini));
    EXPECT_EQ(Failure(ini->WriteInteger(u"x", 1)), kNoKey);
    // KeyExists moves along the path as far as it leads and creates nothing.
    for (auto [path, exists, reached] : {std::tuple{u"Options\\X", false, "Options"}, {u"options\\advanced", true, "Advanced"}, {u"Q", false, "Root"}}) {
        EXPECT_EQ(Out(ini, &Ini::KeyExists, path), exists);
        EXPECT_EQ(Current(ini)->Name, reached);
    }
    EXPECT_EQ(ChildNames(RootOf(ini)), "Options");
}

TEST_F(Store, IndexAndRelativePathsSelectAndCreateKeys) {
    IniPtr ini = StoreOver("k.xml", {"  <K>", "    <Item N=\"0\" />", "    <X />", "    <Item N=\"2\" />", "  </K>"});
    for (auto [index, n] : {std::pair{-1, u"0"}, {0, u"2"}, {-9, u"0"}}) {  // below -1 searches from the start
        ASSERT_TRUE(Open(ini, u"K\\Item", false, index));
        EXPECT_EQ(Read(ini, u"N"), n);
    }
    EXPECT_FALSE(Open(ini, u"K\\Item", false, 2));
    EXPECT_EQ(Current(ini), nullptr);
    ASSERT_TRUE(Open(ini, u"K\\Item", true, 2));
    TxmlNode* made = Current(ini);
    EXPECT_EQ(made, made->Parent->Children[3]);
    for (const char16_t* path : {u"A", u"\\B", u"B", u"\\A\\\\C\\"}) ASSERT_TRUE(Open(ini, path, true)) << "relative to the key before";
    EXPECT_EQ(GetNodePath(Current(ini)), "Root\\B\\A\\C");
    EXPECT_EQ(Shape(RootOf(ini)), "Root(!=\" created by Velmora XML package \",K(Item{N=0},X,Item{N=2},Item),A(B),B(A(C)))");
    CheckAutoResult(ini->SetCurrentKey(nullptr));  // a relative path has nowhere to start
    bool opened = true;
    EXPECT_EQ(Failure(ini->OpenKey(u"\\X", true, -1, &opened)), kNoKey);
}

TEST_F(Store, TypedValuesAndTheirTexts) {
    IniPtr ini = StoreOver("t.xml");
    ASSERT_TRUE(Open(ini, u"Values", true));
    TxmlNode* key = Current(ini);
    for (auto [text, def, expected] : {std::tuple{"1", false, true}, {"TRUE", false, true}, {"true", false, true},
                                       {"yes", true, false}, {"0", true, false}, {"-1", true, false}, {"", true, true}, {"", false, false}}) {
        SetAttribute(key, "B", text);
        EXPECT_EQ(Out(ini, &Ini::ReadBool, u"B", def), expected) << text;
    }
    for (auto [text, expected] : {std::pair{"12abc", 7}, {"-12", -12}, {"+12", 12}, {" 12", 7}, {"0x1F", 7},
                                  {"-2147483648", INT32_MIN}, {"2147483648", 7}, {"-", 7}, {"", 7}}) {
        SetAttribute(key, "I", text);
        EXPECT_EQ(Out(ini, &Ini::ReadInteger, u"I", 7), expected) << text;
    }
    const TIniRect def{-1, -2, -3, -4};
    for (auto [text, expected] : {std::pair{"(5; 6)", def}, {"[5, 6]", TIniRect{5, -2, -3, -4}}, {"{ 5 , 6 ,7, 8 )", TIniRect{5, 6, 7, 8}},
                                  {"1,x,3,y", TIniRect{1, -2, 3, -4}}, {"12345678901,0,0,0", TIniRect{1234567890, 0, 0, 0}}, {"", def}}) {
        SetAttribute(key, "R", text);  // each number is cut to ten characters
        EXPECT_EQ(Out(ini, &Ini::ReadRect, u"R", def), expected) << text;
    }
    const TIniPoint pdef{-5, -6};
    for (auto [text, expected] : {std::pair{"[10,20]", TIniPoint{10, 20}}, {"10,20", TIniPoint{10, 20}}, {"[7]", pdef},
                                  {",,3,,4", TIniPoint{3, 4}}, {"", pdef}}) {
        SetAttribute(key, "P", text);
        EXPECT_EQ(Out(ini, &Ini::ReadPoint, u"P", pdef), expected) << text;
    }
    CheckAutoResult(ini->WriteBool(u"B", true));
    CheckAutoResult(ini->WriteBool(u"F", false));
    CheckAutoResult(ini->WriteInteger(u"I", -42));
    CheckAutoResult(ini->WriteInteger(u"Z", 0));  // zero is a value, not an empty text
    CheckAutoResult(ini->WriteRect(u"R", TIniRect{-99999, -1, 0, INT32_MAX}));
    CheckAutoResult(ini->WritePoint(u"P", TIniPoint{-3, 9}));
    EXPECT_EQ(key->Attributes.Text(), "B=True\r\nF=False\r\nI=-42\r\nZ=0\r\nR=[-99999,-1,0,2147483647]\r\nP=[-3,9]\r\n");
    EXPECT_EQ(Out(ini, &Ini::ReadRect, u"R", def), (TIniRect{-99999, -1, 0, INT32_MAX}));
}

TEST_F(Store, StringLists) {
    IniPtr ini = StoreOver("s.xml", {"  <Lists>", "    <Recent Keep=\"me\" >", "      <Item>old</Item>", "    </Recent>", "  </Lists>"});
    ASSERT_TRUE(Open(ini, u"Lists"));
    TxmlNode* list = FindChild(Current(ini), "Recent");
    for (auto [text, maxIndex, shape] : {std::tuple{u"one\r\ntwo\nthree", 0, "(Item=\"one\",Item=\"two\",Item=\"three\")"},
                                         {u"a\rb\r\nc\r\n", 1, "(Item=\"a\",Item=\"b\")"}, {u"", 0, ""}}) {
        CheckAutoResult(ini->WriteStrings(u"Recent", text, maxIndex));
        EXPECT_EQ(Shape(list), "Recent{Keep=me}" + std::string(shape)) << "the list element's own attributes stay";
    }
    CheckAutoResult(ini->WriteStrings(u"recent", u"a < b\n c & \"d\" ", 10));
    EXPECT_EQ(Out(ini, &Ini::ReadStrings, u"Recent"), u"a < b\r\n c & \"d\"");
    EXPECT_EQ(Out(ini, &Ini::ReadStrings, u"Missing"), u"");
    EXPECT_EQ(Failure(ini->WriteStrings(u"", u"x", 0)), "A string list needs a name");
    ASSERT_TRUE(Open(ini, u"Lists\\Recent"));
    EXPECT_EQ(Out(ini, &Ini::ReadStrings, u""), u"a < b\r\n c & \"d\"") << "an empty name reads the key's own children";
    CheckAutoResult(ini->SetCurrentKey(nullptr));
    TBStr text;
    EXPECT_EQ(Failure(ini->ReadStrings(u"Recent", text.Receive())), kNoKey);
}

TEST_F(Store, SavingReadOnlyAndSwitchingFiles) {
    IniPtr ini = StoreOver("Desktop.xml", {}, false);
    ASSERT_TRUE(Open(ini, u"Options\\Advanced", true));
    CheckAutoResult(ini->WriteString(u"Language", u"Russian"));
    EXPECT_TRUE(Save(ini));
    const std::string saved = XmlFileText({"  <Options>", "    <Advanced Language=\"Russian\" />", "  </Options>"});
    EXPECT_EQ(ReadFile(file_), saved);
    TxmlNode* root = RootOf(ini);
    CheckAutoResult(ini->WriteString(u"Language", u"French"));
    CheckAutoResult(ini->SetReadOnly(true));
    EXPECT_TRUE(Out(ini, &Ini::GetReadOnly));
    EXPECT_FALSE(Save(ini));
    CheckAutoResult(ini->SetFileName(Wide(file_).c_str()));  // the same name: saves only when writable
    EXPECT_EQ(ReadFile(file_), saved);
    CheckAutoResult(ini->SetReadOnly(false));
    CheckAutoResult(ini->SetFileName(Wide(file_).c_str()));
    EXPECT_NE(ReadFile(file_).find("French"), std::string::npos);
    EXPECT_EQ(RootOf(ini), root) << "the same name keeps the tree and the key";
    CheckAutoResult(ini->WriteString(u"Language", u"Dutch"));

    AnsiString first = file_, second = folder_.File("second.xml");
    WriteFile(second, XmlFileText({"  <Other Name=\"2\" />"}));
    CheckAutoResult(ini->SetFileName(Wide(second).c_str()));
    EXPECT_NE(ReadFile(first).find("Dutch"), std::string::npos) << "the old file was saved";
    EXPECT_EQ(Out(ini, &Ini::GetFileName), Wide(second));
    EXPECT_EQ(Current(ini), RootOf(ini));
    EXPECT_TRUE(Open(ini, u"Other"));
    std::filesystem::create_directories(folder_.File("folder.xml"));  // unreadable: the store stays as it was
    EXPECT_NE(Failure(ini->SetFileName(Wide(folder_.File("folder.xml")).c_str())), "");
    EXPECT_EQ(Out(ini, &Ini::GetFileName), Wide(second));
    EXPECT_EQ(Read(ini, u"Name"), u"2");
    EXPECT_THROW(NewXMLIni(Wide(folder_.File("folder.xml"))), Exception);
    ini.Reset();
    EXPECT_EQ(ReadFile(second), XmlFileText({"  <Other Name=\"2\" />"})) << "release discards unsaved changes";
}

TEST_F(Store, FoldersOfNewFilesAreMadeOnSaving) {
    IniPtr ini = NewXMLIni(Wide(folder_.Path().string() + "\\a/b\\third.xml"));  // "\" separates folders everywhere
    ASSERT_TRUE(Open(ini, u"New", true));
    EXPECT_TRUE(Save(ini));
    EXPECT_TRUE(std::filesystem::exists(folder_.Path() / "a" / "b" / "third.xml"));
    CheckAutoResult(ini->SetFileName(Wide(folder_.File("later") + "/sub/x.xml").c_str()));
    WriteFile(folder_.File("later"), "x");  // a plain file in the way makes the save fail
    ASSERT_TRUE(Open(ini, u"K", true));
    EXPECT_FALSE(Save(ini));
    IniPtr late = NewXMLIni(Wide(folder_.File("late.xml")));
    ASSERT_TRUE(Open(late, u"K", true));
    std::filesystem::create_directories(folder_.File("late.xml"));
    EXPECT_FALSE(Save(late)) << "a folder where the file should be";

    auto previous = std::filesystem::current_path();
    std::filesystem::current_path(folder_.Path());
    CheckAutoResult(ini->SetFileName(u"bare.xml"));
    ASSERT_TRUE(Open(ini, u"K", true));
    EXPECT_TRUE(Save(ini));
    std::filesystem::current_path(previous);
    EXPECT_TRUE(std::filesystem::exists(folder_.Path() / "bare.xml"));

    IniPtr none = NewXMLIni(u"");  // no tree at all
    EXPECT_EQ(RootOf(none), nullptr);
    bool opened = true;
    EXPECT_NE(Failure(none->OpenKey(u"Options", true, -1, &opened)), "");
    EXPECT_FALSE(opened);
    EXPECT_FALSE(Save(none));
    EXPECT_TRUE(Out(none, &Ini::CheckTree));
}

TEST_F(Store, OpenKeyByValuesAndRenewKey) {
    IniPtr ini = StoreOver("v.xml", {"  <Sets>", "    <Cur A=\"1\" >", "      <Child />", "    </Cur>",
                                     "    <Old B=\"2\" />", "    <Other />", "  </Sets>"});
    auto byValues = [&](const char16_t* path, const char16_t* values, bool create) { return Out(ini, &Ini::OpenKeyByValues, path, values, create); };
    ASSERT_TRUE(byValues(u"Tools\\Tool", u"Name=Grep", true));
    TxmlNode* grep = Current(ini);
    EXPECT_TRUE(byValues(u"Tools\\Tool", u"Name=Grep", true));
    EXPECT_EQ(Current(ini), grep) << "the second call finds the first key";
    EXPECT_FALSE(byValues(u"Tools\\Tool", u"Name=Sed\r\nKind=1", false));
    EXPECT_EQ(Current(ini), nullptr);
    EXPECT_TRUE(byValues(u"Tools\\Tool", u"Name=Sed\r\nKind=1", true));
    EXPECT_TRUE(byValues(u"tools\\tool", u"Kind=1", false)) << "a subset of the values is enough";
    EXPECT_TRUE(byValues(u"\\Group\\Entry", u"Id=7", true)) << "relative: below the key the walk started at";
    EXPECT_TRUE(byValues(u"Tools\\Made/", u"Id=8", true)) << "the trailing separator is no name of its own";
    EXPECT_EQ(Shape(grep->Parent), "Tools(Tool{Name=Grep},Tool{Name=Sed|Kind=1}(Group(Entry{Id=7})),Made{Id=8})");

    // The content moves to the second key, the first stays empty and last; a missing second key is made.
    TxmlNode* renewed = RawOf(Out(ini, &Ini::RenewKey, u"Sets\\Cur", u"Sets\\Old"));
    TxmlNode* sets = FindChild(RootOf(ini), "Sets");
    EXPECT_EQ(Shape(sets), "Sets(Old{A=1}(Child),Other,Cur)");
    EXPECT_EQ(renewed, sets->Children[2]);
    EXPECT_EQ(Current(ini), renewed);
    Out(ini, &Ini::RenewKey, u"Sets\\Other", u"Sets\\Fresh");
    // Refused before anything is lost: the top, the key itself, an ancestor of it.
    TInterfacePtr<IXMLTreeNode> none;
    EXPECT_EQ(Failure(ini->RenewKey(u"Sets\\Old", u"", none.Receive())), kNoKey);
    EXPECT_EQ(Failure(ini->RenewKey(u"", u"Sets\\Old", none.Receive())), kNoKey);
    EXPECT_NE(Failure(ini->RenewKey(u"Sets\\Old", u"sets\\old", none.Receive())), "");
    EXPECT_NE(Failure(ini->RenewKey(u"Sets\\Old\\Child", u"Sets", none.Receive())), "");
    EXPECT_EQ(Shape(sets), "Sets(Old{A=1}(Child),Fresh,Cur,Other)");
}

TEST_F(Store, ClearDeleteValueLinesChoicesAndSorting) {
    IniPtr ini = StoreOver("c.xml", {"  <A X=\"1\" >", "    <B />", "  </A>", "  <L Align=\"right\" >", "    <E N=\"10\" />",
                                     "    <E N=\"9\" />", "  </L>"});
    ASSERT_TRUE(Open(ini, u"A"));
    CheckAutoResult(ini->AddValueLine(u"raw line without equals"));
    EXPECT_EQ(Current(ini)->Attributes.Text(), "X=1\r\nraw line without equals\r\n");
    CheckAutoResult(ini->ClearKey());
    EXPECT_EQ(Shape(Current(ini)), "A");
    CheckAutoResult(ini->DeleteKey());
    EXPECT_EQ(Current(ini), nullptr) << "no key is open after its element is gone";
    EXPECT_EQ(Failure(ini->DeleteKey()), kNoKey);
    ASSERT_TRUE(Open(ini, u"L"));
    CheckAutoResult(ini->SortKeys(u"N"));
    EXPECT_EQ(Out(ini, &Ini::ReadChoice, u"Align", u"Left,Right,Center", 0), 1);
    CheckAutoResult(ini->WriteChoice(u"Align", u"Left,Right,Center", 2));
    EXPECT_EQ(Shape(Current(ini)), "L{Align=Center}(E{N=9},E{N=10})");
    ASSERT_TRUE(Open(ini, u""));
    EXPECT_EQ(Out(ini, &Ini::ReadChoice, u"Align", u"Left,,Right", 5), 1) << "reading works on the top";
    EXPECT_EQ(Failure(ini->WriteChoice(u"Align", u"Left", 0)), kNoKey);
    EXPECT_EQ(Failure(ini->SortKeys(u"N")), kNoKey);
    EXPECT_EQ(Failure(ini->ClearKey()), kNoKey);
    EXPECT_EQ(Failure(ini->AddValueLine(u"x=1")), kNoKey);
    EXPECT_EQ(ChildNames(RootOf(ini)), "L");
}

TEST_F(Store, CurrentKeyAndRootThroughNodeInterfaces) {
    xmltest::TraceCapture trace;
    IniPtr ini = StoreOver("i.xml", kGerman);
    auto options = Out(Out(ini, &Ini::GetRootNode), &IXMLTreeNode::FindChild, u"Options");
    CheckAutoResult(ini->SetCurrentKey(Out(options, &IXMLTreeNode::FindChild, u"Advanced").Get()));
    EXPECT_EQ(Read(ini, u"Language"), u"German");
    EXPECT_NE(Out(ini, &Ini::GetCurrentKey).Get(), Out(ini, &Ini::GetKey).Get());
    EXPECT_EQ(Out(Out(ini, &Ini::GetKey), &IXMLTreeNode::GetPath), u"Root\\Options\\Advanced");
    CheckAutoResult(ini->SetCurrentKeyNode(RawOf(options)));
    EXPECT_EQ(Current(ini)->Name, "Options");
    CheckAutoResult(ini->SetCurrentKey(nullptr));
    EXPECT_FALSE(Out(ini, &Ini::GetCurrentKey));
    EXPECT_EQ(Out(ini, &Ini::GetValueCount), 0);
    EXPECT_TRUE(Out(ini, &Ini::CheckTree));
    // Verifying reads the file into a copy and releases it: the header comment is a node without a name.
    CheckAutoResult(ini->VerifyFile());
    std::vector<std::string> lines = trace.Lines();
    EXPECT_EQ(std::vector<std::string>(lines.end() - 4, lines.end()), (std::vector<std::string>{"Root", "", "Options", "Advanced"}));

    TxmlTree previous(RootOf(ini));  // the store lets go of it without destroying it
    TxmlNode* other = LoadXmlString("<Fresh Value=\"1\" />");
    CheckAutoResult(ini->SetRootNode(WrapNode(other).Get()));
    EXPECT_TRUE(Open(ini, u"Fresh"));
    EXPECT_TRUE(Save(ini));
    EXPECT_EQ(ReadFile(file_), XmlFileText({"  <Fresh Value=\"1\" />"}));
    CheckAutoResult(ini->SetRootNode(options.Get()));
    DestroyNode(other);
    options.Reset();
    EXPECT_EQ(Thrown([&] { ini.Reset(); }), "Problem with XMLNode") << "the release of an attached top was lost";
    EXPECT_EQ(ChildNames(previous.Get()), "Options") << "the attached node stays where it is";
    lines = trace.Lines();
    EXPECT_EQ(lines.back(), "Root\\Options");
}
