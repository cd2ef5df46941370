#pragma once

#include <array>
#include <functional>
#include <memory>
#include <vector>

#include "framework/SynthNumbering.h"
#include "gui/Component.h"
#include "gui/Knob.h"
#include "gui/Label.h"
#include "gui/ScrollArea.h"
#include "gui/SelectButton.h"

class ComponentPresetHandler;
struct PresetMenuItem;
namespace gui {
class Menu;
}
class SourceDragButton;
class ModulationMatrixPluginInterface;

// The sources in use, each a handle to drag onto a target, under the "Add Source" menu.
class SourceSelectionBar : public gui::Component {
public:
    static constexpr int kRowHeight = 20;
    static constexpr const char* kAddHint =
        "Click the Add Source button to create new modulation sources";
    // The "Add Source" items in order; each raises its type's active count.
    static constexpr int kTypes = 5;
    static const char* const kTypeNames[kTypes];

    explicit SourceSelectionBar(ModulationMatrixPluginInterface& editor);
    // Shows the handles of the active sources; the height it needs.
    int refresh();
    int visibleSources() const;
    SourceDragButton& handle(int source) { return *handles_[static_cast<size_t>(source)]; }
    void addSource(int type);
    // The instance a new source of the type would be, -1 when all are in use.
    int nextInstance(int type) const;

    void paint(gui::Graphics& g) override;

private:
    ModulationMatrixPluginInterface& editor_;
    std::array<gui::ValueControl*, kTypes> counts_{};
    std::array<int, kTypes> minimums_{};
    std::array<SourceDragButton*, synth::kSourceCount> handles_{};
};

// One slot in use: its source, its target ("Unassigned" without one) and its level.
class SlotInterface : public gui::Component {
public:
    static constexpr int kHeight = 34;
    SlotInterface(ModulationMatrixPluginInterface& editor, int slot);
    gui::Knob& level() { return *level_; }
    void paint(gui::Graphics& g) override;
    // A click selects the slot: a function-4 drag on its target knob then sets its depth.
    bool mouseDown(const gui::MouseEvent& e) override;
    bool wantsMouse() const override { return true; }

protected:
    void resized() override;

private:
    ModulationMatrixPluginInterface& editor_;
    int slot_;
    gui::Knob* level_;
};

// The modulation column at the right of the editor, shown with "ShowModulation".
class ModulationSection : public gui::Component {
public:
    static constexpr const char* kDragHint =
        "Drag and drop a source to a target knob to create modulation connections";
    explicit ModulationSection(ModulationMatrixPluginInterface& editor);
    ~ModulationSection() override;
    // "New XY Controller", then per type of source with component presets a submenu: "Default"
    // and the presets, each adding the source with that preset.
    gui::Menu addSourceMenu();
    void chooseAddSource(int id);
    SourceSelectionBar& sources() { return *sources_; }
    // After a slot or a source count changed.
    void refresh();
    int selectedSlot() const { return selected_; }
    void selectSlot(int slot);
    // Marks the slots (and their sources) that drive something the musician asked about.
    void highlight(std::vector<int> slots);
    bool highlighted(int slot) const;
    gui::ValueControl& levelControl(int slot) { return slots_[static_cast<size_t>(slot)]->level(); }

    void paint(gui::Graphics& g) override;

protected:
    void resized() override;

private:
    ModulationMatrixPluginInterface& editor_;
    void addPresetItems(gui::Menu& menu, int type, ComponentPresetHandler& h,
                        const std::vector<PresetMenuItem>& items);

    gui::PopupButton* add_;
    std::vector<std::unique_ptr<ComponentPresetHandler>> handlers_;
    std::vector<std::function<void()>> actions_;
    gui::Button* sort_;
    SourceSelectionBar* sources_;
    gui::ScrollArea* slotArea_;
    gui::Component* slotList_;
    std::vector<SlotInterface*> slots_;
    gui::Label* hint_;
    int selected_ = -1;
    std::vector<int> highlighted_;
};
