#include "platform/registry.h"

#include "platform/files.h"

#include <windows.h>

namespace platform {
namespace {

HKEY Key(void* handle) { return static_cast<HKEY>(handle); }

// Outer backslashes are dropped (Software\Quarnel\Velmora3\ is a usual spelling); an empty part of the
// name is refused the same way on both targets.
bool NormalisePath(std::string_view path, std::string& out) {
    while (!path.empty() && path.front() == '\\') path.remove_prefix(1);
    while (!path.empty() && path.back() == '\\') path.remove_suffix(1);
    if (path.find("\\\\") != std::string_view::npos) return false;
    out = std::string(path);
    return true;
}

long QueryValue(void* handle, std::string_view name, DWORD& type, std::string& data) {
    if (!handle) return kRegInvalidHandle;
    const std::string valueName(name);
    DWORD size = 0;
    LONG rc = RegQueryValueExA(Key(handle), valueName.c_str(), nullptr, &type, nullptr, &size);
    // The value may grow between the two calls; ask again until the buffer is large enough.
    while (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA) {
        data.assign(size + 1, '\0');
        DWORD got = size;
        rc = RegQueryValueExA(Key(handle), valueName.c_str(), nullptr, &type,
                              reinterpret_cast<BYTE*>(data.data()), &got);
        if (rc == ERROR_SUCCESS) {
            data.resize(got);
            return kRegSuccess;
        }
        if (rc != ERROR_MORE_DATA) break;
        size = got > size ? got : size * 2 + 16;
    }
    return rc;
}

long SetValue(void* handle, std::string_view name, DWORD type, const void* data, size_t size) {
    if (!handle) return kRegInvalidHandle;
    const std::string valueName(name);
    return RegSetValueExA(Key(handle), valueName.c_str(), 0, type, static_cast<const BYTE*>(data), DWORD(size));
}

long DeleteTree(HKEY parent, const std::string& name) {
    HKEY key = nullptr;
    LONG rc = RegOpenKeyExA(parent, name.c_str(), 0, KEY_READ | KEY_WRITE, &key);
    if (rc != ERROR_SUCCESS) return rc;
    char child[256];
    for (;;) {
        DWORD length = sizeof child;
        rc = RegEnumKeyExA(key, 0, child, &length, nullptr, nullptr, nullptr, nullptr);
        if (rc != ERROR_SUCCESS) break;
        rc = DeleteTree(key, child);
        if (rc != ERROR_SUCCESS) break;
    }
    RegCloseKey(key);
    if (rc != ERROR_NO_MORE_ITEMS) return rc;
    return RegDeleteKeyA(parent, name.c_str());
}

}  // namespace

AnsiString RegistryErrorText(long code) { return SystemErrorText(int(code)); }

RegistryKey::~RegistryKey() { Close(); }

RegistryKey::RegistryKey(RegistryKey&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }

RegistryKey& RegistryKey::operator=(RegistryKey&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = other.handle_;
        other.handle_ = nullptr;
    }
    return *this;
}

long RegistryKey::Open(std::string_view path, bool create) {
    Close();
    std::string name;
    if (!NormalisePath(path, name)) return kRegInvalidParameter;
    HKEY key = nullptr;
    LONG rc;
    if (create) {
        rc = RegCreateKeyExA(HKEY_CURRENT_USER, name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                             KEY_READ | KEY_WRITE, nullptr, &key, nullptr);
    } else {
        rc = RegOpenKeyExA(HKEY_CURRENT_USER, name.c_str(), 0, KEY_READ | KEY_WRITE, &key);
        // A key the user may only read still serves the readers.
        if (rc == ERROR_ACCESS_DENIED) rc = RegOpenKeyExA(HKEY_CURRENT_USER, name.c_str(), 0, KEY_READ, &key);
    }
    if (rc != ERROR_SUCCESS) return rc;
    handle_ = key;
    return kRegSuccess;
}

bool RegistryKey::Valid() const { return handle_ != nullptr; }

void RegistryKey::Close() {
    if (handle_) RegCloseKey(Key(handle_));
    handle_ = nullptr;
}

long RegistryKey::GetValueType(std::string_view name, uint32_t& type) const {
    if (!handle_) return kRegInvalidHandle;
    const std::string valueName(name);
    DWORD found = 0;
    const LONG rc = RegQueryValueExA(Key(handle_), valueName.c_str(), nullptr, &found, nullptr, nullptr);
    if (rc != ERROR_SUCCESS) return rc;
    type = found;
    return kRegSuccess;
}

bool RegistryKey::HasValue(std::string_view name) const {
    uint32_t type = 0;
    return GetValueType(name, type) == kRegSuccess;
}

long RegistryKey::ReadString(std::string_view name, AnsiString& text) const {
    DWORD type = 0;
    std::string data;
    if (long rc = QueryValue(handle_, name, type, data)) return rc;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return kRegWrongType;
    const size_t zero = data.find('\0');
    if (zero != std::string::npos) data.resize(zero);
    text = std::move(data);
    return kRegSuccess;
}

long RegistryKey::ReadBinary(std::string_view name, std::vector<uint8_t>& bytes) const {
    DWORD type = 0;
    std::string data;
    if (long rc = QueryValue(handle_, name, type, data)) return rc;
    if (type != REG_BINARY) return kRegWrongType;
    bytes.assign(data.begin(), data.end());
    return kRegSuccess;
}

long RegistryKey::ReadDword(std::string_view name, uint32_t& value) const {
    DWORD type = 0;
    std::string data;
    if (long rc = QueryValue(handle_, name, type, data)) return rc;
    if (type != REG_DWORD || data.size() != 4) return kRegWrongType;
    value = 0;
    for (int i = 3; i >= 0; --i) value = value * 256 + static_cast<unsigned char>(data[size_t(i)]);
    return kRegSuccess;
}

long RegistryKey::WriteString(std::string_view name, std::string_view text, bool expandable) {
    const std::string data(text);  // with its terminating zero
    return SetValue(handle_, name, expandable ? REG_EXPAND_SZ : REG_SZ, data.c_str(), data.size() + 1);
}

long RegistryKey::WriteBinary(std::string_view name, const std::vector<uint8_t>& bytes) {
    return SetValue(handle_, name, REG_BINARY, bytes.data(), bytes.size());
}

long RegistryKey::WriteDword(std::string_view name, uint32_t value) {
    const DWORD data = value;
    return SetValue(handle_, name, REG_DWORD, &data, sizeof data);
}

long RegistryKey::DeleteValue(std::string_view name) {
    if (!handle_) return kRegInvalidHandle;
    const std::string valueName(name);
    return RegDeleteValueA(Key(handle_), valueName.c_str());
}

long RegistryKey::DeleteKey(std::string_view path) {
    std::string name;
    if (!NormalisePath(path, name) || name.empty()) return kRegInvalidParameter;
    return DeleteTree(HKEY_CURRENT_USER, name);
}

}  // namespace platform
