#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "framework/FloatPluginParameter.h"
#include "framework/IndexedPluginParameter.h"
#include "framework/ParameterSetList.h"
#include "tests/framework/ParameterTestOwner.h"
#include "tests/support/AllocationCounter.h"
#include "wave/Environment.h"
#include "wave/FloatParameterSource.h"

namespace {

class TestSet : public PluginParameterSet {
public:
    TestSet(GenericParameterOwner* owner, const std::string& name)
        : PluginParameterSet(owner, name),
          level(this, name + " Level"),
          mode(this, name + " Mode") {}
    void setup() override {
        level.setRange(0.0f, 1.0f, 0.5f);
        mode.declare(0, 3, 1);
    }
    FloatPluginParameter level;
    IndexedPluginParameter<int> mode;
};

using Levels = std::vector<float>;

Levels levels(ParameterSetList<TestSet>& list) {
    Levels out;
    for (int i = 0; i < list.getCount(); ++i) out.push_back(list[i].level.getValue());
    return out;
}

void setLevels(ParameterSetList<TestSet>& list, const Levels& values) {
    for (int i = 0; i < list.getCount(); ++i) list[i].level.setValue(values[i], 0);
}

TEST(ParameterSetTest, SetsRegisterThroughThemselvesAndArraysCollectAndReset) {
    ParameterTestOwner owner;
    FloatPluginParameter before(&owner, "Before");
    ParameterSetArray<TestSet> oscillators(3, numberedSets<TestSet>(&owner, "Osc"));
    oscillators.setupSets();
    EXPECT_EQ(owner.groups, (std::vector<std::string>{"Osc 1", "Osc 2", "Osc 3"}));
    TestSet& second = oscillators[1];
    EXPECT_EQ(second.getGroup(), 1);
    EXPECT_EQ(second.getParameter(1), &second.mode);
    EXPECT_EQ(second.getParameter(2), nullptr);
    for (int id : {0, 7}) EXPECT_FALSE(oscillators.ownsParameterId(id)) << id;
    for (int id : {1, 6, -1}) EXPECT_TRUE(oscillators.ownsParameterId(id)) << id;

    // Changes and batches go through to the owner.
    owner.changes.clear();
    second.beginUpdate();
    second.level.setValue(0.25f, 1);
    second.endUpdate();
    EXPECT_EQ(owner.batches, 1);
    ASSERT_EQ(owner.changes.size(), 1u);
    EXPECT_EQ(owner.changes[0].id, 3u);
    EXPECT_EQ(owner.changes[0].depth, 1);
    oscillators[2].mode.setValue(3.0f, 0);
    oscillators.resetToDefaults();
    EXPECT_EQ(second.level.getValue(), 0.5f);
    EXPECT_EQ(oscillators[2].mode.getValue(), 1.0f);

    ParameterSetArray<TestSet> empty(0, numberedSets<TestSet>(&owner, "None"));
    EXPECT_EQ(empty.firstParameterId(), -1);
    EXPECT_FALSE(empty.ownsParameterId(-1));
}

class ParameterSetListTest : public ::testing::Test {
protected:
    ParameterSetListTest()
        : before(&owner, "Before"),
          list(&owner, "Things", 3, numberedSets<TestSet>(&owner, "Thing")),
          linked(&owner, "Shadows", 3, numberedSets<TestSet>(&owner, "Shadow")) {
        list.setupSets();
        linked.setupSets();
        list.addLinkedList(&linked);
        list.numActive().setValue(3.0f, 0);
        setLevels(list, {0.1f, 0.2f, 0.3f});
        setLevels(linked, {0.6f, 0.7f, 0.8f});
        owner.changes.clear();
    }

    // Every change since the fixture was set up arrived inside one outermost batch.
    void expectOneBatch() {
        EXPECT_EQ(owner.batches, 1);
        EXPECT_EQ(owner.depth, 0);
        for (const auto& change : owner.changes) EXPECT_EQ(change.depth, 1);
    }

    ParameterTestOwner owner;
    FloatPluginParameter before;
    ParameterSetList<TestSet> list;
    ParameterSetList<TestSet> linked;
};

TEST_F(ParameterSetListTest, CountParameterComesFirstLinksReachOneWayAndSetsCopyAndReset) {
    EXPECT_EQ(list.numActive().name(), "Num Active Things");
    EXPECT_EQ(list.numActive().getMaximum(), 3.0f);
    EXPECT_EQ(list.firstParameterId(), 2);
    EXPECT_FALSE(list.ownsParameterId(0));
    EXPECT_TRUE(list.ownsParameterId(1));
    EXPECT_TRUE(list.ownsParameterId(static_cast<int>(linked[2].mode.id())));
    EXPECT_FALSE(list.ownsParameterId(static_cast<int>(linked.numActive().id())));
    EXPECT_FALSE(linked.ownsParameterId(3));
    // Whole sets copy and reset; resetting the list resets the count as well.
    list[2].mode.setValue(3.0f, 0);
    AbstractParameterSetList::copyValues(list[0], list[2]);
    EXPECT_EQ(list[0].mode.getValue(), 3.0f);
    AbstractParameterSetList::resetToDefaults(list[0]);
    EXPECT_EQ(list[0].mode.getValue(), 1.0f);
    EXPECT_EQ(levels(list), (Levels{0.5f, 0.2f, 0.3f}));
    list.resetToDefaults();  // the count as well
    EXPECT_EQ(list.activeCount(), 0);
    EXPECT_EQ(levels(list), (Levels{0.5f, 0.5f, 0.5f}));
}

TEST_F(ParameterSetListTest, RemovingMovesLaterEntriesDownAndResetsTheFreedOne) {
    list.removeAt(0);
    EXPECT_EQ(list.activeCount(), 2);
    EXPECT_EQ(levels(list), (Levels{0.2f, 0.3f, 0.5f}));
    EXPECT_EQ(levels(linked), (Levels{0.7f, 0.8f, 0.5f}));
    expectOneBatch();
    ASSERT_FALSE(owner.changes.empty());
    EXPECT_EQ(owner.changes[0].id, list.numActive().id());
    EXPECT_EQ(owner.changes[0].value, 2.0f);
    list.removeAt(1);
    EXPECT_EQ(levels(list), (Levels{0.2f, 0.5f, 0.5f}));

    // Outside the allowed range nothing happens: past N, or N at the count's minimum.
    owner.changes.clear();
    list.removeAt(1);
    list.removeAt(-1);
    list.numActive().declare(1, 3, 1);
    list.removeAt(0);
    EXPECT_EQ(list.activeCount(), 1);
    EXPECT_TRUE(owner.changes.empty());
    EXPECT_EQ(owner.batches, 2);
}

TEST_F(ParameterSetListTest, InsertingMovesEntriesUpFromThePreviousOne) {
    // Entries index-1.. move up one place, so the new entry starts as a copy of its predecessor
    // (entry 0 keeps its own values).
    list.numActive().setValue(2.0f, 0);
    owner.changes.clear();
    list.insertAt(1);
    EXPECT_EQ(list.activeCount(), 3);
    EXPECT_EQ(levels(list), (Levels{0.1f, 0.1f, 0.2f}));
    EXPECT_EQ(levels(linked), (Levels{0.6f, 0.6f, 0.7f}));
    expectOneBatch();
    list.insertAt(0);  // full: nothing happens
    EXPECT_EQ(owner.batches, 1);

    setLevels(list, {0.1f, 0.2f, 0.3f});
    list.numActive().setValue(1.0f, 0);
    list.insertAt(2);  // past N: nothing happens
    EXPECT_EQ(list.activeCount(), 1);
    list.insertAt(0);
    EXPECT_EQ(levels(list), (Levels{0.1f, 0.1f, 0.3f}));
    list[1].level.setValue(0.4f, 0);
    list.insertAt(2);  // appending copies the last active entry
    EXPECT_EQ(list.activeCount(), 3);
    EXPECT_EQ(levels(list), (Levels{0.1f, 0.4f, 0.4f}));
}

TEST_F(ParameterSetListTest, AppliedCountEnablesTheActiveEntriesEngineObjects) {
    wave::Environment env(64);
    wave::FloatParameterSource e0(env, 0.0f), e1a(env, 0.0f), e1b(env, 0.0f), e2(env, 0.0f);
    list.addEngineObject(0, &e0);
    list.addEngineObject(1, &e1a);
    list.addEngineObject(1, &e1b);
    list.addEngineObject(2, &e2);
    RecordingPropertyOwner count;
    count.changes.reserve(8);  // no allocation behind the guard
    Property<int> bound(&count, 0);
    list.numActive().bind(&bound);
    {
        AllocationGuard guard;
        list.numActive().applyValue(2.0f);
        EXPECT_EQ(guard.allocations(), 0u);
    }
    EXPECT_TRUE(e0.isEnabled() && e1a.isEnabled() && e1b.isEnabled());
    EXPECT_FALSE(e2.isEnabled());
    EXPECT_EQ(bound.get(), 2);
    list.numActive().applyValue(0.0f);
    EXPECT_FALSE(e0.isEnabled() || e1b.isEnabled());
    list.numActive().applyValue(3.0f);
    EXPECT_TRUE(e2.isEnabled());
    EXPECT_EQ(bound.get(), 3);
    EXPECT_EQ(count.changes, std::vector<const void*>(3, &bound));
}

}  // namespace
