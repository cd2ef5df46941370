#include <gtest/gtest.h>

#include "framework/Property.h"
#include "tests/framework/ParameterTestOwner.h"

namespace {

TEST(PropertyTest, NotifiesOnlyRealChangesWithTheMembersAddress) {
    RecordingPropertyOwner owner;
    Property<int> first(&owner, 3);
    Property<int> second(&owner);
    first = 3;
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
    // New limits apply to the next set, never to the value already stored.
    level.setLimits(-1, 5);
    EXPECT_EQ(level.get(), 7);
    level = 9;
    EXPECT_EQ(level.get(), 5);
    EXPECT_EQ(owner.changes, std::vector<const void*>(4, &level));
}

}  // namespace
