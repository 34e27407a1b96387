#include "platform/file_lock.h"

#include "platform/Exception.h"
#include "platform/files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

std::intptr_t FileLock::Acquire(const std::string& lockName) {
    // Read access is all flock needs, so a lock file another user made serves as well.
    const int fd = ::open(lockName.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) throw EInOutError("Cannot open lock file \"" + lockName + "\": " + SystemErrorText(errno), errno);
    while (::flock(fd, LOCK_EX) != 0) {
        if (errno == EINTR) continue;
        const int code = errno;
        ::close(fd);
        throw EInOutError("Cannot lock \"" + lockName + "\": " + SystemErrorText(code), code);
    }
    return fd;
}

void FileLock::Release(std::intptr_t handle) noexcept {
    // Closing the last descriptor of the open file frees its flock.
    ::close(int(handle));
}

}  // namespace platform
