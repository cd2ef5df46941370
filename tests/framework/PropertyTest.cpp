#include <gtest/gtest.h>

#include <vector>

#include "framework/Property.h"

namespace {

class RecordingOwner : public PropertyOwner {
public:
    void propertyChanged(const void* property) override { changes.push_back(property); }
    std::vector<const void*> changes;
};

TEST(PropertyTest, NotifiesOnlyRealChangesWithTheMembersAddress) {
    RecordingOwner owner;
    Property<int> first(&owner, 3);
    Property<int> second(&owner);
    EXPECT_EQ(first.get(), 3);
    EXPECT_EQ(second.get(), 0);

    first = 3;
    EXPECT_TRUE(owner.changes.empty());

    first = 4;
    second.set(-1);
    first.set(4);
    ASSERT_EQ(owner.changes.size(), 2u);
    EXPECT_EQ(owner.changes[0], &first);
    EXPECT_EQ(owner.changes[1], &second);
    EXPECT_EQ(static_cast<int>(first), 4);
    EXPECT_EQ(second.get(), -1);
}

TEST(LimitedPropertyTest, ClampsAndNotifiesOnlyWhenTheStoredValueMoves) {
    RecordingOwner owner;
    LimitedProperty<int> level(&owner, 0, 10, 5);

    level = 20;  // stores the upper bound
    EXPECT_EQ(level.get(), 10);
    ASSERT_EQ(owner.changes.size(), 1u);
    EXPECT_EQ(owner.changes[0], &level);

    level = 30;  // clamps to the value already stored
    level = 10;
    EXPECT_EQ(owner.changes.size(), 1u);

    level = -7;
    EXPECT_EQ(level.get(), 0);
    level = -1;
    EXPECT_EQ(owner.changes.size(), 2u);

    level = 7;
    EXPECT_EQ(level.get(), 7);
    EXPECT_EQ(owner.changes.size(), 3u);
}

TEST(LimitedPropertyTest, NewLimitsApplyToTheNextSet) {
    RecordingOwner owner;
    LimitedProperty<float> gain(&owner, 0.0f, 1.0f, 0.5f);
    gain.setLimits(-1.0f, 0.25f);
    EXPECT_EQ(gain.minimum(), -1.0f);
    EXPECT_EQ(gain.maximum(), 0.25f);
    EXPECT_EQ(gain.get(), 0.5f);  // limits alone do not touch the value
    EXPECT_TRUE(owner.changes.empty());

    gain = 0.9f;
    EXPECT_EQ(gain.get(), 0.25f);
    gain = -3.0f;
    EXPECT_EQ(gain.get(), -1.0f);
    EXPECT_EQ(owner.changes.size(), 2u);
}

}  // namespace
