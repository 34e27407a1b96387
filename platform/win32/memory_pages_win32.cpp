#include "platform/memory_pages.h"

namespace platform {

// Large pages need the lock-memory privilege, which a program started by an uninstaller does not hold.
void AdviseLargePages(void*, size_t) noexcept {}

}  // namespace platform
