// The node trace file on Windows: the root of drive C, as the product has always written it.
#include "platform/trace_file.h"

#include <cstdlib>

#include "platform/win32/handle.h"

namespace platform {

AnsiString XmlTraceFilePath() {
    if (const char* path = std::getenv("UNINSTALL_XML_LOG"); path && *path) return path;
    return "c:\\XML_Log.txt";
}

bool AppendToTextFile(const AnsiString& path, std::string_view text) noexcept {
    // FILE_FLAG_OPEN_REPARSE_POINT opens a link planted in the trace file's place as itself, so it is
    // refused below instead of an elevated process appending to the file it points to.
    win32::Handle file(CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) return false;
    // Only a plain file of one name on a disk: no link, no device or pipe, no hard link to another file.
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(file.get()) != FILE_TYPE_DISK || !GetFileInformationByHandle(file.get(), &info)) return false;
    if (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) return false;
    if (info.nNumberOfLinks != 1) return false;
    return win32::WriteAll(file.get(), text) && CloseHandle(file.release());
}

}  // namespace platform
