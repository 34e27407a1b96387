#pragma once
// An exclusive lock between processes on one file, kept in a lock file beside it ("<name>.lock", flock on
// Linux, LockFileEx on Windows). A separate file, because the file itself is replaced by a rename on
// every save, and a lock on the replaced file would guard nothing. The lock file is created when missing
// and never removed: removing it would let two writers lock two different files of the same name.
#include <cstdint>
#include <string>

namespace platform {

class FileLock {
public:
    // Waits until the lock of the file name (in the system's own form) is held. The thread that holds it
    // may take it again (an outer caller's lock around a save that takes it too); the last release frees
    // it. Raises EInOutError when the lock file cannot be opened or locked.
    explicit FileLock(const std::string& name);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    // The system's part: open and lock the lock file, and unlock and close it again.
    static std::intptr_t Acquire(const std::string& lockName);
    static void Release(std::intptr_t handle) noexcept;

    std::string lockName_;
};

}  // namespace platform
