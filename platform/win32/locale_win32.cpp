#include "platform/locale.h"

#include <windows.h>

namespace platform {

uint32_t UserDefaultLCID() { return GetUserDefaultLCID(); }

}  // namespace platform
