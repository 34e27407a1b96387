#include "xmlini/XMLImpl.h"

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "xml/Parser.h"

namespace {

using NodePtr = TInterfacePtr<IXMLTreeNode>;
using ListPtr = TInterfacePtr<IAttributeList>;
using Node = IXMLTreeNode;
using List = IAttributeList;
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
        options_ = Find(root_, u"Options");
    }
    void TearDown() override {
        options_.Reset();
        root_.Reset();
        EXPECT_EQ(LiveObjects().Count(), liveBefore_) << "node interfaces left referenced";
    }
    std::string Names() const { return ChildNames(tree_->Children[0]); }

    int liveBefore_ = LiveObjects().Count();
    TxmlTree tree_{LoadXmlString("<Options Mode=\"1\"><Advanced Language=\"German\" /><Item Name=\"A\" /><X /><Item Name=\"B\" />"
                                 "<Deep><Deeper Kind=\"grand\"><Deepest Kind=\"great\" /></Deeper></Deep></Options><Other><Sub /></Other>")};
    NodePtr root_ = WrapNode(tree_.Get()), options_;
};

}  // namespace

TEST_F(NodeInterface, InterfacesChildrenPathsAndParents) {
    EXPECT_FALSE(options_.Query<IAttributeList>());
    EXPECT_EQ(options_.Query<ISupportErrorInfo>()->InterfaceSupportsErrorInfo(IXMLRawNode::Iid), S_OK);
    ListPtr list = Out(options_, &Node::GetAttributes);
    EXPECT_FALSE(list.Query<IXMLTreeNode>());
    EXPECT_EQ(list.Query<ISupportErrorInfo>()->InterfaceSupportsErrorInfo(IAttributeList::Iid), S_OK);
    EXPECT_EQ(list.Query<ISupportErrorInfo>()->InterfaceSupportsErrorInfo(IXMLTreeNode::Iid), S_FALSE);

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
}

TEST_F(NodeInterface, OutParametersAreClearedOnEntry) {
    NodePtr gone = Find(options_, u"Advanced");
    ListPtr list = Out(gone, &Node::GetAttributes);
    CheckAutoResult(gone->Delete());
    EXPECT_EQ(Names(), "Item,X,Item,Deep");
    EXPECT_EQ(RawOf(gone), nullptr);
    Node* slot = reinterpret_cast<Node*>(&slot);
    EXPECT_NE(Failure(gone->ForcePath(u"a", &slot)), "");
    EXPECT_EQ(slot, nullptr);
    slot = reinterpret_cast<Node*>(&slot);
    EXPECT_NE(Failure(gone->GetParent(&slot)), "");
    EXPECT_EQ(slot, nullptr);
    int index = 7;
    EXPECT_NE(Failure(gone->ReadChoice(u"a", u"b", 0, &index)), "");
    EXPECT_EQ(index, 0);
    BSTR text = reinterpret_cast<BSTR>(&text);
    EXPECT_NE(Failure(list->GetValue(u"a", &text)), "");
    EXPECT_EQ(text, nullptr);
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
    EXPECT_EQ(Out(other, &List::GetText), u"B=3\r\nnoequals\r\nc=x=y\r\nnew=4\r\n");
    EXPECT_EQ(Out(other, &List::GetCount), 4);
    EXPECT_EQ(Out(other, &List::GetLine, 2), u"c=x=y");
    EXPECT_EQ(Out(other, &List::GetLineName, 2) + Out(other, &List::GetLineName, 1), u"c");
    EXPECT_EQ(Out(other, &List::GetValue, u"C"), u"x=y");
    TBStr text;
    EXPECT_EQ(Failure(other->GetLine(4, text.Receive())), "List index out of bounds (4)");
    EXPECT_EQ(Failure(other->GetLineName(-1, text.Receive())), "List index out of bounds (-1)");

    // SetNode rebinds the wrapper; the list handed out before stays with the node it was made for.
    NodePtr advanced = Find(options_, u"Advanced");
    CheckAutoResult(wrapper.Query<IXMLRawNode>()->SetNode(advanced.Get()));
    EXPECT_EQ(Out(Out(wrapper, &Node::GetAttributes), &List::GetText), u"Language=German\r\n");
    wrapper.Reset();  // the list lives on by its own references after its wrapper is gone
    EXPECT_EQ(Out(other, &List::GetCount), 4);
    EXPECT_EQ(Failure(advanced.Query<IXMLRawNode>()->SetNode(nullptr)), "A node argument is missing");
    NodePtr foreign(TxInterfacedObject::Create<TForeignNode>(tree_.Get()));
    EXPECT_NE(Failure(advanced.Query<IXMLRawNode>()->SetNode(foreign.Get())), "");
    EXPECT_EQ(Out(advanced, &Node::GetName), u"Advanced") << "a failed SetNode keeps the node";
}

// The store's tests read the typed texts in full; these check the calls arrive with their arguments.
TEST_F(NodeInterface, TypedAttributesNamesValuesSortSetsAndChoices) {
    CheckAutoResult(options_->SetAttribute(u"Flag", u"TRUE"));
    EXPECT_TRUE(Out(options_, &Node::GetAttributeBool, u"Flag"));
    EXPECT_FALSE(Out(options_, &Node::GetAttributeBool, u"Missing"));
    CheckAutoResult(options_->SetAttributeBool(u"Flag", false));
    CheckAutoResult(options_->SetAttribute(u"Number", u"-5"));
    EXPECT_EQ(Out(options_, &Node::GetAttributeInt, u"Number"), -5);
    EXPECT_EQ(Out(options_, &Node::GetAttributeInt, u"Flag"), 0);
    CheckAutoResult(options_->SetAttributeInt(u"Number", -7));
    CheckAutoResult(options_->WriteSet(u"Sides", u"Left,Right,Top", 5));
    EXPECT_EQ(Out(options_, &Node::ReadSet, u"Missing", u"Left,Right,Top", 2u), 2u);
    CheckAutoResult(options_->WriteChoice(u"Align", u"Left,Right;Center", 2));
    EXPECT_EQ(Out(options_, &Node::ReadChoice, u"Align", u"left,right;center", 0), 2);
    EXPECT_NE(Failure(options_->WriteChoice(u"Align", u"Left,Right", -1)), "");
    EXPECT_EQ(Out(Out(options_, &Node::GetAttributes), &List::GetText),
              u"Mode=1\r\nFlag=False\r\nNumber=-7\r\nSides=[Left,Top]\r\nAlign=Center\r\n");
    CheckAutoResult(options_->SortChildren(u"Name", true));
    EXPECT_EQ(Names().substr(0, 19) + GetAttribute(tree_->Children[0]->Children[0], "Name"), "Item,Item,Advanced,B");

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
    EXPECT_EQ(Names(), "Advanced,X,Item,Deep");

    NodePtr first = Out(options_, &Node::GetChild, 0), third = Out(options_, &Node::GetChild, 2);
    CheckAutoResult(first->Exchange(third.Get()));
    EXPECT_EQ(Names(), "Item,X,Advanced,Deep");
    NodePtr other = Find(root_, u"Other");
    EXPECT_EQ(Failure(first->Exchange(Find(other, u"Sub").Get())), "List index out of bounds (-1)");
    EXPECT_NE(Failure(root_->Exchange(options_.Get())), "") << "the top has no parent";
    EXPECT_EQ(Names(), "Item,X,Advanced,Deep");

    CheckAutoResult(first->SetParent(other.Get()));
    EXPECT_EQ(Failure(first->SetParent(nullptr)), "A node argument is missing");
    EXPECT_NE(Failure(other->SetParent(first.Get())), "") << "a move below itself";
    NodePtr foreign(TxInterfacedObject::Create<TForeignNode>(RawOf(options_)));
    EXPECT_NE(Failure(first->SetParent(foreign.Get())), "");
    EXPECT_EQ(ChildNames(RawOf(other)), "Sub,Advanced");
    TxmlNode* added = RawOf(Out(options_, &Node::AddChild));
    EXPECT_EQ(added, RawOf(options_)->Children.back());
    CheckAutoResult(options_->ClearChildren());
    EXPECT_EQ(xmltest::Shape(tree_->Children[0]), "Options{Mode=1}") << "attributes stay";
}

TEST_F(NodeInterface, SearchesSaveAndMerge) {
    int position = -1;
    std::vector<WideString> names;
    while (NodePtr item = Out(options_, &Node::FindNextChild, u"item", &position)) names.push_back(Out(item, &Node::GetAttribute, u"Name"));
    EXPECT_EQ(names, (std::vector<WideString>{u"A", u"B"}));
    EXPECT_EQ(position, 3) << "the last hit's index stays";
    TxmlNode* options = RawOf(options_);
    EXPECT_EQ(RawOf(Out(options_, &Node::FindChildByAttribute, u"", u"Name", u"&B")), options->Children[3]);
    EXPECT_EQ(Out(Out(options_, &Node::FindDescendantByAttribute, u"", u"Kind", u"grand"), &Node::GetName), u"Deeper");
    EXPECT_FALSE(Out(options_, &Node::FindDescendantByAttribute, u"", u"Kind", u"great")) << "three levels down is never examined";
    EXPECT_EQ(RawOf(Out(options_, &Node::FindDescendantByAttribute, u"Item", u"Name", u"A")), options->Children[1]);
    Out(options_, &Node::FindOrAddChildByAttribute, u"Tool", u"Name", u"Grep");
    Out(options_, &Node::FindOrAddChildByAttribute, u"Tool", u"Name", u"Grep");  // the attribute is not set: added again
    EXPECT_EQ(RawOf(Out(options_, &Node::FindOrAddChildByAttribute, u"Item", u"Name", u"B")), options->Children[3]);
    EXPECT_EQ(Names(), "Advanced,Item,X,Item,Deep,Tool,Tool");

    TempDir folder;
    WideString file = platform::AnsiToWide(folder.File("saved.xml"));
    CheckAutoResult(Find(root_, u"Other")->SaveToFile(file.c_str()));  // children only
    EXPECT_EQ(ReadFile(folder.File("saved.xml")), XmlFileText({"  <Sub />"}));
    EXPECT_NE(Failure(root_->SaveToFile(platform::AnsiToWide(folder.File("saved.xml/x.xml")).c_str())), "");
    WriteFile(folder.File("merge.xml"), "<Options Mode=\"2\"><Added /></Options><New Kind=\"n\" />");
    CheckAutoResult(root_->MergeFile(platform::AnsiToWide(folder.File("merge.xml")).c_str(), u""));
    // Options differs in its attributes, so it is not the same element: it comes as a new one.
    EXPECT_EQ(ChildNames(tree_.Get()), "Options,Other,Options,New");
    CheckAutoResult(root_->MergeFile(file.c_str(), u"Name"));
    EXPECT_EQ(ChildNames(tree_.Get()), "Options,Other,Options,New,Sub");
}
