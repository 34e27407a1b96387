#include "platform/files.h"

#include <windows.h>

namespace platform {
namespace {

AnsiString SystemMessage(DWORD code) {
    char* buffer = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
        MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), reinterpret_cast<char*>(&buffer), 0, nullptr);
    AnsiString text;
    if (length && buffer) text.assign(buffer, length);
    if (buffer) LocalFree(buffer);
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text.empty() ? "error " + std::to_string(code) : text;
}

[[noreturn]] void RaiseIo(const std::string& what, std::string_view path, DWORD code) {
    throw EInOutError(what + " \"" + std::string(path) + "\": " + SystemMessage(code), int(code));
}

class Handle {
public:
    explicit Handle(HANDLE h) : h_(h) {}
    ~Handle() { if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return h_; }
    bool Close() {
        const bool ok = CloseHandle(h_) != 0;
        h_ = INVALID_HANDLE_VALUE;
        return ok;
    }
private:
    HANDLE h_;
};

bool WriteAll(HANDLE h, std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD chunk = bytes.size() > 0x10000000 ? 0x10000000 : DWORD(bytes.size());
        DWORD written = 0;
        if (!WriteFile(h, bytes.data(), chunk, &written, nullptr)) return false;
        bytes.remove_prefix(written);
    }
    return true;
}

}  // namespace

std::string NativePath(std::string_view path) { return std::string(path); }

bool FileExists(std::string_view path) {
    const std::string name(path);
    const DWORD attributes = GetFileAttributesA(name.c_str());
    return !name.empty() && attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(std::string_view path) {
    const std::string name(path);
    const DWORD attributes = GetFileAttributesA(name.c_str());
    return !name.empty() && attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void CreateDirectories(std::string_view path) {
    const std::string name(path);
    for (size_t pos = 1; pos <= name.size(); ++pos) {
        if (pos < name.size() && name[pos] != '\\' && name[pos] != '/') continue;
        const std::string part = name.substr(0, pos);
        // Skip drive roots ("C:") and UNC server parts that cannot be created.
        if (part.size() == 2 && part[1] == ':') continue;
        if (DirectoryExists(part)) continue;
        if (!CreateDirectoryA(part.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
            RaiseIo("Cannot create folder", path, GetLastError());
    }
    if (!DirectoryExists(path)) RaiseIo("Cannot create folder", path, ERROR_PATH_NOT_FOUND);
}

std::string ReadWholeFile(std::string_view path) {
    const std::string name(path);
    Handle file(CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) RaiseIo("Cannot open file", path, GetLastError());
    std::string bytes;
    char buffer[65536];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr)) RaiseIo("Cannot read file", path, GetLastError());
        if (got == 0) break;
        bytes.append(buffer, got);
    }
    return bytes;
}

void WriteFileAtomically(std::string_view path, std::string_view bytes) {
    const std::string name(path);
    const size_t slash = name.find_last_of("\\/");
    std::string folder = slash == std::string::npos ? std::string(".") : name.substr(0, slash + 1);
    if (folder.size() == 2 && folder[1] == ':') folder += '.';  // "C:name" is relative to C:'s current folder
    char temp[MAX_PATH + 1] = {};
    if (!GetTempFileNameA(folder.c_str(), "uf", 0, temp)) RaiseIo("Cannot create file", path, GetLastError());
    DWORD error = 0;
    {
        Handle file(CreateFileA(temp, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file.get() == INVALID_HANDLE_VALUE) error = GetLastError();
        if (!error && !WriteAll(file.get(), bytes)) error = GetLastError();
        if (!error && !FlushFileBuffers(file.get())) error = GetLastError();
        if (file.get() != INVALID_HANDLE_VALUE && !file.Close() && !error) error = GetLastError();
    }
    if (!error && !MoveFileExA(temp, name.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        error = GetLastError();
    if (error) {
        DeleteFileA(temp);
        RaiseIo("Cannot write file", path, error);
    }
}

void AppendLine(std::string_view path, std::string_view text) {
    const std::string name(path);
    Handle file(CreateFileA(name.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) RaiseIo("Cannot open file for appending", path, GetLastError());
    std::string line(text);
    line += "\r\n";
    if (!WriteAll(file.get(), line)) RaiseIo("Cannot write file", path, GetLastError());
    if (!file.Close()) RaiseIo("Cannot write file", path, GetLastError());
}

bool RemoveFile(std::string_view path) {
    const std::string name(path);
    return DeleteFileA(name.c_str()) != 0;
}

}  // namespace platform
