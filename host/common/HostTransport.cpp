#include "host/common/HostTransport.h"

#include <cmath>

namespace {
constexpr double kSecondsPerMinute = 60.0;
}  // namespace

double HostTransport::beatsPerFrame() const {
    return speed_ * tempo_ / (kSecondsPerMinute * sampleRate_);
}

void HostTransport::receive(const Position& position, int64_t frameOffset) {
    // Fields that are not finite are left out, as if absent.
    const auto field = [](const std::optional<double>& value) {
        return value && std::isfinite(*value) ? value : std::nullopt;
    };
    const std::optional<double> tempo = field(position.tempo);
    const std::optional<double> speed = field(position.speed);
    const std::optional<double> beatsPerBar = field(position.beatsPerBar);
    const std::optional<double> bar = field(position.bar);
    const std::optional<double> barBeat = field(position.barBeat);
    if (tempo && *tempo > 0.0) tempo_ = *tempo;
    if (speed) speed_ = *speed;
    if (beatsPerBar && *beatsPerBar > 0.0) beatsPerBar_ = *beatsPerBar;
    std::optional<double> beat = field(position.beat);
    if (!beat && bar && barBeat) beat = *bar * beatsPerBar_ + *barBeat;
    // The message describes its own frame; the block started that many frames earlier.
    if (beat) moveTo(*beat - static_cast<double>(frameOffset) * beatsPerFrame());
}

void HostTransport::advance(uint32_t frames) {
    moveTo(beat_ + static_cast<double>(frames) * beatsPerFrame());
}

void HostTransport::moveTo(double beat) {
    // Huge tempos and speeds may overflow: the beat then stands.
    if (std::isfinite(beat)) beat_ = beat;
}
