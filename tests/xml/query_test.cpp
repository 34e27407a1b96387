// Tree queries: attribute searches, sorting, merging, set and choice attributes.
#include <thread>

#include <gtest/gtest.h>

#include "support.h"

using xmltest::ChildNames;
using xmltest::Load;

namespace {

// The values of attribute name of the children of the first top element, joined by ",".
std::string Values(const TxmlTree& tree, const char* name = "v") {
    std::string out;
    for (const TxmlNode* child : tree->Children[0]->Children) out += "," + GetAttribute(child, name);
    return out.substr(1);
}

}  // namespace

TEST(Compare, HotkeyMarksAndAsciiFolding) {
    EXPECT_EQ(StripHotkey("&&&x&a&&b"), "&xa&b");
    EXPECT_EQ(HotkeyCompareText("&File", "fI&LE"), 0);
    EXPECT_LT(HotkeyCompareText("Z", "\xE0"), 0);  // bytes by value
    EXPECT_NE(HotkeyCompareText("\xE9", "\xC9"), 0);
}

TEST(FindByAttribute, IgnoresHotkeysAndEveryLineMustHold) {
    TxmlTree tree = Load("<k><Item Name=\"Fi&amp;le\"/><Key Name=\"File\"/><Key Name=\"File\" Kind=\"1\"/><Key/></k>");
    TxmlNode* k = tree->Children[0];
    EXPECT_EQ(FindChildByAttribute(k, "", "name", "&File"), k->Children[0]);
    EXPECT_EQ(FindChildByAttribute(k, "KEY", "Name", "&File"), k->Children[1]);
    EXPECT_EQ(FindChildByAttribute(k, "Key", "Name", "Help"), nullptr);
    EXPECT_EQ(FindChildByAttribute(k, "Key", "Name", ""), k->Children[3]);  // lacks it
    EXPECT_EQ(FindChildByAttributes(k, "key", "name=F&ile\nkind=1"), k->Children[2]);
    EXPECT_EQ(FindChildByAttributes(k, "Key", ""), k->Children[1]);
    EXPECT_EQ(FindChildByAttributes(k, "Key", "Name=File\r\nKind=2"), nullptr);
    EXPECT_EQ(FindChildByAttributes(k, "Key", "Kind="), k->Children[1]);  // absent reads as empty
    TxmlNode* nameless = AddChild(k);
    EXPECT_EQ(FindChildByAttributes(k, "", ""), nameless);  // an empty name matches only nameless children
}

TEST(Sort, ByNameNumbersOrText) {
    const struct {
        const char* values;  // of the children's attribute v, apart by ","
        const char* attribute;
        bool descending;
        const char* sorted;
    } cases[] = {
        {"10,9,100,-3,+4", "V", false, "-3,+4,9,10,100"},
        {"10,9,100,-3,+4", "v", true, "100,10,9,+4,-3"},
        {"b,A,c, 5,0x10", "v", false, " 5,0x10,A,b,c"},  // no whole numbers: all count as 0 and compare as text
        {"2,,-1,", "v", false, "-1,,,2"},                 // absent counts as 0
        {"2147483647,0,99999999999", "v", false, "0,99999999999,2147483647"},  // too big: 0
        {"-2147483647,0", "v", false, "-2147483647,0"},
    };
    for (const auto& c : cases) {
        std::string text = "<r>", values = std::string(c.values) + ",";
        for (size_t at = 0, comma; (comma = values.find(',', at)) != std::string::npos; at = comma + 1)
            text += comma == at ? "<i z=\"" + std::to_string(at) + "\"/>" : "<i v=\"" + values.substr(at, comma - at) + "\"/>";
        TxmlTree tree = Load(text + "</r>");
        SortChildren(tree->Children[0], c.attribute, c.descending);
        EXPECT_EQ(Values(tree), c.sorted) << c.values;
    }
    TxmlTree names = Load("<r><b z=\"1\"/><C/><a/><i z=\"0\"/><i/></r>");
    SortChildren(names->Children[0], "", true);  // by name ascending, whatever the flag
    EXPECT_EQ(ChildNames(names->Children[0]), "a,b,C,i,i");
    SortChildren(names->Children[0], "v", false);  // two absent values compare whole texts
    EXPECT_EQ(Values(names, "z"), ",,,0,1");

    for (const char* text : {"<r><i v=\"2147483647\"/><i v=\"-2\"/><i v=\"5\"/></r>", "<r><i v=\"-2147483648\"/><i/></r>"}) {
        TxmlTree overflow = Load(text);  // a difference outside 32 bits fails and keeps the order
        std::string before = Values(overflow);
        EXPECT_THROW(SortChildren(overflow->Children[0], "v", false), EIntOverflow);
        EXPECT_EQ(Values(overflow), before);
    }
}

// The sort's attribute and direction are held per thread.
TEST(Sort, SettingsArePerThread) {
    std::string text = "<r>";
    for (int i = 0; i < 3000; ++i) text += "<i v=\"" + std::to_string((i * 7919) % 3000) + "\"/>";
    TxmlTree up = Load(text + "</r>"), down = Load(text + "</r>");
    std::thread a([&] {
        for (int k = 0; k < 20; ++k) SortChildren(up->Children[0], "v", false);
    });
    for (int k = 0; k < 20; ++k) SortChildren(down->Children[0], "v", true);
    a.join();
    EXPECT_EQ(Values(up).substr(0, 4) + Values(down).substr(0, 4), "0,1,2999");
}

TEST(Merge, WithoutKeyAndWithKey) {
    TxmlTree target = Load("<A k=\"1\"><x/></A>");
    TxmlTree source = Load("<A k=\"1\"><x><deep/></x><y/></A><B><b1/></B><A k=\"2\"/>");
    MergeTree(target.Get(), source.Get(), "");
    EXPECT_EQ(xmltest::Shape(target.Get()), "Root(A{k=1}(x(deep),y),B(b1),A{k=2})");  // values differ: no match
    EXPECT_EQ(ChildNames(source.Get()), "A");  // moved nodes left the source
    EXPECT_TRUE(CheckTree(source.Get()));
    MergeTree(target.Get(), nullptr, "");

    TxmlTree keyed = Load("<Item Name=\"&amp;Open\" Tip=\"old\"><a/></Item>");
    TxmlTree more = Load("<Item Name=\"Open\" Tip=\"new\" Extra=\"1\"><b/></Item><Item Name=\"Save\"/>");
    MergeTree(keyed.Get(), more.Get(), "Name");  // matched by that attribute only; the target's attributes stay
    EXPECT_EQ(xmltest::Shape(keyed.Get()), "Root(Item{Name=&Open|Tip=old}(a,b),Item{Name=Save})");
}

TEST(Merge, FromFileDestroysTheLoadedTree) {
    xmltest::TempDir dir;
    xmltest::WriteFile(dir.File("m.xml"), "<A id=\"1\" a=\"new\"><a2/></A><B><b1/></B>");
    TxmlTree target = Load("<A id=\"1\" a=\"kept\"><a1/></A>");
    xmltest::TraceCapture trace;
    MergeXmlFile(target.Get(), dir.File("m.xml"), "id");
    EXPECT_EQ(xmltest::Shape(target.Get()), "Root(A{id=1|a=kept}(a1,a2),B(b1))");
    // Load replaces the first top node, then what remains of the loaded tree goes: Root and A.
    EXPECT_EQ(trace.Lines(), (std::vector<std::string>{"Root", "Root", "A"}));
    MergeXmlFile(target.Get(), dir.File("missing.xml"), "");  // changes nothing
    EXPECT_THROW(MergeXmlFile(target.Get(), dir.Path().string(), ""), EInOutError);
    EXPECT_EQ(ChildNames(target.Get()), "A,B");
}

TEST(SetAndChoiceAttributes, ReadingAndWriting) {
    std::string items;
    for (int i = 0; i < 40; ++i) items += (i ? ",i" : "i") + std::to_string(i);
    TxmlTree top = Load("<a v1=\"[Left,Top]\" v2=\"Left Top\" v3=\"(right;;  TOP}\" v4=\"[]\" v5=\"Middle\" "
                        "v6=\"[i0,i32,i33,i31]\" c=\"right\"/>");
    TxmlNode* a = top->Children[0];
    EXPECT_EQ(ReadSetAttribute(a, "v1", "Left,Right,Top", 0), 5u);
    EXPECT_EQ(ReadSetAttribute(a, "v2", "Left,Right,Top", 0), 5u);
    EXPECT_EQ(ReadSetAttribute(a, "v3", "Left,Right;Top", 0), 6u);
    EXPECT_EQ(ReadSetAttribute(a, "v4", "Left,Right,Top", 9), 0u);
    EXPECT_EQ(ReadSetAttribute(a, "v5", "Left,Right,Top", 9), 0u);
    EXPECT_EQ(ReadSetAttribute(a, "absent", "Left,Right,Top", 9), 9u);
    EXPECT_EQ(ReadSetAttribute(a, "v1", "Left, Right, Top", 0), 1u);  // " Top" begins with a blank
    EXPECT_EQ(ReadSetAttribute(a, "v6", items, 0), 0x80000001u);     // items past the 32nd are ignored
    SetAttribute(a, "v7", "Top\rLeft\nRight\tTop");
    EXPECT_EQ(ReadSetAttribute(a, "v7", "Left,Right,Top", 0), 7u);
    WriteSetAttribute(a, "w", "Left,Right,Top", 5);
    EXPECT_EQ(GetAttribute(a, "w"), "[Left,Top]");
    WriteSetAttribute(a, "w", "Left,Right,Top", 0);
    EXPECT_EQ(GetAttribute(a, "w"), "[]");
    WriteSetAttribute(a, "w", items, 0xFFFFFFFFu);
    EXPECT_EQ(GetAttribute(a, "w").substr(GetAttribute(a, "w").size() - 9), ",i30,i31]");

    EXPECT_EQ(ReadChoiceAttribute(a, "c", "Left,Right;Center", -1), 1);
    EXPECT_EQ(ReadChoiceAttribute(a, "c", "Left,Center", -1), -1);
    EXPECT_EQ(ReadChoiceAttribute(a, "absent", "Left,,Right", -1), 1);  // the empty item
    EXPECT_EQ(ReadChoiceAttribute(a, "absent", "", 7), 7);
    WriteChoiceAttribute(a, "c", "Left,,Right", 1);  // empty items are not counted
    EXPECT_EQ(GetAttribute(a, "c"), "Right");
    WriteChoiceAttribute(a, "c", "Left,,Right", 2);  // past the last: deleted
    EXPECT_EQ(a->Attributes.IndexOfName("c"), -1);
    WriteChoiceAttribute(a, "c", "Top Left;Bottom", 0);
    EXPECT_THROW(WriteChoiceAttribute(a, "c", "Left", -1), EListError);
    EXPECT_EQ(GetAttribute(a, "c"), "Top Left");
}
