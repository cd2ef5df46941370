#include "modulation/MidiModSource.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr float kLogScale = 10.0f;
const float kInverseLogRange = 1.0f / std::log(11.0f);  // ln(10 |x| + 1) reaches 1 at |x| = 1
constexpr float kPi = std::numbers::pi_v<float>;
constexpr float kSineCentre = 0.5f;

float sign(float x) {
    return static_cast<float>((x > 0.0f) - (x < 0.0f));
}

}  // namespace

MidiModSource::MidiModSource(wave::Environment& env, Cache& cache, VolumeCurve volumeCurve)
    : Source(env, false), cache_(&cache), volumeCurve_(volumeCurve), ramp_(env, 0.0f) {
    // A range of 2 scales move distances by 0.5 for the automatic glide time.
    ramp_.setLimits(-1.0f, 1.0f);
    setOutput(ramp_.data());
    cache.addSource(this);
}

MidiModSource::~MidiModSource() {
    if (cache_) cache_->removeSource(this);
}

float MidiModSource::respond(int curve, float x, VolumeCurve volumeCurve) {
    const float s = sign(x);
    const float a = std::fabs(x);
    switch (std::clamp(curve, 0, kCurveCount - 1)) {
        case kExp:
            return s * volumeCurve(a);
        case kLog:
            return s * std::log(kLogScale * a + 1.0f) * kInverseLogRange;
        case kSqr:
            return s * x * x;
        case kSqrt:
            return s * std::sqrt(a);
        case kSine:
            return s * (std::sin((x - kSineCentre) * kPi) + 1.0f) * 0.5f;
        default:
            return x;
    }
}

int MidiModSource::keyFor(int input, int controllerNumber) {
    const int in = std::clamp(input, 0, kInputCount - 1);
    if (in == kController) return std::clamp(controllerNumber, 0, kControllerCount - 1);
    return kModWheelKey + in;
}

void MidiModSource::update(int key, float value) {
    const int wanted = key < kModWheelKey ? kController : key - kModWheelKey;
    if (wanted != input.get()) return;
    if (wanted == kController && key != controllerNumber.get()) return;
    apply(key, value);
}

void MidiModSource::apply(int key, float value) {
    float target;
    float time = kAutomaticTime;
    switch (key) {
        case kPitchBendKey:
            target = shape(2.0f * value);
            break;
        case kVelocityKey:
            target = 2.0f * shape(value) - 1.0f;
            time = noteRampTime_;
            break;
        case kKeyboardKey:
            target = shape(value * kKeyScale) - shape(kKeyCentre);
            time = noteRampTime_;
            break;
        default:
            target = shape(value);
            break;
    }
    ramp_.setTarget(target, time);
}

float MidiModSource::displayValue() const {
    const float t = ramp_.target();
    switch (input.get()) {
        case kPitchBend:
        case kVelocity:
            return (t + 1.0f) * 0.5f;
        case kKbTrack: {
            const float centre = shape(kKeyCentre);
            const float low = shape(kKeyScale) - centre;
            const float high = shape(1.0f) - centre;
            return (t - low) / (high - low);
        }
        default:
            return t;
    }
}

bool MidiModSource::produce(float* /*buffer*/, uint32_t frames, uint32_t flags) {
    setOutput(ramp_.data());
    if (flags & wave::Environment::kFlagAdvanceOnly) {
        ramp_.advance(frames);
        return true;
    }
    return ramp_.render(frames);
}

void MidiModSource::propertyChanged(const void* property) {
    if (property == &responseCurve) {
        curve_ = std::clamp(responseCurve.get(), 0, kCurveCount - 1);
    } else if (property == &input || property == &controllerNumber) {
        // Show the present state of the new input without waiting for new MIDI.
        const int k = key();
        apply(k, cache_ ? cache_->value(k) : 0.0f);
    }
}

MidiModSource::Cache::Cache(int32_t noteFilter) : noteFilter_(noteFilter) {}

MidiModSource::Cache::~Cache() {
    for (MidiModSource* source : sources_) source->cache_ = nullptr;
}

void MidiModSource::Cache::addSource(MidiModSource* source) {
    sources_.push_back(source);
}

void MidiModSource::Cache::removeSource(MidiModSource* source) {
    std::erase(sources_, source);
}

void MidiModSource::Cache::store(int key, float value) {
    values_[static_cast<size_t>(key)] = value;
    for (MidiModSource* source : sources_) source->update(key, value);
}

void MidiModSource::Cache::channelPressure(float pressure) {
    store(kAftertouchKey, pressure);
}

void MidiModSource::Cache::polyPressure(int note, float pressure) {
    if (accepts(note)) store(kAftertouchKey, pressure);
}

void MidiModSource::Cache::controller(int number, int /*value*/, float normalized) {
    if (number >= 0 && number < kControllerCount) store(number, normalized);
}

void MidiModSource::Cache::modWheel(float normalized) {
    store(kModWheelKey, normalized);
}

void MidiModSource::Cache::noteOn(int note, float velocity) {
    if (!accepts(note)) return;
    store(kVelocityKey, velocity);
    // The keyboard position follows the tuning: a key's place on the 12-tone equal scale.
    store(kKeyboardKey, tuning_ ? tuning_->key(note).note : static_cast<float>(note));
}

void MidiModSource::Cache::pitchBend(float bend) {
    store(kPitchBendKey, bend);
}
