#pragma once
// Opening a document or URL (a mailto: link, a web page) with the user's default program.
#include "platform/codepage.h"

namespace platform {

// Windows: ShellExecuteA(nullptr, nullptr, url, nullptr, nullptr, SW_SHOWNORMAL). Linux: starts
// "xdg-open url" found on PATH (url converted to UTF-8) with posix_spawnp, never through a shell; the
// caller does not wait for it and the child is reaped in the background. Returns whether the program
// was started (Windows: whether ShellExecuteA reported success); callers may ignore it.
bool OpenUrl(const AnsiString& url);

}  // namespace platform
