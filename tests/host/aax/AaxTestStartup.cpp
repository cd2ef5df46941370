#include "engine/VornPresets.h"

namespace {

// Instances made by these tests start from the built-in defaults: no factory install and no
// "Default Sound".
const bool startupPresetsOff = [] {
    VornPresets::setStartupPresets(false);
    return true;
}();

}  // namespace
