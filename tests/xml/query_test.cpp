// Tree queries: attribute searches, sorting, merging, set and choice attributes.
#include <thread>

#include <gtest/gtest.h>

#include "support.h"

using xmltest::ChildNames;
using xmltest::Load;

namespace {

// The values of attribute name of node's children, joined by ",".
std::string Values(const TxmlNode* node, const char* name) {
    std::string out;
    for (const TxmlNode* child : node->Children) {
        if (child != node->Children.front()) out += ',';
        out += GetAttribute(child, name);
    }
    return out;
}

}  // namespace

TEST(Compare, HotkeyMarksAndAsciiFolding) {
    EXPECT_EQ(StripHotkey("E&xit"), "Exit");
    EXPECT_EQ(StripHotkey("a&&b"), "a&b");
    EXPECT_EQ(StripHotkey("&&&x&"), "&x");
    EXPECT_EQ(AsciiCompareText("abc", "ABC"), 0);
    EXPECT_LT(AsciiCompareText("ab", "abc"), 0);
    EXPECT_LT(AsciiCompareText("Z", "\xE0"), 0);  // bytes by value
    EXPECT_NE(AsciiCompareText("\xE9", "\xC9"), 0);
    EXPECT_EQ(HotkeyCompareText("&File", "Fi&le"), 0);
}

TEST(FindByAttribute, IgnoresHotkeysAndFiltersByName) {
    TxmlTree tree = Load("<Form><Item Caption=\"Fi&amp;le\"/><Menu Caption=\"File\"/><Menu Caption=\"Edit\"/><Menu/></Form>");
    TxmlNode* form = tree->Children[0];
    EXPECT_EQ(FindChildByAttribute(form, "", "caption", "&File"), form->Children[0]);
    EXPECT_EQ(FindChildByAttribute(form, "MENU", "Caption", "&File"), form->Children[1]);
    EXPECT_EQ(FindChildByAttribute(form, "Menu", "Caption", "Help"), nullptr);
    EXPECT_EQ(FindChildByAttribute(form, "Menu", "Caption", ""), form->Children[3]);  // lacks it
}

TEST(FindByAttributes, EveryLineMustHold) {
    TxmlTree tree = Load("<k><Key Name=\"Main\"/><Key Name=\"Main\" Kind=\"1\"/><Other Name=\"Main\" Kind=\"1\"/><Key/></k>");
    TxmlNode* k = tree->Children[0];
    EXPECT_EQ(FindChildByAttributes(k, "Key", "Name=Main\r\nKind=1"), k->Children[1]);
    EXPECT_EQ(FindChildByAttributes(k, "key", "name=M&ain\nkind=1"), k->Children[1]);
    EXPECT_EQ(FindChildByAttributes(k, "Key", ""), k->Children[0]);
    EXPECT_EQ(FindChildByAttributes(k, "Key", "Name=Other"), nullptr);
    EXPECT_EQ(FindChildByAttributes(k, "Key", "Kind="), k->Children[0]);  // absent reads as empty
    TxmlNode* nameless = AddChild(k);
    EXPECT_EQ(FindChildByAttributes(k, "", ""), nameless);  // an empty name matches only nameless children
}

TEST(Sort, ByNameAscendingWhateverTheFlag) {
    TxmlTree tree = Load("<r><b/><C/><a/></r>");
    TxmlNode* r = tree->Children[0];
    SortChildren(r, "", true);
    EXPECT_EQ(ChildNames(r), "a,b,C");
}

TEST(Sort, NumbersThenTextAndDescending) {
    TxmlTree tree = Load("<r><i v=\"10\"/><i v=\"9\"/><i v=\"100\"/><i v=\"-3\"/><i v=\"+4\"/></r>");
    TxmlNode* r = tree->Children[0];
    SortChildren(r, "V", false);
    EXPECT_EQ(Values(r, "v"), "-3,+4,9,10,100");
    SortChildren(r, "v", true);
    EXPECT_EQ(Values(r, "v"), "100,10,9,+4,-3");

    TxmlTree words = Load("<r><i v=\"b\"/><i v=\"A\"/><i v=\"c\"/><i v=\" 5\"/><i v=\"0x10\"/></r>");
    TxmlNode* w = words->Children[0];
    SortChildren(w, "v", false);  // no whole numbers: all count as 0 and compare as text
    EXPECT_EQ(Values(w, "v"), " 5,0x10,A,b,c");
}

TEST(Sort, AbsentAttributeCountsAsZeroAndTwoAbsentCompareWholeTexts) {
    TxmlTree tree = Load("<r><i v=\"2\"/><i z=\"b\"/><i v=\"-1\"/><i z=\"a\"/></r>");
    TxmlNode* r = tree->Children[0];
    SortChildren(r, "v", false);
    EXPECT_EQ(Values(r, "v"), "-1,,,2");
    EXPECT_EQ(GetAttribute(r->Children[1], "z"), "a");
    EXPECT_EQ(GetAttribute(r->Children[2], "z"), "b");
}

TEST(Sort, DifferenceOutside32BitsFailsAndKeepsTheOrder) {
    TxmlTree tree = Load("<r><i v=\"2147483647\"/><i v=\"-2\"/><i v=\"5\"/></r>");
    TxmlNode* r = tree->Children[0];
    EXPECT_THROW(SortChildren(r, "v", false), EIntOverflow);
    EXPECT_EQ(Values(r, "v"), "2147483647,-2,5");

    TxmlTree absent = Load("<r><i v=\"-2147483648\"/><i/></r>");  // against 0
    EXPECT_THROW(SortChildren(absent->Children[0], "v", false), EIntOverflow);

    TxmlTree fits = Load("<r><i v=\"2147483647\"/><i v=\"0\"/><i v=\"99999999999\"/></r>");  // too big: 0
    SortChildren(fits->Children[0], "v", false);
    EXPECT_EQ(Values(fits->Children[0], "v"), "0,99999999999,2147483647");
}

TEST(Sort, SettingsArePerThread) {
    auto build = [](bool numbers) {
        std::string text = "<r>";
        for (int i = 0; i < 3000; ++i)
            text += "<i v=\"" + (numbers ? std::to_string((i * 7919) % 3000) : std::string(1, char('a' + i % 26))) + "\"/>";
        return Load(text + "</r>");
    };
    TxmlTree up = build(true), down = build(true);
    std::thread a([&] {
        for (int k = 0; k < 20; ++k) SortChildren(up->Children[0], "v", false);
    });
    std::thread b([&] {
        for (int k = 0; k < 20; ++k) SortChildren(down->Children[0], "v", true);
    });
    a.join();
    b.join();
    EXPECT_EQ(GetAttribute(up->Children[0]->Children.front(), "v"), "0");
    EXPECT_EQ(GetAttribute(down->Children[0]->Children.front(), "v"), "2999");
}

TEST(Merge, WithoutKeyAddsMissingChildrenAndMergesMatches) {
    TxmlTree target = Load("<A k=\"1\"><x/></A>");
    TxmlTree source = Load("<A k=\"1\"><x><deep/></x><y/></A><B><b1/></B><A k=\"2\"/>");
    MergeTree(target.Get(), source.Get(), "");
    EXPECT_EQ(ChildNames(target.Get()), "A,B,A");
    EXPECT_EQ(ChildNames(target->Children[0]), "x,y");
    EXPECT_EQ(ChildNames(target->Children[0]->Children[0]), "deep");
    EXPECT_EQ(GetAttribute(target->Children[2], "k"), "2");  // attribute values differ: no match
    EXPECT_EQ(ChildNames(source.Get()), "A");                 // moved nodes left the source
    EXPECT_TRUE(CheckTree(target.Get()));
    EXPECT_TRUE(CheckTree(source.Get()));
    MergeTree(target.Get(), nullptr, "");
}

TEST(Merge, WithKeyMatchesByThatAttributeOnlyAndKeepsTargetAttributes) {
    TxmlTree target = Load("<Item Name=\"&amp;Open\" Tip=\"old\"><a/></Item>");
    TxmlTree source = Load("<Item Name=\"Open\" Tip=\"new\" Extra=\"1\"><b/></Item><Item Name=\"Save\"/>");
    MergeTree(target.Get(), source.Get(), "Name");
    ASSERT_EQ(GetChildCount(target.Get()), 2);
    EXPECT_EQ(GetAttribute(target->Children[0], "Tip"), "old");
    EXPECT_EQ(GetAttribute(target->Children[0], "Extra"), "");
    EXPECT_EQ(ChildNames(target->Children[0]), "a,b");
    EXPECT_EQ(GetAttribute(target->Children[1], "Name"), "Save");
}

TEST(Merge, FromFileDestroysTheLoadedTree) {
    xmltest::TempDir dir;
    xmltest::WriteFile(dir.File("m.xml"), "<A id=\"1\" a=\"new\"><a2/></A><B><b1/></B>");
    TxmlTree target = Load("<A id=\"1\" a=\"kept\"><a1/></A>");
    xmltest::TraceCapture trace;
    MergeXmlFile(target.Get(), dir.File("m.xml"), "id");
    EXPECT_EQ(ChildNames(target.Get()), "A,B");
    EXPECT_EQ(ChildNames(target->Children[0]), "a1,a2");
    EXPECT_EQ(GetAttribute(target->Children[0], "a"), "kept");
    // Load replaces the first top node, then what remains of the loaded tree goes: Root and A.
    EXPECT_EQ(trace.Lines(), (std::vector<std::string>{"Root", "Root", "A"}));

    MergeXmlFile(target.Get(), dir.File("missing.xml"), "");  // changes nothing
    EXPECT_EQ(ChildNames(target.Get()), "A,B");
    EXPECT_THROW(MergeXmlFile(target.Get(), dir.Path().string(), ""), EInOutError);
    EXPECT_EQ(ChildNames(target.Get()), "A,B");
}

TEST(SetOfChoices, ReadingAndWriting) {
    TxmlTree top = Load("<a v1=\"[Left,Top]\" v2=\"Left Top\" v3=\"(right;;  TOP}\" v4=\"[]\" v5=\"Middle\"/>");
    TxmlNode* a = top->Children[0];
    EXPECT_EQ(ReadSetAttribute(a, "v1", "Left,Right,Top", 0), 5u);
    EXPECT_EQ(ReadSetAttribute(a, "v2", "Left,Right,Top", 0), 5u);
    EXPECT_EQ(ReadSetAttribute(a, "v3", "Left,Right;Top", 0), 6u);
    EXPECT_EQ(ReadSetAttribute(a, "v4", "Left,Right,Top", 9), 0u);
    EXPECT_EQ(ReadSetAttribute(a, "v5", "Left,Right,Top", 9), 0u);
    EXPECT_EQ(ReadSetAttribute(a, "absent", "Left,Right,Top", 9), 9u);
    EXPECT_EQ(ReadSetAttribute(a, "v1", "Left, Right, Top", 0), 1u);  // " Top" begins with a blank

    WriteSetAttribute(a, "w", "Left,Right,Top", 5);
    EXPECT_EQ(GetAttribute(a, "w"), "[Left,Top]");
    WriteSetAttribute(a, "w", "Left,Right,Top", 0);
    EXPECT_EQ(GetAttribute(a, "w"), "[]");
}

TEST(SetOfChoices, ItemsPastTheThirtySecondAreIgnored) {
    std::string items;
    for (int i = 0; i < 40; ++i) items += (i ? "," : "") + std::string("i") + std::to_string(i);
    TxmlTree top = Load("<a v=\"[i0,i32,i33,i31]\"/>");
    TxmlNode* a = top->Children[0];
    EXPECT_EQ(ReadSetAttribute(a, "v", items, 0), 0x80000001u);  // i32 is not folded onto bit 0
    WriteSetAttribute(a, "w", items, 0xFFFFFFFFu);
    std::string written = GetAttribute(a, "w");
    EXPECT_NE(written.find(",i31]"), std::string::npos);
    EXPECT_EQ(written.find("i32"), std::string::npos);
}

TEST(ChoiceAttribute, ReadingAndWriting) {
    TxmlTree top = Load("<a v=\"right\"/>");
    TxmlNode* a = top->Children[0];
    EXPECT_EQ(ReadChoiceAttribute(a, "v", "Left,Right;Center", -1), 1);
    EXPECT_EQ(ReadChoiceAttribute(a, "v", "Left,Center", -1), -1);
    EXPECT_EQ(ReadChoiceAttribute(a, "absent", "Left,,Right", -1), 1);  // the empty item
    EXPECT_EQ(ReadChoiceAttribute(a, "absent", "", 7), 7);

    WriteChoiceAttribute(a, "w", "Left,,Right", 1);  // empty items are not counted
    EXPECT_EQ(GetAttribute(a, "w"), "Right");
    WriteChoiceAttribute(a, "w", "Left,,Right", 2);  // past the last: deleted
    EXPECT_EQ(a->Attributes.IndexOfName("w"), -1);
    WriteChoiceAttribute(a, "w", "Top Left;Bottom", 0);
    EXPECT_EQ(GetAttribute(a, "w"), "Top Left");
    EXPECT_THROW(WriteChoiceAttribute(a, "w", "Left", -1), EListError);
    EXPECT_EQ(GetAttribute(a, "w"), "Top Left");
}
