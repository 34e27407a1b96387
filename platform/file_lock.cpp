#include "platform/file_lock.h"

#include <map>

namespace platform {
namespace {

struct Held {
    std::intptr_t handle;
    int count;
};

// The locks this thread holds. A second open and lock of the same file by the holder would wait for
// itself (both flock and LockFileEx lock per open file), so the holder counts instead. Other threads
// have their own table and wait in the system's lock like other processes.
thread_local std::map<std::string, Held> heldByThisThread;

}  // namespace

FileLock::FileLock(const std::string& name) : lockName_(name + ".lock") {
    if (auto held = heldByThisThread.find(lockName_); held != heldByThisThread.end()) {
        ++held->second.count;
        return;
    }
    const std::intptr_t handle = Acquire(lockName_);
    heldByThisThread.emplace(lockName_, Held{handle, 1});
}

FileLock::~FileLock() {
    auto held = heldByThisThread.find(lockName_);
    if (held == heldByThisThread.end() || --held->second.count > 0) return;
    Release(held->second.handle);
    heldByThisThread.erase(held);
}

}  // namespace platform
