#include "engine/XYControllerParameterSet.h"

#include "engine/ParameterSetup.h"

XYControllerParameterSet::XYControllerParameterSet(GenericParameterOwner* owner, int index)
    : PluginParameterSet(owner, "XY Controller " + std::to_string(index + 1)),
      hor(this, name() + " Hor"),
      ver(this, name() + " Ver"),
      index_(index) {}

void XYControllerParameterSet::setup() {
    const std::string subject = "XY controller " + std::to_string(index_ + 1);
    setupContinuous(hor, -1.0f, 1.0f, 0.0f,
                    describe("Horizontal position of {}, a modulation source.", subject));
    setupContinuous(ver, -1.0f, 1.0f, 0.0f,
                    describe("Vertical position of {}, a modulation source.", subject));
}
