// The node tree: attribute rules, structure, destruction and its trace.
#include <gtest/gtest.h>

#include "support.h"

using xmltest::ChildNames;
using xmltest::Load;
using xmltest::TraceCapture;
using namespace std::string_view_literals;

namespace {

// A detached node with children named by the letters of names.
TxmlTree Family(std::string_view names) {
    TxmlTree top(new TxmlNode());
    top->Name = "Top";
    for (char c : names) AddNamedChild(top.Get(), std::string(1, c));
    return top;
}

}  // namespace

TEST(Attributes, LookupSetValueSetTextAndDelete) {
    TxmlAttributes a;
    a.SetText("Name=first\r\nname=second\nCaf\xE9=x\rnoequals\n\rv=a=b\0d=4"sv);
    EXPECT_EQ(a.Lines(), (std::vector<AnsiString>{"Name=first", "name=second", "Caf\xE9=x", "noequals", "", "v=a=b"}));
    EXPECT_EQ(a.Value("NAME"), "first");
    EXPECT_EQ(a.Value("CAF\xC9"), "x");  // e acute and E acute are one letter in the code page
    EXPECT_EQ(a.Value("V"), "a=b");      // the value is everything after the first "="
    EXPECT_EQ(a.Value("missing"), "");
    EXPECT_EQ(a.LineName(3), "");
    EXPECT_EQ(a.Value(""), "");  // the line without "=" has an empty name and value
    EXPECT_THROW(a.Line(6), EListError);
    EXPECT_THROW(a.LineName(-1), EListError);
    EXPECT_THROW(a.Delete(6), EListError);
    a.Delete(0);
    a.Delete(3);
    a.SetValue("NAME", "ru");  // replaces the first match in the caller's letter case, keeping its place
    a.SetValue("Caf\xC9", "");  // an empty value deletes
    a.SetValue("absent", "");   // nothing to delete
    a.SetValue("Size", "1");    // appends
    EXPECT_EQ(a.Text(), "NAME=ru\r\nnoequals\r\nv=a=b\r\nSize=1\r\n");
    a.SetText("");
    EXPECT_EQ(a.Count(), 0);
}

TEST(Structure, ChildAccessInsertionAndSearch) {
    TxmlTree top = Family("ab");
    EXPECT_EQ(GetChild(top.Get(), 1)->Name, "b");
    EXPECT_EQ(GetChild(top.Get(), 2), nullptr);  // at the count: none, no error
    EXPECT_THROW(GetChild(top.Get(), -1), EListError);
    InsertChild(top.Get(), 0)->Name = "x";
    InsertChild(top.Get(), 3)->Name = "\xE9t\xE9";
    EXPECT_THROW(InsertChild(top.Get(), 5), EListError);
    EXPECT_THROW(InsertChild(top.Get(), -1), EListError);
    TxmlNode* constructed = new TxmlNode(top.Get());
    EXPECT_EQ(top->Children.back(), constructed);
    constructed->Name = "X";
    EXPECT_EQ(ChildNames(top.Get()), "x,a,b,\xE9t\xE9,X");
    EXPECT_EQ(top->Children[0]->Parent, top.Get());

    EXPECT_EQ(FindChild(top.Get(), "A"), top->Children[1]);
    EXPECT_EQ(FindChild(top.Get(), "\xC9T\xC9"), nullptr);  // non-ASCII letters must be equal
    EXPECT_EQ(FindChild(top.Get(), "\xE9T\xE9"), top->Children[3]);
    EXPECT_EQ(FindChild(top.Get(), ""), top.Get());
    int position = -1;
    for (int expected : {0, 4}) {
        EXPECT_EQ(FindNextChild(top.Get(), "x", position), top->Children[expected]);
        EXPECT_EQ(position, expected);
    }
    EXPECT_EQ(FindNextChild(top.Get(), "x", position), nullptr);
    EXPECT_EQ(position, 4);  // stays after the last
    EXPECT_TRUE(CheckTree(top.Get()));
}

TEST(Structure, ForcePathCreatesOnceAndSkipsEmptyWords) {
    TxmlTree top = Family("");
    TxmlNode* b = ForcePath(top.Get(), "A\\\\B\\");
    EXPECT_EQ(GetNodePath(b), "Top\\A\\B");
    EXPECT_EQ(ForcePath(top.Get(), "\\a\\b"), b);  // found, not created again
    EXPECT_EQ(GetChildCount(top.Get()), 1);
    EXPECT_EQ(ForcePath(top.Get(), "\\\\"), nullptr);
    EXPECT_EQ(ForcePath(top.Get(), " two words ")->Name, " two words ");
}

TEST(Structure, DeleteRemoveClearAndMove) {
    TxmlTree top = Family("abab");
    top->Value = "text";
    DeleteNamedChild(top.Get(), "B");  // only the first match
    DeleteChild(top.Get(), 0);
    EXPECT_THROW(DeleteChild(top.Get(), 2), EListError);
    EXPECT_THROW(DeleteChild(top.Get(), -1), EListError);
    EXPECT_EQ(ChildNames(top.Get()), "a,b");
    TxmlTree stranger = Family("");
    RemoveChild(top.Get(), stranger.Get());  // not a child: nothing happens
    RemoveChild(top.Get(), top->Children[1]);
    EXPECT_EQ(ChildNames(top.Get()), "a");

    TxmlNode* a = top->Children[0];
    TxmlNode* b = AddNamedChild(top.Get(), "b");
    TxmlNode* deep = AddNamedChild(a, "deep");
    MoveNode(b, a);
    EXPECT_EQ(ChildNames(a), "deep,b");
    EXPECT_EQ(b->Parent, a);
    EXPECT_THROW(MoveNode(a, deep), Exception);  // below its own descendant
    EXPECT_THROW(MoveNode(a, a), Exception);
    EXPECT_EQ(a->Parent, top.Get());
    MoveNode(b, nullptr);  // detached and alive; the caller owns it now
    TxmlTree owned(b);
    EXPECT_EQ(b->Parent, nullptr);
    EXPECT_EQ(ChildNames(a), "deep");
    EXPECT_TRUE(CheckTree(top.Get()));
    deep->Parent = nullptr;  // a broken link is found
    EXPECT_FALSE(CheckTree(top.Get()));
    deep->Parent = a;

    SetAttribute(top.Get(), "k", "v");
    ClearChildren(top.Get());
    EXPECT_EQ(GetChildCount(top.Get()), 0);
    EXPECT_EQ(top->Value, "text");
    EXPECT_EQ(GetAttribute(top.Get(), "K"), "v");
}

TEST(Destruction, ReleaseClearAndDeleteTraceEveryNodeInPreOrder) {
    TraceCapture trace;
    TxmlTree tree = Load("<Options><Advanced/><Colors><Red/></Colors></Options><Last/>");
    size_t before = trace.Lines().size();  // loading replaces the parser's first top node
    EXPECT_EQ(trace.Lines(), std::vector<std::string>(before, "Root"));
    tree.Release();
    std::vector<std::string> lines = trace.Lines();
    lines.erase(lines.begin(), lines.begin() + static_cast<long>(before));
    EXPECT_EQ(lines, (std::vector<std::string>{"Root", "Options", "Advanced", "Colors", "Red", "Last"}));
    EXPECT_FALSE(tree);

    TxmlTree top = Family("ab");
    AddNamedChild(top->Children[0], "inner");
    try {
        DestroyNode(top->Children[0]);
        ADD_FAILURE() << "an attached node was destroyed";
    } catch (const Exception& error) {
        EXPECT_EQ(error.Message(), "Problem with XMLNode");
    }
    EXPECT_EQ(ChildNames(top.Get()), "a,b");
    DeleteChild(top.Get(), 0);  // detached first: destroyed, its line is its own name
    ClearChildren(top.Get());
    lines = trace.Lines();
    EXPECT_EQ(std::vector<std::string>(lines.end() - 4, lines.end()), (std::vector<std::string>{"Top\\a", "a", "inner", "b"}));
    SetXmlTraceEnabled(false);
    Load("<a/>").Release();
    EXPECT_EQ(trace.Lines(), lines);
}

TEST(Destruction, AnUnwritableTraceNeverStopsTheRelease) {
    xmltest::TempDir dir;
    xmltest::SetEnv("UNINSTALL_XML_LOG", dir.Path().string());  // a folder: cannot be opened as a file
    SetXmlTraceEnabled(true);
    EXPECT_NO_THROW(Load("<a><b/><c/></a>").Release());
    TxmlTree top = Family("xy");
    EXPECT_NO_THROW(DeleteChild(top.Get(), 0));
    EXPECT_THROW(DestroyNode(top->Children[0]), Exception);  // "Problem with XMLNode" stays
    SetXmlTraceEnabled(false);
}

TEST(Destruction, OwnerReportsAnErrorInsteadOfThrowing) {
    static std::string reported;
    SetXmlReleaseReport([](const std::exception& error) { reported = error.what(); });
    TxmlTree top = Family("a");
    { TxmlTree child(top->Children[0]); }  // attached: its release is refused
    SetXmlReleaseReport(nullptr);
    EXPECT_EQ(reported, "Problem with XMLNode");
    EXPECT_EQ(GetChildCount(top.Get()), 1);  // still its parent's

    TxmlTree other = Family("q");
    other = Family("r");  // the earlier tree is released
    EXPECT_EQ(ChildNames(other.Get()), "r");
    DestroyNode(other.Detach());
    EXPECT_FALSE(other);
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
}

TEST(TraceLocation, EnvironmentOverridesThePlatformDefault) {
    xmltest::SetEnv("UNINSTALL_XML_LOG", "/somewhere/trace.txt");
    EXPECT_EQ(XmlTracePath(), "/somewhere/trace.txt");
    xmltest::SetEnv("UNINSTALL_XML_LOG", "");
#ifdef _WIN32
    EXPECT_EQ(XmlTracePath(), "c:\\XML_Log.txt");
#else
    const char* oldState = std::getenv("XDG_STATE_HOME");
    std::string saved = oldState ? oldState : "";
    xmltest::SetEnv("XDG_STATE_HOME", "relative");  // not absolute: ignored
    xmltest::SetEnv("HOME", std::getenv("HOME") ? std::getenv("HOME") : "/home/x");
    EXPECT_EQ(XmlTracePath(), std::string(std::getenv("HOME")) + "/.local/state/XML_Log.txt");
    xmltest::TempDir dir;  // a fresh account has no state folder yet: it is made
    xmltest::SetEnv("XDG_STATE_HOME", dir.File("state/deeper"));
    SetXmlTraceEnabled(true);
    Load("<a/>").Release();
    SetXmlTraceEnabled(false);
    EXPECT_NE(xmltest::ReadFile(dir.File("state/deeper/XML_Log.txt")).find("Root\r\na\r\n"), std::string::npos);
    xmltest::SetEnv("XDG_STATE_HOME", saved);
#endif
    xmltest::SetEnv("UNINSTALL_XML_LOG", "unused");
}
