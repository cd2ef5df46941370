#include <gtest/gtest.h>

#include "midi/MidiControllerMap.h"

namespace {

int mappedCount(const MidiControllerMap& map, int32_t id) {
    int n = 0;
    for (int c = 0; c < MidiControllerMap::kControllers; ++c) n += map.parameterFor(c) == id;
    return n;
}

TEST(MidiControllerMap, AParameterHasAtMostOneController) {
    MidiControllerMap map;
    for (int c = 0; c < MidiControllerMap::kControllers; ++c) EXPECT_EQ(map.parameterFor(c), -1);

    map.assign(21, 3);
    map.assign(74, 32);
    map.assign(20, 3);  // moves parameter 3 from controller 21 to 20
    EXPECT_EQ(map.parameterFor(20), 3);
    EXPECT_EQ(map.parameterFor(21), -1);
    EXPECT_EQ(map.parameterFor(74), 32);

    map.assign(20, 3);  // already there: nothing changes
    EXPECT_EQ(mappedCount(map, 3), 1);

    map.assign(74, 3);  // a controller takes a new parameter; its old one is simply dropped
    EXPECT_EQ(map.parameterFor(74), 3);
    EXPECT_EQ(map.parameterFor(20), -1);
    EXPECT_EQ(mappedCount(map, 32), 0);

    map.assign(MidiControllerMap::kNoController, 3);  // unmaps only
    EXPECT_EQ(mappedCount(map, 3), 0);
}

TEST(MidiControllerMap, ControllersOutsideTheRangeAreNeverAssignedOrLookedUp) {
    MidiControllerMap map;
    map.assign(5, 30);
    map.assign(128, 30);
    map.assign(-2, 30);
    map.assign(1000, 7);
    EXPECT_EQ(map.parameterFor(5), 30);
    EXPECT_EQ(mappedCount(map, 7), 0);
    EXPECT_EQ(map.parameterFor(128), -1);
    EXPECT_EQ(map.parameterFor(-1), -1);

    map.assign(127, 0x100000);
    EXPECT_EQ(map.parameterFor(127), 0x100000);
    map.clear();
    EXPECT_EQ(map.parameterFor(5), -1);
    EXPECT_EQ(map.parameterFor(127), -1);
}

}  // namespace
