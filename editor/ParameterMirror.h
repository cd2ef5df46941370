#pragma once

#include <string>

#include "gui/ValueControl.h"

class GenericPluginInterface;

// A hidden control bound to a parameter, so that the display it belongs to redraws whenever the
// parameter changes: from the user, the host, a preset or an undo.
class ParameterMirror : public gui::ValueControl {
public:
    // Added to `display` (which it repaints) and bound to the parameter.
    static ParameterMirror& add(gui::Component& display, GenericPluginInterface& editor,
                                const std::string& parameter);
    bool wantsMouse() const override { return false; }
    void paint(gui::Graphics&) override {}

protected:
    void valueShown() override;
};
