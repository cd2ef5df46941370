#pragma once

#include <cmath>
#include <cstdint>

namespace wave {

// Values from outside the engine (host audio, host positions, modulation sums) may be infinite
// or NaN: these keep them out of indices, pitches and recursions, and leave finite values as
// they are, bit for bit.

// v limited to [lo, hi], NaN read as lo; every other value as std::clamp gives it.
inline float clampFinite(float v, float lo, float hi) {
    return !(v >= lo) ? lo : (hi < v ? hi : v);
}

// Every sample that is not finite becomes 0.
inline void zeroNonFinite(float* x, uint32_t n) {
    for (uint32_t i = 0; i < n; ++i) x[i] = std::isfinite(x[i]) ? x[i] : 0.0f;
}

}  // namespace wave
