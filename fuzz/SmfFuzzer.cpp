// Standard MIDI Files of any content. A file that reads must hold a well-formed timeline: events
// in time order at frames that never go backwards and never pass the end, a tempo map that starts
// at tick 0, and finite tempi and beat positions.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "midi/StandardMidiFile.h"

namespace {

constexpr double kRates[] = {44100.0, 48000.0, 1234.5678};

void check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    StandardMidiFile file;
    if (!file.read(std::span<const uint8_t>(data, size))) {
        check(file.events().empty() && !file.error().empty());
        return 0;
    }
    check(file.timeDenominator() > 0);
    check(file.events().size() <= StandardMidiFile::kMaxEvents);
    const auto& tempi = file.tempoMap();
    check(!tempi.empty() && tempi.front().tick == 0);
    for (size_t i = 1; i < tempi.size(); ++i) check(tempi[i].tick >= tempi[i - 1].tick);
    const double end = file.endSeconds();
    check(std::isfinite(end) && end >= 0.0);
    for (double rate : kRates) {
        int64_t previous = 0;
        for (const StandardMidiFile::Event& event : file.events()) {
            const int64_t frame = file.frameOf(event, rate);
            check(frame >= previous && frame <= file.endFrame(rate));
            check(event.tick >= 0 && event.tick <= StandardMidiFile::kMaxTick);
            check(event.message.status >= 0x80);
            previous = frame;
        }
    }
    for (const StandardMidiFile::Event& event : file.events()) {
        check(std::isfinite(event.seconds) && std::isfinite(file.beatAt(event.seconds)));
        check(std::isfinite(file.tempoAt(event.seconds)) && file.tempoAt(event.seconds) > 0.0);
    }
    return 0;
}
