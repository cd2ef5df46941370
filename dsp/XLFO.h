#pragma once

#include <cstdint>
#include <memory>

#include "framework/Property.h"
#include "wave/Assert.h"
#include "wave/FloatParameterSource.h"
#include "wave/Producer.h"

// Step LFO: a cycle of N steps, each holding a fixed or random value, that the output glides
// between over the last part of each step. Balance makes the first half of the steps faster or
// slower than the second half; the phase offset moves the whole pattern. Runs every chunk
// (run list, mode 1) so that it stays in time when nobody reads it.
class XLFO : public wave::Source, public PropertyOwner {
public:
    class Step;
    class Observer;

    enum GlideCurve : int { kLinear = 0, kSqr = 1, kSqrt = 2, kSine = 3 };
    static constexpr const char* kGlideCurveNames = "Linear,Sqr,Sqrt,Sine";
    static constexpr const char* kSnapNames = "No Snap,Snap";

    static constexpr int kMaxSteps = 16;
    static constexpr int kDefaultSteps = 16;
    static constexpr float kMinBalance = 0.0001f;
    static constexpr float kMaxBalance = 0.9999f;
    static constexpr float kDefaultBalance = 0.5f;
    static constexpr float kDefaultFrequency = 0.1f;  // cycles per second
    static constexpr float kMaxFrequency = 5000.0f;
    static constexpr float kMaxPhaseOffset = 100.0f;  // cycles, either way
    // The glide never falls below (kMinGlideFactor * frequency)^2 of a step.
    static constexpr float kMinGlideFactor = 0.0002f;
    // Random steps keep at least this distance from the step before.
    static constexpr float kRandomDistance = 0.2f;
    // Snapping: 25 levels from -1 to 1, a semitone apart.
    static constexpr int kSnapSteps = 24;
    // The second half is reported only when the half before it lasted longer than this.
    static constexpr float kHalfReportTime = 0.0625f;  // seconds
    // The output counts as fast-changing when N * f / 2 exceeds this.
    static constexpr float kFastStepRate = 10.0f;

    explicit XLFO(wave::Environment& env, uint32_t seed = 1);
    ~XLFO() override;

    // Null restores the default parameter source.
    void setFrequencyInput(wave::Producer* p) { frequency_ = p ? p : &defaultFrequency_; }
    void setGlideInput(wave::Producer* p) { glide_ = p ? p : &defaultGlide_; }
    void setPhaseOffsetInput(wave::Producer* p) { phaseOffset_ = p ? p : &defaultPhaseOffset_; }
    wave::FloatParameterSource& defaultFrequency() { return defaultFrequency_; }
    wave::FloatParameterSource& defaultGlide() { return defaultGlide_; }
    wave::FloatParameterSource& defaultPhaseOffset() { return defaultPhaseOffset_; }

    bool produce(float* buffer, uint32_t frames, uint32_t flags) override;

    // Restarts at the phase offset point; the song position of the restart becomes the
    // reference of host synchronisation.
    void trigger();
    // Called on every note-on: restarts when midiTrigger is on.
    void noteOn();
    // Host tempo (BPM), song position (quarter notes) and bars per cycle: sets the default
    // frequency and re-phases when the song position moved.
    void updateTransport(float tempo, double songPosition, float barsPerCycle);

    void seedRandom(uint32_t seed);
    // Random values in 0..1 instead of -1..1.
    void setUnipolar(bool on) { unipolar_ = on; }

    int activeSteps() const { return activeSteps_; }
    Step& step(int index) {
        VORN_ASSERT(index >= 0 && index < kMaxSteps);
        return steps_[index];
    }
    const Step& step(int index) const {
        VORN_ASSERT(index >= 0 && index < kMaxSteps);
        return steps_[index];
    }

    double rawPhase() const { return rawPhase_; }
    // Place in the pattern: the raw phase moved by the phase offset, 0..1.
    double position() const { return position_; }
    double triggerReference() const { return triggerReference_; }
    // The reported half: true while in the second half of a slow enough cycle.
    bool secondHalf() const { return reportedHalf_; }
    // N * f / 2 of the last block was above kFastStepRate.
    bool isFastChanging() const { return fastChanging_; }
    void setObserver(Observer* observer) { observer_ = observer; }

    void propertyChanged(const void* property) override;

    // Number of steps N (1..kMaxSteps).
    Property<int> stepCount{this, kDefaultSteps};
    LimitedProperty<float> balance{this, kMinBalance, kMaxBalance, kDefaultBalance};
    // Copied into every step.
    Property<bool> snap{this, false};
    // Whether note-ons restart the pattern.
    Property<bool> midiTrigger{this, false};

private:
    friend class Step;

    // Next random value, kept kRandomDistance away from previous.
    float drawRandom(float previous);
    // The value of the step before index, without drawing a new random value for it.
    float previousValue(int index);
    void layoutSteps();
    void changeBalance(float oldBalance, float newBalance);
    // The step holding position (0 when none).
    int locate(double position, int hint) const;
    void recomputeHalf() { halfIndicator_ = position_ >= currentBalance_; }

    wave::FloatParameterSource defaultFrequency_;
    wave::FloatParameterSource defaultGlide_;
    wave::FloatParameterSource defaultPhaseOffset_;
    wave::Producer* frequency_;
    wave::Producer* glide_;
    wave::Producer* phaseOffset_;

    std::unique_ptr<Step[]> steps_;
    int activeSteps_ = kDefaultSteps;
    int currentStep_ = 0;
    float currentBalance_ = kDefaultBalance;

    double rawPhase_ = 0.0;
    double position_ = 0.0;
    // Position and rawPhase + lastPhaseOffset agree modulo 1.
    float lastPhaseOffset_ = 0.0f;
    double songPosition_ = 0.0;
    bool songPositionKnown_ = false;
    double triggerReference_ = 0.0;

    bool halfIndicator_ = false;
    bool reportedHalf_ = false;
    uint64_t samplesRendered_ = 0;
    uint64_t lastCrossing_ = 0;
    bool fastChanging_ = false;
    Observer* observer_ = nullptr;

    uint32_t randomState_ = 1;
    bool unipolar_ = false;
};

// One step of the pattern. Its value is computed once per visit: a random step draws a new
// value each time the position enters it.
class XLFO::Step : public PropertyOwner {
public:
    using Curve = float (*)(float);

    Step();

    // The step's value, snapped when snap is on; draws a random value if none is cached.
    float currentValue();
    // Forgets the cached value.
    void invalidate() { valid_ = false; }

    int index() const { return index_; }
    double start() const { return start_; }
    double end() const { return end_; }
    // Holds the balance point inside (the middle step of an odd N).
    bool isMiddle() const { return middle_; }
    static Curve curveFor(int glideCurve);

    void propertyChanged(const void* property) override;

    LimitedProperty<float> glide{this, 0.0f, 1.0f, 0.0f};
    // An XLFO::GlideCurve.
    Property<int> glideCurve{this, kLinear};
    Property<bool> random{this, false};
    Property<bool> snap{this, false};
    LimitedProperty<float> value{this, -1.0f, 1.0f, 0.0f};

private:
    friend class XLFO;

    static float snapped(float v);
    // For a single step: what it glides toward (and its next random value).
    float storedValue() const { return snap ? snapped(stored_) : stored_; }

    XLFO* owner_ = nullptr;
    int index_ = 0;
    float cached_ = 0.0f;
    bool valid_ = false;
    float stored_ = 0.0f;
    double start_ = 0.0;
    double end_ = 1.0;
    bool middle_ = false;
    Curve curve_;
};

// Told on the audio thread when the reported half changes; frame is the sample of the chunk.
class XLFO::Observer {
public:
    virtual ~Observer() = default;
    virtual void halfChanged(const XLFO& xlfo, bool secondHalf, uint32_t frame) = 0;
};
