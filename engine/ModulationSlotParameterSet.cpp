#include "engine/ModulationSlotParameterSet.h"

#include "engine/ModulationNames.h"
#include "engine/ParameterCurves.h"
#include "engine/ParameterSetup.h"

namespace {

constexpr float kDefaultLevel = 0.5f;
using Field = ModulationMatrixPlugin::SlotField;

const std::string& sourceChoices() {
    static const std::string names = "< Source >," + joinNames(modulationSourceNames());
    return names;
}
const std::string& targetChoices() {
    static const std::string names = "< Target >," + joinNames(modulationTargetNames());
    return names;
}

}  // namespace

ModulationSlotParameterSet::ModulationSlotParameterSet(GenericParameterOwner* owner,
                                                       ModulationMatrixPlugin& plugin, int index)
    : PluginParameterSet(owner, "Slot " + std::to_string(index + 1)),
      source(this, name() + " Source", plugin, index, Field::Source),
      level(this, name() + " Level", plugin, kFirstLevelTarget + index),
      bypassed(this, name() + " Bypassed", plugin, index, Field::Bypassed),
      inverted(this, name() + " Inverted", plugin, index, Field::Inverted),
      target(this, name() + " Target", plugin, index, Field::Target),
      subject_("modulation slot " + std::to_string(index + 1)) {}

void ModulationSlotParameterSet::setup() {
    const std::string& subject = subject_;
    setupList(source, 0, kModulationSourceCount, 0, sourceChoices(),
              describe("The modulation source of {}.", subject));
    setupContinuous(level, 0.0f, 1.0f, kDefaultLevel,
                    describe("How strongly the source of {} moves its target.", subject));
    level.setTaper(timeCurve, timeCurveInverse);
    setupList(bypassed, 0, 1, false, "Normal,Bypassed",
              describe("Switches {} off without clearing it.", subject));
    setupList(inverted, 0, 1, false, "Normal,Inverted",
              describe("Turns the modulation of {} upside down.", subject));
    setupList(target, 0, kModulationTargetCount, 0, targetChoices(),
              describe("The parameter that {} modulates.", subject));
}
