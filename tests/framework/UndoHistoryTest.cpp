#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "framework/CompareStates.h"
#include "framework/FloatPluginParameter.h"
#include "framework/StateSnapshot.h"
#include "framework/UndoHistory.h"
#include "tests/framework/TestPluginCore.h"

namespace {

constexpr float kEpsilon = 1.1920929e-7f;

class StatePlugin : public TestPluginCore<FloatPluginParameter> {
public:
    StatePlugin() {
        initialize();
        for (int i = 0; i < 3; ++i) {
            auto p = std::make_unique<FloatPluginParameter>(this, "P" + std::to_string(i));
            p->setRange(0.0f, 1000.0f, 0.0f);
            parameters.push_back(std::move(p));
        }
    }
    void resetProgramChange() override { ++programChangeResets; }

    // Every parameter gets the value v (and v + i for parameter i, so positions are told apart).
    void setAll(float v) {
        for (size_t i = 0; i < parameters.size(); ++i) parameters[i]->setValue(v + i, 0);
    }
    float first() const { return parameters[0]->getValue(); }

    int programChangeResets = 0;
};

// What the editor does after each user action.
void edit(StatePlugin& plugin, float v) {
    plugin.setAll(v);
    plugin.undoHistory().recordEdit();
}

TEST(UndoHistoryTest, RingHoldsNinetyNineUndoStepsAndANewEditDropsTheRedoSteps) {
    StatePlugin plugin;
    auto& history = plugin.undoHistory();
    plugin.setAll(7.0f);
    history.recordInitial();
    EXPECT_FALSE(history.undo());
    EXPECT_EQ(history.states()[0].description, "Initial state");
    edit(plugin, 1.0f);
    history.recordInitial();  // the history is no longer empty
    EXPECT_EQ(history.states()[0].snapshot.values, (std::vector<float>{7.0f, 8.0f, 9.0f}));
    EXPECT_EQ(history.states()[1].description, "");

    for (int i = 2; i <= 150; ++i) edit(plugin, static_cast<float>(i));
    EXPECT_EQ(history.position(), 50);
    for (int i = 1; i <= 99; ++i) {
        ASSERT_TRUE(history.undo()) << i;
        ASSERT_EQ(plugin.first(), 150.0f - i) << i;
    }
    // The oldest state still held is the 51st; nothing before it survives.
    EXPECT_FALSE(history.undo());
    EXPECT_EQ(plugin.first(), 51.0f);
    EXPECT_EQ(history.redoCount(), 99);
    for (int i = 1; i <= 99; ++i) ASSERT_TRUE(history.redo());
    EXPECT_FALSE(history.redo());
    EXPECT_EQ(plugin.first(), 150.0f);
    EXPECT_EQ(history.undoCount(), 99);

    history.undo();
    history.undo();
    edit(plugin, 10.0f);
    EXPECT_FALSE(history.redo());
    EXPECT_EQ(plugin.first(), 10.0f);
    history.undo();
    EXPECT_EQ(plugin.first(), 148.0f);
}

TEST(UndoHistoryTest, UndoAcrossCompareToggleSwitchesTheSlotBack) {
    StatePlugin plugin;
    auto& history = plugin.undoHistory();
    auto& compare = plugin.compareStates();
    history.recordInitial();
    compare.initialize();  // A and B both hold the initial state

    edit(plugin, 100.0f);  // in A
    compare.toggle();      // B: back to the initial state
    EXPECT_EQ(compare.slot(), 1);
    EXPECT_EQ(plugin.first(), 0.0f);
    edit(plugin, 200.0f);  // in B

    history.undo();  // before the edit in B
    EXPECT_EQ(compare.slot(), 1);
    EXPECT_EQ(plugin.first(), 0.0f);
    history.undo();  // before the toggle: slot A again
    EXPECT_EQ(compare.slot(), 0);
    EXPECT_EQ(plugin.first(), 100.0f);
    // Leaving B saved what B held at that moment.
    EXPECT_EQ(compare.states()[1].snapshot.values[0], 0.0f);

    history.redo();
    EXPECT_EQ(compare.slot(), 1);
    EXPECT_EQ(plugin.first(), 0.0f);
    EXPECT_EQ(compare.states()[0].snapshot.values[0], 100.0f);
    history.redo();
    EXPECT_EQ(plugin.first(), 200.0f);
}

TEST(CompareStatesTest, ToggleSwapsStatesAndCopyClearsDiffers) {
    StatePlugin plugin;
    auto& compare = plugin.compareStates();
    plugin.setAll(5.0f);
    compare.initialize();
    plugin.setAll(6.0f);
    compare.initialize();  // only the first call counts
    EXPECT_EQ(compare.states()[0].snapshot.values[0], 5.0f);
    EXPECT_EQ(compare.states()[1].snapshot.values[0], 5.0f);
    EXPECT_FALSE(compare.differs());

    compare.toggle();  // A keeps 6, B restores 5
    EXPECT_EQ(plugin.first(), 5.0f);
    plugin.setAll(9.0f);
    compare.toggle();
    EXPECT_EQ(compare.slot(), 0);
    EXPECT_EQ(plugin.first(), 6.0f);
    compare.toggle();
    EXPECT_EQ(plugin.first(), 9.0f);

    edit(plugin, 11.0f);
    EXPECT_TRUE(compare.differs());
    compare.copyToOther();
    EXPECT_FALSE(compare.differs());
    EXPECT_EQ(compare.states()[0].snapshot.values[0], 11.0f);
    edit(plugin, 12.0f);
    EXPECT_TRUE(compare.differs());
    plugin.undoHistory().undo();
    EXPECT_TRUE(compare.differs());

    // switchTo only saves the slot being left; it restores nothing.
    EXPECT_EQ(compare.slot(), 1);
    plugin.setAll(13.0f);
    compare.switchTo(0);
    EXPECT_EQ(plugin.first(), 13.0f);
    EXPECT_EQ(compare.states()[1].snapshot.values[0], 13.0f);
    compare.switchTo(0);  // same slot: nothing saved
    EXPECT_EQ(compare.states()[0].snapshot.values[0], 11.0f);
}

TEST(StateSnapshotTest, RestoreAppliesValuesInOneBatchAndTakesOverThePresetRecord) {
    StatePlugin plugin;
    RecordingAdapter adapter;
    plugin.setAdapter(&adapter);
    plugin.currentPreset().name = "Lead";
    plugin.currentPreset().path = "/presets/Lead.qvp";
    plugin.setAll(1.0f);
    plugin.currentPreset().clearModified();
    StateSnapshot snapshot;
    captureState(plugin, 1, snapshot);
    EXPECT_EQ(snapshot.pluginValue, 1);
    EXPECT_FALSE(snapshot.modified);

    plugin.currentPreset().name = "Pad";
    plugin.currentPreset().path = "/presets/Pad.qvp";
    plugin.setAll(50.0f);
    adapter.changed.clear();

    restoreState(plugin, snapshot);
    EXPECT_EQ(plugin.first(), 1.0f);
    EXPECT_EQ(adapter.changed, std::vector<int>{-1});  // one notice for the batch
    EXPECT_EQ(adapter.presetChanges, 1);
    EXPECT_EQ(plugin.programChangeResets, 1);
    EXPECT_EQ(plugin.currentPreset().name, "Lead");
    EXPECT_EQ(plugin.currentPreset().path, "/presets/Lead.qvp");
    EXPECT_FALSE(plugin.currentPreset().isModified());

    // Same path: no preset-changed notice; a modified snapshot stays modified.
    plugin.setAll(2.0f);
    captureState(plugin, 0, snapshot);
    EXPECT_TRUE(snapshot.modified);
    restoreState(plugin, snapshot);
    EXPECT_EQ(adapter.presetChanges, 1);
    EXPECT_TRUE(plugin.currentPreset().isModified());
    plugin.setAdapter(nullptr);
}

TEST(StateSnapshotTest, ValuesMatchWithinEpsilonAndApplyTakesTheShorterLength) {
    StatePlugin plugin;
    plugin.setAll(100.0f);
    std::vector<float> values = captureValues(plugin);
    EXPECT_EQ(values, (std::vector<float>{100.0f, 101.0f, 102.0f}));
    EXPECT_TRUE(valuesMatch(plugin, values));

    // Below 100 the spacing of floats is fine enough to step just inside and outside epsilon.
    plugin.setAll(0.5f);
    values = captureValues(plugin);
    values[1] += kEpsilon * 0.75f;
    EXPECT_TRUE(valuesMatch(plugin, values));
    values[1] += kEpsilon;
    EXPECT_FALSE(valuesMatch(plugin, values));
    values.pop_back();
    EXPECT_FALSE(valuesMatch(plugin, values));

    applyValues(plugin, {7.0f, 8.0f});
    EXPECT_EQ(captureValues(plugin), (std::vector<float>{7.0f, 8.0f, 2.5f}));
    applyValues(plugin, {1.0f, 2.0f, 3.0f, 4.0f, 5.0f});
    EXPECT_EQ(captureValues(plugin), (std::vector<float>{1.0f, 2.0f, 3.0f}));
}

}  // namespace
