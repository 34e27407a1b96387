#include "platform/files.h"

#include "platform/posix/descriptor.h"
#include "platform/posix/files_native.h"
#include "platform/replace_file.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

[[noreturn]] void RaiseIo(const std::string& what, std::string_view path, int code) {
    throw EInOutError(what + " \"" + std::string(path) + "\": " + SystemErrorText(code), code);
}

using posix::Descriptor;

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

std::string ReadWholeFile(std::string_view path) { return posix::ReadWholeFileNative(NativePath(path)); }

void WriteFileAtomically(std::string_view path, std::string_view bytes) {
    const ReplaceOutcome outcome = ReplaceFileContent(NativePath(path), bytes);
    if (outcome) return;
    RaiseIo(outcome.failed == ReplaceStep::kWrite ? "Cannot write file" : "Cannot create file", path, outcome.code);
}

bool RemoveFile(std::string_view path) { return ::unlink(NativePath(path).c_str()) == 0; }

AnsiString SystemErrorText(int code) { return std::strerror(code); }

}  // namespace platform
