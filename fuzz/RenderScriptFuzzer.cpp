// A whole host session from bytes: the sample rate, then a script of host blocks of any size
// (0 to 4096 frames), parameter changes (ends of the range included), MIDI of any bytes, sample
// rate changes, resets and bypass. Every sample of the output is finite and below +24 dBFS.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/FuzzInput.h"
#include "fuzz/FuzzSynth.h"

namespace {

constexpr float kRates[] = {44100.0f,  48000.0f, 88200.0f, 96000.0f,  176400.0f,
                            192000.0f, 22050.0f, 8000.0f,  1234.5678f};
constexpr int kMaxBlockFrames = 4096;
// A budget of frames per input keeps a run fast; the tail is heard on top of it.
constexpr int kMaxFrames = 1 << 15;
constexpr int kTailFrames = 2048;
constexpr int kOffsetScale = 16;

enum Command : uint8_t { kBlock, kParameter, kMidi, kSampleRate, kReset, kBypass, kCommands };

float rateOf(uint8_t index) {
    return kRates[index % std::size(kRates)];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput input(data, size);
    VornPlugin& synth = sharedSynth();
    startOver(synth, rateOf(input.byte()));
    std::vector<float> left(kMaxBlockFrames), right(kMaxBlockFrames);
    const int parameters = synth.getParameterCount();
    bool bypassed = false;
    int played = 0;

    while (!input.empty()) {
        switch (input.byte() % kCommands) {
            case kBlock: {
                const int frames = input.word() % (kMaxBlockFrames + 1);
                if (played + frames > kMaxFrames) break;
                playChecked(synth, left, right, frames);
                played += frames;
                break;
            }
            case kParameter: {
                AbstractPluginParameter* p = synth.getParameter(input.word() % parameters);
                const uint8_t value = input.byte();
                // The ends come exactly, not as the nearest step.
                const float plain = value == 0     ? p->getMinimum()
                                    : value == 255 ? p->getMaximum()
                                                   : p->normalizedToPlain(value / 255.0f);
                p->setValue(plain, GenericPlugin::kFlagFromHost);
                break;
            }
            case kMidi: {
                MidiEvent event;
                event.status = input.byte();
                event.data1 = input.byte();
                event.data2 = input.byte();
                event.offset = input.byte() * kOffsetScale;
                synth.receiveMidi(event);
                break;
            }
            case kSampleRate:
                synth.setSampleRate(rateOf(input.byte()));
                break;
            case kReset:
                synth.reset();
                break;
            case kBypass:
                bypassed = !bypassed;
                synth.setBypass(0, bypassed);
                break;
        }
    }
    playChecked(synth, left, right, kTailFrames);
    return 0;
}
