#include "engine/OscillatorVoice.h"

#include "framework/SynthNumbering.h"
#include "modulation/VoiceMatrix.h"
#include "wave/MixKernels.h"

namespace {

// Targets of the voice read by the oscillators.
using synth::kFirstOscillatorTarget;
using synth::kMasterTuneTarget;
using synth::kPortamentoTarget;
using synth::kTargetsPerOscillator;
using synth::kUnisonSpreadTarget;
constexpr int kDetuneOffset = synth::kDetuneTarget;
constexpr int kPulseWidthOffset = synth::kPulseWidthTarget;
constexpr int kSyncOffset = synth::kSyncTarget;

// Pitch mixer inputs: glided note + master tune, the oscillator's detune, the unison detune.
constexpr int kPortamentoInput = 0;
constexpr int kDetuneInput = 1;
constexpr int kUnisonInput = 2;
constexpr int kPitchInputs = 3;

constexpr float kImmediate = 0.0f;
constexpr float kAutomatic = -1.0f;
constexpr int kOsc1 = 0;
constexpr int kOsc2 = 1;
constexpr int kOsc3 = 2;

int target(int oscillator, int offset) {
    return kFirstOscillatorTarget + kTargetsPerOscillator * oscillator + offset;
}

}  // namespace

VornPlugin::OscillatorVoice::OscillatorVoice(wave::Environment& env, Oscillator::Style& style,
                                             uint32_t seed)
    : portamento_(env),
      unisonDetune_(env, 0.0f),
      osc1Router_(env),
      ringProduct_(env, 2),
      osc2Path_(env, 1) {
    unisonDetune_.ramp().setLimits(-1.0f, 1.0f);
    for (int k = 0; k < kOscillators; ++k) {
        oscillators_[static_cast<size_t>(k)] = std::make_unique<Oscillator>(
            style, env, seed * kOscillators + static_cast<uint32_t>(k));
    }
    osc1Router_.setSignal(kPlainInput, oscillators_[kOsc1].get());
    osc1Router_.setSignal(kRingInput, &ringProduct_);
    ringProduct_.setMode(static_cast<int>(wave::MixMode::kProduct));
    ringProduct_.setSignal(0, oscillators_[kOsc1].get());
    ringProduct_.setSignal(1, oscillators_[kOsc2].get());
    osc2Path_.setSignal(0, oscillators_[kOsc2].get());
    applySwitches(kImmediate);
    for (int k = 0; k < kOscillators; ++k) {
        auto mixer = std::make_unique<wave::Mixer>(env, kPitchInputs);
        mixer->setSignal(kPortamentoInput, &portamento_);
        mixer->setSignal(kUnisonInput, &unisonDetune_);
        oscillators_[static_cast<size_t>(k)]->setPitchInput(mixer.get());
        pitchMixers_[static_cast<size_t>(k)] = std::move(mixer);
    }
}

VornPlugin::OscillatorVoice::~OscillatorVoice() = default;

void VornPlugin::OscillatorVoice::bind(VoiceMatrix& voice) {
    portamento_.setPitchInput(&voice.target(kMasterTuneTarget));
    portamento_.setTimeInput(&voice.target(kPortamentoTarget));
    for (int k = 0; k < kOscillators; ++k) {
        wave::Mixer& pitch = *pitchMixers_[static_cast<size_t>(k)];
        pitch.setSignal(kDetuneInput, &voice.target(target(k, kDetuneOffset)));
        pitch.setGain(kUnisonInput, &voice.target(kUnisonSpreadTarget));
        Oscillator& osc = *oscillators_[static_cast<size_t>(k)];
        osc.setPulseWidthInput(&voice.target(target(k, kPulseWidthOffset)));
        osc.setSyncInput(&voice.target(target(k, kSyncOffset)));
    }
}

wave::Producer& VornPlugin::OscillatorVoice::output(int k) {
    if (k == kOsc1) return osc1Router_;
    if (k == kOsc2) return osc2Path_;
    return *oscillators_[kOsc3];
}

void VornPlugin::OscillatorVoice::resetPhases() {
    for (int k = 0; k < kOscillators; ++k) {
        if (phaseSync[static_cast<size_t>(k)]) oscillators_[static_cast<size_t>(k)]->resetPhase();
    }
}

void VornPlugin::OscillatorVoice::propertyChanged(const void* property) {
    for (int k = 0; k < kOscillators; ++k) {
        if (property == &waveForm[static_cast<size_t>(k)]) {
            oscillators_[static_cast<size_t>(k)]->setWaveForm(waveForm[static_cast<size_t>(k)]);
            return;
        }
        if (property == &phaseSync[static_cast<size_t>(k)]) return;
    }
    applySwitches(kAutomatic);
}

void VornPlugin::OscillatorVoice::applySwitches(float rampMs) {
    const bool osc2 = oscillatorOn[kOsc2];
    for (int k : {kOsc1, kOsc3}) {
        oscillators_[static_cast<size_t>(k)]->defaultLevel().setTarget(
            oscillatorOn[static_cast<size_t>(k)] ? 1.0f : 0.0f, rampMs);
    }
    // With ring modulation oscillator 2 is heard only through the product.
    osc2Path_.setGainTarget(0, osc2 && !ringModulation ? 1.0f : 0.0f, rampMs);
    const int selection = ringModulation && osc2 ? kRingInput : kPlainInput;
    if (rampMs == kImmediate) {
        osc1Router_.selectNow(selection);
    } else {
        osc1Router_.setSelection(selection);
    }
}
