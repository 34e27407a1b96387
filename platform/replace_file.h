#pragma once
// Replacing a file's content as a whole, so that readers and a crash see the old or the new content and
// never a cut-short file. The one routine behind the XML writer's save, the Linux registry file and
// WriteFileAtomically.
#include <string>
#include <string_view>

namespace platform {

// Which step of a replacement failed.
enum class ReplaceStep {
    kNone,    // the file was replaced
    kCreate,  // no temporary file could be made beside the target
    kWrite,   // writing or flushing the temporary file failed
    kRename,  // the temporary file could not take the target's place
};

struct ReplaceOutcome {
    ReplaceStep failed = ReplaceStep::kNone;
    int code = 0;  // the system's error number (errno on Linux, GetLastError on Windows)
    explicit operator bool() const { return failed == ReplaceStep::kNone; }
};

// Writes bytes to a fresh temporary file beside the target, flushes it to the disk and renames it over
// the target; the folder is flushed too, so the rename survives a crash. name is in the system's own form
// (see NativePath). A symbolic link (reparse point) at name is kept: the file it points to is replaced,
// and the temporary file lies beside that file, so a link into another file system works.
//  - Linux: the temporary name is new (O_EXCL) and the file is created with the mode and owner of the
//    file it replaces (0666 under the umask for a new file), so nobody gets to read it who could not
//    read the target; fsync of the file and of its folder.
//  - Windows: a unique temporary file (GetTempFileNameA), FlushFileBuffers, then MoveFileExA with
//    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH.
// On failure the temporary file is removed and the target is as it was.
// platform::SystemErrorText (files.h) describes the code of a failure.
ReplaceOutcome ReplaceFileContent(const std::string& name, std::string_view bytes);

}  // namespace platform
