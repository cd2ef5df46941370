#include <gtest/gtest.h>

#include "framework/Property.h"
#include "tests/framework/ParameterTestOwner.h"

namespace {

TEST(PropertyTest, NotifiesOnlyRealChangesWithTheMembersAddress) {
    RecordingPropertyOwner owner;
    Property<int> first(&owner, 3);
    Property<int> second(&owner);
    EXPECT_EQ(second.get(), 0);
    first = 3;
    EXPECT_TRUE(owner.changes.empty());
    first = 4;
    second.set(-1);
    first.set(4);
    EXPECT_EQ(owner.changes, (std::vector<const void*>{&first, &second}));
    EXPECT_EQ(static_cast<int>(first), 4);
}

TEST(LimitedPropertyTest, ClampsAndNotifiesOnlyWhenTheStoredValueMoves) {
    RecordingPropertyOwner owner;
    LimitedProperty<int> level(&owner, 0, 10, 5);
    // Each set, the value stored and the notifications so far.
    const int steps[][3] = {{20, 10, 1}, {30, 10, 1}, {10, 10, 1},
                            {-7, 0, 2},  {-1, 0, 2},  {7, 7, 3}};
    for (const auto& step : steps) {
        level = step[0];
        EXPECT_EQ(level.get(), step[1]) << step[0];
        EXPECT_EQ(owner.changes.size(), static_cast<size_t>(step[2])) << step[0];
    }
    EXPECT_EQ(owner.changes[0], &level);

    // New limits apply to the next set, never to the value already stored.
    owner.changes.clear();
    LimitedProperty<float> gain(&owner, 0.0f, 1.0f, 0.5f);
    gain.setLimits(-1.0f, 0.25f);
    EXPECT_EQ(gain.get(), 0.5f);
    EXPECT_TRUE(owner.changes.empty());
    gain = 0.9f;
    EXPECT_EQ(gain.get(), 0.25f);
    gain = -3.0f;
    EXPECT_EQ(gain.get(), -1.0f);
    EXPECT_EQ(owner.changes.size(), 2u);
}

}  // namespace
