#include "dsp/EnvelopeFollower.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace {
constexpr float kProductEpsilon = 1.1920929e-7f;  // 2^-23
constexpr double kDenormalGuard = 1e-16;
}  // namespace

EnvelopeFollower::EnvelopeFollower(wave::Environment& env)
    : Filter(env),
      defaultAttack_(env, kDefaultAttack),
      defaultRelease_(env, kDefaultRelease),
      attack_(&defaultAttack_),
      release_(&defaultRelease_) {
    defaultAttack_.ramp().setLimits(kMinimumTime, kMaximumTime);
    defaultRelease_.ramp().setLimits(kMinimumTime, kMaximumTime);
    // The input is read even when this follower is only advanced.
    setInputFlagMask(~wave::Environment::kFlagAdvanceOnly);
    env.registerRun(this, wave::Environment::kModeAdvance);
}

void EnvelopeFollower::Coefficient::update(float rateTimesTime) {
    if (std::fabs(rateTimesTime - product) <= kProductEpsilon) return;
    product = rateTimesTime;
    value = static_cast<float>(1.0 - std::exp(-std::numbers::ln10 / rateTimesTime));
}

bool EnvelopeFollower::filter(const float* inputBuffer, float* outputBuffer, uint32_t frames,
                              uint32_t /*flags*/) {
    const float* x = inputBuffer ? inputBuffer : environment().silentBuffer().data();
    const float* attack = attack_->pull(frames, 0);
    const float* release = release_->pull(frames, 0);
    const float rate = environment().sampleRate();
    Coefficient up = attackCoefficient_;
    Coefficient down = releaseCoefficient_;
    float state = state_;
    for (uint32_t i = 0; i < frames; ++i) {
        // NaN reads as silence, infinity as the loudest finite level.
        const float s = std::min(x[i], std::numeric_limits<float>::max());
        const float level = s > kSilentLevel ? std::max(20.0f * std::log10(s), kFloorDb) : kFloorDb;
        const float v = std::max(level + kRangeDb, 0.0f);
        const float d = v - state;
        float coefficient;
        if (d > 0.0f) {
            up.update(rate * attack[i]);
            coefficient = up.value;
        } else {
            down.update(rate * release[i]);
            coefficient = down.value;
        }
        const double next = static_cast<double>(state) + d * coefficient;
        state = static_cast<float>((next + kDenormalGuard) - kDenormalGuard);
        outputBuffer[i] = state * (1.0f / kRangeDb);
    }
    attackCoefficient_ = up;
    releaseCoefficient_ = down;
    // A time input gone wrong must not leave the level stuck.
    state_ = std::isfinite(state) ? state : 0.0f;
    return false;
}
