#include <gtest/gtest.h>

#include <set>

#include "editor/ComponentButtons.h"
#include "framework/SynthNumbering.h"
#include "framework/UndoHistory.h"
#include "tests/editor/EditorRig.h"

namespace {

using gui::modifier::kAlt;   // function 1 in the default table
using gui::modifier::kCtrl;  // function 2
using gui::modifier::kLeftButton;

enum Button { kOsc1 = 0, kFilter1 = 3, kDelayL = 5, kDelayFilter1 = 7 };

class ComponentButtonTest : public ::testing::Test, public EditorRig {
protected:
    ComponentButtonTest() { gui::ModifierTable::reset(); }

    float value(const std::string& name) { return parameter(name).getValue(); }
    gui::Point centre(int button) {
        return EditorRig::centre(editor.componentButton(button).rootBounds());
    }
    void press(int button, uint32_t modifiers = 0) {
        at_ = centre(button);
        editor.mousePressed({at_, kLeftButton | modifiers, time_ += 100});
    }
    // Moves the held mouse by (dx, dy) in steps of at most 4 pixels, 20 ms apart.
    void move(int dx, int dy, uint32_t modifiers = 0) {
        const int steps = std::max(1, std::max(std::abs(dx), std::abs(dy)) / 4);
        const gui::Point from = at_;
        for (int i = 1; i <= steps; ++i) {
            at_ = {from.x + dx * i / steps, from.y + dy * i / steps};
            editor.mouseMoved({at_, kLeftButton | modifiers, time_ += 20});
        }
    }
    void release(uint32_t modifiers = 0) { editor.mouseReleased({at_, modifiers, time_ += 20}); }
    void drag(int button, int dx, int dy, uint32_t modifiers = 0) {
        press(button, modifiers);
        move(dx, dy, modifiers);
        release(modifiers);
    }
    int undoSteps() { return plugin.undoHistory().undoCount(); }

    gui::Point at_;
    int64_t time_ = 1000;
};

// A press and release closer than 5 pixels is a click: it changes nothing and expands or
// collapses the button's section.
TEST_F(ComponentButtonTest, AClickExpandsTheSectionAndChangesNothing) {
    editor.expand(-1);
    const float detune = value("Osc 1 Detune"), scale = value("Osc 1 Scale");
    const int undo = undoSteps();
    press(kOsc1);
    move(4, -4);
    release();
    EXPECT_EQ(editor.expandedSection(), VornInterface::kOscillators);
    EXPECT_EQ(value("Osc 1 Detune"), detune);
    EXPECT_EQ(value("Osc 1 Scale"), scale);
    EXPECT_EQ(undoSteps(), undo);
    drag(kFilter1, 0, 0);
    EXPECT_EQ(editor.expandedSection(), VornInterface::kFilters);
    drag(kFilter1, 2, 0);
    EXPECT_EQ(editor.expandedSection(), -1);
    drag(kDelayFilter1, 0, 0);
    EXPECT_EQ(editor.expandedSection(), VornInterface::kDelay);
}

// Up moves " Scale" through its four values, right moves " Detune"; each drag is one undo step.
TEST_F(ComponentButtonTest, AnOscillatorDragMovesScaleUpAndDetuneRight) {
    const int undo = undoSteps();
    std::set<float> scales{value("Osc 1 Scale")};
    press(kOsc1);
    for (int i = 0; i < 50; ++i) {
        move(0, -4);
        scales.insert(value("Osc 1 Scale"));
    }
    release();
    EXPECT_EQ(value("Osc 1 Scale"), 3.0f);
    drag(kOsc1, 0, 200);
    EXPECT_EQ(value("Osc 1 Scale"), 0.0f);
    scales.insert(0.0f);
    EXPECT_EQ(scales, (std::set<float>{1, 2, 3, 0}));
    EXPECT_EQ(value("Osc 1 Detune"), 0.0f);
    drag(kOsc1, 120, 0);
    EXPECT_GT(value("Osc 1 Detune"), 0.1f);
    EXPECT_EQ(value("Osc 1 Scale"), 0.0f);
    EXPECT_EQ(undoSteps(), undo + 3);
}

// Function 1 mid-drag switches a filter button to " Pan" and " Response" and back to " Freq"
// and " Peak" from where the mouse is, without a jump.
TEST_F(ComponentButtonTest, FunctionOneSwitchesTheFilterPairMidDrag) {
    const float freq = value("Filter 1 Freq"), response = value("Filter 1 Response");
    const float pan = value("Filter 1 Pan");
    const int undo = undoSteps();
    press(kFilter1);
    move(-40, 0);
    const float lowered = value("Filter 1 Freq");
    EXPECT_LT(lowered, freq);
    move(-40, -60, kAlt);
    EXPECT_EQ(value("Filter 1 Freq"), lowered);
    EXPECT_LT(value("Filter 1 Pan"), pan);
    EXPECT_GT(value("Filter 1 Response"), response);
    const float panned = value("Filter 1 Pan");
    move(0, 0);  // the modifier let go: nothing moves until the mouse does
    EXPECT_EQ(value("Filter 1 Freq"), lowered);
    move(-20, 0);
    EXPECT_LT(value("Filter 1 Freq"), lowered);
    EXPECT_EQ(value("Filter 1 Pan"), panned);
    release();
    EXPECT_EQ(undoSteps(), undo + 1);
}

// Function 2 locks a mostly horizontal drag: only the horizontal parameter changes.
TEST_F(ComponentButtonTest, FunctionTwoLocksTheDirection) {
    const float time = value("Delay L Time"), feedback = value("Delay L Feedback");
    drag(kDelayL, 60, -25, kCtrl);
    EXPECT_GT(value("Delay L Time"), time);
    EXPECT_EQ(value("Delay L Feedback"), feedback);
    drag(kDelayL, 10, -60, kCtrl);
    EXPECT_GT(value("Delay L Feedback"), feedback);
}

// A function-1 click puts the four bound parameters back to their defaults as one undo step;
// the wheel moves both of the pair as one step too.
TEST_F(ComponentButtonTest, AFunctionOneClickResetsTheDelaySide) {
    const char* names[] = {"Delay L Time", "Delay L Feedback", "Delay L Sync",
                           "Delay L Cross Feedback"};
    std::vector<float> defaults;
    for (const char* n : names) defaults.push_back(value(n));
    drag(kDelayL, 50, -50);
    drag(kDelayL, 30, -40, kAlt);
    for (int i = 0; i < 4; ++i) EXPECT_NE(value(names[i]), defaults[size_t(i)]) << names[i];
    const int undo = undoSteps(), expanded = editor.expandedSection();
    press(kDelayL, kAlt);
    release(kAlt);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(value(names[i]), defaults[size_t(i)]) << names[i];
    EXPECT_EQ(undoSteps(), undo + 1);
    EXPECT_EQ(editor.expandedSection(), expanded);

    const gui::Point c = centre(kFilter1);
    const float freq = value("Filter 1 Freq"), peak = value("Filter 1 Peak");
    editor.mouseWheeled({c, 0, time_ += 20, -2.0f, 3.0f});
    EXPECT_LT(value("Filter 1 Freq"), freq);
    EXPECT_GT(value("Filter 1 Peak"), peak);
    EXPECT_EQ(undoSteps(), undo + 2);
}

// A button shows the indicator while an active slot aims at one of its targets.
TEST_F(ComponentButtonTest, TheIndicatorFollowsTheActiveSlots) {
    auto& filter = static_cast<ModulationComponentButton&>(editor.componentButton(kFilter1));
    auto& osc = static_cast<ModulationComponentButton&>(editor.componentButton(kOsc1));
    EXPECT_EQ(filter.firstTarget(), synth::filterTarget(0, 0));
    set("Slot 1 Target", static_cast<float>(synth::filterTarget(0, synth::kPeakTarget) + 1));
    EXPECT_FALSE(filter.modulated()) << "no active slot yet";
    set("Num Active Slots", 1);
    EXPECT_TRUE(filter.modulated());
    EXPECT_FALSE(osc.modulated());
    set("Slot 1 Target", static_cast<float>(synth::oscillatorTarget(0, 0) + 1));
    EXPECT_FALSE(filter.modulated());
    EXPECT_TRUE(osc.modulated());
}

}  // namespace

namespace {

// "Show Component Displays" takes the pictures off the buttons and puts them back.
TEST_F(ComponentButtonTest, ComponentDisplaysCanBeHidden) {
    const bool shown = QuorvalisPluginInterface::componentDisplaysShown();
    auto& osc = editor.componentButton(kOsc1);
    EXPECT_EQ(osc.pictureShown(), shown);
    editor.helpChosen(QuorvalisPluginInterface::kComponentDisplays);
    EXPECT_EQ(osc.pictureShown(), !shown);
    for (const auto& child : osc.children()) {
        if (!dynamic_cast<gui::ValueControl*>(child.get())) {
            EXPECT_EQ(child->visible(), !shown);
        }
    }
    editor.helpChosen(QuorvalisPluginInterface::kComponentDisplays);
    EXPECT_EQ(osc.pictureShown(), shown);
}

}  // namespace
