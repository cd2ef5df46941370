#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>

#include "editor/ComponentButtons.h"
#include "editor/EnvelopeSection.h"
#include "editor/ModulationDragStage.h"
#include "editor/ModulationSection.h"
#include "editor/SourceDragButton.h"
#include "engine/VornPresets.h"
#include "framework/SynthNumbering.h"
#include "framework/UndoHistory.h"
#include "gui/Dialog.h"
#include "gui/Knob.h"
#include "tests/editor/EditorRig.h"
#include "tests/engine/VornTestRig.h"

namespace {

constexpr int kXlfo1 = synth::kFirstXLFOSource;

class ModulationDragTest : public ::testing::Test, public EditorRig {
protected:
    ModulationDragTest() {
        editor.setShowModulation(true);
        editor.expand(VornInterface::kFilters);
        set("Num Active XLFOs", 1);
    }
    // The root area of the visible control bound to a parameter.
    gui::Rect controlOf(const std::string& name) {
        const int id = editor.parameterId(name);
        for (size_t i = 0; i < editor.learnableCount(); ++i) {
            const gui::ValueControl* c = editor.learnableControl(i);
            if (c->showing() && static_cast<int>(editor.learnableParameter(i)) == id)
                return c->rootBounds();
        }
        ADD_FAILURE() << name << " is not on screen";
        return {};
    }
    // Presses the source's handle and moves to `to` in steps of 10 pixels; returns the stage.
    ModulationDragStage* dragTo(int source, gui::Point to) {
        gui::Point at = centre(editor.modulation().sources().handle(source).rootBounds());
        editor.mousePressed({at, gui::modifier::kLeftButton, time += 500});
        const gui::Point from = at;
        const int steps =
            std::max(1, std::max(std::abs(to.x - from.x), std::abs(to.y - from.y)) / 10);
        for (int i = 1; i <= steps; ++i) {
            at = {from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps};
            editor.mouseMoved({at, gui::modifier::kLeftButton, time += 20});
        }
        return dynamic_cast<ModulationDragStage*>(editor.topOverlay());
    }
    void drop(gui::Point at) { editor.mouseReleased({at, 0, time += 20}); }
    float value(const std::string& name) { return parameter(name).getValue(); }
    std::string messageShown() {
        auto* box = dynamic_cast<gui::Dialog*>(editor.topOverlay());
        if (!box || box->body().children().empty()) return {};
        auto* text = dynamic_cast<gui::Label*>(box->body().children()[0].get());
        return text ? text->text() : std::string();
    }
};

// Dragging "XLFO 1" onto "Filter 1 Freq" highlights the knob, makes slot 1 with that source and
// target, raises "Num Active Slots" and leaves one undo step.
TEST_F(ModulationDragTest, ADropOnAKnobMakesTheNextSlot) {
    const gui::Rect knob = controlOf("Filter 1 Freq");
    const int undo = plugin.undoHistory().undoCount();
    ModulationDragStage* stage = dragTo(kXlfo1, centre(knob));
    ASSERT_NE(stage, nullptr);
    EXPECT_EQ(stage->source(), kXlfo1);
    EXPECT_EQ(stage->highlight(), knob);
    EXPECT_EQ(stage->candidates()[static_cast<size_t>(stage->hovered())].target,
              synth::filterTarget(0, synth::kFreqTarget));
    drop(centre(knob));
    EXPECT_EQ(stage->state(), ModulationDragStage::State::Finished);
    EXPECT_EQ(stage->slotMade(), 0);
    EXPECT_EQ(value("Num Active Slots"), 1.0f);
    EXPECT_EQ(editor.slots().source(0), kXlfo1);
    EXPECT_EQ(editor.slots().target(0), synth::filterTarget(0, synth::kFreqTarget));
    EXPECT_EQ(plugin.undoHistory().undoCount(), undo + 1);
    EXPECT_EQ(messageShown(), "");
    EXPECT_TRUE(editor.componentButton(3).modulated());

    // The next drop takes the next slot.
    dragTo(kXlfo1, centre(controlOf("Filter 1 Peak")));
    drop(centre(controlOf("Filter 1 Peak")));
    EXPECT_EQ(value("Num Active Slots"), 2.0f);
    EXPECT_EQ(editor.slots().target(1), synth::filterTarget(0, synth::kPeakTarget));
}

// Once connected, the knob shows the depth as a ring, and a Shift drag on it (function 4) sets
// the level of the connection made last, or of the slot selected, leaving the knob's value alone.
TEST_F(ModulationDragTest, TheDepthIsSetOnTheTargetKnob) {
    editor.slots().connect(kXlfo1, synth::filterTarget(0, synth::kFreqTarget));
    editor.slots().connect(kXlfo1, synth::filterTarget(0, synth::kFreqTarget));
    editor.idle();
    const gui::Rect r = controlOf("Filter 1 Freq");
    auto* knob = dynamic_cast<gui::Knob*>(editor.hitTest(centre(r)));
    ASSERT_NE(knob, nullptr);
    const float level = value("Slot 2 Level"), freq = value("Filter 1 Freq");
    EXPECT_NEAR(knob->modulation(), 2 * 0.16f, 0.01f) << "two slots at the default level";
    const auto shiftDrag = [&](int dy) {
        const gui::Point c = centre(r);
        const uint32_t held = gui::modifier::kLeftButton | gui::modifier::kShift;
        editor.mousePressed({c, held, time += 500});
        for (int i = 1; i <= 10; ++i)
            editor.mouseMoved({{c.x, c.y + dy * i / 10}, held, time += 20});
        editor.mouseReleased({{c.x, c.y + dy}, gui::modifier::kShift, time += 20});
        editor.idle();
    };
    shiftDrag(-60);
    EXPECT_GT(value("Slot 2 Level"), level);
    EXPECT_EQ(value("Slot 1 Level"), level);
    EXPECT_EQ(value("Filter 1 Freq"), freq);
    EXPECT_GT(knob->modulation(), 2 * 0.16f + 0.05f);
    editor.modulation().selectSlot(0);
    shiftDrag(40);
    EXPECT_LT(value("Slot 1 Level"), level);
    const float before = knob->modulation();
    set("Slot 1 Inverted", 1);
    EXPECT_LT(knob->modulation(), before) << "an inverted slot takes its depth away";
}

// Clicking an indicator (a component button's mark, a Shift click on a knob) marks the slots
// and sources responsible.
TEST_F(ModulationDragTest, IndicatorsShowTheSlotsResponsible) {
    set("Num Active EGs", 1);
    editor.slots().connect(synth::kFirstEnvelopeSource, synth::oscillatorTarget(1, 0));
    editor.slots().connect(kXlfo1, synth::filterTarget(0, synth::kPeakTarget));
    editor.idle();
    const gui::Rect button = editor.componentButton(3).rootBounds();
    click({button.right() - 4, button.y + 4});
    auto& section = editor.modulation();
    EXPECT_FALSE(section.highlighted(0));
    EXPECT_TRUE(section.highlighted(1));
    EXPECT_TRUE(section.sources().handle(kXlfo1).marked());
    EXPECT_FALSE(section.sources().handle(synth::kFirstEnvelopeSource).marked());
    EXPECT_EQ(editor.expandedSection(), VornInterface::kFilters) << "not a click on the button";

    const gui::Point peak = centre(controlOf("Filter 1 Peak"));
    editor.mousePressed({peak, gui::modifier::kLeftButton | gui::modifier::kShift, time += 500});
    editor.mouseReleased({peak, gui::modifier::kShift, time += 20});
    EXPECT_TRUE(section.highlighted(1));
    EXPECT_FALSE(section.highlighted(0));

    // The envelopes' pictures: a slot on the main envelope's attack marks it alone.
    editor.slots().connect(kXlfo1, synth::kFirstEnvelopeTarget + 1);
    editor.idle();
    auto& envelopes = static_cast<EnvelopeSection&>(editor.section(VornInterface::kEnvelopes));
    EXPECT_TRUE(envelopes.display(0).modulated());
    EXPECT_FALSE(envelopes.display(1).modulated());
    editor.expand(VornInterface::kEnvelopes);
    click(centre(envelopes.display(0).rootBounds()));
    EXPECT_TRUE(section.highlighted(2));
    EXPECT_FALSE(section.highlighted(1));
}

// "Sort Slots" orders the slots by source, then target; each keeps its level and inversion, and
// the whole sort is one undo step.
TEST_F(ModulationDragTest, SortSlotsKeepsEachSlotWhole) {
    const int sources[] = {synth::kFirstEnvelopeSource, kXlfo1, synth::kFirstXYSource, kXlfo1};
    const int targets[] = {7, 30, 2, 17};
    for (int i = 0; i < 4; ++i) {
        editor.slots().connect(sources[i], targets[i]);
        set("Slot " + std::to_string(i + 1) + " Level", 0.1f * float(i + 1));
    }
    set("Slot 1 Inverted", 1);
    const int undo = plugin.undoHistory().undoCount();
    editor.slots().sort();
    editor.idle();
    const int order[] = {2, 3, 1, 0};  // XY, XLFO -> 17, XLFO -> 30, EG
    for (int i = 0; i < 4; ++i) {
        const std::string slot = "Slot " + std::to_string(i + 1);
        EXPECT_EQ(editor.slots().source(i), sources[order[i]]) << slot;
        EXPECT_EQ(editor.slots().target(i), targets[order[i]]) << slot;
        EXPECT_NEAR(value(slot + " Level"), 0.1f * float(order[i] + 1), 1e-4f) << slot;
        EXPECT_EQ(value(slot + " Inverted"), order[i] == 0 ? 1.0f : 0.0f) << slot;
    }
    EXPECT_EQ(plugin.undoHistory().undoCount(), undo + 1);
}

// A drag that stays within 5 pixels is a click: no stage, no slot.
TEST_F(ModulationDragTest, AMoveUnderFivePixelsIsAClick) {
    const gui::Point at = centre(editor.modulation().sources().handle(kXlfo1).rootBounds());
    EXPECT_EQ(dragTo(kXlfo1, {at.x + 4, at.y - 4}), nullptr);
    drop({at.x + 4, at.y - 4});
    EXPECT_EQ(value("Num Active Slots"), 0.0f);
}

// Drops that make nothing: on a label, and with every slot in use; each says why.
TEST_F(ModulationDragTest, DropsThatMakeNoSlotSayWhy) {
    const gui::Rect title = editor.section(VornInterface::kEnvelopes).rootBounds();
    ModulationDragStage* stage = dragTo(kXlfo1, {title.x + 60, title.y + 10});
    ASSERT_NE(stage, nullptr);
    EXPECT_EQ(stage->hovered(), -1);
    EXPECT_TRUE(stage->highlight().empty());
    drop({title.x + 60, title.y + 10});
    EXPECT_EQ(messageShown(), ModulationDragStage::kHoverOnly);
    EXPECT_EQ(value("Num Active Slots"), 0.0f);
    editor.topOverlay()->close();

    set("Num Active Slots", 50);
    const float lastTarget = value("Slot 50 Target");
    dragTo(kXlfo1, centre(controlOf("Filter 1 Freq")));
    drop(centre(controlOf("Filter 1 Freq")));
    EXPECT_EQ(messageShown(), SourceSlotController::kNoFreeSlots);
    EXPECT_EQ(value("Num Active Slots"), 50.0f);
    EXPECT_EQ(value("Slot 50 Target"), lastTarget);
}

// "Add Source" lists the five types in order, those with component presets as submenus whose
// "Default" adds the next source with that preset; it adds the chosen type's next source.
TEST_F(ModulationDragTest, AddSourceAddsTheNextSourceOfAType) {
    set("Num Active XLFOs", 0);
    plugin.presets().restoreFactoryPresets();
    auto& section = editor.modulation();
    EXPECT_EQ(section.sources().visibleSources(), 1) << "the main envelope is always there";
    gui::Menu menu = section.addSourceMenu();
    const char* texts[] = {"New XY Controller", "New XLFO", "New Envelope Generator",
                           "New Envelope Follower", "New MIDI Source"};
    ASSERT_EQ(menu.items().size(), 5u);
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(menu.items()[i].text, texts[i]);
        EXPECT_EQ(menu.items()[i].submenu == nullptr, i == 0) << texts[i];
    }
    set("XLFO 1 Step 1 Value", 0.5f);
    const gui::MenuItem& fresh = menu.items()[1].submenu->items()[0];
    EXPECT_EQ(fresh.text, "Default");
    section.chooseAddSource(fresh.id);
    editor.idle();
    EXPECT_EQ(value("Num Active XLFOs"), 1.0f);
    EXPECT_NE(value("XLFO 1 Step 1 Value"), 0.5f) << "the XLFO's default preset was loaded";
    EXPECT_TRUE(section.sources().handle(kXlfo1).visible());
    section.chooseAddSource(section.addSourceMenu().items()[0].id);
    editor.idle();
    EXPECT_TRUE(section.sources().handle(synth::kFirstXYSource + 1).visible());
    EXPECT_EQ(section.sources().visibleSources(), 4);
}

}  // namespace

namespace {

// Spectral centroid (Hz) of a window, from a plain DFT: the test needs a few windows only.
double centroid(const std::vector<float>& x, size_t start, size_t length, double rate) {
    double weighted = 0, total = 0;
    for (size_t k = 1; k < length / 2; ++k) {
        double re = 0, im = 0;
        for (size_t n = 0; n < length; ++n) {
            const double w = 0.5 - 0.5 * std::cos(2 * M_PI * double(n) / double(length));
            const double phase = 2 * M_PI * double(k * n) / double(length);
            re += w * x[start + n] * std::cos(phase);
            im -= w * x[start + n] * std::sin(phase);
        }
        const double magnitude = std::hypot(re, im);
        weighted += magnitude * double(k) * rate / double(length);
        total += magnitude;
    }
    return total > 0 ? weighted / total : 0;
}

// The connection sounds: after XLFO 1 (a square of two steps, 1 Hz) is dropped on Filter 1
// Freq (1 kHz), a held note's centroid swings at the XLFO's rate; without the drop it holds. The
// knob's live mark follows: above the value on step 1, below it on step 2.
TEST(ModulationDragSound, ADroppedConnectionMovesTheFilterAtTheXlfoRate) {
    std::vector<double> swing[2], marks[2];
    for (int dropped = 0; dropped < 2; ++dropped) {
        VornTestRig rig;
        rig.set({"Num Active XLFOs=1", "XLFO 1 Step 1 Value=1", "XLFO 1 Step 2 Value=-1",
                 "Filter 1 Freq=1000 Hz"});
        VornInterface editor(rig.plugin());
        gui::OffscreenInterface ui(editor);
        editor.expand(VornInterface::kFilters);
        editor.idle();
        const gui::Knob* knob = nullptr;
        for (size_t i = 0; i < editor.learnableCount(); ++i)
            if (editor.learnableControl(i)->showing() &&
                static_cast<int>(editor.learnableParameter(i)) ==
                    editor.parameterId("Filter 1 Freq"))
                knob = dynamic_cast<const gui::Knob*>(editor.learnableControl(i));
        ASSERT_NE(knob, nullptr);
        if (dropped)
            editor.slots().connect(synth::kFirstXLFOSource,
                                   synth::filterTarget(0, synth::kFreqTarget));
        rig.noteOn(48);
        // The middle of each half second: steps 1, 2, 1, 2.
        for (int half = 0; half < 4; ++half) {
            const auto out = rig.render(rig.frames(0.25));
            swing[dropped].push_back(
                centroid(out.left, out.left.size() - 2048, 2048, rig.sampleRate()));
            editor.idle();
            marks[dropped].push_back(knob->modulationPosition());
            rig.render(rig.frames(0.25));
        }
    }
    for (double c : swing[0]) EXPECT_NEAR(c / swing[0][0], 1.0, 0.1) << "no slot, no motion";
    EXPECT_GT(swing[1][0] / swing[1][1], 1.5) << swing[1][0] << " vs " << swing[1][1];
    EXPECT_GT(swing[1][2] / swing[1][3], 1.5) << swing[1][2] << " vs " << swing[1][3];
    EXPECT_NEAR(swing[1][0] / swing[1][2], 1.0, 0.05);
    EXPECT_NEAR(swing[1][1] / swing[1][3], 1.0, 0.05);
    for (double m : marks[0]) EXPECT_TRUE(std::isnan(m)) << "no slot, no mark";
    EXPECT_THAT(marks[1], testing::ElementsAre(testing::Gt(0.1), testing::Lt(-0.1),
                                               testing::Gt(0.1), testing::Lt(-0.1)));
}

}  // namespace
