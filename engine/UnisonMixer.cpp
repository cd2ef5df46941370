#include "engine/UnisonMixer.h"

#include <cmath>

namespace {

constexpr int kChannelCount = 2;

// out (= or +=) signal · gain · weight, four samples at a time; a constant gain is one value.
template <bool Add, bool ConstantGain>
void accumulate(float* out, const float* signal, const float* gain, float weight, uint32_t frames) {
    const float g0 = gain[0] * weight;
    for (uint32_t i = 0; i < frames; i += 4) {
        for (uint32_t j = i; j < i + 4; ++j) {
            const float v = signal[j] * (ConstantGain ? g0 : gain[j] * weight);
            out[j] = Add ? out[j] + v : v;
        }
    }
}

void accumulate(bool add, bool constantGain, float* out, const float* signal, const float* gain,
                float weight, uint32_t frames) {
    if (add) {
        constantGain ? accumulate<true, true>(out, signal, gain, weight, frames)
                     : accumulate<true, false>(out, signal, gain, weight, frames);
    } else {
        constantGain ? accumulate<false, true>(out, signal, gain, weight, frames)
                     : accumulate<false, false>(out, signal, gain, weight, frames);
    }
}

bool isSilentGain(const wave::Producer& gain, const float* samples) {
    return gain.isConstant() && std::fabs(samples[0]) <= wave::Environment::kEpsilon;
}

}  // namespace

UnisonMixer::UnisonMixer(wave::Environment& env)
    : wave::MultiProducer(env, kChannelCount), silent_(env.silentBuffer().data()) {
    entries_.reserve(kEntryCapacity);
}

bool UnisonMixer::addEntry(wave::Producer* leftGain, wave::Producer* rightGain,
                           wave::Producer* signal, float balance) {
    if (entries_.size() == kEntryCapacity) return false;
    entries_.push_back({{leftGain, rightGain}, signal, balance});
    return true;
}

void UnisonMixer::produceAll(float* const* buffers, const float** outputs, uint32_t frames,
                             uint32_t flags) {
    bool written = false;
    if (!(flags & wave::Environment::kFlagAdvanceOnly)) {
        const uint32_t rounded = (frames + 3u) & ~3u;
        for (const Entry& e : entries_) {
            const float* gain[kChannelCount] = {e.gain[0]->pull(frames, flags),
                                                e.gain[1]->pull(frames, flags)};
            // A switched-off oscillator: its signal is not even computed.
            if (isSilentGain(*e.gain[0], gain[0]) && isSilentGain(*e.gain[1], gain[1])) continue;
            const float* signal = e.signal->pull(frames, flags);
            const float weight[kChannelCount] = {leftWeight(e.balance), rightWeight(e.balance)};
            for (int c = 0; c < kChannelCount; ++c) {
                accumulate(written, e.gain[c]->isConstant(), buffers[c], signal, gain[c], weight[c],
                           rounded);
            }
            written = true;
        }
    }
    if (!written) {
        for (int c = 0; c < kChannelCount; ++c) outputs[c] = silent_;
    }
}
