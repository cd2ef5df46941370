#include "midi/AbstractMusicEventReceiver.h"

#include "midi/AbstractChannelEventReceiver.h"

void AbstractMusicEventReceiver::setLearnParameter(int32_t id) {
    for (const auto& slot : slots_) {
        if (slot.get()) slot.get()->setLearnParameter(id);
    }
}

AbstractChannelEventReceiver* AbstractMusicEventReceiver::channelReceiver(int channelIndex) const {
    if (channelIndex < 0 || channelIndex >= kChannelIndexes) return nullptr;
    return slots_[channelIndex].get();
}

void AbstractMusicEventReceiver::setSlotWatcher(PropertyOwner* watcher) {
    for (auto& slot : slots_) slot.setOwner(watcher);
}
