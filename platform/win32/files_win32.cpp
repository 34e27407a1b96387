#include "platform/files.h"

#include "platform/replace_file.h"
#include "platform/win32/handle.h"

#include <windows.h>

namespace platform {
namespace {

[[noreturn]] void RaiseIo(const std::string& what, std::string_view path, DWORD code) {
    throw EInOutError(what + " \"" + std::string(path) + "\": " + SystemErrorText(int(code)), int(code));
}

using win32::Handle;

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
    const ReplaceOutcome outcome = ReplaceFileContent(std::string(path), bytes);
    if (outcome) return;
    RaiseIo(outcome.failed == ReplaceStep::kWrite ? "Cannot write file" : "Cannot create file", path,
            DWORD(outcome.code));
}

bool RemoveFile(std::string_view path) {
    const std::string name(path);
    return DeleteFileA(name.c_str()) != 0;
}

AnsiString SystemErrorText(int code) {
    char* buffer = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        DWORD(code), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), reinterpret_cast<char*>(&buffer), 0, nullptr);
    AnsiString text;
    if (length && buffer) text.assign(buffer, length);
    if (buffer) LocalFree(buffer);
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text.empty() ? "System error " + std::to_string(code) + "." : text;
}

}  // namespace platform
