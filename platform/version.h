#pragma once
// Facts about the running Windows version, read once per process.
#include "platform/codepage.h"

#include <cstdint>

namespace platform {

struct VersionFacts {
    uint32_t platformId = 0;   // 1 = Windows 95 family, 2 = NT family, 0 = not Windows
    uint32_t major = 0;
    uint32_t minor = 0;
    AnsiString csdVersion;     // service-pack text as the system reports it (untrimmed)
    uint32_t kernelVersionHigh = 0;  // kernel32's product version, most significant 32 bits; 0 on NT
};

// Windows: GetVersionExA, and for platforms other than NT the kernel version word. Linux: all zero, so
// the classifier reports "Unknown". Read at the first call; later calls return the same facts.
const VersionFacts& GetVersionFacts();

// The most significant 32 bits of the product version in the version resource of the loaded
// kernel32.dll (major in the high 16 bits, minor in the low 16 bits); 0 when any step fails or when the
// fixed file information is not exactly 52 bytes long. Always 0 on Linux.
uint32_t ReadKernelVersionHigh();

}  // namespace platform
