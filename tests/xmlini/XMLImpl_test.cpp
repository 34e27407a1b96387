#include "xmlini/XMLImpl.h"

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "xml/Parser.h"

namespace {

using NodePtr = TInterfacePtr<IXMLTreeNode>;
using ListPtr = TInterfacePtr<IAttributeList>;
using Node = IXMLTreeNode;
using xmltest::ChildNames;

TxmlNode* RawOf(const NodePtr& node) { return Out(node.Query<IXMLRawNode>(), &IXMLRawNode::GetNode); }
NodePtr Find(const NodePtr& node, const char16_t* name) { return Out(node, &Node::FindChild, name); }

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
    std::string Names() const { return ChildNames(tree_->Children[0]); }

    TxmlTree tree_;
    NodePtr root_, options_;
    int liveBefore_ = 0;
};

}  // namespace

TEST_F(NodeInterface, IidsAndErrorInfoSupport) {
    EXPECT_TRUE(options_.Query<IUnknown>());
    EXPECT_FALSE(options_.Query<IAttributeList>());
    EXPECT_EQ(options_.Query<ISupportErrorInfo>()->InterfaceSupportsErrorInfo(IXMLTreeNode::Iid), S_OK);
    EXPECT_EQ(options_.Query<ISupportErrorInfo>()->InterfaceSupportsErrorInfo(IXMLRawNode::Iid), S_OK);
    ListPtr list = Out(options_, &Node::GetAttributes);
    EXPECT_FALSE(list.Query<IXMLTreeNode>());
    EXPECT_EQ(list.Query<ISupportErrorInfo>()->InterfaceSupportsErrorInfo(IAttributeList::Iid), S_OK);
    EXPECT_EQ(list.Query<ISupportErrorInfo>()->InterfaceSupportsErrorInfo(IXMLTreeNode::Iid), S_FALSE);
}

TEST_F(NodeInterface, ChildrenPathsAndParents) {
    EXPECT_EQ(Out(options_, &Node::GetChildCount), 5);
    EXPECT_EQ(Out(Out(options_, &Node::GetChild, 0), &Node::GetPath), u"Root\\Options\\Advanced");
    EXPECT_FALSE(Out(options_, &Node::GetChild, 5)) << "the index equal to the count answers none";
    NodePtr none;
    EXPECT_EQ(Failure(options_->GetChild(-1, none.Receive())), "List index out of bounds (-1)");
    NodePtr made = Out(root_, &Node::ForcePath, u"A\\\\B\\");
    EXPECT_EQ(RawOf(Out(root_, &Node::ForcePath, u"A\\B")), RawOf(made));
    EXPECT_EQ(Out(made, &Node::GetName), u"B");
    EXPECT_EQ(RawOf(Out(options_, &Node::GetParent)), tree_.Get());
    NodePtr self = Find(options_, u"");  // every found node is a new wrapper
    EXPECT_NE(self.Get(), options_.Get());
    EXPECT_EQ(RawOf(self), RawOf(options_));
    EXPECT_FALSE(Find(options_, u"Missing"));
}

TEST_F(NodeInterface, OutParametersAreClearedOnEntry) {
    NodePtr gone = Find(options_, u"Advanced");
    ListPtr list = Out(gone, &Node::GetAttributes);
    CheckAutoResult(gone->Delete());
    EXPECT_EQ(Out(options_, &Node::GetChildCount), 4);
    EXPECT_EQ(RawOf(gone), nullptr);
    Node* slot = reinterpret_cast<Node*>(&slot);
    for (auto call : {+[](Node* n, Node** s) { return n->ForcePath(u"a", s); }, +[](Node* n, Node** s) { return n->GetParent(s); },
                      +[](Node* n, Node** s) { return n->FindChild(u"a", s); }}) {
        slot = reinterpret_cast<Node*>(&slot);
        EXPECT_NE(Failure(call(gone.Get(), &slot)), "");
        EXPECT_EQ(slot, nullptr);
    }
    CheckAutoResult(options_->ForcePath(u"\\\\", &slot));  // nothing found
    EXPECT_EQ(slot, nullptr);
    CheckAutoResult(root_->GetParent(&slot));
    EXPECT_EQ(slot, nullptr);
    int index = 7;
    EXPECT_NE(Failure(gone->ReadChoice(u"a", u"b", 0, &index)), "");
    EXPECT_EQ(index, 0);
    BSTR text = reinterpret_cast<BSTR>(&text);
    EXPECT_NE(Failure(list->GetValue(u"a", &text)), "");
    EXPECT_EQ(text, nullptr);
    EXPECT_NE(Failure(gone->SetName(u"x")), "");
    EXPECT_NE(Failure(options_->SetParent(gone.Get())), "");
}

TEST_F(NodeInterface, AttributeListsAndSetNode) {
    ListPtr first = Out(options_, &Node::GetAttributes);
    EXPECT_EQ(Out(options_, &Node::GetAttributes).Get(), first.Get());
    NodePtr wrapper = Find(options_, u"");
    ListPtr other = Out(wrapper, &Node::GetAttributes);
    EXPECT_NE(first.Get(), other.Get());
    CheckAutoResult(first->SetText(u"a=1\r\nb=2\nnoequals\rc=x=y"));
    CheckAutoResult(first->SetValue(u"B", u"3"));
    CheckAutoResult(first->SetValue(u"new", u"4"));
    CheckAutoResult(options_->SetAttribute(u"A", u""));  // an empty value deletes
    EXPECT_EQ(Out(other, &IAttributeList::GetText), u"B=3\r\nnoequals\r\nc=x=y\r\nnew=4\r\n");
    EXPECT_EQ(Out(other, &IAttributeList::GetCount), 4);
    EXPECT_EQ(Out(other, &IAttributeList::GetLine, 2), u"c=x=y");
    EXPECT_EQ(Out(other, &IAttributeList::GetLineName, 2), u"c");
    EXPECT_EQ(Out(other, &IAttributeList::GetLineName, 1), u"");
    EXPECT_EQ(Out(other, &IAttributeList::GetValue, u"C"), u"x=y");
    TBStr text;
    EXPECT_EQ(Failure(other->GetLine(4, text.Receive())), "List index out of bounds (4)");
    EXPECT_EQ(Failure(other->GetLineName(-1, text.Receive())), "List index out of bounds (-1)");

    // SetNode rebinds the wrapper; the list handed out before stays with the node it was made for.
    NodePtr advanced = Find(options_, u"Advanced");
    CheckAutoResult(wrapper.Query<IXMLRawNode>()->SetNode(advanced.Get()));
    EXPECT_EQ(RawOf(wrapper), RawOf(advanced));
    EXPECT_EQ(Out(Out(wrapper, &Node::GetAttributes), &IAttributeList::GetText), u"Language=German\r\n");
    wrapper.Reset();  // the list lives on by its own references after its wrapper is gone
    EXPECT_EQ(Out(other, &IAttributeList::GetCount), 4);
    EXPECT_EQ(Failure(advanced.Query<IXMLRawNode>()->SetNode(nullptr)), "A node argument is missing");
    NodePtr foreign(TxInterfacedObject::Create<TForeignNode>(tree_.Get()));
    EXPECT_NE(Failure(advanced.Query<IXMLRawNode>()->SetNode(foreign.Get())), "");
    EXPECT_EQ(Out(advanced, &Node::GetName), u"Advanced") << "a failed SetNode keeps the node";
}

TEST_F(NodeInterface, TypedAttributesNamesAndValues) {
    for (auto [text, expected] : {std::pair{u"1", true}, {u"true", true}, {u"TRUE", true}, {u"True", true},
                                  {u"yes", false}, {u"-1", false}, {u"0", false}, {u"truer", false}}) {
        CheckAutoResult(options_->SetAttribute(u"Flag", text));
        EXPECT_EQ(Out(options_, &Node::GetAttributeBool, u"Flag"), expected) << platform::WideToUtf8(text);
    }
    EXPECT_FALSE(Out(options_, &Node::GetAttributeBool, u"Missing"));
    for (bool value : {false, true}) {
        CheckAutoResult(options_->SetAttributeBool(u"Flag", value));
        EXPECT_EQ(Out(options_, &Node::GetAttribute, u"flag"), value ? u"True" : u"False");
    }
    for (auto [text, expected] : {std::pair{u"12abc", 0}, {u"-5", -5}, {u"+8", 8}, {u"0x10", 0},
                                  {u"2147483647", 2147483647}, {u"2147483648", 0}, {u"", 0}}) {
        CheckAutoResult(options_->SetAttribute(u"Number", text));
        EXPECT_EQ(Out(options_, &Node::GetAttributeInt, u"Number"), expected) << platform::WideToUtf8(text);
    }
    CheckAutoResult(options_->SetAttributeInt(u"Number", -7));
    EXPECT_EQ(Out(options_, &Node::GetAttribute, u"Number"), u"-7");

    NodePtr child = Out(options_, &Node::AddNamedChild, u"Caf\u00e9");
    EXPECT_EQ(RawOf(child)->Name, platform::WideToAnsi(u"Caf\u00e9"));
    CheckAutoResult(child->SetNodeValue(u"text & more"));
    EXPECT_EQ(Out(child, &Node::GetNodeValue), u"text & more");
    CheckAutoResult(child->SetName(u"Renamed"));
    EXPECT_EQ(Out(child, &Node::GetName), u"Renamed");
}

TEST_F(NodeInterface, InsertDeleteExchangeAndMove) {
    NodePtr inserted = Out(options_, &Node::InsertChild, 5);
    EXPECT_EQ(RawOf(options_)->Children.back(), RawOf(inserted));
    EXPECT_EQ(Failure(options_->InsertChild(7, inserted.Receive())), "List index out of bounds (7)");
    EXPECT_FALSE(inserted);
    CheckAutoResult(options_->DeleteChild(5));
    EXPECT_NE(Failure(options_->DeleteChild(5)), "");
    CheckAutoResult(options_->DeleteNamedChild(u"ITEM"));  // only the first of the name goes
    CheckAutoResult(options_->DeleteNamedChild(u"Missing"));
    EXPECT_EQ(Names(), "Advanced,X,Item,Deep");

    NodePtr first = Out(options_, &Node::GetChild, 0), third = Out(options_, &Node::GetChild, 2);
    CheckAutoResult(first->Exchange(third.Get()));
    EXPECT_EQ(Names(), "Item,X,Advanced,Deep");
    NodePtr other = Find(root_, u"Other");
    EXPECT_EQ(Failure(first->Exchange(Find(other, u"Sub").Get())), "List index out of bounds (-1)");
    EXPECT_NE(Failure(root_->Exchange(options_.Get())), "") << "the top has no parent";
    EXPECT_NE(Failure(first->Exchange(nullptr)), "");
    EXPECT_EQ(Names(), "Item,X,Advanced,Deep");

    CheckAutoResult(first->SetParent(other.Get()));
    EXPECT_EQ(ChildNames(RawOf(other)), "Sub,Advanced");
    EXPECT_EQ(Failure(first->SetParent(nullptr)), "A node argument is missing");
    EXPECT_NE(Failure(other->SetParent(first.Get())), "") << "a move below itself";
    NodePtr foreign(TxInterfacedObject::Create<TForeignNode>(RawOf(options_)));
    EXPECT_NE(Failure(first->SetParent(foreign.Get())), "");
    EXPECT_EQ(ChildNames(RawOf(other)), "Sub,Advanced");

    TxmlNode* added = RawOf(Out(options_, &Node::AddChild));
    EXPECT_EQ(added, RawOf(options_)->Children.back());
    CheckAutoResult(options_->ClearChildren());
    EXPECT_EQ(Out(options_, &Node::GetChildCount), 0);
    EXPECT_EQ(Out(options_, &Node::GetAttribute, u"Mode"), u"1") << "attributes stay";
}

TEST_F(NodeInterface, SearchesByNameAndAttribute) {
    int position = -1;
    std::vector<WideString> names;
    while (NodePtr item = Out(options_, &Node::FindNextChild, u"item", &position))
        names.push_back(Out(item, &Node::GetAttribute, u"Name"));
    EXPECT_EQ(names, (std::vector<WideString>{u"A", u"B"}));
    EXPECT_EQ(position, 3) << "the last hit's index stays";
    TxmlNode* options = RawOf(options_);
    EXPECT_EQ(RawOf(Out(options_, &Node::FindChildByAttribute, u"", u"Name", u"&B")), options->Children[3]);
    EXPECT_FALSE(Out(options_, &Node::FindChildByAttribute, u"X", u"Name", u"B"));
    EXPECT_EQ(Out(Out(options_, &Node::FindDescendantByAttribute, u"", u"Kind", u"grand"), &Node::GetName), u"Deeper");
    EXPECT_FALSE(Out(options_, &Node::FindDescendantByAttribute, u"", u"Kind", u"great")) << "three levels down is never examined";
    EXPECT_EQ(RawOf(Out(options_, &Node::FindDescendantByAttribute, u"Item", u"Name", u"A")), options->Children[1]);
    NodePtr a = Out(options_, &Node::FindOrAddChildByAttribute, u"Tool", u"Name", u"Grep");
    NodePtr b = Out(options_, &Node::FindOrAddChildByAttribute, u"Tool", u"Name", u"Grep");
    EXPECT_NE(RawOf(a), RawOf(b)) << "the attribute is not set, so the second call adds again";
    EXPECT_EQ(Names(), "Advanced,Item,X,Item,Deep,Tool,Tool");
    EXPECT_EQ(RawOf(Out(options_, &Node::FindOrAddChildByAttribute, u"Item", u"Name", u"B")), options->Children[3]);
}

// The xml unit's tests cover the orderings and texts; these check the calls arrive with their arguments.
TEST_F(NodeInterface, SortSetsChoicesSaveAndMerge) {
    TxmlTree owner(LoadXmlString("<L><E N=\"10\" /><E N=\"9\" /><E N=\"100\" /></L>"));
    NodePtr l = Find(WrapNode(owner.Get()), u"L");
    CheckAutoResult(l->SortChildren(u"N", true));
    EXPECT_EQ(xmltest::Shape(RawOf(l)), "L(E{N=100},E{N=10},E{N=9})");
    CheckAutoResult(options_->WriteSet(u"Sides", u"Left,Right,Top", 5));
    EXPECT_EQ(Out(options_, &Node::GetAttribute, u"Sides"), u"[Left,Top]");
    EXPECT_EQ(Out(options_, &Node::ReadSet, u"Missing", u"Left,Right,Top", 2u), 2u);
    CheckAutoResult(options_->WriteChoice(u"Align", u"Left,Right;Center", 2));
    EXPECT_EQ(Out(options_, &Node::ReadChoice, u"Align", u"left,right;center", 0), 2);
    EXPECT_NE(Failure(options_->WriteChoice(u"Align", u"Left,Right", -1)), "");

    TempDir folder;
    WideString file = platform::AnsiToWide(folder.File("saved.xml"));
    CheckAutoResult(Find(root_, u"Other")->SaveToFile(file.c_str()));  // children only
    EXPECT_EQ(ReadFile(folder.File("saved.xml")), XmlFileText({"  <Sub />"}));
    WriteFile(folder.File("plain"), "x");
    EXPECT_NE(Failure(root_->SaveToFile(platform::AnsiToWide(folder.File("plain") + "/x.xml").c_str())), "");
    WriteFile(folder.File("merge.xml"), "<Options Mode=\"2\"><Added /></Options><New Kind=\"n\" />");
    CheckAutoResult(root_->MergeFile(platform::AnsiToWide(folder.File("merge.xml")).c_str(), u""));
    // Options differs in its attributes, so it is not the same element: it comes as a new one.
    EXPECT_EQ(ChildNames(tree_.Get()), "Options,Other,Options,New");
    CheckAutoResult(root_->MergeFile(file.c_str(), u"Name"));
    EXPECT_EQ(ChildNames(tree_.Get()), "Options,Other,Options,New,Sub");
}
