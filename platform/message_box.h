#pragma once
// A modal error message for failures that happen before or outside the dialog's own windows.
#include "platform/codepage.h"

namespace platform {

// Windows: MessageBoxA with an OK button and the error icon, no owner. Linux: "title: text" as UTF-8 on
// standard error.
void ShowMessageBox(const AnsiString& title, const AnsiString& text);

}  // namespace platform
