#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "editor/ComponentPresetButton.h"
#include "editor/VornInterface.h"
#include "engine/VornPlugin.h"
#include "engine/VornPresets.h"
#include "framework/AbstractPluginParameter.h"
#include "framework/UndoHistory.h"
#include "gui/Modifiers.h"
#include "gui/OffscreenInterface.h"

namespace {

// Clicks the middle of a component with synthetic events.
void click(gui::RootControl& root, gui::Component& c, int64_t& time) {
    const gui::Rect r = c.rootBounds();
    const gui::Point p{r.x + r.width / 2, r.y + r.height / 2};
    root.mousePressed({p, gui::modifier::kLeftButton, time += 1000});
    root.mouseReleased({p, 0, time += 10});
}

TEST(PresetBarTest, MenuLoadsAndStepsWrapAround) {
    char folder[] = "/tmp/vorn-presetbar-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    VornPlugin plugin;
    VornInterface editor(plugin);
    gui::OffscreenInterface ui(editor);
    plugin.presets().changePresetFolder(folder);
    AbstractPluginParameter* freq = plugin.getParameter(editor.parameterId("Filter 1 Freq"));
    // Three presets that differ in one value: Alpha 0.1, Beta 0.2, Gamma 0.3.
    const char* names[] = {"Alpha", "Beta", "Gamma"};
    for (int i = 0; i < 3; ++i) {
        freq->setValue(freq->normalizedToPlain(0.1f * (i + 1)), 0);
        ASSERT_TRUE(plugin.presets().savePreset(std::string(folder) + "/" + names[i] + ".qvp"));
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
    int64_t time = 0;
    gui::Component* previous = bar.children()[0].get();
    gui::Component* next = bar.children()[1].get();
    const char* expected[] = {"Gamma", "Alpha"};
    for (const char* name : expected) {
        click(editor, *next, time);
        EXPECT_EQ(plugin.currentPreset().name, name);
    }
    click(editor, *previous, time);
    EXPECT_EQ(plugin.currentPreset().name, "Gamma");
    EXPECT_FLOAT_EQ(freq->plainToNormalized(freq->getValue()), 0.3f);
    std::filesystem::remove_all(folder);
}

}  // namespace

namespace {

TEST(PresetBarTest, SectionPresetsSaveAndLoadOneInstance) {
    VornPlugin plugin;
    VornInterface editor(plugin);
    gui::OffscreenInterface ui(editor);
    auto* button = dynamic_cast<ComponentPresetButton*>(
        editor.section(VornInterface::kXlfos).titleAccessory());
    ASSERT_NE(button, nullptr);
    AbstractPluginParameter* second = plugin.getParameter(editor.parameterId("XLFO 2 Balance"));
    AbstractPluginParameter* first = plugin.getParameter(editor.parameterId("XLFO 1 Balance"));

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
