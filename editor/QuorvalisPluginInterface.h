#pragma once

#include "editor/GenericPluginInterface.h"
#include "editor/MidiLearnController.h"
#include "gui/Button.h"
#include "gui/ControlBar.h"
#include "gui/Label.h"
#include "gui/Menu.h"
#include "gui/SelectButton.h"

// The editor frame every product of the maker shares: the preset bar at the top, and the bottom
// bar with MIDI Learn, Undo, Redo, A/B and the help menu. Products fill the area between.
class QuorvalisPluginInterface : public GenericPluginInterface {
public:
    static constexpr int kBarHeight = 30;
    static constexpr int kLogoWidth = 46;  // the 184 x 56 wordmark at a quarter
    // The help menu's items, in order.
    enum HelpItem { kHelpTopics, kInteractiveHelp, kComponentDisplays, kWebSite, kSupport, kAbout };
    static constexpr const char* kWebSiteUrl = "https://vorn-synth.org/";
    static constexpr const char* kSupportUrl = "https://vorn-synth.org/support";

    QuorvalisPluginInterface(GenericPlugin& plugin, HostEdits* host);

    void idle() override;
    // The room between the bars.
    gui::Rect contentArea() const;
    // Where the product's preset bar goes, inside the top bar.
    gui::Rect presetBarArea() const;

    // The manual "Help Topics" opens; the host binding sets it from where it is installed.
    void setHelpFile(std::string path) { helpFile_ = std::move(path); }
    gui::Menu helpMenu() const;
    void helpChosen(int item);
    // "ShowComponentDisplays": whether component buttons show their pictures.
    static bool componentDisplaysShown();
    // The text of the About box.
    virtual std::string aboutText() const;

    // MIDI learn mode, with its overlay over the sections.
    void setLearning(bool on);
    bool learning() const { return learn_ != nullptr; }
    MidiLearnController* learnController() { return learn_; }
    // A learnable area with no control of its own (filter links, XY pad axes).
    void addLearnGhost(const MidiLearnController::Ghost& g) { ghosts_.push_back(g); }
    // The menu beside "MIDI Learn"; a product adds its own MIDI items.
    virtual gui::Menu learnMenu() { return MidiLearnController::menu(learning()); }
    virtual void learnMenuChosen(int item);

protected:
    // After "Show Component Displays" was switched.
    virtual void componentDisplaysChanged() {}
    void resized() override;
    gui::ControlBar& bottomBar() { return *bottomBar_; }
    // The shared controller map and the receiver that learns; none: no MIDI learn.
    virtual MidiControllerMap* controllerMap() { return nullptr; }
    virtual AbstractMusicEventReceiver* learnReceiver() { return nullptr; }
    void updateBars();

private:
    gui::ControlBar* presetBar_;
    gui::ControlBar* bottomBar_;
    gui::Button* undo_;
    gui::Button* redo_;
    gui::ToggleButton* a_;
    gui::ToggleButton* b_;
    gui::Button* copy_;
    gui::Component* logo_;
    gui::ToggleButton* learnButton_;
    MidiLearnController* learn_ = nullptr;
    std::vector<MidiLearnController::Ghost> ghosts_;
    std::string helpFile_;
};
