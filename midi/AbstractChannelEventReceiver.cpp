#include "midi/AbstractChannelEventReceiver.h"

#include <algorithm>

#include "framework/MidiConstants.h"
#include "midi/MidiControllerMap.h"
#include "midi/MidiListener.h"

AbstractChannelEventReceiver::AbstractChannelEventReceiver(MidiControllerMap* controllerMap)
    : controllerMap_(controllerMap) {
    listeners_.reserve(kListenerCapacity);
}

void AbstractChannelEventReceiver::addListener(MidiListener* listener) {
    listeners_.push_back(listener);
}

void AbstractChannelEventReceiver::removeListener(MidiListener* listener) {
    std::erase(listeners_, listener);
}

void AbstractChannelEventReceiver::channelPressure(float pressure) {
    for (MidiListener* l : listeners_) l->channelPressure(pressure);
}

void AbstractChannelEventReceiver::polyPressure(int note, float pressure) {
    for (MidiListener* l : listeners_) l->polyPressure(note, pressure);
}

void AbstractChannelEventReceiver::controller(int number, int value, float normalized) {
    // Outside 0..127 there is nothing to learn; -1 would even unmap the learn parameter.
    if (controllerMap_ && number >= 0 && number < MidiControllerMap::kControllers) {
        const int32_t learn = learnParameter();
        if (learn >= 0) controllerMap_->assign(number, learn);
        const int32_t mapped = controllerMap_->parameterFor(number);
        if (mapped >= 0) mappedController(mapped, normalized);
    }
    for (MidiListener* l : listeners_) {
        l->controller(number, value, normalized);
        if (number == midi::kModWheel) l->modWheel(normalized);
    }
}

void AbstractChannelEventReceiver::noteOff(int note, float velocity) {
    for (MidiListener* l : listeners_) l->noteOff(note, velocity);
}

void AbstractChannelEventReceiver::noteOn(int note, float velocity) {
    for (MidiListener* l : listeners_) l->noteOn(note, velocity);
}

void AbstractChannelEventReceiver::pitchBend(float bend) {
    for (MidiListener* l : listeners_) l->pitchBend(bend);
}
