#include "platform/file_lock.h"

#include "platform/Exception.h"
#include "platform/files.h"

#include <windows.h>

namespace platform {

std::intptr_t FileLock::Acquire(const std::string& lockName) {
    // Read access is all LockFileEx needs, so a lock file another user made serves as well.
    HANDLE file = CreateFileA(lockName.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const int code = int(GetLastError());
        throw EInOutError("Cannot open lock file \"" + lockName + "\": " + SystemErrorText(code), code);
    }
    OVERLAPPED whole{};  // the first byte stands for the file
    if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &whole)) {
        const int code = int(GetLastError());
        CloseHandle(file);
        throw EInOutError("Cannot lock \"" + lockName + "\": " + SystemErrorText(code), code);
    }
    return reinterpret_cast<std::intptr_t>(file);
}

void FileLock::Release(std::intptr_t handle) noexcept {
    HANDLE file = reinterpret_cast<HANDLE>(handle);
    OVERLAPPED whole{};
    UnlockFileEx(file, 0, 1, 0, &whole);
    CloseHandle(file);
}

}  // namespace platform
