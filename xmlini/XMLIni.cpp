#include "xmlini/XMLIni.h"

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <filesystem>
#include <system_error>

#include "platform/file_lock.h"
#include "platform/files.h"
#include "platform/text.h"
#include "xml/Parser.h"
#include "xmlini/XMLImpl.h"

namespace {

// The names of a path: split at "\", empty names skipped, blanks kept.
std::vector<std::string_view> PathNames(std::string_view path) {
    std::vector<std::string_view> names;
    size_t i = 0;
    while (i <= path.size()) {
        size_t end = path.find('\\', i);
        if (end == std::string_view::npos) end = path.size();
        if (end > i) names.push_back(path.substr(i, end - i));
        i = end + 1;
    }
    return names;
}

bool IsRelative(std::string_view path) { return !path.empty() && path.front() == '\\'; }

bool IsWithin(const TxmlNode* node, const TxmlNode* ancestor) {
    for (const TxmlNode* n = node; n; n = n->Parent)
        if (n == ancestor) return true;
    return false;
}

// Where a file name's folder ends. ":" closes a drive prefix on Windows only; on Linux it is a plain
// character of file names.
size_t LastSeparator(std::string_view fileName) {
#ifdef _WIN32
    return fileName.find_last_of("\\/:");
#else
    return fileName.find_last_of("\\/");
#endif
}

// Makes the folder with its missing parents; the name is in XmlFileName's form.
void MakeFolders(const AnsiString& folder) {
#ifdef _WIN32
    platform::CreateDirectories(folder);
#else
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(folder), error);
    if (error) throw EInOutError("Cannot create folder \"" + folder + "\". " + error.message(), error.value());
#endif
}

bool FolderExists(const AnsiString& folder) {
#ifdef _WIN32
    return platform::DirectoryExists(folder);
#else
    std::error_code error;
    return std::filesystem::is_directory(std::filesystem::path(folder), error);
#endif
}

// The folder part of a file name without its trailing separator ("C:\" keeps its own); empty for a bare
// file name, which is saved in the current folder.
AnsiString FolderOf(const AnsiString& fileName) {
    size_t separator = LastSeparator(fileName);
    if (separator == AnsiString::npos) return {};
    AnsiString folder = fileName.substr(0, separator + 1);
    bool driveRoot = folder.size() == 3 && folder[1] == ':' && (folder[2] == '\\' || folder[2] == '/');
    if (!driveRoot && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
    return folder;
}

}  // namespace

std::optional<platform::FileLock> LockXmlIniFile(const WideString& fileName, bool makeFolder) {
    const AnsiString file = XmlFileName(fileName);
    const AnsiString folder = FolderOf(file);
    if (!folder.empty()) {
        if (makeFolder) MakeFolders(folder);
        else if (!FolderExists(folder)) return std::nullopt;
    }
    return std::optional<platform::FileLock>(std::in_place, file);
}

TInterfacePtr<IXMLIni> NewXMLIni(const WideString& fileName) {
    return TInterfacePtr<IXMLIni>(TxInterfacedObject::Create<TXMLIni>(fileName));
}

TXMLIni::TXMLIni(const WideString& fileName) { SwitchFile(fileName); }

void TXMLIni::ReleaseOwned() {
    currentKey_ = nullptr;
    DestroyNode(std::exchange(root_, nullptr));
    TxImplements::ReleaseOwned();
}

void TXMLIni::SwitchFile(const WideString& name) {
    if (!fileName_.empty()) SaveFile();
    if (name == fileName_) return;
    // Loading first: a file that cannot be read leaves the store with its own file and tree.
    TxmlNode* loaded = LoadXmlFile(XmlFileName(name));
    TxmlNode* old = std::exchange(root_, loaded);
    currentKey_ = loaded;
    fileName_ = name;
    DestroyNode(old);
}

bool TXMLIni::SaveFile() noexcept {
    if (readOnly_) return false;
    try {
        AnsiString file = XmlFileName(fileName_);
        if (file.empty() || !root_) return false;
        // Writers of one file take turns; a caller holding the lock since its load (xmlini) keeps it.
        std::optional<platform::FileLock> lock = LockXmlIniFile(fileName_, true);
        SaveXmlFile(root_, file);
        return true;
    } catch (...) {
        return false;
    }
}

TxmlNode* TXMLIni::OpenedKey() const {
    if (!currentKey_ || currentKey_ == root_) throw IniException();
    return currentKey_;
}

TxmlNode* TXMLIni::AnyKey() const {
    if (!currentKey_) throw IniException();
    return currentKey_;
}

TxmlNode* TXMLIni::StartWalk(std::string_view path) {
    if (IsRelative(path)) return currentKey_;
    currentKey_ = root_;
    return root_;
}

bool TXMLIni::OpenPath(std::string_view path, bool canCreate, int index) {
    std::vector<std::string_view> names = PathNames(path);
    TxmlNode* key = StartWalk(path);
    if (!names.empty() && !key) {
        if (IsRelative(path)) throw IniException();
        throw Exception("The store has no file, so it has no keys");
    }
    for (size_t i = 0; i < names.size(); ++i) {
        TxmlNode* child;
        if (i + 1 == names.size()) {
            int position = std::max(index, -1);
            child = ::FindNextChild(key, names[i], position);
        } else {
            child = ::FindChild(key, names[i]);
        }
        if (!child) {
            if (!canCreate) {
                currentKey_ = nullptr;
                return false;
            }
            child = ::AddNamedChild(key, names[i]);
        }
        key = child;
        currentKey_ = key;
    }
    return true;
}

HRESULT TXMLIni::SetFileName(const char16_t* name) {
    return SafeCall([&] { SwitchFile(InText(name)); });
}

HRESULT TXMLIni::GetFileName(BSTR* name) {
    return SafeCall([&] {
        ClearOut(name);
        SetOutText(name, fileName_);
    });
}

HRESULT TXMLIni::GetReadOnly(bool* value) {
    if (!value) return E_POINTER;
    *value = readOnly_;
    return S_OK;
}

HRESULT TXMLIni::SetCurrentKey(IXMLTreeNode* key) {
    return SafeCall([&] { currentKey_ = NodeOfInterface(key, true); });
}

HRESULT TXMLIni::GetCurrentKey(IXMLTreeNode** key) {
    return SafeCall([&] {
        ClearOut(key);
        SetOutNode(key, currentKey_);
    });
}

HRESULT TXMLIni::GetKey(IXMLTreeNode** key) { return GetCurrentKey(key); }

HRESULT TXMLIni::GetRootNode(IXMLTreeNode** root) {
    return SafeCall([&] {
        ClearOut(root);
        SetOutNode(root, root_);
    });
}

HRESULT TXMLIni::SetRootNode(IXMLTreeNode* node) {
    return SafeCall([&] { root_ = NodeOfInterface(node, true); });
}

HRESULT TXMLIni::SetReadOnly(bool value) {
    readOnly_ = value;
    return S_OK;
}

HRESULT TXMLIni::GetCurrentKeyNode(TxmlNode** node) {
    if (!node) return E_POINTER;
    *node = currentKey_;
    return S_OK;
}

HRESULT TXMLIni::SetCurrentKeyNode(TxmlNode* node) {
    currentKey_ = node;
    return S_OK;
}

HRESULT TXMLIni::ClearKey() {
    return SafeCall([&] {
        TxmlNode* key = OpenedKey();
        key->Attributes.Clear();
        ::ClearChildren(key);
    });
}

HRESULT TXMLIni::DeleteKey() {
    return SafeCall([&] {
        TxmlNode* key = OpenedKey();
        if (!key->Parent) throw Exception("The current key has no parent to be deleted from");
        ::RemoveChild(key->Parent, key);
        // The element is gone; leaving it as the current key would let the next call reach freed memory.
        currentKey_ = nullptr;
    });
}

HRESULT TXMLIni::GetValueCount(int* count) {
    return SafeCall([&] {
        ClearOut(count);
        *count = currentKey_ ? currentKey_->Attributes.Count() : 0;
    });
}

HRESULT TXMLIni::Save(bool* written) {
    return SafeCall([&] {
        ClearOut(written);
        *written = SaveFile();
    });
}

HRESULT TXMLIni::CheckTree(bool* intact) {
    return SafeCall([&] {
        ClearOut(intact);
        *intact = !root_ || ::CheckTree(root_);
    });
}

HRESULT TXMLIni::AddValueLine(const char16_t* line) {
    return SafeCall([&] { OpenedKey()->Attributes.Add(InAnsi(line)); });
}

HRESULT TXMLIni::VerifyFile() {
    return SafeCall([&] {
        TxmlTree check(LoadXmlFile(XmlFileName(fileName_)));
        check.Release();
    });
}

HRESULT TXMLIni::KeyExists(const char16_t* path, bool* exists) {
    return SafeCall([&] {
        ClearOut(exists);
        AnsiString text = InAnsi(path);
        std::vector<std::string_view> names = PathNames(text);
        TxmlNode* key = StartWalk(text);
        if (!names.empty() && !key) {
            if (IsRelative(text)) throw IniException();
            throw Exception("The store has no file, so it has no keys");
        }
        for (std::string_view name : names) {
            TxmlNode* child = ::FindChild(key, name);
            if (!child) return;  // the current key stays at the last element found
            key = child;
            currentKey_ = key;
        }
        *exists = true;
    });
}

HRESULT TXMLIni::OpenKey(const char16_t* path, bool canCreate, int index, bool* opened) {
    return SafeCall([&] {
        ClearOut(opened);
        *opened = OpenPath(InAnsi(path), canCreate, index);
    });
}

HRESULT TXMLIni::OpenKeyByValues(const char16_t* path, const char16_t* values, bool canCreate, bool* opened) {
    return SafeCall([&] {
        ClearOut(opened);
        AnsiString text = InAnsi(path), valueText = InAnsi(values);
        std::vector<std::string_view> names = PathNames(text);
        TxmlNode* start = StartWalk(text);
        if (!names.empty() && !start) {
            if (IsRelative(text)) throw IniException();
            throw Exception("The store has no file, so it has no keys");
        }
        TxmlNode* key = start;
        for (size_t i = 0; i < names.size(); ++i) {
            TxmlNode* child = i + 1 == names.size() ? FindChildByAttributes(key, names[i], valueText)
                                                    : ::FindChild(key, names[i]);
            if (child) {
                key = child;
                currentKey_ = key;
                continue;
            }
            currentKey_ = nullptr;
            if (!canCreate) return;
            // Made in full: missing ancestors by name, the key itself with the values.
            std::string_view shortened = text;
            if (!shortened.empty() && (shortened.back() == '\\' || shortened.back() == '/')) shortened.remove_suffix(1);
            size_t separator = shortened.find_last_of("\\:");
            std::string_view keyName = separator == std::string_view::npos ? shortened : shortened.substr(separator + 1);
            if (keyName.empty()) return;
            std::string_view parentPath = separator == std::string_view::npos ? std::string_view() : shortened.substr(0, separator + 1);
            if (IsRelative(parentPath)) currentKey_ = start;
            if (!OpenPath(parentPath, true, -1)) return;
            TxmlNode* made = ::AddNamedChild(currentKey_, keyName);
            made->Attributes.SetText(valueText);
            currentKey_ = made;
            *opened = true;
            return;
        }
        *opened = true;
    });
}

HRESULT TXMLIni::RenewKey(const char16_t* path1, const char16_t* path2, IXMLTreeNode** key) {
    return SafeCall([&] {
        ClearOut(key);
        OpenPath(InAnsi(path1), true, -1);
        TxmlNode* a = currentKey_;
        OpenPath(InAnsi(path2), true, -1);
        TxmlNode* b = currentKey_;
        if (!b || b == root_ || !a || a == root_) throw IniException();
        if (!a->Parent) throw Exception("The key to renew has no parent");
        // Clearing b must not take a's content with it.
        if (IsWithin(a, b)) throw Exception("A key cannot be renewed into itself or into one of its ancestors");
        b->Attributes.Clear();
        ::ClearChildren(b);
        MoveNode(b, a->Parent);
        std::swap(a->Name, b->Name);
        SetOutNode(key, b);
    });
}

HRESULT TXMLIni::WriteString(const char16_t* name, const char16_t* value) {
    return SafeCall([&] { ::SetAttribute(OpenedKey(), InAnsi(name), InAnsi(value)); });
}

HRESULT TXMLIni::ReadString(const char16_t* name, const char16_t* def, BSTR* value) {
    return SafeCall([&] {
        ClearOut(value);
        AnsiString text = ::GetAttribute(OpenedKey(), InAnsi(name));
        if (text.empty()) SetOutText(value, InText(def));
        else SetOutAnsi(value, text);
    });
}

HRESULT TXMLIni::WriteInteger(const char16_t* name, int value) {
    return SafeCall([&] { ::SetAttribute(OpenedKey(), InAnsi(name), std::to_string(value)); });
}

HRESULT TXMLIni::ReadInteger(const char16_t* name, int def, int* value) {
    return SafeCall([&] {
        ClearOut(value);
        *value = ParseInt32(::GetAttribute(OpenedKey(), InAnsi(name)), def);
    });
}

HRESULT TXMLIni::WriteBool(const char16_t* name, bool value) {
    return SafeCall([&] { ::SetAttribute(OpenedKey(), InAnsi(name), FormatBool(value)); });
}

HRESULT TXMLIni::ReadBool(const char16_t* name, bool def, bool* value) {
    return SafeCall([&] {
        ClearOut(value);
        AnsiString text = ::GetAttribute(OpenedKey(), InAnsi(name));
        *value = text.empty() ? def : ParseBool(text);
    });
}

HRESULT TXMLIni::ReadRect(const char16_t* name, TIniRect def, TIniRect* value) {
    return SafeCall([&] {
        ClearOut(value);
        AnsiString text = ::GetAttribute(OpenedKey(), InAnsi(name));
        if (text.empty()) text = FormatRect(def);
        *value = ParseRect(text, def);
    });
}

HRESULT TXMLIni::WriteRect(const char16_t* name, TIniRect value) {
    return SafeCall([&] { ::SetAttribute(OpenedKey(), InAnsi(name), FormatRect(value)); });
}

HRESULT TXMLIni::ReadPoint(const char16_t* name, TIniPoint def, TIniPoint* value) {
    return SafeCall([&] {
        ClearOut(value);
        *value = ParsePoint(::GetAttribute(OpenedKey(), InAnsi(name)), def);
    });
}

HRESULT TXMLIni::WritePoint(const char16_t* name, TIniPoint value) {
    return SafeCall([&] { ::SetAttribute(OpenedKey(), InAnsi(name), FormatPoint(value)); });
}

HRESULT TXMLIni::WriteStrings(const char16_t* name, const char16_t* text, int maxIndex) {
    return SafeCall([&] {
        TxmlNode* key = AnyKey();
        AnsiString listName = InAnsi(name);
        // An empty name would find the key itself and clear all its subkeys.
        if (listName.empty()) throw Exception("A string list needs a name");
        TxmlNode* list = ::FindChild(key, listName);
        if (!list) list = ::AddNamedChild(key, listName);
        const AnsiString all = InAnsi(text);
        // The text ends at a NUL byte.
        const std::vector<std::string_view> lines = platform::SplitLines(std::string_view(all).substr(0, all.find('\0')));
        ::ClearChildren(list);
        int last = int(lines.size()) - 1;
        if (maxIndex > 0) last = std::min(maxIndex, last);
        for (int i = 0; i <= last; ++i) ::AddNamedChild(list, "Item")->Value = AnsiString(lines[size_t(i)]);
    });
}

HRESULT TXMLIni::ReadStrings(const char16_t* name, BSTR* text) {
    return SafeCall([&] {
        ClearOut(text);
        TxmlNode* list = ::FindChild(AnyKey(), InAnsi(name));
        AnsiString joined;
        if (list)
            for (const TxmlNode* item : list->Children) joined += item->Value + "\r\n";
        SetOutAnsi(text, platform::TrimControl(joined));
    });
}

HRESULT TXMLIni::ReadChoice(const char16_t* name, const char16_t* items, int def, int* index) {
    return SafeCall([&] {
        ClearOut(index);
        *index = ReadChoiceAttribute(AnyKey(), InAnsi(name), InAnsi(items), def);
    });
}

HRESULT TXMLIni::WriteChoice(const char16_t* name, const char16_t* items, int index) {
    return SafeCall([&] { WriteChoiceAttribute(OpenedKey(), InAnsi(name), InAnsi(items), index); });
}

HRESULT TXMLIni::SortKeys(const char16_t* valueName) {
    return SafeCall([&] { ::SortChildren(OpenedKey(), InAnsi(valueName), false); });
}
