#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "persistence/ResourceOpener.h"

namespace {

TEST(ResourceOpenerTest, CompiledInResourcesAreFoundByStemIgnoringCaseOthersRaise) {
    for (const char* name : {"Prime.fil", "PRIME", "prime.FIL"}) {
        ASSERT_TRUE(resourceExists(name)) << name;
        const std::span<const uint8_t> bytes = openResource(name);
        ASSERT_EQ(bytes.size(), 1484u) << name;
        EXPECT_EQ(std::memcmp(bytes.data(), "QVil", 4), 0);
    }
    // Only the last extension goes: "Prime.other" is a different name.
    EXPECT_FALSE(resourceExists("Prime.other.fil"));
    // The filter tests read every other shipped characteristic from the same compiled-in table.
    // A missing name raises EResource.
    EXPECT_FALSE(resourceExists("NoSuchThing.png"));
    try {
        openResource("NoSuchThing.png");
        FAIL() << "no exception";
    } catch (const EResource& e) {
        EXPECT_STREQ(e.what(), "Resource not found");
    }
    // Build inputs are not shipped as resources.
    EXPECT_FALSE(resourceExists("MakeFilterCharacteristic.cpp"));
    EXPECT_FALSE(resourceExists("CMakeLists.txt"));
}

TEST(ResourceOpenerTest, RegisteredResourcesComeFirstUntilUnregistered) {
    const std::vector<uint8_t> bytes = {1, 2, 3};
    registerResource("Test.Bin", bytes);
    ASSERT_TRUE(resourceExists("test.dat"));
    std::span<const uint8_t> found = openResource("TEST");
    EXPECT_EQ(std::vector<uint8_t>(found.begin(), found.end()), bytes);

    // An in-memory resource hides a compiled-in one of the same name.
    const std::vector<uint8_t> replacement = {9};
    registerResource("prime.fil", replacement);
    found = openResource("Prime.fil");
    EXPECT_EQ(std::vector<uint8_t>(found.begin(), found.end()), replacement);

    unregisterResource("PRIME.x");
    EXPECT_EQ(openResource("Prime.fil").size(), 1484u);
    unregisterResource("test.bin");
    EXPECT_FALSE(resourceExists("Test.Bin"));
    EXPECT_THROW(openResource("Test.Bin"), EResource);
}

}  // namespace
