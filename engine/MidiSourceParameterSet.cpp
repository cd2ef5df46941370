#include "engine/MidiSourceParameterSet.h"

#include "engine/ParameterSetup.h"
#include "modulation/MidiModSource.h"

namespace {
constexpr int kHighestController = 127;
}

MidiSourceParameterSet::MidiSourceParameterSet(GenericParameterOwner* owner, int index)
    : PluginParameterSet(owner, "MIDI Source " + std::to_string(index + 1)),
      input(this, name() + " Input"),
      controllerNumber(this, name() + " Controller Number"),
      responseCurve(this, name() + " Response Curve"),
      shortName_("MS " + std::to_string(index + 1)) {}

void MidiSourceParameterSet::setup() {
    const std::string& subject = name();
    setupList(input, 0, 5, 0, "Mod Wheel,Pitch Bend,Velocity,Aftertouch,KB Track,Controller",
              describe("The MIDI input that {} follows.", subject));
    setupList(controllerNumber, 0, kHighestController, 0, "",
              describe("Controller number {} follows when its input is Controller.", subject));
    setupList(responseCurve, 0, 5, 0, "Linear,Exp,Log,Sqr,Sqrt,Sine",
              describe("Curve that shapes the MIDI value of {}.", subject));
}

std::string MidiSourceParameterSet::displayLabel() const {
    const bool controller = static_cast<int>(input.getValue()) == kControllerInput;
    const std::string detail = controller
                                   ? controllerNumber.formatValue(controllerNumber.getValue())
                                   : input.formatValue(input.getValue());
    return shortName_ + " (" + detail + ")";
}

void MidiSourceParameterSet::bind(MidiModSource& source) {
    input.bind(&source.input);
    controllerNumber.bind(&source.controllerNumber);
    responseCurve.bind(&source.responseCurve);
}
