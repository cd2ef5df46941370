#include "editor/BoundValues.h"

#include "editor/GenericPluginInterface.h"
#include "framework/FloatPluginParameter.h"

namespace {

const AbstractPluginParameter* parameterOf(GenericPluginInterface& editor,
                                           const gui::ValueControl& control) {
    const int id = editor.boundParameter(control);
    return id < 0 ? nullptr : editor.plugin().getParameter(id);
}

}  // namespace

float plainValueOf(GenericPluginInterface& editor, const gui::ValueControl& control) {
    const AbstractPluginParameter* p = parameterOf(editor, control);
    return p ? GenericPluginInterface::toPlain(*p, control.value()) : 0.0f;
}

float engineValueOf(GenericPluginInterface& editor, const gui::ValueControl& control) {
    const AbstractPluginParameter* p = parameterOf(editor, control);
    if (!p) return 0.0f;
    const float plain = GenericPluginInterface::toPlain(*p, control.value());
    if (auto* f = dynamic_cast<const FloatPluginParameter*>(p)) return f->engineValue(plain);
    return plain;
}
