#include "platform/version.h"

#include <gtest/gtest.h>

using namespace platform;

TEST(Version, FactsAreReadOnceAndFollowThePlatform) {
    const VersionFacts& facts = GetVersionFacts();
    EXPECT_EQ(&facts, &GetVersionFacts());
#ifdef _WIN32
    EXPECT_EQ(facts.platformId, 2u) << "every Windows this runs on is of the NT family";
    EXPECT_GE(facts.major, 5u);
    EXPECT_EQ(facts.kernelVersionHigh, 0u) << "the kernel word is only read outside the NT family";
    // kernel32 has a version resource; its product version's high word is the major version.
    const uint32_t kernel = ReadKernelVersionHigh();
    EXPECT_NE(kernel, 0u);
    EXPECT_GE(kernel >> 16, 5u);
    EXPECT_EQ(kernel, ReadKernelVersionHigh());
#else
    EXPECT_EQ(facts.platformId, 0u);
    EXPECT_EQ(facts.major, 0u);
    EXPECT_EQ(facts.minor, 0u);
    EXPECT_EQ(facts.csdVersion, "");
    EXPECT_EQ(facts.kernelVersionHigh, 0u);
    EXPECT_EQ(ReadKernelVersionHigh(), 0u);
#endif
}
