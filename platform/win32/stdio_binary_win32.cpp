#include "platform/stdio_binary.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>

namespace platform {

void SetStdoutBinary() noexcept {
    std::fflush(stdout);
    _setmode(_fileno(stdout), _O_BINARY);
}

}  // namespace platform
