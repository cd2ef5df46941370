#include "dsp/XLFO.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "wave/Assert.h"

namespace {

// 24-bit shift-register generator: the tap clears bit 24 again, so the state stays below 2^24
// and never reaches 0.
constexpr uint32_t kRandomTap = 0x1000000u;
constexpr uint32_t kRandomFeedback = 0x11d872bu;
constexpr uint32_t kRandomCentre = 0x800000u;
constexpr float kRandomScale = 1.0f / 16777216.0f;  // 2^-24
constexpr uint32_t kRandomStates = 0xffffffu;
constexpr uint32_t kSeedMultiplier = 2654435761u;  // Knuth's multiplicative hash

// Below this old balance the first half has no extent to rescale.
constexpr double kBalanceEpsilon = 1.0 / 8388608.0;  // 2^-23

constexpr double kQuarterNotesPerBar = 4.0;
constexpr double kSecondsPerMinute = 60.0;

// Brings x into [0, 1).
double wrap(double x) {
    x -= std::floor(x);
    return x < 1.0 ? x : 0.0;
}

float linearCurve(float x) {
    return x;
}
float sqrCurve(float x) {
    return x * x;
}
float sqrtCurve(float x) {
    return x >= 0.0f ? std::sqrt(x) : -std::sqrt(-x);
}
float sineCurve(float x) {
    return (std::sin((x - 0.5f) * std::numbers::pi_v<float>) + 1.0f) * 0.5f;
}

}  // namespace

XLFO::XLFO(wave::Environment& env, uint32_t seed)
    : wave::Source(env),
      defaultFrequency_(env, kDefaultFrequency),
      defaultGlide_(env, 0.0f),
      defaultPhaseOffset_(env, 0.0f),
      frequency_(&defaultFrequency_),
      glide_(&defaultGlide_),
      phaseOffset_(&defaultPhaseOffset_),
      steps_(std::make_unique<Step[]>(kMaxSteps)) {
    defaultFrequency_.ramp().setLimits(0.0f, kMaxFrequency);
    defaultGlide_.ramp().setLimits(-1.0f, 1.0f);
    defaultPhaseOffset_.ramp().setLimits(-kMaxPhaseOffset, kMaxPhaseOffset);
    defaultPhaseOffset_.ramp().setCycle(1.0f);
    for (int i = 0; i < kMaxSteps; ++i) {
        steps_[i].owner_ = this;
        steps_[i].index_ = i;
    }
    seedRandom(seed);
    layoutSteps();
    env.registerRun(this, wave::Environment::kModeAdvance);
}

XLFO::~XLFO() = default;

void XLFO::seedRandom(uint32_t seed) {
    // Spread small seeds over the state: a state with few bits set draws values near -1 until
    // its bits have shifted up.
    const uint32_t mixed = (seed + 1) * kSeedMultiplier;
    randomState_ = (mixed >> 8) % kRandomStates + 1;
}

float XLFO::drawRandom(float previous) {
    uint32_t state = randomState_ << 1;
    if (state & kRandomTap) state ^= kRandomFeedback;
    randomState_ = state;
    const float u =
        static_cast<float>(static_cast<int32_t>(state - kRandomCentre)) * kRandomScale + 0.5f;
    float r = unipolar_ ? u : 2.0f * u - 1.0f;
    if (std::fabs(r - previous) < kRandomDistance) {
        r = previous >= 0.5f ? previous - kRandomDistance : previous + kRandomDistance;
    }
    return r;
}

float XLFO::previousValue(int index) {
    Step& p = steps_[(index - 1 + activeSteps_) % activeSteps_];
    // A random step keeps its last value rather than drawing: no chain of draws round the cycle.
    if (p.valid_ || p.random) return p.cached_;
    return p.currentValue();
}

void XLFO::layoutSteps() {
    const int n = activeSteps_;
    VORN_ASSERT(n >= 1 && n <= kMaxSteps);
    const double b = currentBalance_;
    const double firstDuration = b * 2.0 / n;
    const double secondDuration = (1.0 - b) * 2.0 / n;
    double start = 0.0;
    for (int i = 0; i < n; ++i) {
        Step& s = steps_[i];
        double end;
        if (i == n - 1) {
            end = 1.0;
        } else if (2 * (i + 1) >= n) {
            end = (i + 1 - n * 0.5) * secondDuration + b;
        } else {
            end = (i + 1) * firstDuration;
        }
        s.start_ = start;
        s.end_ = end;
        s.middle_ = 2 * i + 1 == n;
        start = end;
    }
}

void XLFO::changeBalance(float oldBalance, float newBalance) {
    const double b = oldBalance;
    const double nb = newBalance;
    double pos = position_;
    if (pos < b) {
        if (b > kBalanceEpsilon) pos = wrap(pos * nb / b);
    } else if (b != 1.0) {
        pos = wrap((pos - b) / (1.0 - b) * (1.0 - nb) + nb);
    }
    rawPhase_ = wrap(rawPhase_ + (pos - position_));
    position_ = pos;
    currentBalance_ = newBalance;
    layoutSteps();
    recomputeHalf();
}

void XLFO::propertyChanged(const void* property) {
    if (property == &stepCount) {
        activeSteps_ = std::clamp(stepCount.get(), 1, kMaxSteps);
        for (int i = 0; i < kMaxSteps; ++i) steps_[i].invalidate();
        currentStep_ = std::min(currentStep_, activeSteps_ - 1);
        layoutSteps();
    } else if (property == &balance) {
        changeBalance(currentBalance_, balance);
    } else if (property == &snap) {
        for (int i = 0; i < kMaxSteps; ++i) steps_[i].snap = snap.get();
    } else if (property == &midiTrigger) {
        if (!midiTrigger) triggerReference_ = 0.0;
    }
}

void XLFO::trigger() {
    position_ = wrap(position_ - rawPhase_);
    rawPhase_ = 0.0;
    recomputeHalf();
    triggerReference_ = songPosition_;
}

void XLFO::noteOn() {
    if (midiTrigger) trigger();
}

void XLFO::updateTransport(float tempo, double songPosition, float barsPerCycle) {
    if (barsPerCycle <= 0.0f) return;
    defaultFrequency_.setTarget(
        static_cast<float>(tempo / (barsPerCycle * kQuarterNotesPerBar * kSecondsPerMinute)));
    if (songPositionKnown_ && songPosition == songPosition_) return;
    const double offset = position_ - rawPhase_;
    const double bars = (songPosition - triggerReference_) / kQuarterNotesPerBar;
    rawPhase_ = wrap(std::fmod(bars / barsPerCycle, 1.0));
    position_ = wrap(rawPhase_ + offset);
    recomputeHalf();
    songPosition_ = songPosition;
    songPositionKnown_ = true;
}

int XLFO::locate(double position, int hint) const {
    const int n = activeSteps_;
    auto holds = [&](int i) { return position >= steps_[i].start_ && position < steps_[i].end_; };
    if (hint < n) {
        if (holds(hint)) return hint;
        const int next = (hint + 1) % n;
        if (holds(next)) return next;
    }
    for (int i = 0; i < n; ++i) {
        if (holds(i)) return i;
    }
    return 0;
}

bool XLFO::produce(float* buffer, uint32_t frames, uint32_t /*flags*/) {
    // Even when only advancing, the real frequency and offset are needed to stay in time.
    const float* frequency = frequency_->pull(frames, 0);
    const float* glide = glide_->pull(frames, 0);
    const float* offset = phaseOffset_->pull(frames, 0);

    const int n = activeSteps_;
    const double rate = environment().sampleRate();
    const double invRate = 1.0 / rate;
    const double reportSamples = kHalfReportTime * rate;
    const double bal = currentBalance_;
    double raw = rawPhase_;
    double pos = position_;
    float lastOffset = lastPhaseOffset_;
    bool half = halfIndicator_;

    double start = 0.0;
    double end = 1.0;
    double scale = 1.0;        // u per unit of position
    double firstScale = 1.0;   // middle step, before the balance point
    double secondScale = 1.0;  // middle step, after it
    bool middle = false;
    float stepGlide = 0.0f;
    float current = 0.0f;
    float next = 0.0f;
    Step::Curve curve = linearCurve;
    auto enter = [&](int index) {
        VORN_ASSERT(index >= 0 && index < n);
        Step& s = steps_[index];
        start = s.start_;
        end = s.end_;
        middle = s.middle_;
        scale = 1.0 / (end - start);
        if (middle) {
            firstScale = 0.5 / (bal - start);
            secondScale = 0.5 / (end - bal);
        }
        stepGlide = s.glide;
        curve = s.curve_;
        current = s.currentValue();
        next = n == 1 ? s.storedValue() : steps_[(index + 1) % n].currentValue();
    };

    int k = locate(pos, currentStep_);
    if (k != currentStep_ && currentStep_ < n && steps_[currentStep_].random) {
        steps_[currentStep_].invalidate();
    }
    enter(k);

    for (uint32_t i = 0; i < frames; ++i) {
        if (pos < start || pos >= end) {
            if (steps_[k].random) steps_[k].invalidate();
            pos = wrap(pos);
            k = locate(pos, k);
            enter(k);
        }

        const float least = kMinGlideFactor * frequency[i];
        const float g = std::max(std::min(stepGlide + glide[i], 1.0f), least * least);
        double u;
        if (!middle) {
            u = (pos - start) * scale;
        } else if (pos < bal) {
            u = (pos - start) * firstScale;
        } else {
            u = 0.5 + (pos - bal) * secondScale;
        }
        const float edge = 1.0f - g;
        const auto uf = static_cast<float>(u);
        buffer[i] = uf <= edge ? current : current + (next - current) * curve((uf - edge) / g);

        const bool second = pos >= bal;
        if (second != half) {
            half = second;
            const uint64_t now = samplesRendered_ + i;
            const bool report = second && static_cast<double>(now - lastCrossing_) > reportSamples;
            lastCrossing_ = now;
            if (report != reportedHalf_) {
                reportedHalf_ = report;
                if (observer_) observer_->halfChanged(*this, report, i);
            }
        }

        const double advance = frequency[i] * invRate;
        // Whole cycles of the offset (a circular glide restarting one cycle away) move nothing.
        double shift = static_cast<double>(offset[i]) - lastOffset;
        if (shift > 0.5 || shift < -0.5) shift -= std::nearbyint(shift);
        raw += advance;
        pos += advance + shift;
        lastOffset = offset[i];
    }
    if ((pos < start || pos >= end) && steps_[k].random) steps_[k].invalidate();

    rawPhase_ = wrap(raw);
    position_ = wrap(rawPhase_ + lastOffset);
    lastPhaseOffset_ = lastOffset;
    halfIndicator_ = half;
    currentStep_ = k;
    samplesRendered_ += frames;
    fastChanging_ = frames > 0 && n * frequency[0] * 0.5f > kFastStepRate;

    for (uint32_t i = 1; i < frames; ++i) {
        if (buffer[i] != buffer[0]) return false;
    }
    return true;
}

XLFO::Step::Step() : curve_(linearCurve) {}

XLFO::Step::Curve XLFO::Step::curveFor(int glideCurve) {
    switch (glideCurve) {
        case kSqr:
            return sqrCurve;
        case kSqrt:
            return sqrtCurve;
        case kSine:
            return sineCurve;
        default:
            return linearCurve;
    }
}

float XLFO::Step::snapped(float v) {
    const int level = static_cast<int>(((v + 1.0f) * 0.5f + 0.5f / kSnapSteps) * kSnapSteps);
    return static_cast<float>(std::clamp(level, 0, kSnapSteps)) / kSnapSteps * 2.0f - 1.0f;
}

float XLFO::Step::currentValue() {
    if (valid_) return cached_;
    float v;
    if (!random) {
        v = value;
    } else if (owner_->activeSteps_ == 1) {
        // A single step plays the value it glided toward and draws the next one.
        v = stored_;
        stored_ = owner_->drawRandom(stored_);
    } else {
        v = owner_->drawRandom(owner_->previousValue(index_));
    }
    cached_ = snap ? snapped(v) : v;
    valid_ = true;
    return cached_;
}

void XLFO::Step::propertyChanged(const void* property) {
    if (property == &glideCurve) {
        curve_ = curveFor(glideCurve);
    } else if (property != &glide) {
        invalidate();
    }
}
