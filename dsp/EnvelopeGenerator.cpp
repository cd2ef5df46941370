#include "dsp/EnvelopeGenerator.h"

#include <algorithm>
#include <cmath>

#include "dsp/Trigger.h"
#include "wave/Assert.h"

namespace {

constexpr float kEpsilon = 1.1920929e-7f;  // 2^-23: change detection and level guards

struct InputRange {
    float minimum, maximum, initial;
};
constexpr std::array<InputRange, EnvelopeGenerator::kParameterCount> kInputRanges{{
    {0.0f, EnvelopeGenerator::kMaximumTime, 0.0f},  // hold
    {0.0f, EnvelopeGenerator::kMaximumTime, 0.0f},  // delay
    {EnvelopeGenerator::kMinimumTime, EnvelopeGenerator::kMaximumTime,
     EnvelopeGenerator::kMinimumTime},  // attack
    {EnvelopeGenerator::kMinimumTime, EnvelopeGenerator::kMaximumTime,
     EnvelopeGenerator::kMinimumTime},  // decay
    {0.0f, 1.0f, 1.0f},                 // sustain
    {EnvelopeGenerator::kMinimumTime, EnvelopeGenerator::kMaximumTime,
     EnvelopeGenerator::kMinimumTime},  // release
}};

int32_t roundUp4(int32_t n) {
    return (n + 3) & ~3;
}
int32_t roundDown4(int32_t n) {
    return n & ~3;
}
bool changed(float a, float b) {
    return std::fabs(a - b) > kEpsilon;
}
// Truncated sample count; saturates (with room for rounding up) at rates far beyond audio,
// where a long stage would not fit an int32_t.
int32_t samples(double count) {
    constexpr double kMax = static_cast<double>(INT32_MAX - 4);
    return count >= kMax ? static_cast<int32_t>(kMax)
           : count > 0.0 ? static_cast<int32_t>(count)
                         : 0;
}
// Samples of a stage time, truncated and rounded up to a multiple of four.
int32_t stageSamples(float seconds, float rate) {
    return roundUp4(samples(static_cast<double>(seconds) * rate));
}

// How a curve's run went: whether it reached the end, and whether it started there (and so
// wrote one value throughout).
struct CurveRun {
    bool ended;
    bool flat;
};

// Writes offset + gain * curve(phase) for count samples, the phase stepping by increment per
// sample; past the end of the table the last entry holds.
CurveRun runCurve(const FunctionTable& table, float& phase, double increment, float offset,
                  float gain, float* out, uint32_t count) {
    const float* data = table.data();
    const double scale = static_cast<double>(table.size() - 1) /
                         (static_cast<double>(table.maximum()) - table.minimum());
    const double last = static_cast<double>(table.size() - 1);
    const double step = scale * increment;
    double p = (static_cast<double>(phase) - table.minimum()) * scale;
    const bool flat = p >= last;
    uint32_t i = 0;
    for (; i < count && p < last; ++i) {
        const auto k = static_cast<int32_t>(p);
        const auto f = static_cast<float>(p - k);
        const float v = data[k] + (data[k + 1] - data[k]) * f;
        out[i] = offset + gain * v;
        p += step;
    }
    // The phase only grows: the rest holds the last entry.
    if (i < count) std::fill(out + i, out + count, offset + gain * data[table.size() - 1]);
    phase = static_cast<float>(std::min(p, last) / scale + table.minimum());
    return {p >= last, flat};
}

}  // namespace

EnvelopeGenerator::EnvelopeGenerator(wave::Environment& env, const CurveSet* curves)
    : Source(env),
      ownCurves_(curves ? nullptr
                        : std::make_unique<CurveSet>(DefaultUpCurve(), DefaultDownCurve())),
      curves_(curves ? curves : ownCurves_.get()),
      defaults_{{
          {env, kInputRanges[kHold].initial},
          {env, kInputRanges[kDelay].initial},
          {env, kInputRanges[kAttack].initial},
          {env, kInputRanges[kDecay].initial},
          {env, kInputRanges[kSustain].initial},
          {env, kInputRanges[kRelease].initial},
      }} {
    for (int p = 0; p < kParameterCount; ++p) {
        defaults_[p].ramp().setLimits(kInputRanges[p].minimum, kInputRanges[p].maximum);
        inputs_[p] = &defaults_[p];
    }
    env.registerRun(this, wave::Environment::kModeAdvance);
    env.registerReset(this);
}

EnvelopeGenerator::~EnvelopeGenerator() = default;

void EnvelopeGenerator::setInput(Parameter p, wave::Producer* input) {
    inputs_[p] = input ? input : &defaults_[p];
}

void EnvelopeGenerator::noteOn() {
    setResting(false);
    pendingTrigger_ = true;
    // A note-off before the start is executed must still release the note.
    gate_ = true;
}

void EnvelopeGenerator::noteOff() {
    setResting(false);
    gate_ = false;
}

void EnvelopeGenerator::closeGate() {
    setResting(false);
    gate_ = false;
    pendingTrigger_ = false;
    refreshCountdown_ = 0;
}

void EnvelopeGenerator::reset() {
    setResting(false);
    releasePhase_ = 1.0f;
    stage_ = kIdle;
    output_ = idleLevel();
    holdCounter_ = 0;
    delayRemaining_ = 0;
    attackRemaining_ = 0;
    gate_ = false;
    pendingTrigger_ = false;
    refreshCountdown_ = 0;
    // The rate may have changed since the hold was last converted.
    holdLength_ = samples(static_cast<double>(hold_) * environment().sampleRate());
}

void EnvelopeGenerator::propertyChanged(const void* property) {
    if (property == &range) updateSustainLevel();
}

void EnvelopeGenerator::updateSustainLevel() {
    setResting(false);
    sustainLevel_ = range.get() == Range::kNormal ? sustain_ : 0.0f;
    if (stage_ == kIdle) output_ = idleLevel();
}

double EnvelopeGenerator::perSample(float seconds) const {
    return 1.0 / (static_cast<double>(environment().sampleRate()) * seconds);
}

void EnvelopeGenerator::start(uint32_t index, bool gate) {
    refresh(index);
    const float rate = environment().sampleRate();
    attackStart_ = releaseStart_ = output_;
    holdCounter_ = 0;
    decaySpan_ = std::max(1.0f - sustain_ - kEpsilon, 0.0f);
    delayRemaining_ = stageSamples(delay_, rate);
    attackRemaining_ = stageSamples(attack_, rate);
    attackPhase_ = decayPhase_ = releasePhase_ = 0.0f;
    stage_ = kRunning;
    gate_ = gate;
    pendingTrigger_ = false;
    refreshCountdown_ = kRefreshInterval;
}

void EnvelopeGenerator::refresh(uint32_t index) {
    VORN_ASSERT(index < environment().blockSize());
    float v[kParameterCount];
    for (int p = 0; p < kParameterCount; ++p) v[p] = inputData_[p][index];
    const float rate = environment().sampleRate();

    if (changed(v[kHold], hold_)) {
        hold_ = v[kHold];
        holdLength_ = samples(static_cast<double>(hold_) * rate);
    }
    if (changed(v[kDelay], delay_)) {
        delay_ = v[kDelay];
        delayRemaining_ = std::max(0, stageSamples(delay_, rate) - delayRemaining_);
    }
    if (changed(v[kAttack], attack_)) {
        attack_ = v[kAttack];
        if (attackRunning()) {
            const double left = (1.0 - attackPhase_) * attack_ * rate;
            attackRemaining_ = roundDown4(samples(left));
        }
    }
    if (changed(v[kDecay], decay_) || changed(v[kSustain], sustain_)) {
        decay_ = v[kDecay];
        sustain_ = v[kSustain];
        updateSustainLevel();
        const bool attackOver = delayRemaining_ == 0 && attackRemaining_ == 0;
        const float span = attackOver ? std::fabs(output_ - sustainLevel_) : 1.0f - sustain_;
        decaySpan_ = std::max(span - kEpsilon, 0.0f);
        decayPhase_ = 0.0f;
    }
    if (changed(v[kRelease], release_)) {
        release_ = v[kRelease];
        if (stage_ == kRunning && releasePhase_ > 0.0f &&
            std::fabs(output_ - idleLevel()) <= kEpsilon) {
            // A release time that keeps changing restarts the curve at every change and never
            // reaches the end of it: a release that has arrived at the bottom is over.
            stage_ = kFinished;
        } else if (stage_ != kIdle) {
            // The release curve restarts from the present level.
            releasePhase_ = 0.0f;
            releaseStart_ = output_;
        }
    }
}

EnvelopeGenerator::Parts EnvelopeGenerator::split(uint32_t count) {
    Parts parts{};
    const auto n = static_cast<int32_t>(count);
    int32_t limit = n;
    if (!gate_) {
        // After the key is released the hold keeps delay, attack and decay going.
        limit = 0;
        if (releasePhase_ <= 0.0f) {
            limit = std::max(0, roundDown4(holdLength_ - holdCounter_));
            holdCounter_ += n;
        }
    }
    const int32_t delay = std::min({n, delayRemaining_, limit});
    const int32_t attack = std::min({n - delay, attackRemaining_, limit - delay});
    const int32_t decay = std::min(n, limit) - delay - attack;
    parts.delay = static_cast<uint32_t>(delay);
    parts.attack = static_cast<uint32_t>(attack);
    parts.decay = static_cast<uint32_t>(decay);
    parts.release = static_cast<uint32_t>(n - delay - attack - decay);
    return parts;
}

bool EnvelopeGenerator::renderPiece(float* out, uint32_t count) {
    if (stage_ != kRunning) {
        output_ = idleLevel();
        std::fill(out, out + count, output_);
        return true;
    }
    const CurveSet& curves = *curves_;
    const Parts parts = split(count);
    // Flat: one stage only, which holds its level.
    bool flat =
        (parts.delay > 0) + (parts.attack > 0) + (parts.decay > 0) + (parts.release > 0) == 1;
    if (parts.delay > 0) {
        std::fill(out, out + parts.delay, output_);
        delayRemaining_ -= static_cast<int32_t>(parts.delay);
        out += parts.delay;
    }
    if (parts.attack > 0) {
        const float top = 1.0f - (sustain_ - sustainLevel_);
        runCurve(curves.attack(), attackPhase_, perSample(attack_), attackStart_,
                 top - attackStart_ - kEpsilon, out, parts.attack);
        attackRemaining_ -= static_cast<int32_t>(parts.attack);
        out += parts.attack;
        output_ = releaseStart_ = out[-1];
        flat = false;
    }
    if (parts.decay > 0) {
        const float distance = output_ - sustainLevel_;
        if (std::fabs(distance) <= kEpsilon) {
            std::fill(out, out + parts.decay, sustainLevel_);
        } else if (distance > 0.0f) {
            flat &= runCurve(curves.decay(), decayPhase_, perSample(decay_), sustainLevel_,
                             decaySpan_, out, parts.decay)
                        .flat;
        } else {
            // The sustain was raised: rise to it.
            flat &= runCurve(curves.rise(), decayPhase_, perSample(decay_),
                             sustainLevel_ - decaySpan_, decaySpan_, out, parts.decay)
                        .flat;
        }
        out += parts.decay;
        output_ = releaseStart_ = out[-1];
    }
    if (parts.release > 0) {
        const float bottom = idleLevel();
        const CurveRun run = runCurve(curves.release(), releasePhase_, perSample(release_), bottom,
                                      releaseStart_ - bottom, out, parts.release);
        output_ = out[parts.release - 1];
        if (run.ended) stage_ = kFinished;
        flat &= run.flat;
    }
    return flat;
}

bool EnvelopeGenerator::renderSegment(float* out, uint32_t from, uint32_t to) {
    bool flat = true;
    while (from < to) {
        if (refreshCountdown_ == 0) {
            refresh(from);
            refreshCountdown_ = kRefreshInterval;
        }
        const uint32_t count = std::min(to - from, refreshCountdown_);
        flat &= renderPiece(out + from, count);
        refreshCountdown_ -= count;
        from += count;
    }
    return flat;
}

void EnvelopeGenerator::advanceSilently(uint32_t count) {
    if (stage_ == kRunning) {
        const Parts parts = split(count);
        delayRemaining_ -= static_cast<int32_t>(parts.delay);
        attackRemaining_ -= static_cast<int32_t>(parts.attack);
        attackPhase_ =
            static_cast<float>(std::min(1.0, attackPhase_ + parts.attack * perSample(attack_)));
        if (parts.decay > 0) output_ = sustainLevel_;
        if (parts.release > 0) {
            releaseStart_ = sustainLevel_;
            if (releasePhase_ < 1.0f) {
                releasePhase_ = static_cast<float>(
                    std::min(1.0, releasePhase_ + parts.release * perSample(release_)));
            }
            if (releasePhase_ >= 1.0f) stage_ = kIdle;
        }
    }
    if (stage_ != kRunning) output_ = idleLevel();
}

bool EnvelopeGenerator::produce(float* buffer, uint32_t frames, uint32_t flags) {
    if (stage_ == kFinished) stage_ = kIdle;
    const bool idle = stage_ == kIdle && !pendingTrigger_;
    const bool sideChain = trigger_ && trigger_->enabled;
    if (sideChain) trigger_->evaluate(frames);
    const bool events = sideChain && !trigger_->events().empty();

    const bool silent = (flags & wave::Environment::kFlagAdvanceOnly) && !pendingTrigger_ &&
                        !events && !(stage_ == kRunning && renderWhileRunning_);
    bool flat = false;  // every piece held one level
    if (silent) {
        advanceSilently(frames);
    } else {
        for (int p = 0; p < kParameterCount; ++p) inputData_[p] = inputs_[p]->pull(frames, 0);
        if (pendingTrigger_) start(0, gate_);
        uint32_t position = 0;
        flat = !events;
        if (events) {
            for (const Trigger::Event& e : trigger_->events()) {
                const auto offset = static_cast<uint32_t>(e.offset);
                renderSegment(buffer, position, offset);
                position = offset;
                if (e.state == Trigger::kOn) {
                    start(offset, true);
                } else {
                    closeGate();
                }
                gateCounter_ = 0;
            }
        }
        flat &= renderSegment(buffer, position, frames);
    }

    if (sideChain) {
        gateCounter_ += frames;
        if (gateCounter_ >= static_cast<uint32_t>(kGateNotifyTime * environment().sampleRate())) {
            gateCounter_ = 0;
            if (gateListener_) gateListener_->gateChanged(*this);
        }
    }
    // Idle, with nothing that could start it but a note-on or a newly enabled trigger: the run
    // list skips it.
    setResting(silent && stage_ == kIdle && !sideChain);
    // A refresh inside an idle chunk may still move the idle level.
    if (idle && !events && (silent || buffer[0] == buffer[frames - 1])) return true;
    // A sustained or delayed note holds its level too; pieces may hold different ones.
    return flat && std::all_of(buffer, buffer + frames, [&](float v) { return v == buffer[0]; });
}
