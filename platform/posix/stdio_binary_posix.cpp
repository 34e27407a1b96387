#include "platform/stdio_binary.h"

namespace platform {

void SetStdoutBinary() noexcept {}

}  // namespace platform
