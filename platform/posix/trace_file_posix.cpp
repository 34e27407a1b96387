// The node trace file on Linux: XML_Log.txt in the user's state folder.
#include "platform/trace_file.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
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

}  // namespace

AnsiString XmlTraceFilePath() {
    if (const char* path = std::getenv("UNINSTALL_XML_LOG"); path && *path) return path;
    // Relative values are ignored, as the XDG base directory rules say.
    if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state == '/')
        return AnsiString(state) + "/XML_Log.txt";
    return HomeFolder() + "/.local/state/XML_Log.txt";
}

bool AppendToTextFile(const AnsiString& path, std::string_view text) noexcept {
    std::FILE* file = std::fopen(path.c_str(), "ab");
    if (!file && errno == ENOENT) {
        std::error_code ignored;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
        file = std::fopen(path.c_str(), "ab");
    }
    if (!file) return false;
    bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return (std::fclose(file) == 0) && written;
}

}  // namespace platform
