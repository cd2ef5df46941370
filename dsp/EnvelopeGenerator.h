#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "dsp/CurveSet.h"
#include "dsp/FunctionTable.h"
#include "framework/Property.h"
#include "wave/FloatParameterSource.h"
#include "wave/Producer.h"

class Trigger;

// Delay, attack, decay, sustain and release envelope with a hold time that keeps the note held
// after the key is released. Stages follow the curves of a CurveSet and start on multiples of four
// samples; parameters are sampled every 64 samples. Gated by notes, or by the events of a
// side-chain Trigger.
class EnvelopeGenerator : public wave::Source, public PropertyOwner, public wave::MuteController {
public:
    // Normal runs 0..1; Neutral Sustain shifts the output so that the sustain phase gives 0.
    enum class Range : int { kNormal = 0, kNeutralSustain = 1 };
    static constexpr const char* kRangeNames = "Normal,Neutral Sustain";

    // The inputs, in the order of their modulation targets.
    enum Parameter : int { kHold, kDelay, kAttack, kDecay, kSustain, kRelease, kParameterCount };

    static constexpr float kMinimumTime = 0.001451247f;  // 64 samples at 44.1 kHz
    static constexpr float kMaximumTime = 100.0f;
    static constexpr uint32_t kRefreshInterval = 64;
    static constexpr float kGateNotifyTime = 0.1f;  // seconds between side-chain notifications

    enum Stage : int { kIdle = 0, kRunning = 1, kFinished = 2 };

    // The straight curves of an envelope constructed without a curve set.
    class DefaultUpCurve : public FunctionTableFunction {
    public:
        double evaluate(double x) const override { return x; }
    };
    class DefaultDownCurve : public FunctionTableFunction {
    public:
        double evaluate(double x) const override { return 1.0 - x; }
    };

    // Told on the audio thread every 100 ms while a side-chain trigger gates the envelope.
    class GateListener {
    public:
        virtual ~GateListener() = default;
        virtual void gateChanged(EnvelopeGenerator& envelope) = 0;
    };

    // Without curves the envelope builds (and owns) a set of straight curves.
    explicit EnvelopeGenerator(wave::Environment& env, const CurveSet* curves = nullptr);
    ~EnvelopeGenerator() override;

    // Starts the envelope at the beginning of the next render, from its current level.
    void noteOn();
    // Releases the gate; the release follows after the hold time.
    void noteOff();
    // Gate off and any pending start dropped, as a side-chain close does.
    void closeGate();

    // Null restores the parameter's default source.
    void setInput(Parameter p, wave::Producer* input);
    wave::FloatParameterSource& defaultSource(Parameter p) { return defaults_[p]; }

    // Side-chain trigger whose events gate the envelope while it is enabled; null for none. An
    // envelope at rest sleeps in the run list: enabling its trigger takes closeGate() to wake it.
    void setTrigger(Trigger* trigger) {
        setResting(false);
        trigger_ = trigger;
    }
    void setGateListener(GateListener* listener) { gateListener_ = listener; }
    // Whether a running envelope renders fully even when its output is not needed (the default).
    void setRenderWhileRunning(bool on) { renderWhileRunning_ = on; }

    bool produce(float* buffer, uint32_t frames, uint32_t flags) override;
    void reset() override;
    bool isMuted() const override { return stage_ == kIdle && !pendingTrigger_; }
    void propertyChanged(const void* property) override;

    Stage stage() const { return stage_; }
    bool gate() const { return gate_; }
    float level() const { return output_; }
    const CurveSet& curves() const { return *curves_; }

    Property<Range> range{this, Range::kNormal};

private:
    // How a piece of a chunk divides into stages.
    struct Parts {
        uint32_t delay, attack, decay, release;
    };

    // Executes a trigger at the sample index of the chunk; gate: whether the key is still down.
    void start(uint32_t index, bool gate);
    void refresh(uint32_t index);
    void updateSustainLevel();
    // Both return whether every sample written holds one piece's single level.
    bool renderSegment(float* out, uint32_t from, uint32_t to);
    bool renderPiece(float* out, uint32_t count);
    Parts split(uint32_t count);
    void advanceSilently(uint32_t count);
    float idleLevel() const { return sustainLevel_ - sustain_; }
    bool attackRunning() const { return stage_ == kRunning && attackRemaining_ > 0; }
    double perSample(float seconds) const;

    std::unique_ptr<CurveSet> ownCurves_;
    const CurveSet* curves_;
    std::array<wave::FloatParameterSource, kParameterCount> defaults_;
    std::array<wave::Producer*, kParameterCount> inputs_;
    std::array<const float*, kParameterCount> inputData_{};
    Trigger* trigger_ = nullptr;
    GateListener* gateListener_ = nullptr;
    bool renderWhileRunning_ = true;

    float hold_ = 0.0f;
    float delay_ = 0.0f;
    float attack_ = kMinimumTime;
    float decay_ = kMinimumTime;
    float sustain_ = 1.0f;
    float release_ = kMinimumTime;

    Stage stage_ = kIdle;
    int32_t holdCounter_ = 0;
    int32_t holdLength_ = 0;
    float attackStart_ = 0.0f;
    float output_ = 0.0f;
    float releaseStart_ = 0.0f;
    float decaySpan_ = 0.0f;
    int32_t delayRemaining_ = 0;
    int32_t attackRemaining_ = 0;
    float attackPhase_ = 0.0f;
    float decayPhase_ = 0.0f;
    float releasePhase_ = 1.0f;
    bool gate_ = false;
    bool pendingTrigger_ = false;
    uint32_t refreshCountdown_ = 0;
    float sustainLevel_ = 1.0f;
    uint32_t gateCounter_ = 0;  // samples since the last side-chain gate change or notification
};
