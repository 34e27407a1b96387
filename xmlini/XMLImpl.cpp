#include "xmlini/XMLImpl.h"

#include <algorithm>
#include <string>
#include <utility>

#include "xml/Parser.h"
#include "xmlini/ValueText.h"

namespace {

AnsiString IndexText(int index) { return "List index out of bounds (" + std::to_string(index) + ")"; }

}  // namespace

AnsiString XmlFileName(std::u16string_view name) {
#ifdef _WIN32
    return platform::WideToAnsi(name);
#else
    AnsiString native = platform::WideToUtf8(name);
    std::replace(native.begin(), native.end(), '\\', '/');
    return native;
#endif
}

TInterfacePtr<IXMLTreeNode> WrapNode(TxmlNode* node) {
    if (!node) return nullptr;
    return TInterfacePtr<IXMLTreeNode>(TxInterfacedObject::Create<TXMLNodeWrap>(node));
}

void SetOutNode(IXMLTreeNode** out, TxmlNode* node) {
    CheckOutSlot(out);
    *out = WrapNode(node).Detach();
}

TxmlNode* NodeOfInterface(IXMLTreeNode* node, bool allowNone) {
    if (!node) {
        if (allowNone) return nullptr;
        throw Exception("A node argument is missing");
    }
    TInterfacePtr<IXMLRawNode> raw = TInterfacePtr<IXMLTreeNode>(node).Query<IXMLRawNode>();
    if (!raw) throw Exception("Interface not supported: the node does not come from this XML library");
    TxmlNode* result = nullptr;
    CheckAutoResult(raw->GetNode(&result));
    if (!result) throw Exception("The node of the argument no longer exists");
    return result;
}

// ---- TXMLNodeWrap ----------------------------------------------------------------------------------

TxmlNode* TXMLNodeWrap::Node() const {
    if (!node_) throw Exception("The node of this interface was deleted");
    return node_;
}

HRESULT TXMLNodeWrap::GetNode(TxmlNode** node) {
    if (!node) return E_POINTER;
    *node = node_;
    return S_OK;
}

HRESULT TXMLNodeWrap::SetNode(IXMLTreeNode* source) {
    return SafeCall([&] {
        TxmlNode* node = NodeOfInterface(source, false);
        node_ = node;
        // The list made for the old node stays with whoever holds it; this wrapper starts a new one.
        attributeList_ = nullptr;
        attributeListCache_.Reset();
    });
}

HRESULT TXMLNodeWrap::GetPath(BSTR* path) {
    return SafeCall([&] {
        ClearOut(path);
        SetOutAnsi(path, GetNodePath(Node()));
    });
}

HRESULT TXMLNodeWrap::GetChild(int index, IXMLTreeNode** child) {
    return SafeCall([&] {
        ClearOut(child);
        SetOutNode(child, ::GetChild(Node(), index));
    });
}

HRESULT TXMLNodeWrap::ForcePath(const char16_t* path, IXMLTreeNode** node) {
    return SafeCall([&] {
        ClearOut(node);
        SetOutNode(node, ::ForcePath(Node(), InAnsi(path)));
    });
}

HRESULT TXMLNodeWrap::GetName(BSTR* name) {
    return SafeCall([&] {
        ClearOut(name);
        SetOutAnsi(name, Node()->Name);
    });
}

HRESULT TXMLNodeWrap::SetName(const char16_t* name) {
    return SafeCall([&] { Node()->Name = InAnsi(name); });
}

HRESULT TXMLNodeWrap::GetAttribute(const char16_t* name, BSTR* value) {
    return SafeCall([&] {
        ClearOut(value);
        SetOutAnsi(value, ::GetAttribute(Node(), InAnsi(name)));
    });
}

HRESULT TXMLNodeWrap::SetAttribute(const char16_t* name, const char16_t* value) {
    return SafeCall([&] { ::SetAttribute(Node(), InAnsi(name), InAnsi(value)); });
}

HRESULT TXMLNodeWrap::GetAttributeBool(const char16_t* name, bool* value) {
    return SafeCall([&] {
        ClearOut(value);
        *value = ParseBool(::GetAttribute(Node(), InAnsi(name)));
    });
}

HRESULT TXMLNodeWrap::SetAttributeBool(const char16_t* name, bool value) {
    return SafeCall([&] { ::SetAttribute(Node(), InAnsi(name), FormatBool(value)); });
}

HRESULT TXMLNodeWrap::GetAttributeInt(const char16_t* name, int* value) {
    return SafeCall([&] {
        ClearOut(value);
        *value = ParseInt32(::GetAttribute(Node(), InAnsi(name)), 0);
    });
}

HRESULT TXMLNodeWrap::SetAttributeInt(const char16_t* name, int value) {
    return SafeCall([&] { ::SetAttribute(Node(), InAnsi(name), std::to_string(value)); });
}

HRESULT TXMLNodeWrap::GetNodeValue(BSTR* text) {
    return SafeCall([&] {
        ClearOut(text);
        SetOutAnsi(text, Node()->Value);
    });
}

HRESULT TXMLNodeWrap::SetNodeValue(const char16_t* text) {
    return SafeCall([&] { Node()->Value = InAnsi(text); });
}

HRESULT TXMLNodeWrap::GetAttributes(IAttributeList** list) {
    return SafeCall([&] {
        ClearOut(list);
        TxmlNode* node = Node();
        if (!attributeListCache_) {
            TAttributeList* made = TxInterfacedObject::Create<TAttributeList>(node);
            attributeListCache_ = TInterfacePtr<IAttributeList>(made);
            attributeList_ = made;
        }
        *list = TInterfacePtr<IAttributeList>(attributeListCache_).Detach();
    });
}

HRESULT TXMLNodeWrap::GetParent(IXMLTreeNode** parent) {
    return SafeCall([&] {
        ClearOut(parent);
        SetOutNode(parent, Node()->Parent);
    });
}

HRESULT TXMLNodeWrap::SetParent(IXMLTreeNode* newParent) {
    return SafeCall([&] { MoveNode(Node(), NodeOfInterface(newParent, false)); });
}

HRESULT TXMLNodeWrap::GetChildCount(int* count) {
    return SafeCall([&] {
        ClearOut(count);
        *count = ::GetChildCount(Node());
    });
}

HRESULT TXMLNodeWrap::ClearChildren() {
    return SafeCall([&] { ::ClearChildren(Node()); });
}

HRESULT TXMLNodeWrap::InsertChild(int index, IXMLTreeNode** child) {
    return SafeCall([&] {
        ClearOut(child);
        SetOutNode(child, ::InsertChild(Node(), index));
    });
}

HRESULT TXMLNodeWrap::DeleteChild(int index) {
    return SafeCall([&] { ::DeleteChild(Node(), index); });
}

HRESULT TXMLNodeWrap::DeleteNamedChild(const char16_t* name) {
    return SafeCall([&] { ::DeleteNamedChild(Node(), InAnsi(name)); });
}

HRESULT TXMLNodeWrap::Delete() {
    return SafeCall([&] {
        FreeNode(Node());
        // The node is gone: this wrapper and its list must not reach it again.
        node_ = nullptr;
        if (attributeList_) attributeList_->node_ = nullptr;
    });
}

HRESULT TXMLNodeWrap::Exchange(IXMLTreeNode* other) {
    return SafeCall([&] {
        TxmlNode* node = Node();
        TxmlNode* otherNode = NodeOfInterface(other, false);
        TxmlNode* parent = node->Parent;
        if (!parent) throw Exception("The node has no parent to exchange places in");
        auto& children = parent->Children;
        auto i = std::find(children.begin(), children.end(), node);
        auto j = std::find(children.begin(), children.end(), otherNode);
        if (j == children.end()) throw EListError(IndexText(-1));
        std::iter_swap(i, j);
    });
}

HRESULT TXMLNodeWrap::FindChild(const char16_t* name, IXMLTreeNode** child) {
    return SafeCall([&] {
        ClearOut(child);
        SetOutNode(child, ::FindChild(Node(), InAnsi(name)));
    });
}

HRESULT TXMLNodeWrap::FindNextChild(const char16_t* name, int* position, IXMLTreeNode** child) {
    return SafeCall([&] {
        ClearOut(child);
        CheckOutSlot(position);
        int from = std::max(*position, -1);
        TxmlNode* found = ::FindNextChild(Node(), InAnsi(name), from);
        if (found) *position = from;
        SetOutNode(child, found);
    });
}

HRESULT TXMLNodeWrap::FindOrAddChildByAttribute(const char16_t* childName, const char16_t* attrName,
                                                const char16_t* attrValue, IXMLTreeNode** child) {
    return SafeCall([&] {
        ClearOut(child);
        TxmlNode* node = Node();
        TxmlNode* found = ::FindChildByAttribute(node, InAnsi(childName), InAnsi(attrName), InAnsi(attrValue));
        if (!found) found = ::AddNamedChild(node, InAnsi(childName));
        SetOutNode(child, found);
    });
}

HRESULT TXMLNodeWrap::FindChildByAttribute(const char16_t* childName, const char16_t* attrName,
                                           const char16_t* attrValue, IXMLTreeNode** child) {
    return SafeCall([&] {
        ClearOut(child);
        SetOutNode(child, ::FindChildByAttribute(Node(), InAnsi(childName), InAnsi(attrName), InAnsi(attrValue)));
    });
}

HRESULT TXMLNodeWrap::FindDescendantByAttribute(const char16_t* childName, const char16_t* attrName,
                                                const char16_t* attrValue, IXMLTreeNode** node) {
    return SafeCall([&] {
        ClearOut(node);
        TxmlNode* self = Node();
        AnsiString child = InAnsi(childName), attr = InAnsi(attrName), value = InAnsi(attrValue);
        TxmlNode* found = ::FindChildByAttribute(self, child, attr, value);
        for (size_t i = 0; !found && i < self->Children.size(); ++i)
            found = ::FindChildByAttribute(self->Children[i], child, attr, value);
        SetOutNode(node, found);
    });
}

HRESULT TXMLNodeWrap::SortChildren(const char16_t* attrName, bool descending) {
    return SafeCall([&] { ::SortChildren(Node(), InAnsi(attrName), descending); });
}

HRESULT TXMLNodeWrap::ReadSet(const char16_t* attrName, const char16_t* items, std::uint32_t def, std::uint32_t* bits) {
    return SafeCall([&] {
        ClearOut(bits);
        *bits = ReadSetAttribute(Node(), InAnsi(attrName), InAnsi(items), def);
    });
}

HRESULT TXMLNodeWrap::WriteSet(const char16_t* attrName, const char16_t* items, std::uint32_t bits) {
    return SafeCall([&] { WriteSetAttribute(Node(), InAnsi(attrName), InAnsi(items), bits); });
}

HRESULT TXMLNodeWrap::ReadChoice(const char16_t* attrName, const char16_t* items, int def, int* index) {
    return SafeCall([&] {
        ClearOut(index);
        *index = ReadChoiceAttribute(Node(), InAnsi(attrName), InAnsi(items), def);
    });
}

HRESULT TXMLNodeWrap::WriteChoice(const char16_t* attrName, const char16_t* items, int index) {
    return SafeCall([&] { WriteChoiceAttribute(Node(), InAnsi(attrName), InAnsi(items), index); });
}

HRESULT TXMLNodeWrap::AddChild(IXMLTreeNode** child) {
    return SafeCall([&] {
        ClearOut(child);
        SetOutNode(child, ::AddChild(Node()));
    });
}

HRESULT TXMLNodeWrap::AddNamedChild(const char16_t* name, IXMLTreeNode** child) {
    return SafeCall([&] {
        ClearOut(child);
        SetOutNode(child, ::AddNamedChild(Node(), InAnsi(name)));
    });
}

HRESULT TXMLNodeWrap::MergeFile(const char16_t* fileName, const char16_t* keyAttr) {
    return SafeCall([&] { MergeXmlFile(Node(), XmlFileName(InText(fileName)), InAnsi(keyAttr)); });
}

HRESULT TXMLNodeWrap::SaveToFile(const char16_t* fileName) {
    return SafeCall([&] { SaveXmlFile(Node(), XmlFileName(InText(fileName))); });
}

// ---- TAttributeList --------------------------------------------------------------------------------

TxmlAttributes& TAttributeList::Lines() const {
    if (!node_) throw Exception("The node of this attribute list was deleted");
    return node_->Attributes;
}

HRESULT TAttributeList::SetText(const char16_t* text) {
    return SafeCall([&] { Lines().SetText(InAnsi(text)); });
}

HRESULT TAttributeList::GetText(BSTR* text) {
    return SafeCall([&] {
        ClearOut(text);
        SetOutAnsi(text, Lines().Text());
    });
}

HRESULT TAttributeList::GetValue(const char16_t* name, BSTR* value) {
    return SafeCall([&] {
        ClearOut(value);
        SetOutAnsi(value, Lines().Value(InAnsi(name)));
    });
}

HRESULT TAttributeList::SetValue(const char16_t* name, const char16_t* value) {
    return SafeCall([&] { Lines().SetValue(InAnsi(name), InAnsi(value)); });
}

HRESULT TAttributeList::GetLine(int index, BSTR* line) {
    return SafeCall([&] {
        ClearOut(line);
        SetOutAnsi(line, Lines().Line(index));
    });
}

HRESULT TAttributeList::GetLineName(int index, BSTR* name) {
    return SafeCall([&] {
        ClearOut(name);
        SetOutAnsi(name, Lines().LineName(index));
    });
}

HRESULT TAttributeList::GetCount(int* count) {
    return SafeCall([&] {
        ClearOut(count);
        *count = Lines().Count();
    });
}
