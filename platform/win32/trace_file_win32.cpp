// The node trace file on Windows: the root of drive C, as the product has always written it.
#include "platform/trace_file.h"

#include <cstdio>
#include <cstdlib>

namespace platform {

AnsiString XmlTraceFilePath() {
    if (const char* path = std::getenv("UNINSTALL_XML_LOG"); path && *path) return path;
    return "c:\\XML_Log.txt";
}

bool AppendToTextFile(const AnsiString& path, std::string_view text) noexcept {
    // The narrow CRT functions take the path in the ANSI code page, as the rest of the program does.
    std::FILE* file = std::fopen(path.c_str(), "ab");
    if (!file) return false;
    bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return (std::fclose(file) == 0) && written;
}

}  // namespace platform
