#include "platform/message_box.h"

#include <cstdio>

namespace platform {

void ShowMessageBox(const AnsiString& title, const AnsiString& text) {
    const std::string line = AnsiToUtf8(title) + ": " + AnsiToUtf8(text) + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

}  // namespace platform
