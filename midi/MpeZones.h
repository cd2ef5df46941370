#pragma once

#include <array>
#include <atomic>

#include "framework/MidiConstants.h"

// The MPE zones in force: a lower zone managed on channel 1 with member channels counting up from
// 2, an upper zone managed on channel 16 with member channels counting down from 15. Zones are
// set by the MPE configuration message (registered parameter 6 on a manager channel) or by
// configure(); the pitch bend range of a zone's member channels by registered parameter 0 on any
// of them. Channels are numbered 1..16.
class MpeZones {
public:
    static constexpr int kLowerManager = 1;
    static constexpr int kUpperManager = 16;
    static constexpr int kMaxMembers = 15;
    static constexpr float kDefaultMemberBendRange = 48.0f;
    static constexpr float kDefaultManagerBendRange = 2.0f;
    static constexpr float kMaxBendRange = 96.0f;

    // The zone managed on `manager` gets `members` member channels (0 ends it); an overlapped
    // other zone shrinks. Resets the zone's bend ranges. Any thread.
    void configure(int manager, int members);
    void setMemberBendRange(int manager, float semitones);

    bool active() const { return members(kLowerManager) > 0 || members(kUpperManager) > 0; }
    int members(int manager) const;
    // The manager of the zone the channel is a member of; 0 when it is none's.
    int zoneOf(int channel) const;
    bool isMember(int channel) const { return zoneOf(channel) != 0; }
    // Semitones of a full bend on a member channel of the zone.
    float memberBendRange(int manager) const;
    float managerBendRange(int manager) const;

    // Follows the registered parameter messages of a channel. Audio thread.
    void controller(int channel, int number, int value);

private:
    struct Zone {
        std::atomic<int> members{0};
        std::atomic<float> memberBendRange{kDefaultMemberBendRange};
        std::atomic<float> managerBendRange{kDefaultManagerBendRange};
    };
    struct Selection {
        int parameter = midi::kRpnNull;
        int coarse = 0;
    };

    Zone& zone(int manager) { return manager == kUpperManager ? upper_ : lower_; }
    const Zone& zone(int manager) const { return manager == kUpperManager ? upper_ : lower_; }
    void setBendRange(int channel, int semitones, int cents);

    Zone lower_;
    Zone upper_;
    std::array<Selection, midi::kChannels + 1> selections_{};
};
