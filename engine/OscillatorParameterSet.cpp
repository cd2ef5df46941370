#include "engine/OscillatorParameterSet.h"

#include "engine/ParameterCurves.h"
#include "engine/ParameterSetup.h"
#include "modulation/ModulationMatrixPlugin.h"

namespace {

constexpr int kSawtooth = 1;
constexpr int kWhiteNoise = 4;
constexpr int kDefaultOctave = 1;
// Osc 3 starts as a noise source, the others as sawtooth oscillators.
constexpr int kNoiseOscillator = 2;

std::string setName(int index) {
    return "Osc " + std::to_string(index + 1);
}

}  // namespace

void OscillatorParameterSet::MasterScaleParameter::applyValue(float plain) {
    const float octaves = static_cast<float>(valueForIndex(static_cast<int>(plain)));
    for (OscillatorParameterSet* oscillator : oscillators_) oscillator->masterScaleApplied(octaves);
}

OscillatorParameterSet::OscillatorParameterSet(GenericParameterOwner* owner,
                                               ModulationMatrixPlugin& plugin, int index)
    : PluginParameterSet(owner, setName(index)),
      detune(*this, name() + " Detune"),
      scale(*this, name() + " Scale"),
      waveForm(this, name() + " Wave Form"),
      sync(this, name() + " Sync", plugin, target(index, kSyncTarget)),
      pulseWidth(this, name() + " Pulse Width", plugin, target(index, kPulseWidthTarget)),
      level(this, name() + " Level", plugin, target(index, kLevelTarget)),
      pan(this, name() + " Pan", plugin, target(index, kPanTarget)),
      phaseSync(this, name() + " Phase Sync"),
      enabled(this, name() + " Enabled"),
      plugin_(plugin),
      index_(index),
      subject_("oscillator " + std::to_string(index + 1)) {
    plugin_.registerTargetParameter(target(index, kDetuneTarget), &detune);
}

void OscillatorParameterSet::setup() {
    setupContinuous(detune, -1.0f, 1.0f, 0.0f,
                    describe("Fine tuning of {} against the played note, up to an octave up or "
                             "down.",
                             subject_));
    detune.setTaper(detuneCurve, detuneCurveInverse);
    detune.setUnit(octavesParameterUnit());

    setupList(scale, 0, 3, kDefaultOctave, "0 octaves,1 octave,2 octaves,3 octaves",
              describe("Octave of {} above the master scale.", subject_));
    setupList(waveForm, 0, 5, index_ == kNoiseOscillator ? kWhiteNoise : kSawtooth,
              "Triangle,Sawtooth,Square,Sine,White Noise,Pink Noise",
              describe("Waveform of {}.", subject_));

    setupContinuous(sync, 0.0f, 2.0f, 0.0f,
                    describe("Hard sync of {}: how many times faster than the note it runs "
                             "before it restarts.",
                             subject_));
    sync.setDisplayFunctions(octavesToFactor, factorToOctaves);
    setupContinuous(pulseWidth, 0.0f, 1.0f, 0.0f,
                    describe("Pulse width of {} when it plays a square wave.", subject_));
    setupContinuous(level, 0.0f, 1.0f, 1.0f, describe("Output level of {}.", subject_));
    showDecibels(level);
    setupContinuous(pan, -1.0f, 1.0f, 0.0f, describe("Stereo position of {}.", subject_));

    setupList(phaseSync, 0, 1, false, kOffOnNames,
              describe("Restarts {} at the same phase with every note.", subject_));
    setupList(enabled, 0, 1, true, kToggleNames, describe("Switches {} on or off.", subject_));
}

void OscillatorParameterSet::tuneApplied(const TuneParameter<FloatPluginParameter>& parameter,
                                         float plain) {
    detuneOctaves_ = parameter.engineValue(plain);
    retune(ModulationMatrixPlugin::kAutomaticRamp);
}

void OscillatorParameterSet::tuneApplied(
    const TuneParameter<IndexedPluginParameter<int>>& parameter, float plain) {
    scaleOctaves_ = static_cast<float>(parameter.valueForIndex(static_cast<int>(plain)));
    retune(0.0f);
}

void OscillatorParameterSet::masterScaleApplied(float octaves) {
    masterOctaves_ = octaves;
    retune(0.0f);
}

void OscillatorParameterSet::retune(float rampMs) {
    plugin_.setTargetBaseValue(target(index_, kDetuneTarget), tuneOctaves(), rampMs);
}

void OscillatorParameterSet::bind(Property<int>& waveFormProperty,
                                  Property<bool>& phaseSyncProperty,
                                  Property<bool>& enabledProperty) {
    waveForm.bind(&waveFormProperty);
    phaseSync.bind(&phaseSyncProperty);
    enabled.bind(&enabledProperty);
}
