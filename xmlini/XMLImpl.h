#pragma once
// The node wrapper and the attribute list: thin conversion layers from the interfaces of xXMLIntf.h to the
// tree operations of the XML unit. Neither owns its node.
#include "xml/Node.h"
#include "xmlini/InterfacedObject.h"
#include "xmlini/xXMLIntf.h"

class TAttributeList;

// Wraps one node behind IXMLTreeNode and IXMLRawNode.
class TXMLNodeWrap : public TxImplements<TxInterfacedObject, IXMLRawNode, IXMLTreeNode> {
public:
    // IXMLRawNode
    HRESULT STDMETHODCALLTYPE GetNode(TxmlNode** node) override;
    HRESULT STDMETHODCALLTYPE SetNode(IXMLTreeNode* source) override;

    // IXMLTreeNode
    HRESULT STDMETHODCALLTYPE GetPath(BSTR* path) override;
    HRESULT STDMETHODCALLTYPE GetChild(int index, IXMLTreeNode** child) override;
    HRESULT STDMETHODCALLTYPE ForcePath(const char16_t* path, IXMLTreeNode** node) override;
    HRESULT STDMETHODCALLTYPE GetName(BSTR* name) override;
    HRESULT STDMETHODCALLTYPE SetName(const char16_t* name) override;
    HRESULT STDMETHODCALLTYPE GetAttribute(const char16_t* name, BSTR* value) override;
    HRESULT STDMETHODCALLTYPE SetAttribute(const char16_t* name, const char16_t* value) override;
    HRESULT STDMETHODCALLTYPE GetAttributeBool(const char16_t* name, bool* value) override;
    HRESULT STDMETHODCALLTYPE SetAttributeBool(const char16_t* name, bool value) override;
    HRESULT STDMETHODCALLTYPE GetAttributeInt(const char16_t* name, int* value) override;
    HRESULT STDMETHODCALLTYPE SetAttributeInt(const char16_t* name, int value) override;
    HRESULT STDMETHODCALLTYPE GetNodeValue(BSTR* text) override;
    HRESULT STDMETHODCALLTYPE SetNodeValue(const char16_t* text) override;
    HRESULT STDMETHODCALLTYPE GetAttributes(IAttributeList** list) override;
    HRESULT STDMETHODCALLTYPE GetParent(IXMLTreeNode** parent) override;
    HRESULT STDMETHODCALLTYPE SetParent(IXMLTreeNode* newParent) override;
    HRESULT STDMETHODCALLTYPE GetChildCount(int* count) override;
    HRESULT STDMETHODCALLTYPE ClearChildren() override;
    HRESULT STDMETHODCALLTYPE InsertChild(int index, IXMLTreeNode** child) override;
    HRESULT STDMETHODCALLTYPE DeleteChild(int index) override;
    HRESULT STDMETHODCALLTYPE DeleteNamedChild(const char16_t* name) override;
    HRESULT STDMETHODCALLTYPE Delete() override;
    HRESULT STDMETHODCALLTYPE Exchange(IXMLTreeNode* other) override;
    HRESULT STDMETHODCALLTYPE FindChild(const char16_t* name, IXMLTreeNode** child) override;
    HRESULT STDMETHODCALLTYPE FindNextChild(const char16_t* name, int* position, IXMLTreeNode** child) override;
    HRESULT STDMETHODCALLTYPE FindOrAddChildByAttribute(const char16_t* childName, const char16_t* attrName,
                                                        const char16_t* attrValue, IXMLTreeNode** child) override;
    HRESULT STDMETHODCALLTYPE FindChildByAttribute(const char16_t* childName, const char16_t* attrName,
                                                   const char16_t* attrValue, IXMLTreeNode** child) override;
    HRESULT STDMETHODCALLTYPE FindDescendantByAttribute(const char16_t* childName, const char16_t* attrName,
                                                        const char16_t* attrValue, IXMLTreeNode** node) override;
    HRESULT STDMETHODCALLTYPE SortChildren(const char16_t* attrName, bool descending) override;
    HRESULT STDMETHODCALLTYPE ReadSet(const char16_t* attrName, const char16_t* items, std::uint32_t def,
                                      std::uint32_t* bits) override;
    HRESULT STDMETHODCALLTYPE WriteSet(const char16_t* attrName, const char16_t* items, std::uint32_t bits) override;
    HRESULT STDMETHODCALLTYPE ReadChoice(const char16_t* attrName, const char16_t* items, int def, int* index) override;
    HRESULT STDMETHODCALLTYPE WriteChoice(const char16_t* attrName, const char16_t* items, int index) override;
    HRESULT STDMETHODCALLTYPE AddChild(IXMLTreeNode** child) override;
    HRESULT STDMETHODCALLTYPE AddNamedChild(const char16_t* name, IXMLTreeNode** child) override;
    HRESULT STDMETHODCALLTYPE MergeFile(const char16_t* fileName, const char16_t* keyAttr) override;
    HRESULT STDMETHODCALLTYPE SaveToFile(const char16_t* fileName) override;

protected:
    friend class TxInterfacedObject;
    explicit TXMLNodeWrap(TxmlNode* node) : node_(node) {}

private:
    // The wrapped node; raises when it was deleted through this wrapper.
    TxmlNode* Node() const;

    TxmlNode* node_;
    // AttributeListCache: one counted reference, kept until the wrapper goes or is re-bound.
    TInterfacePtr<IAttributeList> attributeListCache_;
    TAttributeList* attributeList_ = nullptr;
};

// The attribute lines of one node behind IAttributeList.
class TAttributeList : public TxImplements<TxInterfacedObject, IAttributeList> {
public:
    HRESULT STDMETHODCALLTYPE SetText(const char16_t* text) override;
    HRESULT STDMETHODCALLTYPE GetText(BSTR* text) override;
    HRESULT STDMETHODCALLTYPE GetValue(const char16_t* name, BSTR* value) override;
    HRESULT STDMETHODCALLTYPE SetValue(const char16_t* name, const char16_t* value) override;
    HRESULT STDMETHODCALLTYPE GetLine(int index, BSTR* line) override;
    HRESULT STDMETHODCALLTYPE GetLineName(int index, BSTR* name) override;
    HRESULT STDMETHODCALLTYPE GetCount(int* count) override;

protected:
    friend class TxInterfacedObject;
    friend class TXMLNodeWrap;
    explicit TAttributeList(TxmlNode* node) : node_(node) {}

private:
    TxmlAttributes& Lines() const;
    TxmlNode* node_;
};

// The form of a file name that the XML unit's file functions take: the ANSI bytes on Windows; on Linux the
// system's own form, UTF-8 with "\" as a folder separator (as platform::NativePath makes it), so that
// names beyond the code page and names built the Windows way both work.
AnsiString XmlFileName(std::u16string_view name);

// A new node interface over node (counted for the caller), or none for none.
TInterfacePtr<IXMLTreeNode> WrapNode(TxmlNode* node);
// Stores a new node interface over node in *out, or none.
void SetOutNode(IXMLTreeNode** out, TxmlNode* node);
// The node behind an interface of this subsystem, taken through IXMLRawNode. Raises for an interface
// from elsewhere; none gives none when allowNone, and raises otherwise.
TxmlNode* NodeOfInterface(IXMLTreeNode* node, bool allowNone);
