#pragma once
// Per-user folders for files the program keeps outside the product's folders. Results are AnsiString
// (converted from UTF-8 on Linux), ready to be combined with other paths and passed to files.h.
#include "platform/codepage.h"

namespace platform {

// Linux: $XDG_CONFIG_HOME, else $HOME/.config. Windows: %APPDATA%. No trailing separator; "" when unknown.
AnsiString UserConfigDir();
// Linux: $XDG_STATE_HOME, else $HOME/.local/state. Windows: %LOCALAPPDATA%. No trailing separator.
AnsiString UserStateDir();

// The value of an environment variable in the ANSI code page, "" when unset.
AnsiString GetEnv(const char* name);

}  // namespace platform
