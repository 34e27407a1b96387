// Nodes of a loaded file and their text share the tree's storage: a node, or text taken from it, must
// outlive the tree it was loaded into when it has moved elsewhere, and the trees must stay intact
// whatever order their nodes go in.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>
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

TEST(TreeStorage, MovedNodesOutliveTheTreeTheyWereLoadedInto) {
    TxmlTree other(new TxmlNode());
    other->Name = "Other";
    {
        TxmlTree loaded(LoadXmlString(Items(1000)));
        TxmlNode* items = FindChild(loaded.Get(), "Items");
        ASSERT_EQ(GetChildCount(items), 1000);
        // One from the first block, one from the middle, the last one; then a whole subtree.
        for (int index : {999, 500, 0}) MoveNode(GetChild(items, index), other.Get());
        MoveNode(items, other.Get());
    }
    ASSERT_EQ(GetChildCount(other.Get()), 4);
    EXPECT_EQ(GetAttribute(GetChild(other.Get(), 0), "Name"), "item number 999");
    EXPECT_EQ(GetChild(other.Get(), 1)->Value, "text of item 500");
    EXPECT_EQ(GetAttribute(GetChild(other.Get(), 2), "Name"), "item number 0");
    TxmlNode* items = GetChild(other.Get(), 3);
    ASSERT_EQ(GetChildCount(items), 997);
    EXPECT_EQ(GetAttribute(GetChild(items, 996), "Name"), "item number 998");
    EXPECT_TRUE(CheckTree(other.Get()));
    // Nodes of the old tree and new ones mixed in one list, deleted one by one from the front.
    AddNamedChild(items, "Added");
    while (GetChildCount(items) > 0) DeleteChild(items, 0);
    EXPECT_TRUE(CheckTree(other.Get()));
}

TEST(TreeStorage, TreesSharingBlocksAreReleasedOnDifferentThreads) {
    for (int round = 0; round < 20; ++round) {
        TxmlTree loaded(LoadXmlString(Items(300)));
        TxmlTree moved(new TxmlNode());
        TxmlNode* items = FindChild(loaded.Get(), "Items");
        for (int i = 0; i < 150; ++i) MoveNode(GetChild(items, i), moved.Get());
        std::thread releaser([&moved] { moved.Release(); });
        loaded.Release();
        releaser.join();
    }
}

TEST(TreeStorage, ParsersLoadingOneAfterAnotherKeepTheirTrees) {
    TxmlParser parser;
    parser.LoadFromString(Items(50));
    TxmlTree first(parser.TakeRoot());
    parser.LoadFromString("<Other a=\"1\"/>");
    TxmlTree second(parser.TakeRoot());
    EXPECT_EQ(GetChildCount(FindChild(first.Get(), "Items")), 50);
    EXPECT_EQ(GetAttribute(FindChild(second.Get(), "Other"), "a"), "1");
}

TEST(TreeStorage, TextCopiedMovedOrSwappedOutOfALoadedTreeOutlivesIt) {
    TxmlTree other(new TxmlNode());
    TxmlNode* a = AddChild(other.Get());
    TxmlNode* b = AddChild(other.Get());
    {
        TxmlTree loaded = xmltest::Load("<Loaded Name=\"value\">text</Loaded><Second/>");
        TxmlNode* first = loaded->Children[0];
        a->Name = first->Name;
        a->Value = std::move(first->Value);
        std::swap(b->Name, loaded->Children[1]->Name);
        b->Attributes = first->Attributes;
        EXPECT_EQ(loaded->Children[1]->Name, "");
    }
    EXPECT_EQ(a->Name, "Loaded");
    EXPECT_EQ(a->Value, "text");
    EXPECT_EQ(b->Name, "Second");
    EXPECT_EQ(b->Attributes.Value("NAME"), "value");
}

TEST(TreeStorage, LinesOfALoadedNodeChangeLikeAnyList) {
    // Lengths around those where a line's stored length takes a second and a third byte.
    std::string v127(127 - 2, 'm'), v128(128 - 2, 'n'), v16384(16384 - 2, 'w');
    TxmlTree loaded = xmltest::Load("<a x=\"1\" l=\"" + v128 + "\" y=\"2\"/>");
    TxmlAttributes& lines = loaded->Children[0]->Attributes;
    struct Step {
        std::function<void()> change;
        std::vector<AnsiString> expected;
    };
    const Step steps[] = {
        {[] {}, {"x=1", "l=" + v128, "y=2"}},
        {[&] { lines.SetValue("X", v16384); }, {"X=" + v16384, "l=" + v128, "y=2"}},
        {[&] { lines.SetValue("l", v127); }, {"X=" + v16384, "l=" + v127, "y=2"}},
        {[&] { lines.Add(lines.Line(1)); }, {"X=" + v16384, "l=" + v127, "y=2", "l=" + v127}},
        {[&] { lines.Delete(0); }, {"l=" + v127, "y=2", "l=" + v127}},
        {[&] { lines.SetValue("y", ""); }, {"l=" + v127, "l=" + v127}},
        {[&] { lines.SetValue("z", "3"); }, {"l=" + v127, "l=" + v127, "z=3"}},
        {[&] { lines.SetText("p\r\nq=4"); }, {"p", "q=4"}},
    };
    for (const Step& step : steps) {
        step.change();
        EXPECT_EQ(lines.Lines(), step.expected);
        EXPECT_EQ(lines.Count(), static_cast<int>(step.expected.size()));
    }
    EXPECT_EQ(lines.Value("Q"), "4");
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
        TxmlNode* list = FindChild(tree.Get(), "List");
        ASSERT_EQ(GetChildCount(list), static_cast<int>(values.size()));
        for (size_t i = 0; i < values.size(); ++i) {
            std::vector<AnsiString> expected{"x=1", "v=" + values[i], "y=2"};
            EXPECT_TRUE(list->Children[i]->Attributes.Lines() == expected) << "item " << i << " of " << text.size() << " bytes";
        }
    }
}

// A loaded node's children lie in the storage until the list first grows; every change works alike.
TEST(TreeStorage, ChildrenOfALoadedNodeChangeLikeAnyList) {
    TxmlTree loaded = xmltest::Load("<a><b/><c/><d/></a><e/>");
    TxmlNode* a = loaded->Children[0];
    TxmlNode* e = loaded->Children[1];
    struct Step {
        std::function<void()> change;
        std::string children;
    };
    const Step steps[] = {
        {[] {}, "b,c,d"},
        {[&] { DeleteChild(a, 1); }, "b,d"},
        {[&] { SortChildren(a, "", true); }, "b,d"},
        {[&] { InsertChild(a, 1)->Name = "x"; }, "b,x,d"},
        {[&] { MoveNode(e, a); }, "b,x,d,e"},
        {[&] { MoveNode(a->Children[0], loaded.Get()); }, "x,d,e"},
        {[&] { AddNamedChild(a, "y"); }, "x,d,e,y"},
        {[&] { ClearChildren(a); }, ""},
    };
    for (const Step& step : steps) {
        step.change();
        EXPECT_EQ(xmltest::ChildNames(a), step.children);
        EXPECT_TRUE(CheckTree(loaded.Get()));
    }
}

// Nodes of two loaded trees mixed in both, released one tree after the other: each storage goes with
// the last of its nodes, however the release walks meet them.
TEST(TreeStorage, TreesHoldingEachOthersNodesAreReleasedInEitherOrder) {
    for (bool firstGoesFirst : {true, false}) {
        TxmlTree first = xmltest::Load(Items(200));
        TxmlTree second = xmltest::Load(Items(200));
        TxmlNode* a = FindChild(first.Get(), "Items");
        TxmlNode* b = FindChild(second.Get(), "Items");
        for (int i = 0; i < 100; i += 2) {
            MoveNode(GetChild(a, i), b);
            MoveNode(GetChild(b, i + 1), a);
        }
        if (firstGoesFirst)
            first.Release();
        else
            second.Release();
        TxmlTree& left = firstGoesFirst ? second : first;
        EXPECT_EQ(GetChildCount(FindChild(left.Get(), "Items")), 200);
        EXPECT_TRUE(CheckTree(left.Get()));
    }
}
