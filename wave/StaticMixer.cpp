#include "wave/StaticMixer.h"

#include <algorithm>
#include <cmath>

#include "wave/MixKernels.h"
#include "wave/SampleBuffer.h"

namespace wave {

int StaticMixer::addEntry(float gain, Producer* signal) {
    entries_.push_back({gain, signal});
    return static_cast<int>(entries_.size()) - 1;
}

void StaticMixer::setEntry(int index, float gain, Producer* signal) {
    entries_[static_cast<size_t>(index)] = {gain, signal};
}

bool StaticMixer::produce(float* buffer, uint32_t frames, uint32_t flags) {
    if (flags & Environment::kFlagAdvanceOnly) return false;
    const uint32_t n = SampleBuffer::roundUp(frames);
    bool written = false;
    bool constant = true;
    for (const Entry& e : entries_) {
        if (!e.signal) continue;
        const float* s = e.signal->pull(frames, flags);
        const bool unity = std::fabs(e.gain - 1.0f) <= mix::kGainEpsilon;
        if (!written) std::fill(buffer, buffer + n, 0.0f);
        written = true;
        if (e.signal->isConstant()) {
            const float v = unity ? s[0] : s[0] * e.gain;
            for (uint32_t i = 0; i < n; ++i) buffer[i] += v;
            continue;
        }
        constant = false;
        if (unity) {
            for (uint32_t i = 0; i < n; ++i) buffer[i] += s[i];
        } else {
            const float g = e.gain;
            for (uint32_t i = 0; i < n; ++i) buffer[i] += s[i] * g;
        }
    }
    if (!written) setOutput(environment().silentBuffer().data());
    return constant;
}

}  // namespace wave
