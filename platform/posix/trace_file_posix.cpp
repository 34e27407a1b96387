// The node trace file on Linux: XML_Log.txt in the user's state folder.
#include "platform/trace_file.h"

#include "platform/posix/descriptor.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace platform {
namespace {

AnsiString HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir) return entry->pw_dir;
    return ".";
}

// O_NOFOLLOW: a link planted in the trace file's place would let an elevated process append to any file.
// O_NONBLOCK: a FIFO there must not hold up the release of a tree.
int OpenForAppending(const AnsiString& path) {
    return ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
}

}  // namespace

AnsiString XmlTraceFilePath() {
    if (const char* path = std::getenv("UNINSTALL_XML_LOG"); path && *path) return path;
    // Relative values are ignored, as the XDG base directory rules say.
    if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state == '/')
        return AnsiString(state) + "/XML_Log.txt";
    return HomeFolder() + "/.local/state/XML_Log.txt";
}

bool AppendToTextFile(const AnsiString& path, std::string_view text) noexcept {
    posix::Descriptor file(OpenForAppending(path));
    if (file.get() < 0 && errno == ENOENT) {
        std::error_code ignored;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
        file = posix::Descriptor(OpenForAppending(path));
    }
    if (file.get() < 0) return false;
    // Only a plain file of one name: no device, no FIFO, no hard link to somebody else's file.
    struct stat info{};
    if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_nlink != 1) return false;
    return posix::WriteAll(file.get(), text) && ::close(file.release()) == 0;
}

}  // namespace platform
