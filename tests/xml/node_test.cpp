// The node tree: attribute rules, structure, destruction and its trace.
#include <gtest/gtest.h>

#include <functional>

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

TEST(Structure, LookupsByIndexNameAndPosition) {
    TxmlTree top = Family("xab");
    AddNamedChild(top.Get(), "\xE9t\xE9");
    AddNamedChild(top.Get(), "X");
    EXPECT_EQ(GetChild(top.Get(), 4)->Name, "X");
    EXPECT_EQ(GetChild(top.Get(), 5), nullptr);  // at the count: none, no error
    EXPECT_THROW(GetChild(top.Get(), -1), EListError);
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
    EXPECT_EQ(GetNodePath(ForcePath(top.Get(), "\\A\\\\B\\")), "Top\\a\\B");
    EXPECT_EQ(ForcePath(top.Get(), "\\\\"), nullptr);
}

TEST(Structure, ChangesStepByStep) {
    TxmlTree top = Family("abab");
    TxmlNode* t = top.Get();
    TxmlTree stranger = Family("");
    const struct {
        std::function<void()> change;
        const char* shape;
    } steps[] = {
        {[&] { InsertChild(t, 0)->Name = "x"; }, "Top(x,a,b,a,b)"},
        {[&] { InsertChild(t, 5)->Name = "y"; }, "Top(x,a,b,a,b,y)"},
        {[&] { EXPECT_EQ(new TxmlNode(t), t->Children[6]); }, "Top(x,a,b,a,b,y,)"},
        {[&] { DeleteNamedChild(t, "B"); }, "Top(x,a,a,b,y,)"},  // only the first match
        {[&] { DeleteChild(t, 0); }, "Top(a,a,b,y,)"},
        {[&] { RemoveChild(t, stranger.Get()); }, "Top(a,a,b,y,)"},  // not a child: nothing happens
        {[&] { RemoveChild(t, t->Children[4]); }, "Top(a,a,b,y)"},
        {[&] { ForcePath(t, "A\\\\ two words \\"); }, "Top(a( two words ),a,b,y)"},
        {[&] { ForcePath(t, "\\a\\ two words "); }, "Top(a( two words ),a,b,y)"},  // found, not created again
        {[&] { MoveNode(t->Children[3], t->Children[0]); }, "Top(a( two words ,y),a,b)"},
        {[&] { FreeNode(t->Children[1]); }, "Top(a( two words ,y),b)"},
        {[&] { t->Value = "text", SetAttribute(t, "k", "v"), ClearChildren(t); }, "Top{k=v}=\"text\""},
    };
    for (const auto& step : steps) {
        step.change();
        EXPECT_EQ(xmltest::Shape(t), step.shape);
        EXPECT_TRUE(CheckTree(t));
    }
    TxmlNode* a = AddNamedChild(t, "a");
    TxmlNode* deep = AddNamedChild(AddNamedChild(a, "b"), "deep");
    for (int index : {-1, 1}) EXPECT_THROW(DeleteChild(t, index), EListError);
    for (int index : {-1, 2}) EXPECT_THROW(InsertChild(t, index), EListError);
    EXPECT_THROW(MoveNode(a, deep), Exception);  // below its own descendant
    EXPECT_THROW(MoveNode(a, a), Exception);
    TxmlNode* b = a->Children[0];
    MoveNode(b, nullptr);  // detached and alive; the caller owns it now
    TxmlTree owned(b);
    EXPECT_EQ(xmltest::Shape(t) + xmltest::Shape(b), "Top{k=v}=\"text\"(a)b(deep)");
    EXPECT_EQ(b->Parent, nullptr);
    deep->Parent = nullptr;  // a broken link is found
    EXPECT_FALSE(CheckTree(b));
    deep->Parent = b;
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

// Neither an owner nor a trace that cannot be written stops a release.
TEST(Destruction, OwnerReportsAnErrorOnStandardErrorInsteadOfThrowing) {
    xmltest::TempDir dir;
    xmltest::SetEnv("UNINSTALL_XML_LOG", dir.Path().string());  // a folder: cannot be opened as a file
    SetXmlTraceEnabled(true);
    TxmlTree top = Family("a");
    testing::internal::CaptureStderr();
    { TxmlTree child(top->Children[0]); }  // attached: its release is refused, and the error reported
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Problem with XMLNode\n");
    EXPECT_EQ(GetChildCount(top.Get()), 1);  // still its parent's

    TxmlTree other = Family("q");
    other = Family("r");  // the earlier tree is released
    EXPECT_EQ(ChildNames(other.Get()), "r");
    DestroyNode(other.Detach());
    EXPECT_FALSE(other);
    DestroyNode(nullptr);
    SetXmlTraceEnabled(false);
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
