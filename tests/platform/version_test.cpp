#include "platform/version.h"

#include <gtest/gtest.h>

using namespace platform;

#ifdef _WIN32
TEST(Version, FactsAreReadOnceFromTheSystem) {
    const VersionFacts& facts = GetVersionFacts();
    EXPECT_EQ(&facts, &GetVersionFacts());
    EXPECT_EQ(facts.platformId, 2u) << "every Windows this runs on is of the NT family";
    EXPECT_GE(facts.major, 5u);
    EXPECT_EQ(facts.kernelVersionHigh, 0u) << "the kernel word is only read outside the NT family";
    // kernel32 has a version resource; its product version's high word is the major version.
    const uint32_t kernel = ReadKernelVersionHigh();
    EXPECT_GE(kernel >> 16, 5u);
    EXPECT_EQ(kernel, ReadKernelVersionHigh());
}
#endif
