#include "xmlini/XMLImpl.h"

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "xml/Parser.h"

namespace {

using NodePtr = TInterfacePtr<IXMLTreeNode>;
using ListPtr = TInterfacePtr<IAttributeList>;

TxmlNode* RawOf(const NodePtr& node) {
    TxmlNode* raw = nullptr;
    CheckAutoResult(node.Query<IXMLRawNode>()->GetNode(&raw));
    return raw;
}

WideString NameOf(const NodePtr& node) {
    TBStr name;
    CheckAutoResult(node->GetName(name.Receive()));
    return name.Value();
}

WideString AttrOf(const NodePtr& node, const char16_t* name) {
    TBStr value;
    CheckAutoResult(node->GetAttribute(name, value.Receive()));
    return value.Value();
}

NodePtr Child(const NodePtr& node, int index) {
    NodePtr child;
    CheckAutoResult(node->GetChild(index, child.Receive()));
    return child;
}

NodePtr Find(const NodePtr& node, const char16_t* name) {
    NodePtr child;
    CheckAutoResult(node->FindChild(name, child.Receive()));
    return child;
}

int CountOf(const NodePtr& node) {
    int count = -1;
    CheckAutoResult(node->GetChildCount(&count));
    return count;
}

// Names of the children, joined by ",".
std::string ChildNames(const TxmlNode* node) {
    std::string names;
    for (const TxmlNode* child : node->Children) names += (names.empty() ? "" : ",") + child->Name;
    return names;
}

// A node wrapper that hides its raw-node interface, as an implementation from elsewhere would.
class TForeignNode : public TXMLNodeWrap {
protected:
    friend class TxInterfacedObject;
    explicit TForeignNode(TxmlNode* node) : TXMLNodeWrap(node) {}
    IUnknown* FindInterface(REFIID iid) override {
        return IsEqualGUID(iid, IXMLRawNode::Iid) ? nullptr : TXMLNodeWrap::FindInterface(iid);
    }
};

class NodeInterface : public testing::Test {
protected:
    void SetUp() override {
        liveBefore_ = LiveObjects().Count();
        tree_ = TxmlTree(LoadXmlString(
            "<Options Mode=\"1\"><Advanced Language=\"German\" /><Item Name=\"A\" /><X /><Item Name=\"B\" />"
            "<Deep><Deeper Kind=\"grand\"><Deepest Kind=\"great\" /></Deeper></Deep></Options><Other><Sub /></Other>"));
        root_ = WrapNode(tree_.Get());
        options_ = Find(root_, u"Options");
    }
    void TearDown() override {
        options_.Reset();
        root_.Reset();
        EXPECT_EQ(LiveObjects().Count(), liveBefore_) << "node interfaces left referenced";
    }

    TxmlTree tree_;
    NodePtr root_, options_;
    int liveBefore_ = 0;
};

}  // namespace

TEST_F(NodeInterface, IidsAndErrorInfoSupport) {
    EXPECT_TRUE(options_.Query<IXMLRawNode>());
    EXPECT_TRUE(options_.Query<IUnknown>());
    EXPECT_FALSE(options_.Query<IAttributeList>());
    EXPECT_EQ(options_.Query<ISupportErrorInfo>()->InterfaceSupportsErrorInfo(IXMLTreeNode::Iid), S_OK);
    EXPECT_EQ(options_.Query<ISupportErrorInfo>()->InterfaceSupportsErrorInfo(IXMLRawNode::Iid), S_OK);
    ListPtr list;
    CheckAutoResult(options_->GetAttributes(list.Receive()));
    EXPECT_FALSE(list.Query<IXMLTreeNode>());
    EXPECT_EQ(list.Query<ISupportErrorInfo>()->InterfaceSupportsErrorInfo(IAttributeList::Iid), S_OK);
    EXPECT_EQ(list.Query<ISupportErrorInfo>()->InterfaceSupportsErrorInfo(IXMLTreeNode::Iid), S_FALSE);
}

TEST_F(NodeInterface, ChildrenByIndexAndPath) {
    EXPECT_EQ(CountOf(options_), 5);
    EXPECT_EQ(NameOf(Child(options_, 0)), u"Advanced");
    EXPECT_FALSE(Child(options_, 5)) << "the index equal to the count answers none";
    NodePtr none;
    EXPECT_EQ(Failure(options_->GetChild(-1, none.Receive())), "List index out of bounds (-1)");

    TBStr path;
    CheckAutoResult(Child(options_, 0)->GetPath(path.Receive()));
    EXPECT_EQ(path.Value(), u"Root\\Options\\Advanced");

    NodePtr made, again;
    CheckAutoResult(root_->ForcePath(u"A\\\\B\\", made.Receive()));
    CheckAutoResult(root_->ForcePath(u"A\\B", again.Receive()));
    EXPECT_EQ(RawOf(made), RawOf(again));
    EXPECT_EQ(NameOf(made), u"B");
    NodePtr nothing;
    CheckAutoResult(root_->ForcePath(u"\\\\", nothing.Receive()));
    EXPECT_FALSE(nothing);

    NodePtr parent;
    CheckAutoResult(options_->GetParent(parent.Receive()));
    EXPECT_EQ(RawOf(parent), tree_.Get());
    CheckAutoResult(root_->GetParent(parent.Receive()));
    EXPECT_FALSE(parent);
}

TEST_F(NodeInterface, EveryFoundNodeIsANewWrapper) {
    NodePtr self = Find(options_, u"");
    ASSERT_TRUE(self);
    EXPECT_NE(self.Get(), options_.Get());
    EXPECT_EQ(RawOf(self), RawOf(options_));
    EXPECT_EQ(NameOf(self), u"Options");
    EXPECT_FALSE(Find(options_, u"Missing"));

    // Out-parameters are cleared on entry, also when nothing is found.
    IXMLTreeNode* slot = reinterpret_cast<IXMLTreeNode*>(&slot);
    CheckAutoResult(options_->FindChild(u"Missing", &slot));
    EXPECT_EQ(slot, nullptr);
}

TEST_F(NodeInterface, AttributeListIdentity) {
    ListPtr first, second, other;
    CheckAutoResult(options_->GetAttributes(first.Receive()));
    CheckAutoResult(options_->GetAttributes(second.Receive()));
    EXPECT_EQ(first.Get(), second.Get());
    NodePtr sameNode = Find(options_, u"");
    CheckAutoResult(sameNode->GetAttributes(other.Receive()));
    EXPECT_NE(first.Get(), other.Get());
    CheckAutoResult(first->SetValue(u"Shared", u"yes"));
    TBStr value;
    CheckAutoResult(other->GetValue(u"SHARED", value.Receive()));
    EXPECT_EQ(value.Value(), u"yes");

    // The list lives on by its own references after its wrapper is gone.
    sameNode.Reset();
    int count = 0;
    CheckAutoResult(other->GetCount(&count));
    EXPECT_EQ(count, 2);
}

TEST_F(NodeInterface, SetNodeRebindsAttributeOperations) {
    ListPtr oldList;
    CheckAutoResult(options_->GetAttributes(oldList.Receive()));
    NodePtr advanced = Find(options_, u"Advanced");
    NodePtr wrapper = Find(options_, u"");
    ListPtr beforeRebind;
    CheckAutoResult(wrapper->GetAttributes(beforeRebind.Receive()));

    CheckAutoResult(wrapper.Query<IXMLRawNode>()->SetNode(advanced.Get()));
    EXPECT_EQ(RawOf(wrapper), RawOf(advanced));
    EXPECT_EQ(AttrOf(wrapper, u"Language"), u"German");
    ListPtr afterRebind;
    CheckAutoResult(wrapper->GetAttributes(afterRebind.Receive()));
    TBStr text;
    CheckAutoResult(afterRebind->GetText(text.Receive()));
    EXPECT_EQ(text.Value(), u"Language=German\r\n");
    // The list handed out before stays with the node it was made for.
    CheckAutoResult(beforeRebind->GetText(text.Receive()));
    EXPECT_EQ(text.Value(), u"Mode=1\r\n");

    EXPECT_EQ(Failure(wrapper.Query<IXMLRawNode>()->SetNode(nullptr)), "A node argument is missing");
    NodePtr foreign(TxInterfacedObject::Create<TForeignNode>(tree_.Get()));
    EXPECT_NE(Failure(wrapper.Query<IXMLRawNode>()->SetNode(foreign.Get())), "");
    EXPECT_EQ(RawOf(wrapper), RawOf(advanced)) << "a failed SetNode keeps the node";
}

TEST_F(NodeInterface, TypedAttributes) {
    struct Case {
        const char16_t* text;
        bool expected;
    };
    for (Case c : {Case{u"1", true}, {u"true", true}, {u"TRUE", true}, {u"True", true}, {u"yes", false},
                   {u"-1", false}, {u"0", false}, {u"truer", false}}) {
        CheckAutoResult(options_->SetAttribute(u"Flag", c.text));
        bool value = !c.expected;
        CheckAutoResult(options_->GetAttributeBool(u"Flag", &value));
        EXPECT_EQ(value, c.expected) << platform::WideToUtf8(c.text);
    }
    bool absent = true;
    CheckAutoResult(options_->GetAttributeBool(u"Missing", &absent));
    EXPECT_FALSE(absent);
    CheckAutoResult(options_->SetAttributeBool(u"Flag", false));
    EXPECT_EQ(AttrOf(options_, u"Flag"), u"False");
    CheckAutoResult(options_->SetAttributeBool(u"Flag", true));
    EXPECT_EQ(AttrOf(options_, u"flag"), u"True");

    auto intOf = [&](const char16_t* text) {
        CheckAutoResult(options_->SetAttribute(u"Number", text));
        int value = 99;
        CheckAutoResult(options_->GetAttributeInt(u"Number", &value));
        return value;
    };
    EXPECT_EQ(intOf(u"12abc"), 0);
    EXPECT_EQ(intOf(u"-5"), -5);
    EXPECT_EQ(intOf(u"+8"), 8);
    EXPECT_EQ(intOf(u"0x10"), 0);
    EXPECT_EQ(intOf(u"2147483647"), 2147483647);
    EXPECT_EQ(intOf(u"2147483648"), 0);
    EXPECT_EQ(intOf(u""), 0);
    CheckAutoResult(options_->SetAttributeInt(u"Number", -7));
    EXPECT_EQ(AttrOf(options_, u"Number"), u"-7");
}

TEST_F(NodeInterface, EmptyValueDeletesAttribute) {
    ListPtr list;
    CheckAutoResult(options_->GetAttributes(list.Receive()));
    CheckAutoResult(options_->SetAttribute(u"Extra", u"x"));
    int before = 0, after = 0;
    CheckAutoResult(list->GetCount(&before));
    CheckAutoResult(options_->SetAttribute(u"EXTRA", u""));
    CheckAutoResult(list->GetCount(&after));
    EXPECT_EQ(after, before - 1);
    EXPECT_EQ(AttrOf(options_, u"Extra"), u"");
}

TEST_F(NodeInterface, AttributeListLines) {
    ListPtr list;
    CheckAutoResult(options_->GetAttributes(list.Receive()));
    CheckAutoResult(list->SetText(u"a=1\r\nb=2\nnoequals\rc=x=y"));
    int count = 0;
    CheckAutoResult(list->GetCount(&count));
    EXPECT_EQ(count, 4);
    TBStr text;
    CheckAutoResult(list->GetLine(3, text.Receive()));
    EXPECT_EQ(text.Value(), u"c=x=y");
    CheckAutoResult(list->GetLineName(3, text.Receive()));
    EXPECT_EQ(text.Value(), u"c");
    CheckAutoResult(list->GetLineName(2, text.Receive()));
    EXPECT_EQ(text.Value(), u"");
    CheckAutoResult(list->GetValue(u"C", text.Receive()));
    EXPECT_EQ(text.Value(), u"x=y");
    CheckAutoResult(list->GetText(text.Receive()));
    EXPECT_EQ(text.Value(), u"a=1\r\nb=2\r\nnoequals\r\nc=x=y\r\n");
    EXPECT_EQ(Failure(list->GetLine(4, text.Receive())), "List index out of bounds (4)");
    EXPECT_EQ(Failure(list->GetLineName(-1, text.Receive())), "List index out of bounds (-1)");
    CheckAutoResult(list->SetValue(u"B", u"3"));
    CheckAutoResult(list->GetLine(1, text.Receive()));
    EXPECT_EQ(text.Value(), u"B=3");
    CheckAutoResult(list->SetValue(u"new", u"4"));
    CheckAutoResult(list->GetLine(4, text.Receive()));
    EXPECT_EQ(text.Value(), u"new=4");
}

TEST_F(NodeInterface, NamesValuesAndCodePageText) {
    NodePtr child;
    CheckAutoResult(options_->AddNamedChild(u"Caf\u00e9", child.Receive()));
    EXPECT_EQ(NameOf(child), u"Caf\u00e9");
    EXPECT_EQ(RawOf(child)->Name, platform::WideToAnsi(u"Caf\u00e9"));
    CheckAutoResult(child->SetNodeValue(u"text & more"));
    TBStr value;
    CheckAutoResult(child->GetNodeValue(value.Receive()));
    EXPECT_EQ(value.Value(), u"text & more");
    CheckAutoResult(child->SetName(u"Renamed"));
    EXPECT_EQ(RawOf(child)->Name, "Renamed");
}

TEST_F(NodeInterface, InsertDeleteAndClearChildren) {
    TxmlNode* options = RawOf(options_);
    NodePtr inserted;
    CheckAutoResult(options_->InsertChild(5, inserted.Receive()));
    EXPECT_EQ(options->Children.back(), RawOf(inserted));
    EXPECT_EQ(NameOf(inserted), u"");
    EXPECT_EQ(Failure(options_->InsertChild(7, inserted.Receive())), "List index out of bounds (7)");
    EXPECT_FALSE(inserted);
    CheckAutoResult(options_->DeleteChild(5));
    EXPECT_NE(Failure(options_->DeleteChild(5)), "");
    EXPECT_EQ(ChildNames(options), "Advanced,Item,X,Item,Deep");

    CheckAutoResult(options_->DeleteNamedChild(u"ITEM"));
    EXPECT_EQ(ChildNames(options), "Advanced,X,Item,Deep");
    EXPECT_EQ(options->Children[2]->Attributes.Value("Name"), "B") << "only the first of the name goes";
    CheckAutoResult(options_->DeleteNamedChild(u"Missing"));

    NodePtr added;
    CheckAutoResult(options_->AddChild(added.Receive()));
    EXPECT_EQ(RawOf(added), options->Children.back());
    CheckAutoResult(options_->ClearChildren());
    EXPECT_EQ(CountOf(options_), 0);
    EXPECT_EQ(AttrOf(options_, u"Mode"), u"1") << "attributes stay";
}

TEST_F(NodeInterface, DeleteLeavesWrapperWithoutNode) {
    NodePtr advanced = Find(options_, u"Advanced");
    ListPtr list;
    CheckAutoResult(advanced->GetAttributes(list.Receive()));
    CheckAutoResult(advanced->Delete());
    EXPECT_EQ(CountOf(options_), 4);
    EXPECT_EQ(RawOf(advanced), nullptr);
    EXPECT_NE(Failure(advanced->SetName(u"x")), "");
    TBStr text;
    EXPECT_NE(Failure(list->GetText(text.Receive())), "");
    EXPECT_NE(Failure(options_->SetParent(advanced.Get())), "");
}

TEST_F(NodeInterface, ExchangeSiblings) {
    TxmlNode* options = RawOf(options_);
    NodePtr first = Child(options_, 0), third = Child(options_, 2);
    CheckAutoResult(first->Exchange(third.Get()));
    EXPECT_EQ(ChildNames(options), "X,Item,Advanced,Item,Deep");

    NodePtr stranger = Find(Find(root_, u"Other"), u"Sub");
    EXPECT_EQ(Failure(first->Exchange(stranger.Get())), "List index out of bounds (-1)");
    EXPECT_EQ(ChildNames(options), "X,Item,Advanced,Item,Deep");
    EXPECT_EQ(ChildNames(RawOf(Find(root_, u"Other"))), "Sub");
    EXPECT_NE(Failure(root_->Exchange(options_.Get())), "") << "the top has no parent";
    EXPECT_NE(Failure(first->Exchange(nullptr)), "");
}

TEST_F(NodeInterface, SetParentMovesNode) {
    NodePtr other = Find(root_, u"Other");
    NodePtr advanced = Find(options_, u"Advanced");
    CheckAutoResult(advanced->SetParent(other.Get()));
    EXPECT_EQ(ChildNames(RawOf(other)), "Sub,Advanced");
    EXPECT_EQ(CountOf(options_), 4);
    EXPECT_EQ(Failure(advanced->SetParent(nullptr)), "A node argument is missing");
    EXPECT_NE(Failure(other->SetParent(advanced.Get())), "") << "a move below itself";
    NodePtr foreign(TxInterfacedObject::Create<TForeignNode>(RawOf(options_)));
    EXPECT_NE(Failure(advanced->SetParent(foreign.Get())), "");
    EXPECT_EQ(ChildNames(RawOf(other)), "Sub,Advanced");
}

TEST_F(NodeInterface, SearchesByNameAndAttribute) {
    int position = -1;
    std::vector<WideString> names;
    for (;;) {
        NodePtr item;
        CheckAutoResult(options_->FindNextChild(u"item", &position, item.Receive()));
        if (!item) break;
        names.push_back(AttrOf(item, u"Name"));
    }
    EXPECT_EQ(names, (std::vector<WideString>{u"A", u"B"}));
    EXPECT_EQ(position, 3) << "the last hit's index stays";

    NodePtr found;
    CheckAutoResult(options_->FindChildByAttribute(u"", u"Name", u"&B", found.Receive()));
    EXPECT_EQ(RawOf(found), RawOf(options_)->Children[3]);
    CheckAutoResult(options_->FindChildByAttribute(u"X", u"Name", u"B", found.Receive()));
    EXPECT_FALSE(found);

    CheckAutoResult(options_->FindDescendantByAttribute(u"", u"Kind", u"grand", found.Receive()));
    ASSERT_TRUE(found);
    EXPECT_EQ(NameOf(found), u"Deeper");
    CheckAutoResult(options_->FindDescendantByAttribute(u"", u"Kind", u"great", found.Receive()));
    EXPECT_FALSE(found) << "three levels down is never examined";
    CheckAutoResult(options_->FindDescendantByAttribute(u"Item", u"Name", u"A", found.Receive()));
    EXPECT_EQ(RawOf(found), RawOf(options_)->Children[1]);

    NodePtr a, b;
    CheckAutoResult(options_->FindOrAddChildByAttribute(u"Tool", u"Name", u"Grep", a.Receive()));
    CheckAutoResult(options_->FindOrAddChildByAttribute(u"Tool", u"Name", u"Grep", b.Receive()));
    EXPECT_NE(RawOf(a), RawOf(b)) << "the attribute is not set, so the second call adds again";
    EXPECT_EQ(ChildNames(RawOf(options_)), "Advanced,Item,X,Item,Deep,Tool,Tool");
    CheckAutoResult(options_->FindOrAddChildByAttribute(u"Item", u"Name", u"B", a.Receive()));
    EXPECT_EQ(RawOf(a), RawOf(options_)->Children[3]);
}

// The xml unit's tests cover the orderings and texts; these check the calls arrive with their arguments.
TEST_F(NodeInterface, SortSetsAndChoices) {
    TxmlTree owner(LoadXmlString("<L><E N=\"10\" /><E N=\"9\" /><E N=\"100\" /></L>"));
    NodePtr l = Find(WrapNode(owner.Get()), u"L");
    CheckAutoResult(l->SortChildren(u"N", true));
    EXPECT_EQ(RawOf(l)->Children[0]->Attributes.Value("N"), "100");
    EXPECT_EQ(RawOf(l)->Children[2]->Attributes.Value("N"), "9");

    CheckAutoResult(options_->WriteSet(u"Sides", u"Left,Right,Top", 5));
    EXPECT_EQ(AttrOf(options_, u"Sides"), u"[Left,Top]");
    std::uint32_t bits = 0;
    CheckAutoResult(options_->ReadSet(u"Missing", u"Left,Right,Top", 2, &bits));
    EXPECT_EQ(bits, 2u);

    CheckAutoResult(options_->WriteChoice(u"Align", u"Left,Right;Center", 2));
    int index = -1;
    CheckAutoResult(options_->ReadChoice(u"Align", u"left,right;center", 0, &index));
    EXPECT_EQ(index, 2);
    EXPECT_NE(Failure(options_->WriteChoice(u"Align", u"Left,Right", -1)), "");
    EXPECT_EQ(AttrOf(options_, u"Align"), u"Center");
}

TEST_F(NodeInterface, SaveToFileWritesChildrenOnly) {
    TempFolder folder;
    AnsiString file = folder.File("saved.xml");
    CheckAutoResult(Find(root_, u"Other")->SaveToFile(platform::AnsiToWide(file).c_str()));
    EXPECT_EQ(ReadFileBytes(file), XmlFileText({"  <Sub />"}));

    CheckAutoResult(root_->SaveToFile(platform::AnsiToWide(file).c_str()));
    std::string text = ReadFileBytes(file);
    EXPECT_EQ(text.find("<Root"), std::string::npos);
    EXPECT_NE(text.find("  <Options Mode=\"1\" >\r\n"), std::string::npos) << text;

    WriteFileBytes(folder.File("plain"), "x");
    EXPECT_NE(Failure(root_->SaveToFile(platform::AnsiToWide(folder.File("plain") + "/x.xml").c_str())), "");
}

TEST_F(NodeInterface, MergeFileAddsMissingElements) {
    TempFolder folder;
    AnsiString file = folder.File("merge.xml");
    WriteFileBytes(file, "<Options Mode=\"2\"><Added /></Options><New Kind=\"n\" />");
    CheckAutoResult(root_->MergeFile(platform::AnsiToWide(file).c_str(), u""));
    // Options differs in its attributes, so it is not the same element: it comes as a new one.
    EXPECT_EQ(ChildNames(tree_.Get()), "Options,Other,Options,New");
    CheckAutoResult(root_->MergeFile(platform::AnsiToWide(folder.File("missing.xml")).c_str(), u"Name"));
    EXPECT_EQ(ChildNames(tree_.Get()), "Options,Other,Options,New");
}
