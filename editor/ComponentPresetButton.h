#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gui/Menu.h"
#include "gui/SelectButton.h"
#include "persistence/ComponentPresetHandler.h"

class GenericPluginInterface;
class VornPresets;

// The preset button in a section's title: the presets of the section's kind (an oscillator, the
// filters, an envelope...), "Save As..." and "Default", one submenu per instance where the section
// holds several.
class ComponentPresetButton : public gui::PopupButton {
public:
    static constexpr int kWidth = 64;
    static constexpr const char* kDefaultItem = "Default";

    ComponentPresetButton(GenericPluginInterface& editor, VornPresets& presets, int type,
                          std::vector<std::string> instanceNames);
    ~ComponentPresetButton() override;

    gui::Menu buildMenu();
    void choose(int id);
    ComponentPresetHandler& handler(size_t instance) { return *handlers_[instance]; }

private:
    void addInstance(gui::Menu& menu, ComponentPresetHandler& h);
    void addItems(gui::Menu& menu, ComponentPresetHandler& h,
                  const std::vector<PresetMenuItem>& items);
    void saveAs(ComponentPresetHandler& h);
    void loaded(bool ok);

    GenericPluginInterface& editor_;
    std::vector<std::string> names_;
    std::vector<std::unique_ptr<ComponentPresetHandler>> handlers_;
    std::vector<std::function<void()>> actions_;
};
