#pragma once

#include "gui/ValueControl.h"

class GenericPluginInterface;

// What a bound control's shown value means to the engine, so that displays draw what it plays.

// The parameter's plain value at the control's value (its minimum when the control is unbound).
float plainValueOf(GenericPluginInterface& editor, const gui::ValueControl& control);
// The engine value (seconds, gain, ...) through the parameter's taper.
float engineValueOf(GenericPluginInterface& editor, const gui::ValueControl& control);
