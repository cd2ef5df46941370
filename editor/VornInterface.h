#pragma once

#include <memory>
#include <vector>

#include "editor/EditorSection.h"
#include "editor/ModulationIndicator.h"
#include "editor/PresetBar.h"
#include "editor/QuorvalisPluginInterface.h"
#include "editor/SourceSlotController.h"

class VornPlugin;
class VornComponentButton;
class ModulationSection;
class DepthRings;

// The synthesizer's editor: its sound sections stacked between the bars. In the short layout a
// collapsed section shows only its title; in the tall one, its compact strip too. One section
// at a time is expanded to its full panel ("ExpandedSection").
class VornInterface : public QuorvalisPluginInterface {
public:
    enum Section {
        kOscillators,
        kFilters,
        kEnvelopes,
        kXlfos,
        kDelay,
        kFollowers,
        kMidiSources,
        kXyPads,
        kMaster,
        kSectionCount
    };

    explicit VornInterface(VornPlugin& plugin, HostEdits* host = nullptr);
    ~VornInterface() override;

    VornPlugin& vorn() { return vorn_; }
    int expandedSection() const;
    // Expands a section (collapsing the one open before), or collapses all with -1.
    void expand(int section);
    int layout() const;
    static constexpr const char* kCannotResize =
        "Your host cannot dynamically resize the plug-in interface. To apply the new interface "
        "size, simply close the plug-in interface and then re-open it.";
    // Switches between the short (0) and tall (1) layout; false when the host could not resize,
    // which the musician is told: the setting holds, and applies when the editor opens again.
    bool setLayout(int layout);
    // Shows or hides the modulation column ("ShowModulation"), widening the editor; false when
    // the host could not resize, as with the layout.
    bool setShowModulation(bool show);
    bool showingModulation() const;
    ModulationSection& modulation() { return *modulation_; }
    DepthRings& depthRings() { return *rings_; }
    // Opens the modulation column with the slots that drive targets [first, first + count)
    // and their sources marked.
    void showModulators(int first, int count);
    EditorSection& section(int index) { return *sections_[static_cast<size_t>(index)]; }
    PresetBar& presetBar() { return *presetBar_; }
    const ModulationIndicatorManager* indicators() const { return indicators_.get(); }
    SourceSlotController& slots() { return *slots_; }
    // The oscillators, voice filters, delay sides and delay filters as component buttons, in
    // that order, above the sections.
    static constexpr int kComponentButtons = 9;
    static constexpr int kComponentRowHeight = 38;
    VornComponentButton& componentButton(int i) { return *buttons_[static_cast<size_t>(i)]; }
    void idle() override;
    void presetChanged() override;

protected:
    void resized() override;
    MidiControllerMap* controllerMap() override;
    AbstractMusicEventReceiver* learnReceiver() override;

private:
    void layoutSections();
    void addLinkGhosts();
    void addPresetButtons();
    void addComponentButtons();
    void layoutComponentButtons(const gui::Rect& area);
    bool applySize();
    void slotsChanged();

    VornPlugin& vorn_;
    PresetBar* presetBar_ = nullptr;
    gui::ToggleButton* tall_ = nullptr;
    gui::ToggleButton* showModulation_ = nullptr;
    ModulationSection* modulation_ = nullptr;
    std::unique_ptr<DepthRings> rings_;
    std::vector<EditorSection*> sections_;
    SourceSlotController* slots_ = nullptr;
    std::unique_ptr<ModulationIndicatorManager> indicators_;
    std::vector<VornComponentButton*> buttons_;
};
