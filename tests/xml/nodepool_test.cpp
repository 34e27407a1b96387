// Nodes of a loaded file share storage blocks: a node must outlive the tree it was loaded into when it
// has moved elsewhere, and the trees must stay intact whatever order their nodes go in.
#include <gtest/gtest.h>

#include <string>
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

TEST(NodePool, MovedNodesOutliveTheTreeTheyWereLoadedInto) {
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

TEST(NodePool, TreesSharingBlocksAreReleasedOnDifferentThreads) {
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

TEST(NodePool, ParsersLoadingOneAfterAnotherKeepTheirTrees) {
    TxmlParser parser;
    parser.LoadFromString(Items(50));
    TxmlTree first(parser.TakeRoot());
    parser.LoadFromString("<Other a=\"1\"/>");
    TxmlTree second(parser.TakeRoot());
    EXPECT_EQ(GetChildCount(FindChild(first.Get(), "Items")), 50);
    EXPECT_EQ(GetAttribute(FindChild(second.Get(), "Other"), "a"), "1");
}
