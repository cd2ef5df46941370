#include "midi/MpeZones.h"

#include <algorithm>

#include "framework/MidiConstants.h"

namespace {
// Channels neither zone can use when both exist: the two managers.
constexpr int kSharedChannels = 14;
constexpr float kCentsPerSemitone = 100.0f;
}  // namespace

void MpeZones::configure(int manager, int members) {
    if (manager != kLowerManager && manager != kUpperManager) return;
    const int n = std::clamp(members, 0, kMaxMembers);
    Zone& own = zone(manager);
    Zone& other = zone(manager == kLowerManager ? kUpperManager : kLowerManager);
    own.members.store(n, std::memory_order_relaxed);
    own.memberBendRange.store(kDefaultMemberBendRange, std::memory_order_relaxed);
    own.managerBendRange.store(kDefaultManagerBendRange, std::memory_order_relaxed);
    const int room = n >= kMaxMembers ? 0 : kSharedChannels - n;
    if (other.members.load(std::memory_order_relaxed) > room)
        other.members.store(room, std::memory_order_relaxed);
}

void MpeZones::setMemberBendRange(int manager, float semitones) {
    zone(manager).memberBendRange.store(std::clamp(semitones, 0.0f, kMaxBendRange),
                                        std::memory_order_relaxed);
}

int MpeZones::members(int manager) const {
    return zone(manager).members.load(std::memory_order_relaxed);
}

int MpeZones::zoneOf(int channel) const {
    const int lower = members(kLowerManager);
    if (channel > kLowerManager && channel <= kLowerManager + lower) return kLowerManager;
    const int upper = members(kUpperManager);
    if (channel < kUpperManager && channel >= kUpperManager - upper) return kUpperManager;
    return 0;
}

float MpeZones::memberBendRange(int manager) const {
    return zone(manager).memberBendRange.load(std::memory_order_relaxed);
}

float MpeZones::managerBendRange(int manager) const {
    return zone(manager).managerBendRange.load(std::memory_order_relaxed);
}

void MpeZones::controller(int channel, int number, int value) {
    if (channel < 1 || channel > midi::kChannels) return;
    Selection& s = selections_[static_cast<size_t>(channel)];
    switch (number) {
        case midi::kRpnMsb:
            s.parameter = (value << midi::kDataBits) | (s.parameter & midi::kDataMask);
            break;
        case midi::kRpnLsb:
            s.parameter = (s.parameter & ~midi::kDataMask) | value;
            break;
        case midi::kDataEntryMsb:
            s.coarse = value;
            // The configuration message counts its coarse value only.
            if (s.parameter == midi::kRpnMpeConfiguration) configure(channel, value);
            if (s.parameter == midi::kRpnPitchBendRange) setBendRange(channel, value, 0);
            break;
        case midi::kDataEntryLsb:
            if (s.parameter == midi::kRpnPitchBendRange) setBendRange(channel, s.coarse, value);
            break;
        default:
            break;
    }
}

void MpeZones::setBendRange(int channel, int semitones, int cents) {
    const float range =
        static_cast<float>(semitones) + static_cast<float>(cents) / kCentsPerSemitone;
    if (channel == kLowerManager || channel == kUpperManager) {
        zone(channel).managerBendRange.store(std::min(range, kMaxBendRange),
                                             std::memory_order_relaxed);
    } else if (const int manager = zoneOf(channel)) {
        setMemberBendRange(manager, range);
    }
}
