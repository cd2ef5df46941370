#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "dsp/Oscillator.h"
#include "engine/PortamentoController.h"
#include "engine/VornPlugin.h"
#include "framework/Property.h"
#include "wave/FloatParameterSource.h"
#include "wave/Mixer.h"
#include "wave/Router.h"

class VoiceMatrix;

// One unison voice of a note: three oscillators at the glided note pitch plus their detune, with
// ring modulation of oscillator 1 by oscillator 2. Pooled; a VornVoice binds it to its targets.
class VornPlugin::OscillatorVoice : public PropertyOwner {
public:
    static constexpr int kOscillators = 3;

    // seed: start of the oscillators' own random generators.
    OscillatorVoice(wave::Environment& env, Oscillator::Style& style, uint32_t seed);
    ~OscillatorVoice() override;
    OscillatorVoice(const OscillatorVoice&) = delete;
    OscillatorVoice& operator=(const OscillatorVoice&) = delete;

    // Reads pitch, glide time, detune, pulse width, sync and unison spread from the voice.
    void bind(VoiceMatrix& voice);
    // The signal of oscillator k as the unison mixers hear it.
    wave::Producer& output(int k);

    PortamentoController& portamento() { return portamento_; }
    Oscillator& oscillator(int k) { return *oscillators_[static_cast<size_t>(k)]; }
    wave::FloatParameterSource& unisonDetune() { return unisonDetune_; }
    wave::Router& osc1Router() { return osc1Router_; }
    // Phase sync at a note start, for the oscillators that ask for it.
    void resetPhases();

    Property<bool> ringModulation{this, false};
    std::array<Property<bool>, kOscillators> oscillatorOn{
        {Property<bool>{this, true}, Property<bool>{this, true}, Property<bool>{this, true}}};
    std::array<Property<int>, kOscillators> waveForm{{Property<int>{this, Oscillator::kSawtooth},
                                                      Property<int>{this, Oscillator::kSawtooth},
                                                      Property<int>{this, Oscillator::kSawtooth}}};
    std::array<Property<bool>, kOscillators> phaseSync{
        {Property<bool>{this, false}, Property<bool>{this, false}, Property<bool>{this, false}}};

    void propertyChanged(const void* property) override;

private:
    static constexpr int kPlainInput = 0;
    static constexpr int kRingInput = 1;
    void applySwitches(float rampMs);

    PortamentoController portamento_;
    wave::FloatParameterSource unisonDetune_;
    std::array<std::unique_ptr<Oscillator>, kOscillators> oscillators_;
    wave::Router osc1Router_;
    wave::Mixer ringProduct_;
    wave::Mixer osc2Path_;
    std::array<std::unique_ptr<wave::Mixer>, kOscillators> pitchMixers_;
};
