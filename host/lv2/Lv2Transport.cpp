#include "host/lv2/Lv2Transport.h"

namespace {
constexpr double kSecondsPerMinute = 60.0;
}  // namespace

double Lv2Transport::beatsPerFrame() const {
    return speed_ * tempo_ / (kSecondsPerMinute * sampleRate_);
}

void Lv2Transport::receive(const Position& position, int64_t frameOffset) {
    if (position.tempo && *position.tempo > 0.0) tempo_ = *position.tempo;
    if (position.speed) speed_ = *position.speed;
    if (position.beatsPerBar && *position.beatsPerBar > 0.0) beatsPerBar_ = *position.beatsPerBar;
    std::optional<double> beat = position.beat;
    if (!beat && position.bar && position.barBeat)
        beat = *position.bar * beatsPerBar_ + *position.barBeat;
    // The message describes its own frame; the block started that many frames earlier.
    if (beat) beat_ = *beat - static_cast<double>(frameOffset) * beatsPerFrame();
}

void Lv2Transport::advance(uint32_t frames) {
    beat_ += static_cast<double>(frames) * beatsPerFrame();
}
