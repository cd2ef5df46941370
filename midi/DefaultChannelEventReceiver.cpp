#include "midi/DefaultChannelEventReceiver.h"

#include "framework/GenericPlugin.h"
#include "framework/MidiConstants.h"

DefaultChannelEventReceiver::DefaultChannelEventReceiver(GenericPlugin& plugin,
                                                         MidiControllerMap* controllerMap)
    : AbstractChannelEventReceiver(controllerMap), plugin_(plugin) {}

void DefaultChannelEventReceiver::noteOff(int note, float velocity) {
    plugin_.releaseNotes(note, velocity);
    AbstractChannelEventReceiver::noteOff(note, velocity);
}

void DefaultChannelEventReceiver::noteOn(int note, float velocity) {
    plugin_.triggerNote(note, velocity);
    AbstractChannelEventReceiver::noteOn(note, velocity);
}

void DefaultChannelEventReceiver::controller(int number, int value, float normalized) {
    if (number == midi::kSustainPedal) plugin_.sustainPedal(value >= midi::kPedalDown);
    AbstractChannelEventReceiver::controller(number, value, normalized);
}

void DefaultChannelEventReceiver::mappedController(int parameterId, float normalized) {
    plugin_.setParameterFromMidi(parameterId, normalized);
}

void DefaultChannelEventReceiver::programChange(int bank, int program) {
    if (programChangeHandler_) programChangeHandler_(bank, program);
}
