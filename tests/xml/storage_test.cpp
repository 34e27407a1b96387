// Nodes of a loaded file and their text share the tree's storage: a node, or text taken from it, must
// outlive the tree it was loaded into when it has moved elsewhere, and the trees must stay intact
// whatever order their nodes go in.
#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "support.h"

namespace {

// A file of n Item elements below one Items element, each with an attribute long enough for the heap.
std::string Items(int n) {
    std::string text = "<Items>";
    for (int i = 0; i < n; ++i)
        text += "<Item Name=\"item number " + std::to_string(i) + "\">text of item " + std::to_string(i) + "</Item>";
    return text + "</Items>";
}

}  // namespace

TEST(TreeStorage, MovedNodesAndTextOutliveTheTreeTheyWereLoadedInto) {
    TxmlTree other(new TxmlNode());
    TxmlNode* copied = AddChild(other.Get());
    {
        TxmlTree loaded(LoadXmlString(Items(1000)));
        TxmlNode* items = loaded->Children[0];
        // One from the first block, one from the middle, the last one; then a whole subtree.
        for (int index : {999, 500, 0}) MoveNode(GetChild(items, index), other.Get());
        MoveNode(items, other.Get());
        copied->Name = loaded->Name;
        copied->Value = std::move(other->Children[2]->Value);
        copied->Attributes = other->Children[1]->Attributes;
        TxmlParser parser;  // a second parser's tree lies in storage of its own
        parser.LoadFromString("<Other a=\"1\"/>");
        EXPECT_EQ(xmltest::Shape(TxmlTree(parser.TakeRoot()).Get()), "Root(Other{a=1})");
    }
    ASSERT_EQ(GetChildCount(other.Get()), 5);
    EXPECT_EQ(xmltest::Shape(copied), "Root{Name=item number 999}=\"text of item 500\"");
    EXPECT_EQ(GetAttribute(GetChild(other.Get(), 3), "Name"), "item number 0");
    TxmlNode* items = GetChild(other.Get(), 4);
    ASSERT_EQ(GetChildCount(items), 997);
    EXPECT_EQ(GetAttribute(GetChild(items, 996), "Name"), "item number 998");
    // Nodes of the old tree and new ones mixed in one list, deleted one by one from the front.
    AddNamedChild(items, "Added");
    while (GetChildCount(items) > 0) DeleteChild(items, 0);
    EXPECT_TRUE(CheckTree(other.Get()));
}

// Nodes of two loaded trees mixed in both, released one tree after the other or on two threads: each
// storage goes with the last of its nodes, however the release walks meet them.
TEST(TreeStorage, TreesHoldingEachOthersNodesAreReleasedInAnyOrder) {
    for (int round = 0; round < 20; ++round) {
        TxmlTree first = xmltest::Load(Items(200));
        TxmlTree second = xmltest::Load(Items(200));
        TxmlNode* a = first->Children[0];
        TxmlNode* b = second->Children[0];
        for (int i = 0; i < 100; i += 2) MoveNode(GetChild(a, i), b), MoveNode(GetChild(b, i + 1), a);
        if (round >= 2) {
            std::thread releaser([&first] { first.Release(); });
            second.Release();
            releaser.join();
            continue;
        }
        (round == 0 ? first : second).Release();
        TxmlTree& left = round == 0 ? second : first;
        EXPECT_EQ(GetChildCount(left->Children[0]), 200);
        EXPECT_TRUE(CheckTree(left.Get()));
    }
}

// A loaded node's lines and children lie in the storage until they first change; every change works alike.
TEST(TreeStorage, LinesAndChildrenOfALoadedNodeChangeLikeAnyList) {
    // Lengths around those where a line's stored length takes a second and a third byte.
    std::string v127(127 - 2, 'm'), v128(128 - 2, 'n'), v16384(16384 - 2, 'w');
    TxmlTree loaded = xmltest::Load("<a x=\"1\" l=\"" + v128 + "\" y=\"2\"><b/><c/><d/></a><e/>");
    TxmlNode* a = loaded->Children[0];
    TxmlAttributes& lines = a->Attributes;
    const struct {
        std::function<void()> change;
        std::vector<AnsiString> lines;
        std::string children;
    } steps[] = {
        {[] {}, {"x=1", "l=" + v128, "y=2"}, "b,c,d"},
        {[&] { lines.SetValue("X", v16384), DeleteChild(a, 1); }, {"X=" + v16384, "l=" + v128, "y=2"}, "b,d"},
        {[&] { lines.SetValue("l", v127), SortChildren(a, "", true); }, {"X=" + v16384, "l=" + v127, "y=2"}, "b,d"},
        {[&] { lines.Add(lines.Line(1)), InsertChild(a, 1)->Name = "x"; }, {"X=" + v16384, "l=" + v127, "y=2", "l=" + v127}, "b,x,d"},
        {[&] { lines.Delete(0), MoveNode(loaded->Children[1], a); }, {"l=" + v127, "y=2", "l=" + v127}, "b,x,d,e"},
        {[&] { lines.SetValue("y", ""), MoveNode(a->Children[0], loaded.Get()); }, {"l=" + v127, "l=" + v127}, "x,d,e"},
        {[&] { lines.SetValue("z", "3"), AddNamedChild(a, "y"); }, {"l=" + v127, "l=" + v127, "z=3"}, "x,d,e,y"},
        {[&] { lines.SetText("p\r\nq=4"), ClearChildren(a); }, {"p", "q=4"}, ""},
    };
    for (const auto& step : steps) {
        step.change();
        EXPECT_EQ(lines.Lines(), step.lines);
        EXPECT_EQ(lines.Count(), static_cast<int>(step.lines.size()));
        EXPECT_EQ(xmltest::ChildNames(a), step.children);
        EXPECT_TRUE(CheckTree(loaded.Get()));
    }
}

// A start tag's name and lines are written into the storage as they are read: lines that outgrow the
// room left in a block move the tag to a larger one, and a very long one gets a block of its own. Small
// blocks serve a short file, large pages a long one.
TEST(TreeStorage, TagsOutgrowingTheirBlockKeepEveryLine) {
    for (size_t last : {20, 3000000}) {
        std::string text = "<List>";
        std::vector<std::string> values;
        for (size_t size : {size_t(10), size_t(3000), size_t(5000), size_t(70000), size_t(200000), size_t(400000),
                            size_t(20), size_t(1000000), last}) {
            std::string value(size, static_cast<char>('a' + values.size()));
            value[size / 2] = '&';
            values.push_back(value);
            value.replace(size / 2, 1, "&amp;");  // decoding shortens the line by four bytes
            text += "<Item x=\"1\" v=\"" + value + "\" y=\"2\"/>";
        }
        TxmlTree tree = xmltest::Load(text + "</List>");
        TxmlNode* list = tree->Children[0];
        ASSERT_EQ(GetChildCount(list), static_cast<int>(values.size()));
        for (size_t i = 0; i < values.size(); ++i) {
            std::vector<AnsiString> expected{"x=1", "v=" + values[i], "y=2"};
            EXPECT_TRUE(list->Children[i]->Attributes.Lines() == expected) << "item " << i << " of " << text.size() << " bytes";
        }
    }
}
