#include "editor/ParameterMirror.h"

#include "editor/GenericPluginInterface.h"

ParameterMirror& ParameterMirror::add(gui::Component& display, GenericPluginInterface& editor,
                                      const std::string& parameter) {
    auto& m = display.add<ParameterMirror>();
    // Never shown: MIDI learn and hit tests pass over it.
    m.setVisible(false);
    editor.bind(m, parameter);
    return m;
}

void ParameterMirror::valueShown() {
    if (parent()) parent()->repaint();
}
