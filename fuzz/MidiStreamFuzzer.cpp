// Any MIDI bytes into a playing synthesizer, as a host passes them: each event is a status and two
// data bytes of any value at an offset in the block; the last byte of an event's four also says
// whether the block ends after it. Every sample of the output is finite and below +24 dBFS.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/FuzzInput.h"
#include "fuzz/FuzzSynth.h"

namespace {

constexpr float kSampleRate = 48000.0f;
constexpr int kBlockSizes[] = {1, 7, 32, 64, 100, 512};
constexpr uint8_t kEndOfBlock = 0x80;
constexpr int kOffsetSteps = 0x80;
// Enough to hear what the events leave sounding without slowing the run down.
constexpr int kTailBlocks = 4;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput input(data, size);
    VornPlugin& synth = sharedSynth();
    startOver(synth, kSampleRate);
    const int frames = kBlockSizes[input.byte() % std::size(kBlockSizes)];
    std::vector<float> left(static_cast<size_t>(frames)), right(static_cast<size_t>(frames));

    while (!input.empty()) {
        MidiEvent event;
        event.status = input.byte();
        event.data1 = input.byte();
        event.data2 = input.byte();
        const uint8_t timing = input.byte();
        event.offset = (timing % kOffsetSteps) * frames / kOffsetSteps;
        synth.receiveMidi(event);
        if (timing & kEndOfBlock) playChecked(synth, left, right, frames);
    }
    for (int i = 0; i < kTailBlocks; ++i) playChecked(synth, left, right, frames);
    return 0;
}
