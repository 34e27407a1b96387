#include "platform/locale.h"

#include <cstdlib>

namespace platform {

uint32_t UserDefaultLCID() {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value && *value) return LcidFromLocaleName(value);
    }
    return LcidFromLocaleName("");
}

}  // namespace platform
