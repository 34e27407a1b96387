#pragma once
// Opening a document or URL (a mailto: link, a web page) with the user's default program.
#include "platform/codepage.h"

namespace platform {

// Windows: ShellExecuteA(nullptr, nullptr, url, nullptr, nullptr, SW_SHOWNORMAL). Linux: starts
// "xdg-open url" found on PATH (url converted to UTF-8) with posix_spawnp, never through a shell; the
// caller waits at most 1.5 s for it and the child is reaped in the background. When xdg-open cannot be
// started or gives up (no program takes the link), the link is printed on standard error, so the user
// can still send it. Returns whether the link was handed on (Windows: whether ShellExecuteA reported
// success); callers may ignore it.
bool OpenUrl(const AnsiString& url);

}  // namespace platform
