#pragma once

#include <memory>

#include "framework/Property.h"
#include "midi/AbstractMusicEventReceiver.h"

class GenericPlugin;
class MidiControllerMap;

// One channel receiver that listens on the channel index held by `channel` (0 = all channels).
// Changing the property moves the receiver to the new slot.
class DefaultEventReceiver : public AbstractMusicEventReceiver, public PropertyOwner {
public:
    explicit DefaultEventReceiver(GenericPlugin& plugin,
                                  MidiControllerMap* controllerMap = nullptr);
    ~DefaultEventReceiver() override;

    void setChannelReceiver(std::unique_ptr<AbstractChannelEventReceiver> receiver) override;
    void propertyChanged(const void* property) override;

    AbstractChannelEventReceiver* receiver() const { return receiver_.get(); }

    // Change it where MIDI is dispatched (the audio thread): the decoder reads the slots unlocked.
    LimitedProperty<int> channel{this, 0, kChannelIndexes - 1, kAllChannels};

private:
    std::unique_ptr<AbstractChannelEventReceiver> receiver_;
    int slot_ = kAllChannels;
};
