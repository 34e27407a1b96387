#include "platform/files.h"

#include "platform/posix/files_native.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

[[noreturn]] void RaiseIo(const std::string& what, std::string_view path, int code) {
    throw EInOutError(what + " \"" + std::string(path) + "\": " + std::strerror(code), code);
}

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() { if (fd_ >= 0) ::close(fd_); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(Descriptor&& other) noexcept {
        if (this != &other) {
            if (fd_ >= 0) ::close(fd_);
            fd_ = other.release();
        }
        return *this;
    }
    int get() const { return fd_; }
    int release() { int fd = fd_; fd_ = -1; return fd; }
private:
    int fd_;
};

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(size_t(n));
    }
    return true;
}

}  // namespace

std::string NativePath(std::string_view path) {
    std::string native = AnsiToUtf8(path);
    for (char& c : native)
        if (c == '\\') c = '/';
    return native;
}

bool FileExists(std::string_view path) {
    struct stat info{};
    return !path.empty() && ::stat(NativePath(path).c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

bool DirectoryExists(std::string_view path) {
    struct stat info{};
    return !path.empty() && ::stat(NativePath(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

void posix::CreateDirectoriesNative(const std::string& native) {
    const AnsiString path = Utf8ToAnsi(native);  // for messages
    for (size_t pos = 1; pos <= native.size(); ++pos) {
        if (pos < native.size() && native[pos] != '/') continue;
        const std::string part = native.substr(0, pos);
        if (::mkdir(part.c_str(), 0777) == 0 || errno == EEXIST) continue;
        RaiseIo("Cannot create folder", path, errno);
    }
    struct stat info{};
    if (::stat(native.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) RaiseIo("Cannot create folder", path, ENOTDIR);
}

void CreateDirectories(std::string_view path) { posix::CreateDirectoriesNative(NativePath(path)); }

std::string posix::ReadWholeFileNative(const std::string& native) {
    const AnsiString path = Utf8ToAnsi(native);  // for messages
    Descriptor fd(::open(native.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) RaiseIo("Cannot open file", path, errno);
    std::string bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            RaiseIo("Cannot read file", path, errno);
        }
        if (n == 0) break;
        bytes.append(buffer, size_t(n));
    }
    return bytes;
}

void posix::WriteFileAtomicallyNative(const std::string& native, std::string_view bytes) {
    const AnsiString path = Utf8ToAnsi(native);  // for messages
    std::string target = native;
    // Replace the file a symbolic link points to, not the link.
    if (char* resolved = ::realpath(target.c_str(), nullptr)) {
        target = resolved;
        std::free(resolved);
    }
    const size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash == 0 ? 1 : slash);
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    // The temporary file is created with the usual permissions under the umask; a replaced file's
    // permissions are carried over below.
    static std::atomic<unsigned> counter{0};
    std::string temp;
    Descriptor fd(-1);
    for (int attempt = 0; fd.get() < 0; ++attempt) {
        temp = folder + "/." + base + "." + std::to_string(::getpid()) + "." + std::to_string(counter++) + ".tmp";
        fd = Descriptor(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (fd.get() < 0 && (errno != EEXIST || attempt > 100)) RaiseIo("Cannot create file", path, errno);
    }
    int error = 0;
    struct stat old{};
    if (::stat(target.c_str(), &old) == 0 && ::fchmod(fd.get(), old.st_mode & 07777) != 0) error = errno;
    if (!error && !WriteAll(fd.get(), bytes)) error = errno;
    if (!error && ::fsync(fd.get()) != 0) error = errno;
    if (::close(fd.release()) != 0 && !error) error = errno;
    if (!error && ::rename(temp.c_str(), target.c_str()) != 0) error = errno;
    if (error) {
        ::unlink(temp.c_str());
        RaiseIo("Cannot write file", path, error);
    }
    Descriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0) ::fsync(dir.get());
}

std::string ReadWholeFile(std::string_view path) { return posix::ReadWholeFileNative(NativePath(path)); }

void WriteFileAtomically(std::string_view path, std::string_view bytes) {
    posix::WriteFileAtomicallyNative(NativePath(path), bytes);
}

void AppendLine(std::string_view path, std::string_view text) {
    Descriptor fd(::open(NativePath(path).c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666));
    if (fd.get() < 0) RaiseIo("Cannot open file for appending", path, errno);
    std::string line(text);
    line += "\r\n";
    if (!WriteAll(fd.get(), line)) RaiseIo("Cannot write file", path, errno);
    if (::close(fd.release()) != 0) RaiseIo("Cannot write file", path, errno);
}

bool RemoveFile(std::string_view path) { return ::unlink(NativePath(path).c_str()) == 0; }

}  // namespace platform
