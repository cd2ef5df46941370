#include "engine/VornPresets.h"

namespace {

// Editor tests start from the built-in sound, without factory presets or "Default Sound".
const bool startupPresetsOff = [] {
    VornPresets::setStartupPresets(false);
    return true;
}();

}  // namespace
