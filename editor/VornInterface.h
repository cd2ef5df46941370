#pragma once

#include <memory>
#include <vector>

#include "editor/EditorSection.h"
#include "editor/ModulationMatrixPluginInterface.h"
#include "editor/PresetBar.h"

class VornPlugin;
class VornComponentButton;

// The synthesizer's editor: its sound sections stacked between the bars. In the short layout a
// collapsed section shows only its title; in the tall one, its compact strip too. One section
// at a time is expanded to its full panel ("ExpandedSection").
class VornInterface : public ModulationMatrixPluginInterface {
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
    bool setShowModulation(bool show) override;
    gui::Menu learnMenu() override;
    void learnMenuChosen(int item) override;
    bool showingModulation() const override;
    ComponentPresetOwner& componentPresets() override;

    EditorSection& section(int index) { return *sections_[static_cast<size_t>(index)]; }
    PresetBar& presetBar() { return *presetBar_; }
    // Beyond the learn menu's own items.
    static constexpr int kSustainPedalItem = 100;
    static constexpr int kMpeItem = 101;
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
    void watchEnvelopes();
    void layoutComponentButtons(const gui::Rect& area);
    bool applySize();
    void slotsChanged() override;
    void componentDisplaysChanged() override;

    VornPlugin& vorn_;
    PresetBar* presetBar_ = nullptr;
    gui::ToggleButton* tall_ = nullptr;
    gui::ToggleButton* showModulation_ = nullptr;

    std::vector<EditorSection*> sections_;

    std::vector<VornComponentButton*> buttons_;
};
