#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "framework/Property.h"

class AbstractChannelEventReceiver;

// Routes decoded MIDI per channel index: 0 receives the messages of every channel, 1..16 those of
// MIDI channels 1..16. Each slot is a property, so a watcher learns when receivers move.
class AbstractMusicEventReceiver {
public:
    static constexpr int kChannelIndexes = 17;
    static constexpr int kAllChannels = 0;

    // Told about MIDI system reset.
    class SystemHandler {
    public:
        virtual ~SystemHandler() = default;
        virtual void reset() = 0;
    };

    AbstractMusicEventReceiver() = default;
    virtual ~AbstractMusicEventReceiver() = default;
    AbstractMusicEventReceiver(const AbstractMusicEventReceiver&) = delete;
    AbstractMusicEventReceiver& operator=(const AbstractMusicEventReceiver&) = delete;

    // Sets the learn parameter of every receiver in a slot.
    virtual void setLearnParameter(int32_t id);
    // Replaces the receiver that handles events; the event receiver owns it.
    virtual void setChannelReceiver(std::unique_ptr<AbstractChannelEventReceiver> receiver) = 0;

    // Null for an empty slot or an index outside 0..16.
    AbstractChannelEventReceiver* channelReceiver(int channelIndex) const;
    const Property<AbstractChannelEventReceiver*>& receiverSlot(int channelIndex) const {
        return slots_[channelIndex];
    }
    // The watcher is told the slot's address whenever a slot changes.
    void setSlotWatcher(PropertyOwner* watcher);

    void setSystemHandler(SystemHandler* handler) { systemHandler_ = handler; }
    SystemHandler* systemHandler() const { return systemHandler_; }

protected:
    void setSlot(int channelIndex, AbstractChannelEventReceiver* receiver) {
        slots_[channelIndex].set(receiver);
    }

private:
    std::array<Property<AbstractChannelEventReceiver*>, kChannelIndexes> slots_{};
    SystemHandler* systemHandler_ = nullptr;
};
