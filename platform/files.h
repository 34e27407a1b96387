#pragma once
// Whole-file access by path. Paths are AnsiString bytes: on Windows they go to the ANSI functions; on
// Linux they are converted to UTF-8 and "\" is taken as a folder separator (see NativePath).
// Failures raise EInOutError whose Code() is the system's error number (errno on Linux).
#include "platform/Exception.h"
#include "platform/codepage.h"

#include <string>
#include <string_view>

namespace platform {

// The name handed to the operating system: unchanged on Windows; on Linux the UTF-8 form with every "\"
// replaced by "/", so that paths built the Windows way ("Lang\Russian\Uninstall.xml") work.
std::string NativePath(std::string_view path);

// True when path names an existing file (not a folder).
bool FileExists(std::string_view path);
// True when path names an existing folder.
bool DirectoryExists(std::string_view path);

// Creates the folder and its missing parents; raises EInOutError on failure. An existing folder is fine.
void CreateDirectories(std::string_view path);

// The file's bytes; raises EInOutError (Code() 2 / ENOENT for a missing file).
std::string ReadWholeFile(std::string_view path);

// Replaces the file's content as a whole with ReplaceFileContent (replace_file.h), so readers see either
// the old or the new content. Raises EInOutError; the target is then as it was.
void WriteFileAtomically(std::string_view path, std::string_view bytes);

// Removes a file; false when it did not exist or could not be removed.
bool RemoveFile(std::string_view path);

// The system's description of an error number: strerror on Linux, FormatMessageA on Windows.
AnsiString SystemErrorText(int code);

}  // namespace platform
