#include "editor/ParameterMirror.h"

#include "editor/GenericPluginInterface.h"

ParameterMirror& ParameterMirror::add(gui::Component& display, GenericPluginInterface& editor,
                                      const std::string& parameter) {
    auto& m = display.add<ParameterMirror>();
    editor.bind(m, parameter);
    return m;
}

void ParameterMirror::valueShown() {
    if (parent()) parent()->repaint();
}
