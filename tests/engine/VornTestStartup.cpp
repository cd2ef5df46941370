#include "engine/VornPresets.h"

namespace {

// Engine tests check the built-in sound: instances made here neither install the factory presets
// nor load "Default Sound" unless a test turns that on for itself.
const bool startupPresetsOff = [] {
    VornPresets::setStartupPresets(false);
    return true;
}();

}  // namespace
