#include "platform/message_box.h"

#include <windows.h>

namespace platform {

void ShowMessageBox(const AnsiString& title, const AnsiString& text) {
    MessageBoxA(nullptr, text.c_str(), title.c_str(), MB_OK | MB_ICONERROR | MB_TASKMODAL);
}

}  // namespace platform
