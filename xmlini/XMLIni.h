#pragma once
// TXMLIni: the settings store of XMLIniIntf.h over one XML tree that it owns.
//
// Made with a file name, whose file it loads; then held through IXMLIni. The last Release destroys the
// tree (each node writes its trace line) and writes nothing: unsaved changes go. The file is written only
// by Save and by SetFileName before it switches files.
#include <optional>

#include "platform/file_lock.h"
#include "xml/Node.h"
#include "xmlini/InterfacedObject.h"
#include "xmlini/XMLIniIntf.h"

// A value operation without an open key. Its only message is "Open key before writing".
class IniException : public Exception {
public:
    IniException() : Exception("Open key before writing") {}
};

class TXMLIni : public TxImplements<TxInterfacedObject, IXMLIni> {
public:
    HRESULT STDMETHODCALLTYPE SetFileName(const char16_t* name) override;
    HRESULT STDMETHODCALLTYPE GetFileName(BSTR* name) override;
    HRESULT STDMETHODCALLTYPE GetReadOnly(bool* value) override;
    HRESULT STDMETHODCALLTYPE SetCurrentKey(IXMLTreeNode* key) override;
    HRESULT STDMETHODCALLTYPE GetCurrentKey(IXMLTreeNode** key) override;
    HRESULT STDMETHODCALLTYPE GetKey(IXMLTreeNode** key) override;
    HRESULT STDMETHODCALLTYPE GetRootNode(IXMLTreeNode** root) override;
    HRESULT STDMETHODCALLTYPE SetRootNode(IXMLTreeNode* node) override;
    HRESULT STDMETHODCALLTYPE SetReadOnly(bool value) override;
    HRESULT STDMETHODCALLTYPE GetCurrentKeyNode(TxmlNode** node) override;
    HRESULT STDMETHODCALLTYPE SetCurrentKeyNode(TxmlNode* node) override;
    HRESULT STDMETHODCALLTYPE ClearKey() override;
    HRESULT STDMETHODCALLTYPE DeleteKey() override;
    HRESULT STDMETHODCALLTYPE GetValueCount(int* count) override;
    HRESULT STDMETHODCALLTYPE Save(bool* written) override;
    HRESULT STDMETHODCALLTYPE CheckTree(bool* intact) override;
    HRESULT STDMETHODCALLTYPE AddValueLine(const char16_t* line) override;
    HRESULT STDMETHODCALLTYPE VerifyFile() override;
    HRESULT STDMETHODCALLTYPE KeyExists(const char16_t* path, bool* exists) override;
    HRESULT STDMETHODCALLTYPE OpenKey(const char16_t* path, bool canCreate, int index, bool* opened) override;
    HRESULT STDMETHODCALLTYPE OpenKeyByValues(const char16_t* path, const char16_t* values, bool canCreate,
                                              bool* opened) override;
    HRESULT STDMETHODCALLTYPE RenewKey(const char16_t* path1, const char16_t* path2, IXMLTreeNode** key) override;
    HRESULT STDMETHODCALLTYPE WriteString(const char16_t* name, const char16_t* value) override;
    HRESULT STDMETHODCALLTYPE ReadString(const char16_t* name, const char16_t* def, BSTR* value) override;
    HRESULT STDMETHODCALLTYPE WriteInteger(const char16_t* name, int value) override;
    HRESULT STDMETHODCALLTYPE ReadInteger(const char16_t* name, int def, int* value) override;
    HRESULT STDMETHODCALLTYPE WriteBool(const char16_t* name, bool value) override;
    HRESULT STDMETHODCALLTYPE ReadBool(const char16_t* name, bool def, bool* value) override;
    HRESULT STDMETHODCALLTYPE ReadRect(const char16_t* name, TIniRect def, TIniRect* value) override;
    HRESULT STDMETHODCALLTYPE WriteRect(const char16_t* name, TIniRect value) override;
    HRESULT STDMETHODCALLTYPE ReadPoint(const char16_t* name, TIniPoint def, TIniPoint* value) override;
    HRESULT STDMETHODCALLTYPE WritePoint(const char16_t* name, TIniPoint value) override;
    HRESULT STDMETHODCALLTYPE WriteStrings(const char16_t* name, const char16_t* text, int maxIndex) override;
    HRESULT STDMETHODCALLTYPE ReadStrings(const char16_t* name, BSTR* text) override;
    HRESULT STDMETHODCALLTYPE ReadChoice(const char16_t* name, const char16_t* items, int def, int* index) override;
    HRESULT STDMETHODCALLTYPE WriteChoice(const char16_t* name, const char16_t* items, int index) override;
    HRESULT STDMETHODCALLTYPE SortKeys(const char16_t* valueName) override;

protected:
    friend class TxInterfacedObject;
    // Loads the file (SetFileName); raises what loading raises. An empty name gives a store without a tree.
    explicit TXMLIni(const WideString& fileName);
    // Destroys the tree.
    void ReleaseOwned() override;

private:
    void SwitchFile(const WideString& name);
    bool SaveFile() noexcept;
    // The current key when a key is open; raises IniException otherwise.
    TxmlNode* OpenedKey() const;
    // The current key when it is a node; raises IniException for none.
    TxmlNode* AnyKey() const;
    // Where a path walk starts: the current key for a relative path, the top of the tree otherwise
    // (which then becomes the current key). relative tells which it was; the names follow.
    TxmlNode* StartWalk(std::string_view path);
    bool OpenPath(std::string_view path, bool canCreate, int index);

    WideString fileName_;
    TxmlNode* currentKey_ = nullptr;
    bool readOnly_ = false;
    TxmlNode* root_ = nullptr;
};

// Makes a store over fileName and answers its interface; raises when the file cannot be read.
TInterfacePtr<IXMLIni> NewXMLIni(const WideString& fileName);

// The lock that writers of a store's file take (platform/file_lock.h); Save holds it while it writes. A
// caller that loads, changes and saves a file holds it from before the load to after the save, so that
// no other writer's change is lost in between. With makeFolder the file's folder is made first, as Save
// would make it; without, a file in a missing folder gets no lock (there is nothing to guard yet).
std::optional<platform::FileLock> LockXmlIniFile(const WideString& fileName, bool makeFolder);
