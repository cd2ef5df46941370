#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "editor/ModulationSection.h"
#include "editor/SourceDragButton.h"
#include "editor/VornInterface.h"
#include "engine/VornPlugin.h"
#include "engine/VornPresets.h"
#include "framework/AbstractPluginParameter.h"
#include "framework/SynthNumbering.h"
#include "gui/OffscreenInterface.h"
#include "tests/gui/GoldenImage.h"

namespace {

// Sources in use and three connections, with the filters open.
void modulationScene(VornInterface& e, VornPlugin& p) {
    e.setShowModulation(true);
    e.expand(VornInterface::kFilters);
    for (const char* n : {"Num Active XLFOs", "Num Active XY Controllers"})
        p.getParameter(e.parameterId(n))->setValue(1, 0);
    AbstractPluginParameter& freq = *p.getParameter(e.parameterId("Filter 1 Freq"));
    float plain = 0;
    if (freq.parseText("1000 Hz", &plain)) freq.setValue(plain, 0);
    e.idle();
    e.slots().connect(synth::kFirstXLFOSource, synth::filterTarget(0, synth::kFreqTarget));
    e.slots().connect(synth::kFirstEnvelopeSource, synth::oscillatorTarget(1, 0));
    e.slots().connect(synth::kFirstXYSource, synth::delayTarget(0, 0));
    // A held note a fifth of a second in: the Freq knob's live mark stands on XLFO 1's first step.
    p.getParameter(e.parameterId("XLFO 1 Step 1 Value"))->setValue(0.5f, 0);
    p.setSampleRate(48000);
    p.receiveMidi(MidiEvent{0x90, 60, 100, 0, 0});
    std::vector<float> left(256), right(256);
    float* out[] = {left.data(), right.data()};
    for (int block = 0; block < 40; ++block) p.processBlock(nullptr, 0, out, 2, 256);
    e.idle();
}

struct Scene {
    const char* name;
    std::function<void(VornInterface&, VornPlugin&)> setUp;
};

// The pictures of the manual and the README double as golden images: the editor in both layouts,
// each section open, the preset menu and MIDI learn. VORN_UPDATE_GOLDEN=1 writes them anew.
TEST(EditorScreenshotTest, MatchesGoldenImages) {
    std::vector<Scene> scenes = {
        {"editor-short",
         [](VornInterface& e, VornPlugin&) { e.expand(VornInterface::kOscillators); }},
        {"editor-tall",
         [](VornInterface& e, VornPlugin&) {
             e.setLayout(1);
             e.expand(VornInterface::kFilters);
         }},
        {"editor-learn",
         [](VornInterface& e, VornPlugin&) {
             e.expand(VornInterface::kFilters);
             e.setLearning(true);
         }},
        {"editor-preset-menu",
         [](VornInterface& e, VornPlugin& p) {
             p.presets().restoreFactoryPresets();
             const gui::Rect r = e.presetBar().children()[2]->rootBounds();
             e.mousePressed({{r.x + 20, r.y + 10}, 8, 1000});
             e.mouseReleased({{r.x + 20, r.y + 10}, 0, 1010});
             // Over the first folder, which opens its submenu.
             e.mouseMoved({{r.x + 30, r.bottom() + 14}, 0, 1100});
         }},
        {"editor-modulation", modulationScene},
        {"editor-modulation-drag",
         [](VornInterface& e, VornPlugin& p) {
             modulationScene(e, p);
             const gui::Rect from =
                 e.modulation().sources().handle(synth::kFirstXLFOSource).rootBounds();
             gui::Rect to;  // the Peak knob of the open filter panel
             for (size_t i = 0; i < e.learnableCount(); ++i)
                 if (e.learnableControl(i)->showing() &&
                     int(e.learnableParameter(i)) == e.parameterId("Filter 1 Peak"))
                     to = e.learnableControl(i)->rootBounds();
             const gui::Point a{from.x + 20, from.y + 8};
             const gui::Point b{to.x + to.width / 2, to.y + to.height / 2};
             e.mousePressed({a, 8, 1000});
             for (int i = 1; i <= 10; ++i)
                 e.mouseMoved(
                     {{a.x + (b.x - a.x) * i / 10, a.y + (b.y - a.y) * i / 10}, 8, 1000 + 20 * i});
         }},
    };
    // The oscillators are open in "editor-short".
    const char* sections[] = {"",          "filters",      "envelopes", "xlfos", "delay",
                              "followers", "midi-sources", "xy-pads",   "master"};
    for (int i = 1; i < VornInterface::kSectionCount; ++i)
        scenes.push_back({sections[i], [i](VornInterface& e, VornPlugin&) { e.expand(i); }});

    for (const Scene& scene : scenes) {
        SCOPED_TRACE(scene.name);
        VornPlugin plugin;
        VornInterface editor(plugin);
        gui::OffscreenInterface ui(editor);
        editor.setLayout(0);
        editor.setShowModulation(false);
        scene.setUp(editor, plugin);
        const std::string golden =
            std::string(VORN_DOCS_DIR) + "/screenshots/" +
            (std::string(scene.name).starts_with("editor") ? "" : "section-") + scene.name + ".png";
        gui::test::expectGolden(ui.render(), golden);
    }
}

}  // namespace
