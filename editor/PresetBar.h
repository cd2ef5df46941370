#pragma once

#include <functional>
#include <vector>

#include "gui/Button.h"
#include "gui/Component.h"
#include "gui/Menu.h"
#include "persistence/PresetManager.h"

class VornPresets;
class QuorvalisPluginInterface;

// The preset bar: previous and next, and the preset's name, which opens the preset menu with its
// folders, numbering and commands (save, open, preset folder, factory presets).
class PresetBar : public gui::Component {
public:
    PresetBar(QuorvalisPluginInterface& editor, VornPresets& presets);
    // The plug-in outlives its editors (and, in LV2 hosts, the editor's module).
    ~PresetBar() override;

    // The menu as the toolkit shows it; each item's id indexes the actions behind it.
    gui::Menu buildMenu();
    // Carries out the item of the last built menu with this id.
    void choose(int id);
    void refresh();
    void paint(gui::Graphics& g) override;

protected:
    void resized() override;

private:
    void addItems(gui::Menu& menu, const std::vector<PresetMenuItem>& items);
    void command(PresetMenuItem::Command c);
    void afterLoad(bool loaded);
    void restoreFactory();

    QuorvalisPluginInterface& editor_;
    VornPresets& presets_;
    gui::Button* previous_;
    gui::Button* next_;
    gui::Button* name_;
    std::vector<std::function<void()>> actions_;
};
