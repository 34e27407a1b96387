// Replacing a file in one step on Linux: rename(2) within one folder is atomic.
#include "platform/replace_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace platform {

int ReplaceFileWith(const AnsiString& from, const AnsiString& to) noexcept {
    AnsiString target = to;
    struct stat info;
    if (lstat(to.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        // Replace the file the link points at, not the link.
        if (char* resolved = realpath(to.c_str(), nullptr)) {
            target = resolved;
            std::free(resolved);
        }
    }
    if (stat(target.c_str(), &info) == 0) chmod(from.c_str(), info.st_mode & 0777);
    if (std::rename(from.c_str(), target.c_str()) != 0) return errno ? errno : EIO;
    return 0;
}

AnsiString ReplaceFileErrorText(int code) { return std::strerror(code); }

}  // namespace platform
