#pragma once

#include <string>

#include "gui/Label.h"
#include "gui/ValueControl.h"

class GenericPluginInterface;

// The name of one unit of a list (a follower, a MIDI source), faded while the unit lies beyond
// the list's active count and its engine object is off.
class ActiveLabel : public gui::Label {
public:
    ActiveLabel(GenericPluginInterface& editor, const std::string& countParameter, int index,
                std::string text, const Style& style);
    bool active() const;
    void paint(gui::Graphics& g) override;

private:
    GenericPluginInterface& editor_;
    gui::ValueControl& count_;
    int index_;
};
