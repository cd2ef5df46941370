#include <gtest/gtest.h>

#include <string>

#include "editor/ComponentPresetButton.h"
#include "engine/VornPresets.h"
#include "framework/UndoHistory.h"
#include "tests/editor/EditorRig.h"
#include "tests/engine/ProgramRun.h"

namespace {

TEST(PresetBarTest, MenuLoadsAndStepsWrapAround) {
    ScratchFolder scratch;
    const std::string folder = scratch.path().string();
    EditorRig r;
    VornPlugin& plugin = r.plugin;
    VornInterface& editor = r.editor;
    plugin.presets().changePresetFolder(folder);
    AbstractPluginParameter* freq = &r.parameter("Filter 1 Freq");
    // Three presets that differ in one value: Alpha 0.1, Beta 0.2, Gamma 0.3.
    const char* names[] = {"Alpha", "Beta", "Gamma"};
    for (int i = 0; i < 3; ++i) {
        freq->setValue(freq->normalizedToPlain(0.1f * (i + 1)), 0);
        ASSERT_TRUE(plugin.presets().savePreset(folder + "/" + names[i] + ".qvp"));
    }
    editor.presetChanged();

    // The menu lists them with the current one checked; choosing one loads it.
    gui::Menu menu = editor.presetBar().buildMenu();
    ASSERT_GE(menu.size(), 3u);
    EXPECT_EQ(menu.items()[0].text, "Alpha");
    EXPECT_TRUE(menu.items()[2].checked);
    editor.presetBar().choose(menu.items()[1].id);
    EXPECT_EQ(plugin.currentPreset().name, "Beta");
    EXPECT_FLOAT_EQ(freq->plainToNormalized(freq->getValue()), 0.2f);

    // Next twice wraps from Gamma to Alpha; previous wraps back.
    auto& bar = editor.presetBar();
    const gui::Point previous = r.centre(bar.children()[0]->rootBounds());
    const gui::Point next = r.centre(bar.children()[1]->rootBounds());
    const char* expected[] = {"Gamma", "Alpha"};
    for (const char* name : expected) {
        r.click(next);
        EXPECT_EQ(plugin.currentPreset().name, name);
    }
    r.click(previous);
    EXPECT_EQ(plugin.currentPreset().name, "Gamma");
    EXPECT_FLOAT_EQ(freq->plainToNormalized(freq->getValue()), 0.3f);
}

TEST(PresetBarTest, SectionPresetsSaveAndLoadOneInstance) {
    EditorRig r;
    VornPlugin& plugin = r.plugin;
    auto* button = dynamic_cast<ComponentPresetButton*>(
        r.editor.section(VornInterface::kXlfos).titleAccessory());
    ASSERT_NE(button, nullptr);
    AbstractPluginParameter* second = &r.parameter("XLFO 2 Balance");
    AbstractPluginParameter* first = &r.parameter("XLFO 1 Balance");

    // XLFO 2 saved with a balance, changed, then loaded back from its menu; XLFO 1, another
    // instance of the same kind, is not touched.
    second->setValue(0.25f, 0);
    const std::string path = button->handler(1).folder() + "/Detuned.xlfo";
    ASSERT_TRUE(button->handler(1).saveAs(path));
    second->setValue(0.75f, 0);
    first->setValue(0.125f, 0);
    const int steps = plugin.undoHistory().undoCount();
    gui::Menu menu = button->buildMenu();
    ASSERT_EQ(menu.size(), 6u);  // XLFO 1 to 6
    const gui::Menu& xlfo2 = *menu.items()[1].submenu;
    int id = -1;
    for (const gui::MenuItem& item : xlfo2.items())
        if (item.text == "Detuned") id = item.id;
    ASSERT_GE(id, 0);
    button->choose(id);
    EXPECT_FLOAT_EQ(second->getValue(), 0.25f);
    EXPECT_FLOAT_EQ(first->getValue(), 0.125f);
    EXPECT_EQ(plugin.undoHistory().undoCount(), steps + 1);
    std::filesystem::remove(path);
}

}  // namespace
