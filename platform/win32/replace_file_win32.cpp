// Replacing a file on Windows: a unique temporary file beside the real target, FlushFileBuffers, then
// MoveFileExA with MOVEFILE_WRITE_THROUGH.
#include "platform/replace_file.h"

#include "platform/win32/handle.h"

namespace platform {
namespace {

// The file a symbolic link or other reparse point at name leads to; name itself otherwise.
std::string RealTarget(const std::string& name) {
    const DWORD attributes = GetFileAttributesA(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return name;
    win32::Handle file(CreateFileA(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) return name;
    char path[MAX_PATH + 8] = {};
    const DWORD length =
        GetFinalPathNameByHandleA(file.get(), path, sizeof path, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0 || length >= sizeof path) return name;
    std::string target(path, length);
    // "\\?\C:\..." back to "C:\...", which the ANSI functions take within MAX_PATH.
    if (target.compare(0, 4, "\\\\?\\") == 0 && target.size() > 6 && target[5] == ':') target.erase(0, 4);
    return target;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of("\\/");
    std::string folder = slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
    if (folder.size() == 2 && folder[1] == ':') folder += '.';  // "C:name" is relative to C:'s current folder
    return folder;
}

}  // namespace

ReplaceOutcome ReplaceFileContent(const std::string& name, std::string_view bytes) {
    const std::string target = RealTarget(name);
    char temp[MAX_PATH + 1] = {};
    if (!GetTempFileNameA(FolderOf(target).c_str(), "uf", 0, temp)) return {ReplaceStep::kCreate, int(GetLastError())};
    ReplaceOutcome outcome;
    win32::Handle file(CreateFileA(temp, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        outcome = {ReplaceStep::kCreate, int(GetLastError())};
    } else {
        if (!win32::WriteAll(file.get(), bytes) || !FlushFileBuffers(file.get()))
            outcome = {ReplaceStep::kWrite, int(GetLastError())};
        if (!CloseHandle(file.release()) && outcome) outcome = {ReplaceStep::kWrite, int(GetLastError())};
    }
    if (outcome && !MoveFileExA(temp, target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        outcome = {ReplaceStep::kRename, int(GetLastError())};
    if (!outcome) DeleteFileA(temp);
    return outcome;
}

}  // namespace platform
