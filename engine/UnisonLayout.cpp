#include "engine/UnisonLayout.h"

#include <algorithm>

#include "wave/Assert.h"

namespace {

constexpr uint32_t kLcgMultiplier = 214013;
constexpr uint32_t kLcgIncrement = 2531011;
constexpr uint32_t kLcgShift = 16;
constexpr uint32_t kLcgMax = 32767;

}  // namespace

int UnisonLayout::voicesPerNote(int totalVoices, int unisonVoices) {
    return std::max(1, std::min(totalVoices, unisonVoices));
}

int UnisonLayout::notesAtATime(int totalVoices, int unisonVoices) {
    return totalVoices / voicesPerNote(totalVoices, unisonVoices);
}

double unisonPosition(int i, int u) {
    VORN_ASSERT(i >= 0 && (i < u || u <= 1));
    if (u <= 1) return 0.0;
    return 2.0 * i / (u - 1) - 1.0;
}

float unisonDetuneOctaves(double position, uint32_t& lcgState) {
    lcgState = lcgState * kLcgMultiplier + kLcgIncrement;
    const uint32_t r = (lcgState >> kLcgShift) & kLcgMax;
    const double factor = UnisonLayout::kDetuneBase + UnisonLayout::kDetuneVariation * r / kLcgMax;
    return static_cast<float>(position * factor / UnisonLayout::kSemitonesPerOctave);
}
