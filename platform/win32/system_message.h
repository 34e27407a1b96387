#pragma once
// The system's message text for a Win32 error code or an HRESULT, shared by the file, registry and
// interface error texts.
#include <windows.h>

#include "platform/codepage.h"

namespace platform::win32 {

// In the user's language where the system has it (English otherwise), without the trailing line break;
// empty when the system has no text for the code.
AnsiString SystemMessage(DWORD code);

}  // namespace platform::win32
