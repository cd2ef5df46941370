#include <gtest/gtest.h>

#include <vector>

#include "midi/MidiControllerMap.h"
#include "tests/editor/EditorRig.h"

namespace {

struct LearnRig : EditorRig {
    // The centre of the first shown control bound to a parameter.
    gui::Point controlOf(const std::string& name) {
        const int id = editor.parameterId(name);
        for (size_t i = 0; i < editor.learnableCount(); ++i) {
            const gui::Component* c = editor.learnableControl(i);
            if (static_cast<int>(editor.learnableParameter(i)) == id && c->showing())
                return centre(c->rootBounds());
        }
        ADD_FAILURE() << "no shown control for " << name;
        return {};
    }
    void controller(int number, int value) {
        plugin.receiveMidi(
            MidiEvent{0xB0, static_cast<uint8_t>(number), static_cast<uint8_t>(value), 0, 0});
        std::vector<float> left(64), right(64);
        float* outputs[] = {left.data(), right.data()};
        plugin.processBlock(nullptr, 0, outputs, 2, 64);
        editor.idle();
    }
};

TEST(MidiLearnTest, ClickAControlThenMoveAController) {
    LearnRig r;
    r.plugin.setSampleRate(48000.0f);
    MidiControllerMap& map = VornPlugin::controllerMap();
    r.editor.expand(VornInterface::kFilters);
    const std::string target = "Filter 1 Freq";
    const gui::Point knob = r.controlOf(target);

    // "Enable MIDI" opens the overlay; a click on the knob selects it, with the overlay's label.
    r.editor.learnMenuChosen(MidiLearnController::kEnableMidi);
    ASSERT_TRUE(r.editor.learning());
    r.click(knob);
    EXPECT_EQ(r.editor.learnController()->selection().label(),
              std::string(MidiLearnSelection::kTargetLabel) + target);

    // Controller 21 now drives the parameter and takes it along at once.
    r.controller(21, 127);
    const int id = r.editor.parameterId(target);
    EXPECT_EQ(map.parameterFor(21), id);
    AbstractPluginParameter* p = r.plugin.getParameter(id);
    EXPECT_FLOAT_EQ(p->plainToNormalized(p->getValue()), 1.0f);
    EXPECT_EQ(r.editor.learnController()->controllerOf(id), 21);

    // The filter link has no knob: its area in the section's title selects it.
    const gui::Rect title = r.editor.section(VornInterface::kFilters).rootBounds();
    r.click({title.right() - 2 * 116 + 20, title.y + 10});
    EXPECT_EQ(r.editor.learnController()->selection().label(),
              std::string(MidiLearnSelection::kTargetLabel) + "Filter Link Freq");

    // A click on empty space selects nothing; "Clear All" empties the map; Close leaves.
    r.click({2, r.editor.contentArea().bottom() - 2});
    EXPECT_EQ(r.editor.learnController()->selection().label(), MidiLearnSelection::kIdleLabel);
    r.editor.learnMenuChosen(MidiLearnController::kClearAll);
    EXPECT_EQ(map.parameterFor(21), MidiControllerMap::kUnmapped);
    r.editor.learnMenuChosen(MidiLearnController::kLoadFactory);
    EXPECT_EQ(r.plugin.getParameter(map.parameterFor(74))->name(), "Filter 1 Freq");
    r.editor.setLearning(false);
    EXPECT_FALSE(r.editor.learning());
    // Out of learn mode, clicks reach the knobs again.
    r.editor.mousePressed({knob, gui::modifier::kLeftButton, r.time += 1000});
    EXPECT_NE(r.editor.captured(), nullptr);
    r.editor.mouseReleased({knob, 0, r.time += 10});

    // The menu's last items switch the sustain pedal and MPE.
    const auto item = [&](size_t fromEnd) {
        const gui::Menu m = r.editor.learnMenu();
        const auto& it = m.items()[m.items().size() - 1 - fromEnd];
        return std::pair{it.text, it.checked};
    };
    EXPECT_EQ(item(1), std::pair(std::string("Sustain Pedal (Controller 64)"), true));
    r.editor.learnMenuChosen(VornInterface::kSustainPedalItem);
    EXPECT_FALSE(item(1).second);
    EXPECT_EQ(item(0), std::pair(std::string("MPE (Channel 1, Members 2-16)"), false));
    r.editor.learnMenuChosen(VornInterface::kMpeItem);
    EXPECT_EQ(r.plugin.mpeZones().zoneOf(16), MpeZones::kLowerManager);
    EXPECT_TRUE(item(0).second);
    r.editor.learnMenuChosen(VornInterface::kMpeItem);
    EXPECT_FALSE(r.plugin.mpeZones().active());
}

}  // namespace
