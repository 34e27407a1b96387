#pragma once
// Replacing a file by a finished temporary file in one step, so that readers see the old or the new file
// and never a cut-short one.
#include "platform/codepage.h"

namespace platform {

// Renames from over to (an existing to is replaced; on Linux a symbolic link at to is followed and its
// target replaced, and the new file takes over the old one's permission bits). Both lie in the same
// folder. Returns 0 on success, else the system's error code (errno on Linux, GetLastError on Windows).
int ReplaceFileWith(const AnsiString& from, const AnsiString& to) noexcept;

// A description of an error code returned by ReplaceFileWith.
AnsiString ReplaceFileErrorText(int code);

}  // namespace platform
