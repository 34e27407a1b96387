// Replacing a file on Linux: a fresh temporary file beside the real target, fsync, rename(2), fsync of
// the folder.
#include "platform/replace_file.h"

#include "platform/posix/descriptor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>

namespace platform {
namespace {

using posix::Descriptor;

// The file a symbolic link at name points to; name itself when it is no link or its target is missing.
std::string RealTarget(const std::string& name) {
    char* resolved = ::realpath(name.c_str(), nullptr);
    if (!resolved) return name;
    std::string target = resolved;
    std::free(resolved);
    return target;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return path.substr(0, slash == 0 ? 1 : slash);
}

// Creates a temporary file of a name nobody uses yet beside target, with the mode and owner of the file
// it will replace, so that no other user can open it in the meantime.
Descriptor CreateTemporary(const std::string& target, std::string& temp) {
    struct stat old{};
    const bool replacing = ::stat(target.c_str(), &old) == 0;
    const mode_t mode = replacing ? old.st_mode & 0777 : 0666;
    static std::atomic<unsigned> counter{0};
    const std::string base = target.substr(target.rfind('/') + 1);
    for (int attempt = 0;; ++attempt) {
        temp = FolderOf(target) + "/." + base + "." + std::to_string(::getpid()) + "." +
               std::to_string(counter++) + ".tmp";
        Descriptor fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
        if (fd.get() < 0) {
            if (errno == EEXIST && attempt < 100) continue;
            return fd;
        }
        if (replacing) {
            // An elevated writer hands the file back to its owner; anyone else cannot, and need not.
            if (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) {
                const int ignored = ::fchown(fd.get(), old.st_uid, old.st_gid);
                (void)ignored;
            }
            ::fchmod(fd.get(), mode);  // the umask may have narrowed it
        }
        return fd;
    }
}

}  // namespace

ReplaceOutcome ReplaceFileContent(const std::string& name, std::string_view bytes) {
    const std::string target = RealTarget(name);
    std::string temp;
    Descriptor fd = CreateTemporary(target, temp);
    if (fd.get() < 0) return {ReplaceStep::kCreate, errno};
    ReplaceOutcome outcome;
    if (!posix::WriteAll(fd.get(), bytes) || ::fsync(fd.get()) != 0) outcome = {ReplaceStep::kWrite, errno};
    if (::close(fd.release()) != 0 && outcome) outcome = {ReplaceStep::kWrite, errno};
    if (outcome && ::rename(temp.c_str(), target.c_str()) != 0) outcome = {ReplaceStep::kRename, errno};
    if (!outcome) {
        ::unlink(temp.c_str());
        return outcome;
    }
    Descriptor folder(::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() >= 0) ::fsync(folder.get());
    return outcome;
}

}  // namespace platform
