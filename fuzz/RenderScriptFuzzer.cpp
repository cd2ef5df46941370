// A whole host session from bytes: the sample rate, then a script of host blocks of any size
// (0 to 4096 frames), parameter changes (ends of the range included), MIDI of any bytes, sample
// rate changes (rates that cannot play included), resets, bypass, side-chain audio and host
// positions with infinities and NaN among them. Every sample of the output is finite and below
// +24 dBFS.
#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "fuzz/FuzzInput.h"
#include "fuzz/FuzzSynth.h"

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
// Rates the engine clamps (0.5, 1e30) and rates it refuses, keeping the one it has, come after
// the ones a session starts at.
constexpr float kRates[] = {44100.0f,  48000.0f, 88200.0f, 96000.0f,   176400.0f,
                            192000.0f, 22050.0f, 8000.0f,  1234.5678f, 0.5f,
                            1e30f,     0.0f,     -1.0f,    kInf,       kNaN};
constexpr size_t kStartRates = 9;
// Side-chain samples and host tempos and beats.
constexpr float kValues[] = {0.0f, 0.5f,  -1.0f, 1e-30f, std::numeric_limits<float>::max(),
                             kInf, -kInf, kNaN};
constexpr int kMaxBlockFrames = 4096;
// A budget of frames per input keeps a run fast; the tail is heard on top of it.
constexpr int kMaxFrames = 1 << 15;
constexpr int kTailFrames = 2048;
constexpr int kOffsetScale = 16;

enum Command : uint8_t {
    kBlock,
    kParameter,
    kMidi,
    kSampleRate,
    kReset,
    kBypass,
    kSideChain,
    kTransport,
    kCommands
};

float rateOf(uint8_t index, size_t count = std::size(kRates)) {
    return kRates[index % count];
}

float valueOf(uint8_t index) {
    return kValues[index % std::size(kValues)];
}

// Side-chain input for the following blocks: every period-th sample one value, the others
// another, the right channel with the two swapped.
void fillSideChain(FuzzInput& input, std::array<std::vector<float>, 2>& sideChain) {
    const float special = valueOf(input.byte());
    const float other = valueOf(input.byte());
    const int period = input.byte() % 16 + 1;
    for (size_t i = 0; i < sideChain[0].size(); ++i) {
        const bool hit = i % period == 0;
        sideChain[0][i] = hit ? special : other;
        sideChain[1][i] = hit ? other : special;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput input(data, size);
    VornPlugin& synth = sharedSynth();
    startOver(synth, rateOf(input.byte(), kStartRates));
    std::vector<float> left(kMaxBlockFrames), right(kMaxBlockFrames);
    std::array<std::vector<float>, 2> sideChain{std::vector<float>(kMaxBlockFrames),
                                                std::vector<float>(kMaxBlockFrames)};
    bool sideChainOn = false;
    const int parameters = synth.getParameterCount();
    bool bypassed = false;
    int played = 0;

    while (!input.empty()) {
        switch (input.byte() % kCommands) {
            case kBlock: {
                const int frames = input.word() % (kMaxBlockFrames + 1);
                if (played + frames > kMaxFrames) break;
                playChecked(synth, left, right, frames, sideChainOn ? &sideChain : nullptr);
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
            case kSideChain:
                fillSideChain(input, sideChain);
                sideChainOn = true;
                break;
            case kTransport: {
                const float tempo = valueOf(input.byte()) * input.byte();
                synth.updateTransport(tempo, valueOf(input.byte()) * input.word());
                break;
            }
        }
    }
    playChecked(synth, left, right, kTailFrames, sideChainOn ? &sideChain : nullptr);
    return 0;
}
