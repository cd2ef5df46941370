#include "midi/DefaultEventReceiver.h"

#include "midi/DefaultChannelEventReceiver.h"

DefaultEventReceiver::DefaultEventReceiver(GenericPlugin& plugin, MidiControllerMap* controllerMap)
    : receiver_(std::make_unique<DefaultChannelEventReceiver>(plugin, controllerMap)) {
    setSlot(slot_, receiver_.get());
}

DefaultEventReceiver::~DefaultEventReceiver() = default;

void DefaultEventReceiver::setChannelReceiver(
    std::unique_ptr<AbstractChannelEventReceiver> receiver) {
    // The slot switches to the new receiver before the old one is destroyed.
    setSlot(slot_, receiver.get());
    receiver_ = std::move(receiver);
}

void DefaultEventReceiver::propertyChanged(const void* property) {
    if (property != &channel) return;
    setSlot(slot_, nullptr);
    slot_ = channel;
    setSlot(slot_, receiver_.get());
}
