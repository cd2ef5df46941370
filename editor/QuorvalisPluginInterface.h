#pragma once

#include "editor/GenericPluginInterface.h"
#include "gui/Button.h"
#include "gui/ControlBar.h"
#include "gui/Label.h"

// The editor frame every product of the maker shares: the preset bar at the top, and the bottom
// bar with MIDI Learn, Undo, Redo, A/B and the help menu. Products fill the area between.
class QuorvalisPluginInterface : public GenericPluginInterface {
public:
    static constexpr int kBarHeight = 30;

    QuorvalisPluginInterface(GenericPlugin& plugin, HostEdits* host);

    void idle() override;
    // The room between the bars.
    gui::Rect contentArea() const;

protected:
    void resized() override;
    void updateBars();

private:
    gui::ControlBar* presetBar_;
    gui::ControlBar* bottomBar_;
    gui::Label* presetName_;
    gui::Button* undo_;
    gui::Button* redo_;
    gui::ToggleButton* a_;
    gui::ToggleButton* b_;
};
