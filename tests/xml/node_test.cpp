// The node tree: attribute rules, structure, destruction and its trace.
#include <gtest/gtest.h>

#include "support.h"

using xmltest::ChildNames;
using xmltest::Load;
using xmltest::TraceCapture;

namespace {

// A detached node with children named by the letters of names.
TxmlTree Family(std::string_view names) {
    TxmlTree top(new TxmlNode());
    top->Name = "Top";
    for (char c : names) AddNamedChild(top.Get(), std::string(1, c));
    return top;
}

}  // namespace

TEST(Attributes, LookupIgnoresCodePageLetterCaseAndReadsAbsentAsEmpty) {
    TxmlAttributes a;
    a.SetText("Name=first\r\nname=second\nCaf\xE9=x\rnoequals\r\n");
    ASSERT_EQ(a.Count(), 4);
    EXPECT_EQ(a.Value("NAME"), "first");
    EXPECT_EQ(a.Value("CAF\xC9"), "x");  // e acute and E acute are one letter in the code page
    EXPECT_EQ(a.Value("missing"), "");
    EXPECT_EQ(a.LineName(3), "");
    EXPECT_EQ(a.Line(3), "noequals");
    EXPECT_EQ(a.Value(""), "");  // the line without "=" has an empty name and value
    EXPECT_THROW(a.Line(4), EListError);
    EXPECT_THROW(a.LineName(-1), EListError);
}

TEST(Attributes, SetValueReplacesFirstMatchAppendsNewAndEmptyDeletes) {
    TxmlAttributes a;
    a.SetValue("Lang", "en");
    a.SetValue("Size", "1");
    a.SetValue("LANG", "ru");  // replaces, in the caller's letter case, keeping its place
    EXPECT_EQ(a.Text(), "LANG=ru\r\nSize=1\r\n");
    a.SetValue("lang", "");
    EXPECT_EQ(a.Text(), "Size=1\r\n");
    EXPECT_EQ(a.Value("lang"), "");
    a.SetValue("absent", "");  // nothing to delete
    EXPECT_EQ(a.Count(), 1);
    a.SetValue("v", "a=b");  // the value is everything after the first "="
    EXPECT_EQ(a.Value("V"), "a=b");
}

TEST(Attributes, SetTextSplitsAtEveryLineBreakAndEndsAtNul) {
    TxmlAttributes a;
    a.SetText(std::string_view("a=1\r\n\r\nb=2\n\rc=3\0d=4", 21));
    EXPECT_EQ(a.Lines(), (std::vector<AnsiString>{"a=1", "", "b=2", "", "c=3"}));
    a.SetText("");
    EXPECT_EQ(a.Count(), 0);
}

TEST(Structure, ChildAccessAndInsertion) {
    TxmlTree top = Family("ab");
    EXPECT_EQ(GetChildCount(top.Get()), 2);
    EXPECT_EQ(GetChild(top.Get(), 1)->Name, "b");
    EXPECT_EQ(GetChild(top.Get(), 2), nullptr);  // at the count: none, no error
    EXPECT_THROW(GetChild(top.Get(), -1), EListError);

    TxmlNode* first = InsertChild(top.Get(), 0);
    TxmlNode* last = InsertChild(top.Get(), 3);
    first->Name = "0";
    last->Name = "z";
    EXPECT_EQ(ChildNames(top.Get()), "0,a,b,z");
    EXPECT_EQ(first->Parent, top.Get());
    EXPECT_THROW(InsertChild(top.Get(), 5), EListError);
    EXPECT_THROW(InsertChild(top.Get(), -1), EListError);
    EXPECT_EQ(AddChild(top.Get())->Name, "");
    TxmlNode* constructed = new TxmlNode(top.Get());
    EXPECT_EQ(top->Children.back(), constructed);
    EXPECT_TRUE(CheckTree(top.Get()));
}

TEST(Structure, FindChildComparesAsciiLettersOnly) {
    TxmlTree top = Family("");
    AddNamedChild(top.Get(), "Options");
    AddNamedChild(top.Get(), "\xE9t\xE9");
    EXPECT_EQ(FindChild(top.Get(), "OPTIONS"), top->Children[0]);
    EXPECT_EQ(FindChild(top.Get(), "\xC9T\xC9"), nullptr);  // non-ASCII letters must be equal
    EXPECT_EQ(FindChild(top.Get(), "\xE9T\xE9"), top->Children[1]);
    EXPECT_EQ(FindChild(top.Get(), ""), top.Get());
    EXPECT_EQ(FindChild(top->Children[0], "x"), nullptr);
}

TEST(Structure, FindNextChildWalksMatchesAndKeepsPositionAfterTheLast) {
    TxmlTree top = Family("xaxb");
    int position = -1;
    EXPECT_EQ(FindNextChild(top.Get(), "X", position), top->Children[0]);
    EXPECT_EQ(position, 0);
    EXPECT_EQ(FindNextChild(top.Get(), "x", position), top->Children[2]);
    EXPECT_EQ(position, 2);
    EXPECT_EQ(FindNextChild(top.Get(), "x", position), nullptr);
    EXPECT_EQ(position, 2);
}

TEST(Structure, ForcePathCreatesOnceAndSkipsEmptyWords) {
    TxmlTree top = Family("");
    TxmlNode* b = ForcePath(top.Get(), "A\\\\B\\");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(GetNodePath(b), "Top\\A\\B");
    EXPECT_EQ(ForcePath(top.Get(), "\\a\\b"), b);  // found, not created again
    EXPECT_EQ(GetChildCount(top.Get()), 1);
    EXPECT_EQ(ForcePath(top.Get(), ""), nullptr);
    EXPECT_EQ(ForcePath(top.Get(), "\\\\"), nullptr);
    EXPECT_EQ(ForcePath(top.Get(), " two words ")->Name, " two words ");
}

TEST(Structure, DeletingChildren) {
    TxmlTree top = Family("abab");
    DeleteNamedChild(top.Get(), "B");  // only the first match
    EXPECT_EQ(ChildNames(top.Get()), "a,a,b");
    DeleteChild(top.Get(), 0);
    EXPECT_EQ(ChildNames(top.Get()), "a,b");
    EXPECT_THROW(DeleteChild(top.Get(), 2), EListError);
    EXPECT_THROW(DeleteChild(top.Get(), -1), EListError);
    EXPECT_EQ(ChildNames(top.Get()), "a,b");

    TxmlTree stranger = Family("");
    RemoveChild(top.Get(), stranger.Get());  // not a child: nothing happens
    RemoveChild(top.Get(), top->Children[1]);
    EXPECT_EQ(ChildNames(top.Get()), "a");
    FreeNode(top->Children[0]);
    EXPECT_EQ(GetChildCount(top.Get()), 0);
}

TEST(Structure, ClearChildrenKeepsAttributesAndValue) {
    TxmlTree top = Family("abc");
    top->Value = "text";
    SetAttribute(top.Get(), "k", "v");
    ClearChildren(top.Get());
    EXPECT_EQ(GetChildCount(top.Get()), 0);
    EXPECT_EQ(top->Value, "text");
    EXPECT_EQ(GetAttribute(top.Get(), "K"), "v");
}

TEST(Structure, MoveNodeReattachesDetachesAndRefusesCycles) {
    TxmlTree top = Family("ab");
    TxmlNode* a = top->Children[0];
    TxmlNode* b = top->Children[1];
    TxmlNode* deep = AddNamedChild(a, "deep");
    MoveNode(b, a);
    EXPECT_EQ(ChildNames(a), "deep,b");
    EXPECT_EQ(b->Parent, a);

    EXPECT_THROW(MoveNode(a, deep), Exception);  // below its own descendant
    EXPECT_THROW(MoveNode(a, a), Exception);
    EXPECT_EQ(a->Parent, top.Get());
    EXPECT_TRUE(CheckTree(top.Get()));

    MoveNode(b, nullptr);  // detached and alive; the caller owns it now
    TxmlTree owned(b);
    EXPECT_EQ(b->Parent, nullptr);
    EXPECT_EQ(ChildNames(a), "deep");
}

TEST(Structure, NodePathAndCheckTree) {
    TxmlTree tree = Load("<Options><Advanced/></Options>");
    TxmlNode* advanced = ForcePath(tree.Get(), "Options\\Advanced");
    EXPECT_EQ(GetNodePath(advanced), "Root\\Options\\Advanced");
    EXPECT_TRUE(CheckTree(tree.Get()));
    advanced->Parent = nullptr;  // a broken link is found
    EXPECT_FALSE(CheckTree(tree.Get()));
    advanced->Parent = tree->Children[0];
}

TEST(Destruction, ReleasingALoadedTreeTracesEveryNodeInPreOrder) {
    TraceCapture trace;
    TxmlTree tree = Load("<Options><Advanced/><Colors><Red/></Colors></Options><Last/>");
    size_t before = trace.Lines().size();  // loading replaces the parser's first top node
    EXPECT_EQ(trace.Lines(), std::vector<std::string>(before, "Root"));
    tree.Release();
    std::vector<std::string> lines = trace.Lines();
    lines.erase(lines.begin(), lines.begin() + static_cast<long>(before));
    EXPECT_EQ(lines, (std::vector<std::string>{"Root", "Options", "Advanced", "Colors", "Red", "Last"}));
    EXPECT_FALSE(tree);
}

TEST(Destruction, DestroyingAnAttachedNodeIsRefusedAfterItsTraceLine) {
    TraceCapture trace;
    TxmlTree top = Family("ab");
    TxmlNode* a = top->Children[0];
    AddNamedChild(a, "inner");
    try {
        DestroyNode(a);
        FAIL() << "no error";
    } catch (const Exception& error) {
        EXPECT_EQ(error.Message(), "Problem with XMLNode");
    }
    EXPECT_EQ(trace.Lines(), (std::vector<std::string>{"Top\\a"}));
    EXPECT_EQ(ChildNames(top.Get()), "a,b");
    EXPECT_EQ(ChildNames(a), "inner");
    DeleteChild(top.Get(), 0);  // detached first: destroyed, its line is its own name
    EXPECT_EQ(trace.Lines(), (std::vector<std::string>{"Top\\a", "a", "inner"}));
}

TEST(Destruction, ClearChildrenTracesEachChildSubtreeInOrder) {
    TraceCapture trace;
    TxmlTree top = Family("ab");
    AddNamedChild(AddNamedChild(top->Children[0], "a1"), "a2");
    ClearChildren(top.Get());
    EXPECT_EQ(trace.Lines(), (std::vector<std::string>{"a", "a1", "a2", "b"}));
}

TEST(Destruction, AnUnwritableTraceNeverStopsTheRelease) {
    xmltest::TempDir dir;
    xmltest::SetEnv("UNINSTALL_XML_LOG", dir.Path().string());  // a folder: cannot be opened as a file
    SetXmlTraceEnabled(true);
    TxmlTree tree = Load("<a><b/><c/></a>");
    EXPECT_NO_THROW(tree.Release());
    TxmlTree top = Family("xy");
    EXPECT_NO_THROW(DeleteChild(top.Get(), 0));
    EXPECT_THROW(DestroyNode(top->Children[0]), Exception);  // "Problem with XMLNode" stays
    SetXmlTraceEnabled(false);
    // The sanitizer build reports any node left behind.
}

TEST(Destruction, SwitchedOffTraceWritesNothing) {
    TraceCapture trace;
    SetXmlTraceEnabled(false);
    Load("<a/>").Release();
    EXPECT_TRUE(trace.Lines().empty());
    EXPECT_FALSE(XmlTraceEnabled());
}

TEST(Destruction, OwnerReportsAnErrorInsteadOfThrowing) {
    static std::string reported;
    SetXmlReleaseReport([](const std::exception& error) { reported = error.what(); });
    TxmlTree top = Family("a");
    {
        TxmlTree child(top->Children[0]);  // attached: its release is refused
    }
    SetXmlReleaseReport(nullptr);
    EXPECT_EQ(reported, "Problem with XMLNode");
    EXPECT_EQ(GetChildCount(top.Get()), 1);  // still its parent's

    TxmlTree moved = Family("q");
    TxmlTree other = std::move(moved);
    EXPECT_FALSE(moved);
    other = Family("r");  // the earlier tree is released
    EXPECT_EQ(ChildNames(other.Get()), "r");
    TxmlNode* handed = other.Detach();
    EXPECT_FALSE(other);
    DestroyNode(handed);
    DestroyNode(nullptr);
}

TEST(Destruction, DeepTreesAreReleasedWithoutExhaustingTheStack) {
    std::string text;
    for (int i = 0; i < 200000; ++i) text += "<d>";
    TxmlTree tree = Load(text);
    const TxmlNode* node = tree.Get();
    int depth = 0;
    while (!node->Children.empty()) node = node->Children[0], ++depth;
    EXPECT_EQ(depth, 200000);
    EXPECT_TRUE(CheckTree(tree.Get()));
    EXPECT_EQ(GetNodePath(node).size(), 4 + 2 * 200000u);
    tree.Release();
}

TEST(TraceLocation, EnvironmentOverridesThePlatformDefault) {
    xmltest::SetEnv("UNINSTALL_XML_LOG", "/somewhere/trace.txt");
    EXPECT_EQ(XmlTracePath(), "/somewhere/trace.txt");
    xmltest::UnsetEnv("UNINSTALL_XML_LOG");
#ifdef _WIN32
    EXPECT_EQ(XmlTracePath(), "c:\\XML_Log.txt");
#else
    const char* oldState = std::getenv("XDG_STATE_HOME");
    std::string saved = oldState ? oldState : "";
    xmltest::SetEnv("XDG_STATE_HOME", "/state");
    EXPECT_EQ(XmlTracePath(), "/state/XML_Log.txt");
    xmltest::SetEnv("XDG_STATE_HOME", "relative");  // not absolute: ignored
    xmltest::SetEnv("HOME", std::getenv("HOME") ? std::getenv("HOME") : "/home/x");
    EXPECT_EQ(XmlTracePath(), std::string(std::getenv("HOME")) + "/.local/state/XML_Log.txt");

    // A fresh account has no state folder yet: it is made.
    xmltest::TempDir dir;
    xmltest::SetEnv("XDG_STATE_HOME", dir.File("state/deeper"));
    SetXmlTraceEnabled(true);
    Load("<a/>").Release();
    SetXmlTraceEnabled(false);
    EXPECT_NE(xmltest::ReadFile(dir.File("state/deeper/XML_Log.txt")).find("Root\r\na\r\n"), std::string::npos);
    if (oldState)
        xmltest::SetEnv("XDG_STATE_HOME", saved);
    else
        xmltest::UnsetEnv("XDG_STATE_HOME");
#endif
    xmltest::SetEnv("UNINSTALL_XML_LOG", "unused");
}
