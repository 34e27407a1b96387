#pragma once
// The node and attribute interfaces over the XML tree (implemented by XMLImpl).
//
// Every operation follows the status-return convention (InterfacedObject.h): it returns an HRESULT and
// hands its result through the last out-parameter. Text goes in as NUL-terminated UTF-16 (none reads as
// the empty text) and comes out as a BSTR that the caller frees (TBStr). A node out-parameter is cleared
// on entry and receives a new counted reference, or stays none. Inside the tree text is ANSI; each
// operation converts with the system's code page.
//
// A node interface never owns its node: the tree's owner (the store) keeps the tree alive while node
// interfaces are in use, and an interface whose node was destroyed may only be released. Every operation
// that yields a node makes a new wrapper; two interfaces stand for the same node when their GetNode
// results are equal.
#include <cstdint>

#include "platform/com.h"

class TxmlNode;
struct IAttributeList;
struct IXMLTreeNode;

// How the objects of this subsystem reach each other's nodes.
struct IXMLRawNode : IUnknown {
    static constexpr IID Iid = {0xFF422980, 0x01DB, 0x11D6, {0x86, 0x46, 0xA7, 0x42, 0x40, 0x49, 0xE4, 0x43}};

    // The wrapped node itself (none after Delete). Never fails.
    virtual HRESULT STDMETHODCALLTYPE GetNode(TxmlNode** node) = 0;
    // Re-binds the wrapper to source's node; from then on every operation, the attribute operations
    // included, works on that node. Fails for none or for an interface from elsewhere.
    virtual HRESULT STDMETHODCALLTYPE SetNode(IXMLTreeNode* source) = 0;
};

struct IXMLTreeNode : IUnknown {
    static constexpr IID Iid = {0x1381287E, 0x7361, 0x406C, {0x91, 0xD9, 0x01, 0xAB, 0x77, 0xEC, 0x8C, 0x91}};

    // The names from the top of the tree down to the node joined by "\" (Root\Options\Advanced).
    virtual HRESULT STDMETHODCALLTYPE GetPath(BSTR* path) = 0;
    // The child at index; none at or past the count; a negative index fails.
    virtual HRESULT STDMETHODCALLTYPE GetChild(int index, IXMLTreeNode** child) = 0;
    // Walks the "\"-separated path below the node, creating missing elements; none for a path without names.
    virtual HRESULT STDMETHODCALLTYPE ForcePath(const char16_t* path, IXMLTreeNode** node) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetName(BSTR* name) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetName(const char16_t* name) = 0;
    // The attribute's value by name (letter case ignored), empty when absent.
    virtual HRESULT STDMETHODCALLTYPE GetAttribute(const char16_t* name, BSTR* value) = 0;
    // Sets the attribute; an empty value deletes it.
    virtual HRESULT STDMETHODCALLTYPE SetAttribute(const char16_t* name, const char16_t* value) = 0;
    // True for the texts "1" and "True" (A-Z case ignored); false otherwise and when absent.
    virtual HRESULT STDMETHODCALLTYPE GetAttributeBool(const char16_t* name, bool* value) = 0;
    // Writes "True" or "False".
    virtual HRESULT STDMETHODCALLTYPE SetAttributeBool(const char16_t* name, bool value) = 0;
    // The value as a 32-bit integer (optional sign and decimal digits); 0 when absent or not a number.
    virtual HRESULT STDMETHODCALLTYPE GetAttributeInt(const char16_t* name, int* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetAttributeInt(const char16_t* name, int value) = 0;
    // The element text.
    virtual HRESULT STDMETHODCALLTYPE GetNodeValue(BSTR* text) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetNodeValue(const char16_t* text) = 0;
    // The wrapper's attribute list: made at the first call, the same object on later calls (until
    // SetNode re-binds the wrapper, which starts a new one).
    virtual HRESULT STDMETHODCALLTYPE GetAttributes(IAttributeList** list) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetParent(IXMLTreeNode** parent) = 0;
    // Moves the node to the end of newParent's children. Fails for none and for a move below itself.
    virtual HRESULT STDMETHODCALLTYPE SetParent(IXMLTreeNode* newParent) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetChildCount(int* count) = 0;
    // Destroys all children; attributes and text stay.
    virtual HRESULT STDMETHODCALLTYPE ClearChildren() = 0;
    // A new nameless child at index (0 to count); fails outside.
    virtual HRESULT STDMETHODCALLTYPE InsertChild(int index, IXMLTreeNode** child) = 0;
    // Destroys the child at index; fails outside 0 to count - 1.
    virtual HRESULT STDMETHODCALLTYPE DeleteChild(int index) = 0;
    // Destroys the first child of that name, if any.
    virtual HRESULT STDMETHODCALLTYPE DeleteNamedChild(const char16_t* name) = 0;
    // Detaches the node and destroys it with its subtree; the wrapper is left without a node.
    virtual HRESULT STDMETHODCALLTYPE Delete() = 0;
    // Swaps the node and other's node in their parent's child list; fails when they are not siblings.
    virtual HRESULT STDMETHODCALLTYPE Exchange(IXMLTreeNode* other) = 0;
    // The first child of that name; a new wrapper of the node itself for an empty name; none when missing.
    virtual HRESULT STDMETHODCALLTYPE FindChild(const char16_t* name, IXMLTreeNode** child) = 0;
    // Searches the children after *position; on a hit *position receives the child's index. Start at -1.
    virtual HRESULT STDMETHODCALLTYPE FindNextChild(const char16_t* name, int* position, IXMLTreeNode** child) = 0;
    // FindChildByAttribute, or else a new last child named childName (the attribute is not set).
    virtual HRESULT STDMETHODCALLTYPE FindOrAddChildByAttribute(const char16_t* childName, const char16_t* attrName,
                                                                const char16_t* attrValue, IXMLTreeNode** child) = 0;
    // The first child named childName (any name when empty) whose attribute matches attrValue, "&" marks
    // ignored; none when nothing matches.
    virtual HRESULT STDMETHODCALLTYPE FindChildByAttribute(const char16_t* childName, const char16_t* attrName,
                                                           const char16_t* attrValue, IXMLTreeNode** child) = 0;
    // As FindChildByAttribute on the node, then on each child in order; grandchildren are the deepest.
    virtual HRESULT STDMETHODCALLTYPE FindDescendantByAttribute(const char16_t* childName, const char16_t* attrName,
                                                                const char16_t* attrValue, IXMLTreeNode** node) = 0;
    // Sorts the children by name (attrName empty) or by the attribute's numbers and texts.
    virtual HRESULT STDMETHODCALLTYPE SortChildren(const char16_t* attrName, bool descending) = 0;
    // The attribute read as a bit set over the choice list items ("Left,Right;Top").
    virtual HRESULT STDMETHODCALLTYPE ReadSet(const char16_t* attrName, const char16_t* items, std::uint32_t def,
                                              std::uint32_t* bits) = 0;
    virtual HRESULT STDMETHODCALLTYPE WriteSet(const char16_t* attrName, const char16_t* items, std::uint32_t bits) = 0;
    // The position of the attribute's value in the items list, def when it is not there.
    virtual HRESULT STDMETHODCALLTYPE ReadChoice(const char16_t* attrName, const char16_t* items, int def, int* index) = 0;
    // Sets the attribute to the item that index selects among the non-empty items; past the end deletes it.
    virtual HRESULT STDMETHODCALLTYPE WriteChoice(const char16_t* attrName, const char16_t* items, int index) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddChild(IXMLTreeNode** child) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddNamedChild(const char16_t* name, IXMLTreeNode** child) = 0;
    // Loads the file and merges its elements into the node (keyAttr: the attribute that identifies
    // elements; empty compares all attributes).
    virtual HRESULT STDMETHODCALLTYPE MergeFile(const char16_t* fileName, const char16_t* keyAttr) = 0;
    // Writes the node's children and their subtrees as an XML file (the node itself is not written).
    virtual HRESULT STDMETHODCALLTYPE SaveToFile(const char16_t* fileName) = 0;
};

// The attribute lines of one node: name=value, names compared without regard to letter case.
struct IAttributeList : IUnknown {
    static constexpr IID Iid = {0x50C4D488, 0x85A1, 0x40A3, {0x83, 0xDC, 0xE9, 0x93, 0x55, 0x9A, 0x3C, 0x6F}};

    // Replaces all lines by the lines of text (split at CR, LF and CR LF).
    virtual HRESULT STDMETHODCALLTYPE SetText(const char16_t* text) = 0;
    // All lines, each followed by CR LF.
    virtual HRESULT STDMETHODCALLTYPE GetText(BSTR* text) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetValue(const char16_t* name, BSTR* value) = 0;
    // Replaces or appends name=value; an empty value deletes the first line of that name.
    virtual HRESULT STDMETHODCALLTYPE SetValue(const char16_t* name, const char16_t* value) = 0;
    // The whole line at index; fails outside 0 to count - 1.
    virtual HRESULT STDMETHODCALLTYPE GetLine(int index, BSTR* line) = 0;
    // The name part of the line at index (empty without "="); fails outside the range.
    virtual HRESULT STDMETHODCALLTYPE GetLineName(int index, BSTR* name) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCount(int* count) = 0;
};
