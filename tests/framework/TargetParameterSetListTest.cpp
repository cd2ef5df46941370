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

// A matrix of slots that logs every edit together with the owner's state at that moment.
class FakeController : public ModulationController {
public:
    struct Slot {
        int source = -1;
        int target = -1;
    };
    struct Edit {
        std::string what;  // for example "target 3 -1"
        int ownerDepth;
        size_t ownerChanges;  // parameter changes the owner had seen before this edit
    };

    FakeController(ParameterTestOwner& owner, int slotCount) : slots(slotCount), owner_(owner) {}

    void beginEdit() override { record("begin"); }
    void endEdit() override { record("end"); }
    int getSlotSource(int slot) const override { return slots[slot].source; }
    int getSlotTarget(int slot) const override { return slots[slot].target; }
    void findSlotsBySourceRange(int first, int count, std::vector<int>& out) const override {
        find(&Slot::source, first, count, out);
    }
    void findSlotsByTargetRange(int first, int count, std::vector<int>& out) const override {
        find(&Slot::target, first, count, out);
    }
    void findSlotsByTarget(int target, std::vector<int>& out) const override {
        find(&Slot::target, target, 1, out);
    }
    void setInverted(int slot, bool on) override { record("inverted", slot, on); }
    void setBypassed(int slot, bool on) override { record("bypassed", slot, on); }
    void setSlotLevel(int slot, float level) override {
        record("level", slot, static_cast<int>(level));
    }
    void setSlotSource(int slot, int source) override {
        record("source", slot, slots[slot].source = source);
    }
    void setSlotTarget(int slot, int target) override {
        record("target", slot, slots[slot].target = target);
    }

    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (const Edit& e : edits) out.push_back(e.what);
        return out;
    }

    std::vector<Slot> slots;
    std::vector<Edit> edits;

private:
    void find(int Slot::*field, int first, int count, std::vector<int>& out) const {
        for (size_t s = 0; s < slots.size(); ++s) {
            if (slots[s].*field >= first && slots[s].*field < first + count)
                out.push_back(static_cast<int>(s));
        }
    }
    void record(const std::string& what, int slot = -1, int value = 0) {
        const std::string text =
            slot < 0 ? what : what + " " + std::to_string(slot) + " " + std::to_string(value);
        edits.push_back({text, owner_.depth, owner_.changes.size()});
    }

    ParameterTestOwner& owner_;
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
    // Sets slots 0, 1, ... to the given source and target pairs.
    void setSlots(std::initializer_list<std::pair<int, int>> pairs) {
        int slot = 0;
        for (auto [source, target] : pairs) {
            fake->slots[slot].source = source;
            fake->slots[slot++].target = target;
        }
    }
};

TEST_F(ModulationListTest, TargetListDeletesHighestFirstThenRetargetsInOneBatch) {
    // Entry k owns targets 10 + 2k and 11 + 2k.
    TargetParameterSetList<EntrySet> list(&owner, "EGs", 3, 10, 2,
                                          numberedSets<EntrySet>(&owner, "EG"));
    list.setupSets();
    list.numActive().setValue(3.0f, 0);
    list.setControllerFactory(factory(8));
    ASSERT_NE(list.controller(), nullptr);
    setSlots({{5, 10}, {1, 12}, {2, 11}, {3, 15}, {4, 3}, {6, 13}, {7, 16}});
    owner.changes.clear();

    list.removeAt(0);

    // Slots untouched here keep their values (the fake logs every write).
    EXPECT_EQ(list.activeCount(), 2);
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

    // Removing the last active entry: nothing to re-aim.
    fake->edits.clear();
    list.removeAt(1);
    EXPECT_EQ(fake->names(), concat({{"begin"}, deleted(3), {"end"}}));
    EXPECT_EQ(controllersMade, 1);
}

}  // namespace
