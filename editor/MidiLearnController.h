#pragma once

#include <functional>
#include <string>
#include <vector>

#include "gui/Button.h"
#include "gui/Menu.h"
#include "gui/RootControl.h"
#include "midi/MidiLearnSelection.h"

class GenericPluginInterface;
class MidiControllerMap;
class AbstractMusicEventReceiver;

// MIDI learn mode: an overlay over the sections that marks every learnable control with its
// controller number; a click selects a control (or a ghost area, a learnable region with no
// control of its own, like the filter link), and the next controller the musician moves is
// assigned to it. "Close" leaves the mode.
class MidiLearnController : public gui::Overlay {
public:
    // An invisible learnable area: a rectangle of a component, driving a parameter id.
    struct Ghost {
        gui::Component* anchor;
        gui::Rect area;
        int32_t parameterId;
        std::string label;
    };
    static constexpr int kLabelHeight = 30;
    // Menu items, in order.
    enum Item { kEnableMidi, kClear, kClearAll, kRevert, kSave, kLoadFactory };

    MidiLearnController(GenericPluginInterface& editor, MidiControllerMap& map,
                        AbstractMusicEventReceiver* receiver);
    ~MidiLearnController() override;

    static gui::Menu menu(bool active);
    // Carries out a menu item (the editor shows the menu; kEnableMidi is the editor's).
    void command(int item);

    void addGhost(const Ghost& g) { ghosts_.push_back(g); }
    // index < 0 selects nothing; else control `index` of the learnable controls, or of the
    // ghosts when `ghost`.
    void selectLearnTarget(int index, bool ghost);
    const MidiLearnSelection& selection() const { return selection_; }
    // The controller assigned to a parameter, or -1.
    int controllerOf(int32_t parameterId) const;
    std::function<void()> onClose;

    void paint(gui::Graphics& g) override;
    bool mouseDown(const gui::MouseEvent& e) override;
    bool wantsMouse() const override { return true; }

protected:
    void resized() override;

private:
    gui::Rect areaOf(const Ghost& g) const;
    std::string nameOf(int32_t id) const;

    GenericPluginInterface& editor_;
    MidiControllerMap& map_;
    AbstractMusicEventReceiver* receiver_;
    MidiLearnSelection selection_;
    std::vector<Ghost> ghosts_;
    gui::Button* close_;
};
