#include "xmlini/XMLIni.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "TestSupport.h"
#include "xml/Parser.h"
#include "xmlini/XMLImpl.h"

namespace {

using IniPtr = TInterfacePtr<IXMLIni>;
using NodePtr = TInterfacePtr<IXMLTreeNode>;
using xmltest::ChildNames;

WideString Wide(const AnsiString& text) { return platform::AnsiToWide(text); }
bool Open(const IniPtr& ini, const char16_t* path, bool create = false, int index = -1) {
    return Out(ini, &IXMLIni::OpenKey, path, create, index);
}
WideString Read(const IniPtr& ini, const char16_t* name, const char16_t* def = u"") {
    return Out(ini, &IXMLIni::ReadString, name, def);
}
TxmlNode* Current(const IniPtr& ini) { return Out(ini, &IXMLIni::GetCurrentKeyNode); }
TxmlNode* RootOf(const IniPtr& ini) {
    NodePtr root = Out(ini, &IXMLIni::GetRootNode);
    return root ? Out(root.Query<IXMLRawNode>(), &IXMLRawNode::GetNode) : nullptr;
}
TxmlNode* Renew(const IniPtr& ini, const char16_t* path1, const char16_t* path2) {
    return Out(Out(ini, &IXMLIni::RenewKey, path1, path2).Query<IXMLRawNode>(), &IXMLRawNode::GetNode);
}
bool Save(const IniPtr& ini) { return Out(ini, &IXMLIni::Save); }
const std::string kNoKey = "Open key before writing";

class Store : public testing::Test {
protected:
    void SetUp() override { liveBefore_ = LiveObjects().Count(); }
    void TearDown() override { EXPECT_EQ(LiveObjects().Count(), liveBefore_) << "store objects left referenced"; }

    // A store over a file of the folder holding the given element lines (none: no file).
    IniPtr StoreOver(const char* name, std::initializer_list<const char*> lines = {}, bool makeFile = true) {
        file_ = folder_.File(name);
        if (makeFile) WriteFile(file_, XmlFileText(lines));
        return NewXMLIni(Wide(file_));
    }

    TempDir folder_;
    AnsiString file_;
    int liveBefore_ = 0;
};

const std::initializer_list<const char*> kGerman = {"  <Options>", "    <Advanced Language=\"German\" />", "  </Options>"};

}  // namespace

TEST_F(Store, OpeningKeysAndReadingTheDialogsLanguage) {
    IniPtr missing = StoreOver("Missing.xml", {}, false);
    EXPECT_FALSE(Open(missing, u"Options\\Advanced"));
    EXPECT_EQ(Current(missing), nullptr);
    EXPECT_EQ(Failure(missing->WriteString(u"Language", u"x")), kNoKey);
    missing.Reset();
    EXPECT_FALSE(std::filesystem::exists(file_)) << "releasing writes nothing";

    IniPtr ini = StoreOver("Desktop.xml", kGerman);
    EXPECT_TRUE(Open(ini, u"options\\ADVANCED"));
    EXPECT_EQ(Current(ini)->Name, "Advanced");
    EXPECT_EQ(Read(ini, u"LANGUAGE"), u"German");
    EXPECT_EQ(Read(ini, u"Missing", u"fallback"), u"fallback");
    EXPECT_EQ(Out(ini, &IXMLIni::GetValueCount), 1);
    EXPECT_TRUE(Open(ini, u"\\\\")) << "a relative path of separators only stays at the current key";
    EXPECT_EQ(Current(ini)->Name, "Advanced");
    CheckAutoResult(ini->WriteString(u"language", u""));
    EXPECT_EQ(Read(ini, u"Language", u"none"), u"none");

    EXPECT_TRUE(Open(ini, u""));  // the top: readable, not writable
    EXPECT_EQ(Current(ini), RootOf(ini));
    EXPECT_EQ(Failure(ini->WriteInteger(u"x", 1)), kNoKey);
    EXPECT_EQ(Out(ini, &IXMLIni::GetValueCount), 0);
    // KeyExists moves along the path as far as it leads and creates nothing.
    EXPECT_FALSE(Out(ini, &IXMLIni::KeyExists, u"Options\\X"));
    EXPECT_EQ(Current(ini)->Name, "Options");
    EXPECT_TRUE(Out(ini, &IXMLIni::KeyExists, u"options\\advanced"));
    EXPECT_EQ(Current(ini)->Name, "Advanced");
    EXPECT_FALSE(Out(ini, &IXMLIni::KeyExists, u"Q"));
    EXPECT_EQ(Current(ini), RootOf(ini));
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
    EXPECT_EQ(Current(ini), Current(ini)->Parent->Children[3]);
    EXPECT_EQ(ChildNames(Current(ini)->Parent), "Item,X,Item,Item");

    ASSERT_TRUE(Open(ini, u"A", true));
    ASSERT_TRUE(Open(ini, u"\\B", true));
    ASSERT_TRUE(Open(ini, u"B", true));
    ASSERT_TRUE(Open(ini, u"\\A\\\\C\\", true)) << "relative to B";
    EXPECT_EQ(GetNodePath(Current(ini)), "Root\\B\\A\\C");
    EXPECT_EQ(ChildNames(RootOf(ini)), "K,A,B");
    EXPECT_EQ(ChildNames(FindChild(RootOf(ini), "A")), "B");
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
        EXPECT_EQ(Out(ini, &IXMLIni::ReadBool, u"B", def), expected) << text;
    }
    for (auto [text, expected] : {std::pair{"12abc", 7}, {"-12", -12}, {"+12", 12}, {" 12", 7}, {"0x1F", 7},
                                  {"-2147483648", INT32_MIN}, {"2147483648", 7}, {"-", 7}, {"", 7}}) {
        SetAttribute(key, "I", text);
        EXPECT_EQ(Out(ini, &IXMLIni::ReadInteger, u"I", 7), expected) << text;
    }
    const TIniRect def{-1, -2, -3, -4};
    for (auto [text, expected] : {std::pair{"(5; 6)", def}, {"[5, 6]", TIniRect{5, -2, -3, -4}}, {"{ 5 , 6 ,7, 8 )", TIniRect{5, 6, 7, 8}},
                                  {"1,x,3,y", TIniRect{1, -2, 3, -4}}, {"12345678901,0,0,0", TIniRect{1234567890, 0, 0, 0}}, {"", def}}) {
        SetAttribute(key, "R", text);  // each number is cut to ten characters
        EXPECT_EQ(Out(ini, &IXMLIni::ReadRect, u"R", def), expected) << text;
    }
    const TIniPoint pdef{-5, -6};
    for (auto [text, expected] : {std::pair{"[10,20]", TIniPoint{10, 20}}, {"10,20", TIniPoint{10, 20}}, {"[7]", pdef},
                                  {",,3,,4", TIniPoint{3, 4}}, {"", pdef}}) {
        SetAttribute(key, "P", text);
        EXPECT_EQ(Out(ini, &IXMLIni::ReadPoint, u"P", pdef), expected) << text;
    }
    CheckAutoResult(ini->WriteBool(u"B", true));
    CheckAutoResult(ini->WriteBool(u"B2", false));
    CheckAutoResult(ini->WriteInteger(u"I", -42));
    CheckAutoResult(ini->WriteInteger(u"Z", 0));  // zero is a value, not an empty text
    CheckAutoResult(ini->WriteRect(u"R", TIniRect{-99999, -1, 0, INT32_MAX}));
    CheckAutoResult(ini->WritePoint(u"P", TIniPoint{-3, 9}));
    EXPECT_EQ(key->Attributes.Text(), "B=True\r\nB2=False\r\nI=-42\r\nZ=0\r\nR=[-99999,-1,0,2147483647]\r\nP=[-3,9]\r\n");
    EXPECT_EQ(Out(ini, &IXMLIni::ReadRect, u"R", def), (TIniRect{-99999, -1, 0, INT32_MAX}));
}

TEST_F(Store, StringLists) {
    IniPtr ini = StoreOver("s.xml");
    ASSERT_TRUE(Open(ini, u"Lists", true));
    TxmlNode* key = Current(ini);
    CheckAutoResult(ini->WriteStrings(u"Recent", u"one\r\ntwo\nthree", 0));
    TxmlNode* list = FindChild(key, "Recent");
    EXPECT_EQ(xmltest::Shape(list), "Recent(Item=\"one\",Item=\"two\",Item=\"three\")");
    EXPECT_EQ(Out(ini, &IXMLIni::ReadStrings, u"recent"), u"one\r\ntwo\r\nthree");
    SetAttribute(list, "Keep", "me");  // the list element's own attributes stay
    for (auto [text, maxIndex, shape] : {std::tuple{u"a\rb\r\nc\r\n", 1, "Recent{Keep=me}(Item=\"a\",Item=\"b\")"},
                                         {u"a\nb\nc", 10, "Recent{Keep=me}(Item=\"a\",Item=\"b\",Item=\"c\")"}, {u"", 0, "Recent{Keep=me}"}}) {
        CheckAutoResult(ini->WriteStrings(u"Recent", text, maxIndex));
        EXPECT_EQ(xmltest::Shape(list), shape);
    }
    EXPECT_EQ(Out(ini, &IXMLIni::ReadStrings, u"Missing"), u"");
    EXPECT_EQ(Failure(ini->WriteStrings(u"", u"x", 0)), "A string list needs a name");
    // An empty name reads the current key's own children, whatever their names.
    CheckAutoResult(ini->WriteStrings(u"Inner", u" x \n y ", 0));
    ASSERT_TRUE(Open(ini, u"Lists\\Inner"));
    EXPECT_EQ(Out(ini, &IXMLIni::ReadStrings, u""), u"x \r\n y");
    CheckAutoResult(ini->SetCurrentKey(nullptr));
    TBStr text;
    EXPECT_EQ(Failure(ini->ReadStrings(u"Recent", text.Receive())), kNoKey);
}

TEST_F(Store, SavingReadOnlyAndRoundTrip) {
    IniPtr ini = StoreOver("Desktop.xml", {}, false);
    ASSERT_TRUE(Open(ini, u"Options\\Advanced", true));
    CheckAutoResult(ini->WriteString(u"Language", u"Russian"));
    EXPECT_TRUE(Save(ini));
    EXPECT_EQ(ReadFile(file_), XmlFileText({"  <Options>", "    <Advanced Language=\"Russian\" />", "  </Options>"}));
    ASSERT_TRUE(Open(ini, u"Options\\Lists", true));
    CheckAutoResult(ini->WriteStrings(u"Recent", u"a < b\nc & \"d\"", 0));
    EXPECT_TRUE(Save(ini));
    ini.Reset();

    IniPtr again = NewXMLIni(Wide(file_));
    ASSERT_TRUE(Open(again, u"Options\\Lists"));
    EXPECT_EQ(Out(again, &IXMLIni::ReadStrings, u"Recent"), u"a < b\r\nc & \"d\"");
    std::string before = ReadFile(file_);
    EXPECT_TRUE(Save(again));
    EXPECT_EQ(ReadFile(file_), before) << "a re-read file saves to the same bytes";
    EXPECT_FALSE(Out(again, &IXMLIni::GetReadOnly));
    CheckAutoResult(again->WriteString(u"Language", u"French"));
    CheckAutoResult(again->SetReadOnly(true));
    EXPECT_TRUE(Out(again, &IXMLIni::GetReadOnly));
    EXPECT_FALSE(Save(again));
    CheckAutoResult(again->SetFileName(Wide(file_).c_str()));  // switching saves only when writable
    EXPECT_EQ(ReadFile(file_), before);
    CheckAutoResult(again->SetReadOnly(false));
    again.Reset();
    EXPECT_EQ(ReadFile(file_), before) << "release discards unsaved changes";
}

TEST_F(Store, SwitchingFiles) {
    IniPtr ini = StoreOver("first.xml", kGerman);
    AnsiString first = file_, second = folder_.File("second.xml");
    WriteFile(second, XmlFileText({"  <Other Name=\"2\" />"}));
    ASSERT_TRUE(Open(ini, u"Options\\Advanced"));
    TxmlNode* root = RootOf(ini);
    CheckAutoResult(ini->WriteString(u"Language", u"French"));
    CheckAutoResult(ini->SetFileName(Wide(first).c_str()));  // the same name saves and keeps the tree
    EXPECT_EQ(RootOf(ini), root);
    EXPECT_EQ(Current(ini)->Name, "Advanced");
    CheckAutoResult(ini->WriteString(u"Language", u"Dutch"));
    CheckAutoResult(ini->SetFileName(Wide(second).c_str()));
    EXPECT_NE(ReadFile(first).find("Language=\"Dutch\""), std::string::npos) << "the old file was saved";
    EXPECT_EQ(Out(ini, &IXMLIni::GetFileName), Wide(second));
    EXPECT_EQ(Current(ini), RootOf(ini));
    EXPECT_TRUE(Open(ini, u"Other"));
    EXPECT_EQ(Read(ini, u"Name"), u"2");

    AnsiString folderName = folder_.File("folder.xml");  // unreadable: the store stays as it was
    std::filesystem::create_directories(folderName);
    EXPECT_NE(Failure(ini->SetFileName(Wide(folderName).c_str())), "");
    EXPECT_EQ(Out(ini, &IXMLIni::GetFileName), Wide(second));
    EXPECT_EQ(Read(ini, u"Name"), u"2");
    EXPECT_THROW(NewXMLIni(Wide(folderName)), Exception);
    IniPtr late = NewXMLIni(Wide(folder_.File("late.xml")));
    ASSERT_TRUE(Open(late, u"K", true));
    std::filesystem::create_directories(folder_.File("late.xml"));
    EXPECT_FALSE(Save(late)) << "a folder where the file should be";

    // "\" separates folders on every system; the folders of a new file are made when it is saved.
    CheckAutoResult(ini->SetFileName(Wide(folder_.Path().string() + "\\a/b\\third.xml").c_str()));
    EXPECT_EQ(ChildNames(RootOf(ini)), "");
    EXPECT_TRUE(Open(ini, u"New", true));
    EXPECT_TRUE(Save(ini));
    EXPECT_TRUE(std::filesystem::exists(folder_.Path() / "a" / "b" / "third.xml"));
    CheckAutoResult(ini->SetFileName(Wide(folder_.File("later") + "/sub/x.xml").c_str()));
    WriteFile(folder_.File("later"), "x");  // a plain file in the way makes the save fail
    ASSERT_TRUE(Open(ini, u"K", true));
    EXPECT_FALSE(Save(ini));
    EXPECT_EQ(ReadFile(folder_.File("later")), "x");
}

TEST_F(Store, BareAndEmptyFileNames) {
    auto previous = std::filesystem::current_path();
    std::filesystem::current_path(folder_.Path());
    {
        IniPtr ini = NewXMLIni(u"bare.xml");
        EXPECT_TRUE(Open(ini, u"K", true));
        EXPECT_TRUE(Save(ini));
    }
    std::filesystem::current_path(previous);
    EXPECT_TRUE(std::filesystem::exists(folder_.Path() / "bare.xml"));

    IniPtr ini = NewXMLIni(u"");  // no tree at all
    EXPECT_EQ(RootOf(ini), nullptr);
    bool opened = true;
    EXPECT_NE(Failure(ini->OpenKey(u"Options", true, -1, &opened)), "");
    EXPECT_FALSE(opened);
    EXPECT_FALSE(Save(ini));
    EXPECT_TRUE(Out(ini, &IXMLIni::CheckTree));
}

TEST_F(Store, OpenKeyByValuesAndRenewKey) {
    IniPtr ini = StoreOver("v.xml", {"  <Sets>", "    <Cur A=\"1\" >", "      <Child />", "    </Cur>",
                                     "    <Old B=\"2\" />", "    <Other />", "  </Sets>"});
    auto byValues = [&](const char16_t* path, const char16_t* values, bool create) {
        return Out(ini, &IXMLIni::OpenKeyByValues, path, values, create);
    };
    ASSERT_TRUE(byValues(u"Tools\\Tool", u"Name=Grep", true));
    TxmlNode* grep = Current(ini);
    EXPECT_TRUE(byValues(u"Tools\\Tool", u"Name=Grep", true));
    EXPECT_EQ(Current(ini), grep) << "the second call finds the first key";
    EXPECT_FALSE(byValues(u"Tools\\Tool", u"Name=Sed\r\nKind=1", false));
    EXPECT_EQ(Current(ini), nullptr);
    EXPECT_TRUE(byValues(u"Tools\\Tool", u"Name=Sed\r\nKind=1", true));
    EXPECT_TRUE(byValues(u"tools\\tool", u"Kind=1", false)) << "a subset of the values is enough";
    EXPECT_TRUE(byValues(u"\\Group\\Entry", u"Id=7", true)) << "relative: below the key the walk started at";
    EXPECT_TRUE(byValues(u"Tools\\", u"", true)) << "the trailing separator is no name of its own";
    EXPECT_EQ(xmltest::Shape(grep->Parent), "Tools(Tool{Name=Grep},Tool{Name=Sed|Kind=1}(Group(Entry{Id=7})))");

    // The content moves to the second key, the first stays empty and last; a missing second key is made.
    TxmlNode* renewed = Renew(ini, u"Sets\\Cur", u"Sets\\Old");
    TxmlNode* sets = FindChild(RootOf(ini), "Sets");
    EXPECT_EQ(xmltest::Shape(sets), "Sets(Old{A=1}(Child),Other,Cur)");
    EXPECT_EQ(renewed, sets->Children[2]);
    EXPECT_EQ(Current(ini), renewed);
    Renew(ini, u"Sets\\Other", u"Sets\\Fresh");
    // Refused before anything is lost: the top, the key itself, an ancestor of it.
    NodePtr none;
    EXPECT_EQ(Failure(ini->RenewKey(u"Sets\\Old", u"", none.Receive())), kNoKey);
    EXPECT_EQ(Failure(ini->RenewKey(u"", u"Sets\\Old", none.Receive())), kNoKey);
    EXPECT_NE(Failure(ini->RenewKey(u"Sets\\Old", u"sets\\old", none.Receive())), "");
    EXPECT_NE(Failure(ini->RenewKey(u"Sets\\Old\\Child", u"Sets", none.Receive())), "");
    EXPECT_EQ(xmltest::Shape(sets), "Sets(Old{A=1}(Child),Fresh,Cur,Other)");
}

TEST_F(Store, ClearDeleteValueLinesChoicesAndSorting) {
    IniPtr ini = StoreOver("c.xml", {"  <A X=\"1\" >", "    <B />", "  </A>", "  <L Align=\"right\" >", "    <E N=\"10\" />",
                                     "    <E N=\"9\" />", "  </L>"});
    ASSERT_TRUE(Open(ini, u"A"));
    CheckAutoResult(ini->AddValueLine(u"raw line without equals"));
    EXPECT_EQ(Current(ini)->Attributes.Text(), "X=1\r\nraw line without equals\r\n");
    CheckAutoResult(ini->ClearKey());
    EXPECT_EQ(xmltest::Shape(Current(ini)), "A");
    CheckAutoResult(ini->DeleteKey());
    EXPECT_EQ(Current(ini), nullptr) << "no key is open after its element is gone";
    EXPECT_EQ(Failure(ini->DeleteKey()), kNoKey);
    ASSERT_TRUE(Open(ini, u"L"));
    CheckAutoResult(ini->SortKeys(u"N"));
    EXPECT_EQ(xmltest::Shape(Current(ini)), "L{Align=right}(E{N=9},E{N=10})");
    EXPECT_EQ(Out(ini, &IXMLIni::ReadChoice, u"Align", u"Left,Right,Center", 0), 1);
    CheckAutoResult(ini->WriteChoice(u"Align", u"Left,Right,Center", 2));
    EXPECT_EQ(GetAttribute(Current(ini), "Align"), "Center");
    ASSERT_TRUE(Open(ini, u""));
    EXPECT_EQ(Out(ini, &IXMLIni::ReadChoice, u"Align", u"Left,,Right", 5), 1) << "reading works on the top";
    EXPECT_EQ(Failure(ini->WriteChoice(u"Align", u"Left", 0)), kNoKey);
    EXPECT_EQ(Failure(ini->SortKeys(u"N")), kNoKey);
    EXPECT_EQ(Failure(ini->ClearKey()), kNoKey);
    EXPECT_EQ(Failure(ini->AddValueLine(u"x=1")), kNoKey);
    EXPECT_EQ(ChildNames(RootOf(ini)), "L");
}

TEST_F(Store, CurrentKeyAndRootThroughNodeInterfaces) {
    IniPtr ini = StoreOver("i.xml", kGerman);
    NodePtr options = Out(Out(ini, &IXMLIni::GetRootNode), &IXMLTreeNode::FindChild, u"Options");
    CheckAutoResult(ini->SetCurrentKey(Out(options, &IXMLTreeNode::FindChild, u"Advanced").Get()));
    EXPECT_EQ(Read(ini, u"Language"), u"German");
    NodePtr key = Out(ini, &IXMLIni::GetCurrentKey), alias = Out(ini, &IXMLIni::GetKey);
    EXPECT_NE(key.Get(), alias.Get());
    EXPECT_EQ(Out(alias, &IXMLTreeNode::GetPath), u"Root\\Options\\Advanced");
    CheckAutoResult(ini->SetCurrentKeyNode(FindChild(RootOf(ini), "Options")));
    EXPECT_EQ(Current(ini)->Name, "Options");
    CheckAutoResult(ini->SetCurrentKey(nullptr));
    EXPECT_FALSE(Out(ini, &IXMLIni::GetCurrentKey));
    EXPECT_EQ(Out(ini, &IXMLIni::GetValueCount), 0);
    EXPECT_TRUE(Out(ini, &IXMLIni::CheckTree));

    TxmlTree previous(RootOf(ini));  // the store lets go of it without destroying it
    TxmlNode* other = LoadXmlString("<Fresh Value=\"1\" />");
    CheckAutoResult(ini->SetRootNode(WrapNode(other).Get()));
    EXPECT_EQ(RootOf(ini), other);
    EXPECT_TRUE(Open(ini, u"Fresh"));
    EXPECT_TRUE(Save(ini));
    EXPECT_EQ(ReadFile(file_), XmlFileText({"  <Fresh Value=\"1\" />"}));
    CheckAutoResult(ini->SetRootNode(WrapNode(FindChild(previous.Get(), "Options")).Get()));
    DestroyNode(other);
    EXPECT_EQ(Thrown([&] { ini.Reset(); }), "Problem with XMLNode") << "the release of an attached top was lost";
    EXPECT_EQ(ChildNames(previous.Get()), "Options") << "the attached node stays where it is";
}

TEST_F(Store, VerifyAndReleaseDestroyTreesWithTraceLines) {
    xmltest::TraceCapture trace;
    {
        IniPtr ini = StoreOver("trace.xml", kGerman);
        size_t loaded = trace.Lines().size();
        CheckAutoResult(ini->VerifyFile());
        // Loading may trace the parser's own start node first; the loaded copy's release ends the log.
        // The header comment of the file is a node of its own, with an empty name.
        std::vector<std::string> lines = trace.Lines();
        ASSERT_GE(lines.size(), loaded + 4);
        EXPECT_EQ(std::vector<std::string>(lines.end() - 4, lines.end()), (std::vector<std::string>{"Root", "", "Options", "Advanced"}));
        EXPECT_EQ(ChildNames(RootOf(ini)), "Options");
    }
    std::vector<std::string> lines = trace.Lines();
    EXPECT_EQ(std::vector<std::string>(lines.end() - 4, lines.end()), (std::vector<std::string>{"Root", "", "Options", "Advanced"}));
}
