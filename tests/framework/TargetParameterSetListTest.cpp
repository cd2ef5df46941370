#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "framework/FloatPluginParameter.h"
#include "framework/TargetParameterSetList.h"
#include "tests/framework/ParameterTestOwner.h"

namespace {

class EntrySet : public PluginParameterSet {
public:
    EntrySet(GenericParameterOwner* owner, const std::string& name)
        : PluginParameterSet(owner, name), amount(this, name + " Amount") {}
    void setup() override { amount.setRange(0.0f, 1.0f, 0.5f); }
    FloatPluginParameter amount;
};

auto makeEntries(GenericParameterOwner* owner, const std::string& prefix) {
    return [owner, prefix](int i) {
        return std::make_unique<EntrySet>(owner, prefix + " " + std::to_string(i + 1));
    };
}

// A matrix of slots that logs every edit together with the owner's state at that moment.
class FakeController : public ModulationMatrix::Controller {
public:
    struct Slot {
        int source = -1;
        int target = -1;
        bool inverted = false;
        bool bypassed = false;
        float level = 0.5f;
    };
    struct Edit {
        std::string what;
        int ownerDepth;
        size_t ownerChanges;  // parameter changes the owner had seen before this edit
    };

    FakeController(ParameterTestOwner& owner, int slotCount) : owner_(owner), slots(slotCount) {}

    void beginEdit() override { record("begin"); }
    int findFreeSlot() const override { return -1; }
    void endEdit() override { record("end"); }
    bool isInverted(int slot) const override { return slots[slot].inverted; }
    bool isBypassed(int slot) const override { return slots[slot].bypassed; }
    float getSlotLevel(int slot) const override { return slots[slot].level; }
    int getSlotSource(int slot) const override { return slots[slot].source; }
    int getSlotTarget(int slot) const override { return slots[slot].target; }
    void findSlotsBySourceRange(int first, int count, std::vector<int>& out) const override {
        for (size_t s = 0; s < slots.size(); ++s) {
            if (slots[s].source >= first && slots[s].source < first + count)
                out.push_back(static_cast<int>(s));
        }
    }
    void findSlotsBySource(int source, std::vector<int>& out) const override {
        findSlotsBySourceRange(source, 1, out);
    }
    void findSlotsForSourceKey(int, int, std::vector<int>&) const override {}
    void findSlotsByTargets(const std::vector<int>& targets, std::vector<int>& out) const override {
        for (int t : targets) findSlotsByTarget(t, out);
    }
    void findSlotsByTargetRange(int first, int count, std::vector<int>& out) const override {
        for (size_t s = 0; s < slots.size(); ++s) {
            if (slots[s].target >= first && slots[s].target < first + count)
                out.push_back(static_cast<int>(s));
        }
    }
    void findSlotsByTarget(int target, std::vector<int>& out) const override {
        findSlotsByTargetRange(target, 1, out);
    }
    void setInverted(int slot, bool on) override {
        slots[slot].inverted = on;
        record("inverted", slot, on);
    }
    void setBypassed(int slot, bool on) override {
        slots[slot].bypassed = on;
        record("bypassed", slot, on);
    }
    void setSlotLevel(int slot, float level) override {
        slots[slot].level = level;
        record("level", slot, static_cast<int>(level));
    }
    void setSlotSource(int slot, int source) override {
        slots[slot].source = source;
        record("source", slot, source);
    }
    void setSlotTarget(int slot, int target) override {
        slots[slot].target = target;
        record("target", slot, target);
    }
    void collectDependentTargets(int) override {}

    // The edit names in order, for example "target 3 -1".
    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (const Edit& e : edits) out.push_back(e.what);
        return out;
    }

private:
    void record(const std::string& what, int slot = -1, int value = 0) {
        std::string text = what;
        if (slot >= 0) text += " " + std::to_string(slot) + " " + std::to_string(value);
        edits.push_back({text, owner_.depth, owner_.changes.size()});
    }

    ParameterTestOwner& owner_;

public:
    std::vector<Slot> slots;
    std::vector<Edit> edits;
};

std::vector<std::string> deleted(int slot) {
    const std::string s = std::to_string(slot);
    return {"source " + s + " -1", "target " + s + " -1", "inverted " + s + " 0",
            "bypassed " + s + " 0", "level " + s + " 0"};
}

std::vector<std::string> concat(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> out;
    for (const auto& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

class ModulationListTest : public ::testing::Test {
protected:
    ParameterTestOwner owner;
    FakeController* fake = nullptr;
    int controllersMade = 0;

    ModulationControllerFactory factory(int slotCount) {
        return [this, slotCount] {
            auto controller = std::make_unique<FakeController>(owner, slotCount);
            fake = controller.get();
            ++controllersMade;
            return controller;
        };
    }
    void setSlot(int slot, int source, int target) {
        fake->slots[slot].source = source;
        fake->slots[slot].target = target;
    }
};

TEST_F(ModulationListTest, TargetListDeletesHighestFirstThenRetargetsInOneBatch) {
    // Entry k owns targets 10 + 2k and 11 + 2k.
    TargetParameterSetList<EntrySet> list(&owner, "EGs", 3, 10, 2, makeEntries(&owner, "EG"));
    list.setupSets();
    list.numActive().setValue(3.0f, 0);
    for (int i = 0; i < 3; ++i) list[i].amount.setValue(0.1f * (i + 1), 0);
    list.setControllerFactory(factory(8));
    ASSERT_NE(list.controller(), nullptr);
    setSlot(0, 5, 10);
    setSlot(1, 1, 12);
    setSlot(2, 2, 11);
    fake->slots[2].inverted = true;
    fake->slots[2].bypassed = true;
    setSlot(3, 3, 15);
    setSlot(4, 4, 3);
    setSlot(5, 6, 13);
    setSlot(6, 7, 16);
    owner.changes.clear();

    list.removeAt(0);

    EXPECT_EQ(fake->names(), concat({{"begin"},
                                     deleted(2),
                                     deleted(0),
                                     {"target 1 10", "target 3 13", "target 5 11", "end"}}));
    EXPECT_EQ(owner.batches, 1);
    EXPECT_EQ(owner.depth, 0);
    for (const auto& edit : fake->edits) EXPECT_EQ(edit.ownerDepth, 1) << edit.what;
    // Slots are deleted before the entries move and re-aimed after.
    EXPECT_EQ(fake->edits[1].ownerChanges, 0u);
    EXPECT_EQ(fake->edits[11].ownerChanges, owner.changes.size());

    EXPECT_FALSE(fake->slots[2].inverted);
    EXPECT_FALSE(fake->slots[2].bypassed);
    EXPECT_EQ(fake->slots[2].level, 0.0f);
    EXPECT_EQ(fake->slots[4].target, 3);
    EXPECT_EQ(fake->slots[6].target, 16);
    EXPECT_EQ(list.activeCount(), 2);
    EXPECT_FLOAT_EQ(list[0].amount.getValue(), 0.2f);
    EXPECT_FLOAT_EQ(list[1].amount.getValue(), 0.3f);
    EXPECT_FLOAT_EQ(list[2].amount.getValue(), 0.5f);

    // Removing the last active entry: nothing to re-aim.
    fake->edits.clear();
    list.removeAt(1);
    EXPECT_EQ(fake->names(), concat({{"begin"}, deleted(3), {"end"}}));
    EXPECT_EQ(controllersMade, 1);
}

TEST_F(ModulationListTest, SourceListDeletesSourcesThenTargetsThenRenumbers) {
    // Entry k owns target 20 + k and sources 4 + 2k, 5 + 2k.
    SourceParameterSetList<EntrySet> list(&owner, "XLFOs", 3, 20, 1, 4, 2,
                                          makeEntries(&owner, "XLFO"));
    list.setupSets();
    list.numActive().setValue(3.0f, 0);
    list.setControllerFactory(factory(6));
    ASSERT_NE(list.controller(), nullptr);
    setSlot(0, 6, 0);   // fed by entry 1
    setSlot(1, 0, 21);  // aimed at entry 1
    setSlot(2, 8, 22);  // fed by and aimed at entry 2
    setSlot(3, 9, 1);   // fed by entry 2
    setSlot(4, 4, 20);  // entry 0 only
    setSlot(5, 7, 22);  // fed by entry 1, aimed at entry 2
    owner.changes.clear();

    list.removeAt(1);

    EXPECT_EQ(fake->names(), concat({{"begin"},
                                     deleted(5),
                                     deleted(0),
                                     deleted(1),
                                     {"target 2 21", "source 2 6", "source 3 7", "end"}}));
    EXPECT_EQ(owner.batches, 1);
    for (const auto& edit : fake->edits) EXPECT_EQ(edit.ownerDepth, 1) << edit.what;
    EXPECT_EQ(fake->edits.end()[-4].ownerChanges, owner.changes.size());
    EXPECT_EQ(fake->slots[4].source, 4);
    EXPECT_EQ(fake->slots[4].target, 20);
    EXPECT_EQ(list.activeCount(), 2);
    EXPECT_EQ(list.firstSource(), 4);
    EXPECT_EQ(list.sourcesPerEntry(), 2);
}

TEST_F(ModulationListTest, RemovalWorksWithoutAController) {
    SourceParameterSetList<EntrySet> list(&owner, "MIDI Sources", 2, 0, 0, 24, 1,
                                          makeEntries(&owner, "MIDI Source"));
    list.setupSets();
    list.numActive().setValue(2.0f, 0);
    list[1].amount.setValue(0.9f, 0);
    EXPECT_EQ(list.controller(), nullptr);
    list.removeAt(0);
    EXPECT_EQ(list.activeCount(), 1);
    EXPECT_FLOAT_EQ(list[0].amount.getValue(), 0.9f);
    EXPECT_EQ(owner.batches, 1);

    // Without targets per entry the controller is never asked about targets.
    list.setControllerFactory(factory(4));
    list.numActive().setValue(2.0f, 0);
    ASSERT_NE(list.controller(), nullptr);
    setSlot(0, 25, 7);
    list.removeAt(0);
    EXPECT_EQ(fake->names(), (std::vector<std::string>{"begin", "source 0 24", "end"}));
}

}  // namespace
