#pragma once
// IXMLIni: an INI-style settings store kept in an XML file (implemented by TXMLIni, XMLIni.h).
//
// A key is an element, addressed by element names separated by "\"; its values are the element's
// attributes (names compared without regard to case, an absent value reads as empty, writing an empty
// value deletes it). The store has one current key: open a key, then read and write its values.
//
// Paths: a path that starts with "\" is relative to the current key, any other starts at the top of the
// tree; empty names (doubled, leading or trailing "\") are skipped, so "\A\\B\" and "A\B" name the same
// elements; names compare with A-Z case ignored; a path without names opens the top (or, when relative,
// stays at the current key).
//
// Value operations need an open key: a current key that is neither none nor the top of the tree.
// Without one they fail with "Open key before writing", for reading and writing alike.
//
// Every operation follows the status-return convention of InterfacedObject.h (CheckAutoResult on the
// caller side); text goes in as NUL-terminated UTF-16 and comes out as a BSTR owned by the caller.
#include "platform/com.h"
#include "xmlini/ValueText.h"
#include "xmlini/xXMLIntf.h"

struct IXMLIni : IUnknown {
    static constexpr IID Iid = {0x85007060, 0x3DAE, 0x11D5, {0x86, 0x45, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

    // Saves the current file (unless read-only), then, for a different name, loads that file as the
    // store's tree (a missing file gives an empty tree) and makes its top the current key. When the new
    // file cannot be read, the store keeps its file and tree.
    virtual HRESULT STDMETHODCALLTYPE SetFileName(const char16_t* name) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetFileName(BSTR* name) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetReadOnly(bool* value) = 0;
    // The current key := key's node, or none.
    virtual HRESULT STDMETHODCALLTYPE SetCurrentKey(IXMLTreeNode* key) = 0;
    // A new node interface of the current key, or none.
    virtual HRESULT STDMETHODCALLTYPE GetCurrentKey(IXMLTreeNode** key) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetKey(IXMLTreeNode** key) = 0;
    // A new node interface of the top of the tree, or none when the store has no tree.
    virtual HRESULT STDMETHODCALLTYPE GetRootNode(IXMLTreeNode** root) = 0;
    // Makes node's tree the store's own (destroyed on release or on the next file switch). The previous
    // tree is neither saved nor destroyed and the current key stays.
    virtual HRESULT STDMETHODCALLTYPE SetRootNode(IXMLTreeNode* node) = 0;
    // A read-only store's Save writes nothing.
    virtual HRESULT STDMETHODCALLTYPE SetReadOnly(bool value) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCurrentKeyNode(TxmlNode** node) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetCurrentKeyNode(TxmlNode* node) = 0;
    // Deletes every value of the current key and all its subkeys.
    virtual HRESULT STDMETHODCALLTYPE ClearKey() = 0;
    // Destroys the current key with its subtree; no key is open afterwards.
    virtual HRESULT STDMETHODCALLTYPE DeleteKey() = 0;
    // Number of value lines of the current key; 0 when there is none.
    virtual HRESULT STDMETHODCALLTYPE GetValueCount(int* count) = 0;
    // Writes the tree to the file, making missing folders; false when read-only or when writing failed
    // (the file then stays as it was). Never fails as an operation. Holds the file's lock
    // (platform/file_lock.h) while it writes, so that writers of one file take turns.
    virtual HRESULT STDMETHODCALLTYPE Save(bool* written) = 0;
    // True for an intact tree.
    virtual HRESULT STDMETHODCALLTYPE CheckTree(bool* intact) = 0;
    // Appends line unchanged as the current key's last value line.
    virtual HRESULT STDMETHODCALLTYPE AddValueLine(const char16_t* line) = 0;
    // Reads the file into a separate tree that is discarded; fails when the file cannot be read.
    virtual HRESULT STDMETHODCALLTYPE VerifyFile() = 0;
    // Walks the path without creating; the current key moves along as far as it gets.
    virtual HRESULT STDMETHODCALLTYPE KeyExists(const char16_t* path, bool* exists) = 0;
    // Opens the key at path. index selects among elements of the last name: the first after position
    // index of the parent's children (-1, or anything below it: the first). Missing elements are made when canCreate, otherwise
    // no key is open and the answer is false.
    virtual HRESULT STDMETHODCALLTYPE OpenKey(const char16_t* path, bool canCreate, int index, bool* opened) = 0;
    // Opens the key at path whose last element carries every name=value line of values; when canCreate,
    // a missing key is made in full (ancestors by name, the key with the values).
    virtual HRESULT STDMETHODCALLTYPE OpenKeyByValues(const char16_t* path, const char16_t* values, bool canCreate,
                                                      bool* opened) = 0;
    // The key at path1 keeps its content under the last name of path2; an empty key named like path1's
    // last name follows it as the last sibling. Answers the key of path2, which is left open.
    virtual HRESULT STDMETHODCALLTYPE RenewKey(const char16_t* path1, const char16_t* path2, IXMLTreeNode** key) = 0;
    virtual HRESULT STDMETHODCALLTYPE WriteString(const char16_t* name, const char16_t* value) = 0;
    // def when the value is absent or empty.
    virtual HRESULT STDMETHODCALLTYPE ReadString(const char16_t* name, const char16_t* def, BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE WriteInteger(const char16_t* name, int value) = 0;
    // def when the value is absent or not a whole 32-bit decimal number (optional "-" or "+").
    virtual HRESULT STDMETHODCALLTYPE ReadInteger(const char16_t* name, int def, int* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE WriteBool(const char16_t* name, bool value) = 0;
    // def when absent or empty; true for "1" and "true" in any A-Z case; false otherwise.
    virtual HRESULT STDMETHODCALLTYPE ReadBool(const char16_t* name, bool def, bool* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE ReadRect(const char16_t* name, TIniRect def, TIniRect* value) = 0;
    // Writes "[Left,Top,Right,Bottom]".
    virtual HRESULT STDMETHODCALLTYPE WriteRect(const char16_t* name, TIniRect value) = 0;
    virtual HRESULT STDMETHODCALLTYPE ReadPoint(const char16_t* name, TIniPoint def, TIniPoint* value) = 0;
    // Writes "[X,Y]".
    virtual HRESULT STDMETHODCALLTYPE WritePoint(const char16_t* name, TIniPoint value) = 0;
    // Stores the lines of text as "Item" elements of the child element name of the current key, replacing
    // its former items; maxIndex > 0 is the highest line index stored.
    virtual HRESULT STDMETHODCALLTYPE WriteStrings(const char16_t* name, const char16_t* text, int maxIndex) = 0;
    // The texts of the child element's children joined by CR LF, trimmed at both ends; empty when missing.
    virtual HRESULT STDMETHODCALLTYPE ReadStrings(const char16_t* name, BSTR* text) = 0;
    virtual HRESULT STDMETHODCALLTYPE ReadChoice(const char16_t* name, const char16_t* items, int def, int* index) = 0;
    virtual HRESULT STDMETHODCALLTYPE WriteChoice(const char16_t* name, const char16_t* items, int index) = 0;
    // Sorts the subkeys of the current key by the value valueName (numbers, then texts), ascending.
    virtual HRESULT STDMETHODCALLTYPE SortKeys(const char16_t* valueName) = 0;
};
