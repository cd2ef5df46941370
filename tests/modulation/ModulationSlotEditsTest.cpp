#include <gtest/gtest.h>

#include "modulation/InternalController.h"
#include "modulation/ModulationSlotEdits.h"
#include "tests/modulation/ModulationTestRig.h"

namespace {

using modtest::kFirstLevel;
using modtest::kSlots;
using modtest::Rig;

struct EditRig : Rig {
    EditRig() : controller(matrix), edits(controller, kFirstLevel) {
        for (int s = 0; s < modtest::kSources; ++s) matrix.setSourceEntry(s, &source, 0);
    }
    std::pair<int, int> route(int slot) const {
        return {controller.getSlotSource(slot), controller.getSlotTarget(slot)};
    }

    modtest::TestSource source{env};
    InternalController controller;
    ModulationSlotEdits edits;
};

TEST(ModulationSlotEdits, DeleteCascadesThroughLevelTargets) {
    EditRig r;
    r.connect(3, 1, 20, 0.5f);
    r.connect(7, 2, kFirstLevel + 3, 0.4f);  // modulates "Slot 4 Level"
    r.connect(9, 4, kFirstLevel + 7, 0.3f);  // and this one slot 8's level
    r.connect(0, 5, 20, 0.2f);               // unrelated
    r.controller.setInverted(7, true);

    std::vector<int> deleted = r.edits.deleteSlot(3);
    std::sort(deleted.begin(), deleted.end());
    EXPECT_EQ(deleted, (std::vector<int>{3, 7, 9}));
    for (int s : {3, 7, 9}) {
        EXPECT_EQ(r.route(s), std::make_pair(-1, -1));
        EXPECT_FALSE(r.controller.isInverted(s));
        EXPECT_FLOAT_EQ(r.controller.getSlotLevel(s), 0.0f);
        EXPECT_EQ(r.matrix.slot(s).state, ModulationMatrix::kStateInactive);
    }
    EXPECT_EQ(r.route(0), std::make_pair(5, 20));
    EXPECT_EQ(r.matrix.target(20).slots, std::vector<int>{0});
}

TEST(ModulationSlotEdits, DeleteBySourceAlsoClearsTheSourcesOwnTargets) {
    EditRig r;
    // Source 0 (an XLFO) with its Frequency, Glide and Phase Offset targets 41..43.
    r.connect(0, 0, 20, 0.5f);
    r.connect(1, 3, 41, 0.5f);
    r.connect(2, 4, 43, 0.5f);
    r.connect(3, 5, kFirstLevel + 2, 0.5f);
    r.connect(4, 6, 44, 0.5f);
    std::vector<int> deleted = r.edits.deleteSlotsBySource(0, {41, 42, 43});
    std::sort(deleted.begin(), deleted.end());
    EXPECT_EQ(deleted, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(r.route(4), std::make_pair(6, 44));

    EXPECT_EQ(r.edits.deleteSlotsByTarget(44), std::vector<int>{4});
}

TEST(ModulationSlotEdits, SortSwapAndCompact) {
    EditRig r;
    r.connect(0, 5, 3, 0.1f);
    r.connect(2, 2, 9, 0.2f);
    r.connect(4, 8, kFirstLevel + 0, 0.3f);  // follows slot 0 through the reordering
    int current = 2;
    r.edits.sort(kSlots, &current);
    EXPECT_EQ(r.route(0), std::make_pair(2, 9));
    EXPECT_EQ(r.route(1), std::make_pair(5, 3));
    EXPECT_EQ(r.route(2), std::make_pair(8, kFirstLevel + 1));
    EXPECT_EQ(r.route(3), std::make_pair(-1, -1));
    EXPECT_EQ(current, 0);
    EXPECT_FLOAT_EQ(r.controller.getSlotLevel(0), 0.2f);
    EXPECT_FLOAT_EQ(r.controller.getSlotLevel(1), 0.1f);
    EXPECT_FALSE(r.matrix.inEdit());

    r.controller.setInverted(1, true);
    r.edits.swap(1, 10);
    EXPECT_EQ(r.route(10), std::make_pair(5, 3));
    EXPECT_TRUE(r.controller.isInverted(10));
    EXPECT_FALSE(r.controller.isInverted(1));
    EXPECT_EQ(r.route(2), std::make_pair(8, kFirstLevel + 10));

    r.edits.compact(kSlots);
    EXPECT_EQ(r.route(0), std::make_pair(2, 9));
    EXPECT_EQ(r.route(1), std::make_pair(8, kFirstLevel + 2));
    EXPECT_EQ(r.route(2), std::make_pair(5, 3));
    EXPECT_EQ(r.route(3), std::make_pair(-1, -1));
}

TEST(ModulationSlotEdits, FindFreeSlotTakesAnEmptyThenAnInvalidSlot) {
    EditRig r;
    EXPECT_EQ(r.controller.findFreeSlot(), 0);
    for (int i = 0; i < kSlots; ++i) r.connect(i, i % 34, i % 100, 0.5f);
    EXPECT_EQ(r.controller.findFreeSlot(), -1);
    // A set slot whose source entry is inactive may be reused.
    r.matrix.setSourceActive(33, false);
    EXPECT_EQ(r.controller.findFreeSlot(), 33);
    r.edits.deleteSlot(40);
    EXPECT_EQ(r.controller.findFreeSlot(), 40);
}

}  // namespace
