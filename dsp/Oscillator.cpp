#include "dsp/Oscillator.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "dsp/Float4.h"
#include "dsp/OscillatorStyle.h"
#include "wave/Finite.h"

namespace {

constexpr float kEpsilon = 1.0f / 8388608.0f;  // 2^-23
constexpr float kUnsetControl = 1000.0f;       // forces the first sample of a block to set up
constexpr float kPhaseSyncPoint = 0.75f;       // of the row, at a phase-sync note-on
constexpr float kCrossfadeShare = 0.95f;       // of the master period before the crossfade
constexpr float kLn2 = 0.6931472f;
constexpr int kStartPhaseMask = 63;

// The shift register shared by both noises and the noise floor.
constexpr uint32_t kNoiseFeedbackBit = 0x1000000;
constexpr uint32_t kNoiseTaps = 0x11d872b;
constexpr uint32_t kNoiseMidpoint = 0x800000;
constexpr float kNoiseScale = 1.0f / 8388608.0f;

// Pink filter: three one-pole sections and a direct share.
constexpr double kPinkPole0 = 0.99765, kPinkGain0 = 0.0594276;
constexpr double kPinkPole1 = 0.963, kPinkGain1 = 0.17790984;
constexpr double kPinkPole2 = 0.57, kPinkGain2 = -0.063161478;
constexpr double kPinkDirect = 0.11088;

// The instance's stand-in for rand(): 15-bit results like the classic linear congruential one.
uint32_t nextRandom(uint32_t& state) {
    state = state * 1103515245u + 12345u;
    return (state >> 16) & 0x7fff;
}

constexpr uint32_t kNoiseMask = kNoiseFeedbackBit - 1;

float noiseValue(uint32_t state) {
    return static_cast<float>(static_cast<int32_t>(state - kNoiseMidpoint)) * kNoiseScale;
}

uint32_t noiseStep(uint32_t state) {
    state <<= 1;
    // Branch-free "if bit 24 is set, apply the taps": the bit is random half of the time.
    return state ^ ((0u - ((state & kNoiseFeedbackBit) >> 24)) & kNoiseTaps);
}

// The register is linear over GF(2): k steps shift the low bits and add a pattern chosen by the
// top k bits alone. jumps[k - 1][top] holds that pattern, so four steps need no serial chain.
constexpr int kNoiseJump = 4;
struct NoiseJumps {
    uint32_t pattern[kNoiseJump][1 << kNoiseJump];
};
constexpr NoiseJumps makeNoiseJumps() {
    NoiseJumps jumps{};
    for (int k = 1; k <= kNoiseJump; ++k) {
        for (uint32_t top = 0; top < (1u << k); ++top) {
            uint32_t state = top << (24 - k);
            for (int i = 0; i < k; ++i) {
                state <<= 1;
                if (state & kNoiseFeedbackBit) state ^= kNoiseTaps;
            }
            jumps.pattern[k - 1][top] = state;
        }
    }
    return jumps;
}
constexpr NoiseJumps kNoiseJumps = makeNoiseJumps();

// The register after k steps from state.
uint32_t noiseJump(uint32_t state, int k) {
    return ((state << k) & kNoiseMask) ^ kNoiseJumps.pattern[k - 1][state >> (24 - k)];
}

// Calls sink(i, w) for i = 0..frames-1 with the register's next values, w in [-1, 1).
template <class Sink>
void runNoise(uint32_t& state, uint32_t frames, Sink sink) {
    uint32_t s = state;
    uint32_t i = 0;
    for (; i + kNoiseJump <= frames; i += kNoiseJump) {
        uint32_t next = s;
        for (int k = 1; k <= kNoiseJump; ++k) {
            next = noiseJump(s, k);
            sink(i + k - 1, noiseValue(next));
        }
        s = next;
    }
    for (; i < frames; ++i) {
        s = noiseStep(s);
        sink(i, noiseValue(s));
    }
    state = s;
}

// The same four jumps side by side, chosen by the register's top four bits: lane k - 1 holds
// the pattern of k steps.
struct NoiseQuads {
    uint32_t pattern[1 << kNoiseJump][kNoiseJump];
};
constexpr NoiseQuads makeNoiseQuads() {
    NoiseQuads quads{};
    for (uint32_t top = 0; top < (1u << kNoiseJump); ++top) {
        for (int k = 1; k <= kNoiseJump; ++k) {
            quads.pattern[top][k - 1] = kNoiseJumps.pattern[k - 1][top >> (kNoiseJump - k)];
        }
    }
    return quads;
}
constexpr NoiseQuads kNoiseQuads = makeNoiseQuads();

using UInt4 = uint32_t __attribute__((vector_size(16)));

// runNoise with the whole fours of values handed to sink4(i, w) together, w holding the values
// of i .. i + 3, and the rest to sink(i, w) one at a time.
template <class Sink4, class Sink>
void runNoise4(uint32_t& state, uint32_t frames, Sink4 sink4, Sink sink) {
    static_assert(kNoiseJump == 4);
    const UInt4 steps{1, 2, 3, 4};
    uint32_t s = state;
    uint32_t i = 0;
    for (; i + kNoiseJump <= frames; i += kNoiseJump) {
        UInt4 pattern;
        std::memcpy(&pattern, kNoiseQuads.pattern[s >> (24 - kNoiseJump)], sizeof pattern);
        const UInt4 next = ((UInt4{s, s, s, s} << steps) & kNoiseMask) ^ pattern;
        // The register's own chain in scalar code: moving a lane out would lengthen it.
        s = noiseJump(s, kNoiseJump);
        sink4(i, simd::toFloat(reinterpret_cast<simd::Int4>(next - kNoiseMidpoint)) * kNoiseScale);
    }
    state = s;
    runNoise(state, frames - i, [&](uint32_t j, float w) { sink(i + j, w); });
}

float position(float pitch) {
    const float x = pitch * Oscillator::Style::kPositionScale + Oscillator::Style::kPositionOffset;
    // A table index: NaN must land inside too.
    return wave::clampFinite(x, 0.0f, Oscillator::Style::kMaxPosition);
}

float lerpRow(const float* row, float phase) {
    const int i = static_cast<int>(phase);
    return row[i] + (row[i + 1] - row[i]) * (phase - static_cast<float>(i));
}

float wrapOnce(float phase, float length) {
    return phase >= length ? phase - length : phase;
}

// The pulse formula's constants for one block.
struct PulseConstants {
    float k1, k2, k3;
    float length;
    int mask;
};

// Two sawtooth reads at phase and at its mirror d + 2L - phase.
float pulseRead(const float* row, float phase, float width, const PulseConstants& c) {
    const float rest = 1.0f - width;
    const float d = rest * (c.length * 0.5f);
    const float mirror = (d + 2.0f * c.length) - phase;
    const int whole = static_cast<int>(mirror);
    const float fraction = mirror - static_cast<float>(whole);
    const int i = whole & c.mask;
    const float second = row[i] + (row[i + 1] - row[i]) * fraction;
    return c.k1 * (second - rest * c.k3) + (c.k1 + rest * c.k2) * lerpRow(row, phase);
}

float clampWidth(float width) {
    return std::min(std::max(width, 0.0f), 1.0f);
}

// Four read positions, one per sample of a group; the scalar kind is the reference for the
// vector kind and does the same operations in the same order.
struct ScalarLanes {
    struct Vec {
        float v[4];
    };
    static Vec build(float phase, float inc) {
        Vec r;
        for (int k = 0; k < 4; ++k) r.v[k] = phase + static_cast<float>(k) * inc;
        return r;
    }
    static Vec wrap(Vec p, float length) {
        for (float& x : p.v) x = wrapOnce(wrapOnce(x, length), length);
        return p;
    }
    static Vec advance(Vec p, float step) {
        for (float& x : p.v) x += step;
        return p;
    }
    static float first(Vec p) { return p.v[0]; }
    static void read(const float* row, Vec p, float* out) {
        for (int k = 0; k < 4; ++k) out[k] = lerpRow(row, p.v[k]);
    }
    static void readPulse(const float* row, Vec p, const float* width, const PulseConstants& c,
                          float* out) {
        for (int k = 0; k < 4; ++k) out[k] = pulseRead(row, p.v[k], clampWidth(width[k]), c);
    }
};

struct SimdLanes {
    using Vec = simd::Float4;
    static Vec build(float phase, float inc) {
        return simd::splat(phase) + Vec{0.0f, 1.0f, 2.0f, 3.0f} * simd::splat(inc);
    }
    // Both comparisons at once, off the serial chain; p - L - L and p - 2L are the same float
    // here (L is a power of two and p < 4L), so this equals the scalar double wrap.
    static Vec wrap(Vec p, float length) {
        const Vec l = simd::splat(length);
        const Vec zero = simd::splat(0.0f);
        const Vec once = simd::select(p >= l, l, zero);
        const Vec twice = simd::select(p >= l + l, l, zero);
        return p - (once + twice);
    }
    static Vec advance(Vec p, float step) { return p + simd::splat(step); }
    static float first(Vec p) { return p[0]; }
    // Linear interpolation of row at four positions whose whole parts are whole.
    static Vec gather(const float* row, simd::Int4 whole, Vec fraction) {
        Vec a, b;
        simd::gatherPairs(row, whole, a, b);
        return a + (b - a) * fraction;
    }
    static Vec lerp(const float* row, Vec p) {
        const simd::Int4 whole = simd::truncate(p);
        return gather(row, whole, p - simd::toFloat(whole));
    }
    static void read(const float* row, Vec p, float* out) { simd::store(out, lerp(row, p)); }
    static void readPulse(const float* row, Vec p, const float* width, const PulseConstants& c,
                          float* out) {
        const Vec w = simd::min(simd::max(simd::load(width), simd::splat(0.0f)), simd::splat(1.0f));
        const Vec rest = simd::splat(1.0f) - w;
        const Vec d = rest * simd::splat(c.length * 0.5f);
        const Vec mirror = (d + simd::splat(2.0f * c.length)) - p;
        const simd::Int4 whole = simd::truncate(mirror);
        const Vec fraction = mirror - simd::toFloat(whole);
        const Vec second = gather(row, whole & simd::splat(c.mask), fraction);
        const Vec k1 = simd::splat(c.k1);
        const Vec left = k1 * (second - rest * simd::splat(c.k3));
        const Vec gain = k1 + rest * simd::splat(c.k2);
        simd::store(out, left + gain * lerp(row, p));
    }
};

}  // namespace

Oscillator::Oscillator(Style& style, wave::Environment& env, uint32_t seed)
    : wave::Source(env),
      style_(style),
      defaultPitch_(env, kDefaultPitch),
      defaultLevel_(env, 1.0f),
      defaultPulseWidth_(env, 0.0f),
      defaultSync_(env, 0.0f),
      pitch_(&defaultPitch_),
      level_(&defaultLevel_),
      pulseWidth_(&defaultPulseWidth_),
      sync_(&defaultSync_),
      lengths_(style.tableLengths()) {
    defaultPitch_.ramp().setLimits(kMinPitch, kMaxPitch);
    defaultSync_.ramp().setLimits(0.0f, kMaxSync);
    uint32_t random = seed;
    noiseState_ = nextRandom(random) + 1;
    phase_ = static_cast<float>(nextRandom(random) & kStartPhaseMask);
    masterPhase_ = phase_;
    const Style::Tones& tones = style.tones();
    pulseK1_ = tones.squareGain * tones.squareMix / tones.sawGain;
    pulseK2_ = tones.squareGain * (1.0f - tones.squareMix) / tones.sawGain;
    pulseK3_ = tones.sawGain;
    sampleRateChanged(env);
    env.addRateListener(this);
}

Oscillator::~Oscillator() {
    environment().removeRateListener(this);
}

void Oscillator::sampleRateChanged(wave::Environment& env) {
    // Fetched at the rate change, not while rendering: a new rate table allocates under the lock.
    const float rate = env.sampleRate();
    if (std::fabs(rate - sampleRate_) <= kEpsilon) return;
    sampleRate_ = rate;
    const RateTable& table = style_.rateTable(static_cast<uint32_t>(rate));
    frequency_ = table.frequency;
    rateIndex_ = table.index;
    if (currentWaveForm_ != kSine) index_ = rateIndex_;
}

void Oscillator::resetPhase() {
    phase_ = kPhaseSyncPoint * static_cast<float>(lengths_[tableIndex_]);
    masterPhase_ = phase_;
}

void Oscillator::switchWaveForm() {
    static constexpr int32_t kSineLength[1] = {Style::kMaxRowLength};
    if (currentWaveForm_ == kSine) {
        tableIndex_ = Style::kRowCount - 1;
        lengths_ = style_.tableLengths();
        index_ = rateIndex_;
    }
    currentWaveForm_ = requestedWaveForm_;
    if (currentWaveForm_ == kSine) {
        tableIndex_ = 0;
        lengths_ = kSineLength;
        index_ = style_.zeroIndexTable();
    }
}

float Oscillator::selectRow(float x, int& row, int& length, float& phase, float* master) const {
    const int j = std::min(static_cast<int>(x), RateTable::kSize - 2);
    row = index_[j];
    const int newLength = lengths_[row];
    if (newLength != length) {
        // Lengths are powers of two: the rescaling is exact.
        const float ratio = static_cast<float>(newLength) / static_cast<float>(length);
        phase *= ratio;
        if (master) *master *= ratio;
        length = newLength;
    }
    const float f =
        frequency_[j] + (frequency_[j + 1] - frequency_[j]) * (x - static_cast<float>(j));
    return f * static_cast<float>(length);
}

template <class Lanes, bool IsPulse>
void Oscillator::readLanes(const float* rows, const float* pitch, const float* pulseWidth,
                           float* out, uint32_t frames) {
    float phase = phase_;
    int row = tableIndex_;
    int length = lengths_[row];
    float usedPitch = pitch[0];
    float inc = selectRow(position(usedPitch), row, length, phase, nullptr);
    PulseConstants pulse{pulseK1_, pulseK2_, pulseK3_, static_cast<float>(length), length - 1};
    typename Lanes::Vec lanes = Lanes::build(phase, inc);
    const uint32_t groups = (frames + 3) / 4;
    for (uint32_t g = 0; g < groups; ++g) {
        const uint32_t i = 4 * g;
        if (g > 0 && pitch[i] != usedPitch) {
            usedPitch = pitch[i];
            const float fl = static_cast<float>(length);
            float next = wrapOnce(wrapOnce(Lanes::first(lanes), fl), fl);
            inc = selectRow(position(usedPitch), row, length, next, nullptr);
            pulse.length = static_cast<float>(length);
            pulse.mask = length - 1;
            lanes = Lanes::build(next, inc);
        }
        const float fl = static_cast<float>(length);
        lanes = Lanes::wrap(lanes, fl);
        const float* r = rows + row * Style::kRowStride;
        if constexpr (IsPulse) {
            Lanes::readPulse(r, lanes, pulseWidth + i, pulse, out + i);
        } else {
            Lanes::read(r, lanes, out + i);
        }
        if (g + 1 < groups) {
            lanes = Lanes::advance(lanes, 4.0f * inc);
        } else {
            // The next sample's position, also when frames is not a multiple of four.
            const float rest = static_cast<float>(frames - i);
            phase = wrapOnce(wrapOnce(Lanes::first(lanes) + rest * inc, fl), fl);
        }
    }
    phase_ = phase;
    masterPhase_ = phase;
    crossfadeStart_ = static_cast<float>(length + 1);
    tableIndex_ = row;
}

template <bool IsPulse>
void Oscillator::readSync(const float* rows, const float* pitch, const float* sync,
                          const float* pulseWidth, float* out, uint32_t frames) {
    float phase = phase_;
    float master = masterPhase_;
    float fadeStart = crossfadeStart_;
    float fadeRate = crossfadeRate_;
    float fadeOffset = crossfadeOffset_;
    int row = tableIndex_;
    int length = lengths_[row];
    float lastPitch = kUnsetControl;
    float lastSync = kUnsetControl;
    float inc = 0.0f;
    float period = 0.0f;
    PulseConstants pulse{pulseK1_, pulseK2_, pulseK3_, static_cast<float>(length), length - 1};
    for (uint32_t i = 0; i < frames; ++i) {
        const float* r = rows + row * Style::kRowStride;
        const float fl = static_cast<float>(length);
        const float width = IsPulse ? clampWidth(pulseWidth[i]) : 0.0f;
        const float a = IsPulse ? pulseRead(r, phase, width, pulse) : lerpRow(r, phase);
        if (master >= fadeStart) {
            const float partner = wrapOnce(phase + fadeOffset, fl);
            const float b = IsPulse ? pulseRead(r, partner, width, pulse) : lerpRow(r, partner);
            const float x = (master - fadeStart) * fadeRate - 1.0f;
            const float g = (std::cos(x * std::numbers::pi_v<float>) + 1.0f) * 0.5f;
            out[i] = a + g * (b - a);
        } else {
            out[i] = a;
        }

        if (pitch[i] != lastPitch || sync[i] != lastSync) {
            lastPitch = pitch[i];
            lastSync = sync[i];
            // The slave never runs below its master, nor beyond the pitch range above it.
            const float s = wave::clampFinite(sync[i], 0.0f, kMaxPitch - kMinPitch);
            inc = selectRow(position(pitch[i] + s), row, length, phase, &master);
            pulse.length = static_cast<float>(length);
            pulse.mask = length - 1;
            const float whole = std::trunc(s);
            const float ratio = s - whole;
            if (std::fabs(ratio) > kEpsilon) {
                period = expf(s * kLn2) * static_cast<float>(length);
                fadeStart = kCrossfadeShare * period;
                fadeRate = 1.0f / (period - kCrossfadeShare * period);
                fadeOffset = static_cast<float>(length) - static_cast<float>(length) * ratio;
            } else {
                period = std::ldexp(static_cast<float>(length), static_cast<int>(whole));
                fadeStart = period + 1.0f;
            }
        }

        master += inc;
        if (master >= period) {
            master -= period;
            // Only after a jump of the controls can the master be more than a period ahead.
            if (master >= period) master = std::fmod(master, period);
            phase = master;
            if (phase >= static_cast<float>(length))
                phase = std::fmod(phase, static_cast<float>(length));
        } else {
            phase += inc;
            if (static_cast<int>(phase) >= length) phase -= static_cast<float>(length);
        }
    }
    phase_ = phase;
    masterPhase_ = master;
    crossfadeStart_ = fadeStart;
    crossfadeRate_ = fadeRate;
    crossfadeOffset_ = fadeOffset;
    tableIndex_ = row;
}

void Oscillator::readTable(const float* rows, bool isPulse, float* out, uint32_t frames,
                           uint32_t flags) {
    const float* pitch = pitch_->pull(frames, flags);
    const float* sync = sync_->pull(frames, flags);
    const float* width = isPulse ? pulseWidth_->pull(frames, flags) : nullptr;
    if (!sync_->isConstant() || std::fabs(sync[0]) > kEpsilon) {
        if (isPulse) {
            readSync<true>(rows, pitch, sync, width, out, frames);
        } else {
            readSync<false>(rows, pitch, sync, width, out, frames);
        }
    } else if (scalarPath_) {
        if (isPulse) {
            readLanes<ScalarLanes, true>(rows, pitch, width, out, frames);
        } else {
            readLanes<ScalarLanes, false>(rows, pitch, width, out, frames);
        }
    } else if (isPulse) {
        readLanes<SimdLanes, true>(rows, pitch, width, out, frames);
    } else {
        readLanes<SimdLanes, false>(rows, pitch, width, out, frames);
    }
}

void Oscillator::renderNoise(float* out, uint32_t frames, bool pink) {
    const float gain = style_.tones().whiteNoiseLevel;
    if (!pink) {
        runNoise4(
            noiseState_, frames,
            [=](uint32_t i, simd::Float4 w) { simd::store(out + i, w * gain); },
            [=](uint32_t i, float w) { out[i] = w * gain; });
        return;
    }
    double b0 = pink0_, b1 = pink1_, b2 = pink2_;
    runNoise(noiseState_, frames, [&](uint32_t i, float w) {
        const double v = w * gain;
        b0 = static_cast<float>(kPinkPole0 * b0 + kPinkGain0 * v);
        b1 = static_cast<float>(kPinkPole1 * b1 + kPinkGain1 * v);
        b2 = static_cast<float>(kPinkPole2 * b2 + kPinkGain2 * v);
        out[i] = static_cast<float>((b2 + b1 + b0) + kPinkDirect * v);
    });
    pink0_ = static_cast<float>(b0);
    pink1_ = static_cast<float>(b1);
    pink2_ = static_cast<float>(b2);
}

void Oscillator::addNoiseFloor(float* out, uint32_t frames) {
    const float gain = style_.tones().analogNoiseLevel;
    runNoise4(
        noiseState_, frames,
        [=](uint32_t i, simd::Float4 w) { simd::store(out + i, simd::load(out + i) + w * gain); },
        [=](uint32_t i, float w) { out[i] += w * gain; });
}

bool Oscillator::produce(float* buffer, uint32_t frames, uint32_t flags) {
    const float* level = level_->pull(frames, flags);
    const bool levelConstant = level_->isConstant();
    if (frames == 0 || (levelConstant && std::fabs(level[0]) <= kEpsilon)) {
        setOutput(environment().silentBuffer().data());
        return true;
    }
    if (requestedWaveForm_ != currentWaveForm_) switchWaveForm();
    switch (currentWaveForm_) {
        case kTriangle:
            readTable(style_.triangleTables(), false, buffer, frames, flags);
            addNoiseFloor(buffer, frames);
            break;
        case kSquare:
            readTable(style_.sawTables(), true, buffer, frames, flags);
            addNoiseFloor(buffer, frames);
            break;
        case kSine:
            readTable(style_.sineTable(), false, buffer, frames, flags);
            break;
        case kWhiteNoise:
            renderNoise(buffer, frames, false);
            break;
        case kPinkNoise:
            renderNoise(buffer, frames, true);
            break;
        case kSawtooth:
        default:
            readTable(style_.sawTables(), false, buffer, frames, flags);
            addNoiseFloor(buffer, frames);
            break;
    }
    if (!levelConstant || std::fabs(level[0] - 1.0f) > kEpsilon) {
        for (uint32_t i = 0; i < frames; ++i) buffer[i] *= level[i];
    }
    return false;
}
