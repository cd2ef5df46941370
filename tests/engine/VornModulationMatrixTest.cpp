#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <thread>
#include <vector>

#include "engine/VornPlugin.h"
#include "tests/support/AllocationCounter.h"

namespace {

constexpr int kLevel1 = ModulationSlotParameterSet::kFirstLevelTarget;
constexpr int kDelayLTime = 23;
constexpr int kOscillator1Pan = 6;
constexpr int kMasterTune = 0;

// Slot parameters reach the matrix only when the audio thread applies the queued changes.
TEST(VornModulationMatrix, SlotParametersWriteTheSlotRecords) {
    VornPlugin plugin;
    VornPlugin::Parameters& p = plugin.parameters();
    const ModulationMatrix* m = plugin.modulationMatrix();
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->sourceCount(), 34);
    EXPECT_EQ(m->targetCount(), 157);
    EXPECT_EQ(m->slotCount(), 50);
    EXPECT_EQ(m->firstLevelTarget(), kLevel1);
    EXPECT_FLOAT_EQ(m->target(kDelayLTime).upper, 5000.0f);
    EXPECT_FLOAT_EQ(m->target(kOscillator1Pan).lower, -1.0f);

    // Sources of list entries in use only: XY 3 is entry 2.
    p.xyControllers.numActive().setValue(3.0f, 0);
    ModulationSlotParameterSet& slot = p.slots[2];
    slot.source.setValue(6.0f, 0);
    slot.target.setValue(4.0f, 0);
    slot.inverted.setValue(1.0f, 0);
    slot.level.setValue(0.25f, 0);
    EXPECT_EQ(m->slot(2).source, -1);
    plugin.applyParameterChanges();

    EXPECT_EQ(m->slot(2).source, 5);
    EXPECT_EQ(m->slot(2).target, 3);
    EXPECT_TRUE(m->slot(2).inverted);
    EXPECT_NE(m->slot(2).state, ModulationMatrix::kStateInactive);
    const auto& aimed = m->target(3).slots;
    EXPECT_EQ(std::count(aimed.begin(), aimed.end(), 2), 1);
    EXPECT_FLOAT_EQ(m->target(kLevel1 + 2).base, slot.level.engineValue(0.25f));
    EXPECT_LT(m->target(kLevel1 + 2).scale, 0.0f);  // inverted

    slot.bypassed.setValue(1.0f, 0);
    plugin.applyParameterChanges();
    EXPECT_EQ(m->slot(2).state, ModulationMatrix::kStateInactive);

    slot.target.setValue(0.0f, 0);
    plugin.applyParameterChanges();
    EXPECT_EQ(m->slot(2).target, -1);
    EXPECT_TRUE(m->target(3).slots.empty());

    p.masterTune.setValue(0.5f, 0);
    plugin.applyParameterChanges();
    EXPECT_FLOAT_EQ(m->target(kMasterTune).base, p.masterTune.engineValue(0.5f));
}

// The lists' parameter controller asks the real matrix which slots are valid.
TEST(VornModulationMatrix, FreeSlotSkipsValidSlotsAndTakesAnInvalidOne) {
    VornPlugin plugin;
    VornPlugin::Parameters& p = plugin.parameters();
    p.xyControllers.numActive().setValue(1.0f, 0);
    for (int i = 0; i < ModulationSlotParameterSet::kCount; ++i) {
        p.slots[i].source.setValue(1.0f, 0);
        p.slots[i].target.setValue(1.0f, 0);
    }
    p.slots[7].bypassed.setValue(1.0f, 0);
    plugin.applyParameterChanges();
    auto* c = dynamic_cast<ModulationMatrix::Controller*>(p.slots.controller());
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->findFreeSlot(), 7);
}

// The editor thread rewires slots while the audio thread renders; every edit reaches the
// matrix through the parameter queue, and applying it allocates nothing.
TEST(VornModulationMatrix, SlotEditsFromAnotherThreadApplyWithoutAllocating) {
    constexpr int kEdits = 2000;  // fewer than the queue's nodes: the queue never grows
    constexpr int kEditedSlots = 8;
    constexpr int kFrames = 256;
    VornPlugin plugin;
    VornPlugin::Parameters& p = plugin.parameters();
    std::vector<float> left(kFrames);
    std::vector<float> right(kFrames);
    std::array<float*, 2> outputs{left.data(), right.data()};

    std::atomic<bool> done{false};
    std::thread editor([&] {
        for (int e = 0; e < kEdits; ++e) {
            ModulationSlotParameterSet& slot = p.slots[e % kEditedSlots];
            slot.source.setValue(static_cast<float>(1 + e % 34), 0);
            slot.target.setValue(static_cast<float>(e % 158), 0);
            slot.inverted.setValue(static_cast<float>(e % 2), 0);
            slot.level.setValue(static_cast<float>(e % 10) / 10.0f, 0);
        }
        done = true;
    });
    size_t allocations = 0;
    int blocks = 0;
    {
        AllocationGuard guard;
        while (!done) {
            plugin.processBlock(nullptr, 0, outputs.data(), 2, kFrames);
            ++blocks;
        }
        editor.join();
        plugin.processBlock(nullptr, 0, outputs.data(), 2, kFrames);
        allocations = guard.allocations();
    }
    EXPECT_EQ(allocations, 0u) << "over " << blocks << " blocks";

    const ModulationMatrix& m = *plugin.modulationMatrix();
    for (int i = 0; i < kEditedSlots; ++i) {
        ModulationSlotParameterSet& slot = p.slots[i];
        EXPECT_EQ(m.slot(i).source, static_cast<int>(slot.source.getValue()) - 1) << i;
        EXPECT_EQ(m.slot(i).target, static_cast<int>(slot.target.getValue()) - 1) << i;
        EXPECT_EQ(m.slot(i).inverted, slot.inverted.getValue() >= 0.5f) << i;
        EXPECT_FLOAT_EQ(m.target(kLevel1 + i).base, slot.level.engineValue(slot.level.getValue()));
        const int t = m.slot(i).target;
        if (t >= 0) {
            const auto& aimed = m.target(t).slots;
            EXPECT_EQ(std::count(aimed.begin(), aimed.end(), i), 1) << i;
        }
    }
}

}  // namespace
