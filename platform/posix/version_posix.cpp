#include "platform/version.h"

namespace platform {

// Not Windows: platform 0, which the classifier names "Unknown".
const VersionFacts& GetVersionFacts() {
    static const VersionFacts facts;
    return facts;
}

uint32_t ReadKernelVersionHigh() { return 0; }

}  // namespace platform
