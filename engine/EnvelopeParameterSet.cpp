#include "engine/EnvelopeParameterSet.h"

#include "engine/ParameterCurves.h"
#include "engine/ParameterSetup.h"

namespace {

// Engine ranges in seconds.
constexpr float kLongestHold = 19.0f;
constexpr float kLongestDelay = 5.0f;
constexpr float kShortestAttack = 0.001f;
constexpr float kLongestAttack = 18.0f;
constexpr float kShortestDecay = 0.03f;
constexpr float kLongestDecay = 21.0f;
constexpr float kShortestRelease = 0.0058f;
constexpr float kLongestRelease = 23.0f;
constexpr float kDefaultThreshold = 0.3f;

std::string setName(int index) {
    return index == 0 ? std::string("EG Main") : "EG " + std::to_string(index + 1);
}
std::string subject(int index) {
    return index == 0 ? std::string("the main envelope") : "envelope " + std::to_string(index + 1);
}
int target(int index, int offset) {
    return EnvelopeParameterSet::kFirstTarget + EnvelopeParameterSet::kTargetsPerEnvelope * index +
           offset;
}

}  // namespace

EnvelopeParameterSet::EnvelopeParameterSet(GenericParameterOwner* owner,
                                           ModulationMatrixPlugin& plugin, int index)
    : PluginParameterSet(owner, setName(index)),
      hold(this, name() + " Hold", plugin, target(index, 0)),
      delay(this, name() + " Delay", plugin, target(index, 1)),
      range(this, name() + " Range"),
      threshold(this, name() + " Threshold"),
      triggering(this, name() + " Triggering"),
      attack(this, name() + " Attack", plugin, target(index, 2)),
      decay(this, name() + " Decay", plugin, target(index, 3)),
      sustain(this, name() + " Sustain", plugin, target(index, 4)),
      release(this, name() + " Release", plugin, target(index, 5)),
      index_(index),
      subject_(subject(index)) {}

void EnvelopeParameterSet::setup() {
    setupContinuous(
        hold, 0.0f, 1.0f, 0.0f,
        describe("How long {} keeps the note held after the key is released.", subject_));
    setTimeTaper(hold, 0.0f, kLongestHold);
    setupContinuous(delay, 0.0f, 1.0f, 0.0f,
                    describe("Time before {} starts its attack.", subject_));
    setTimeTaper(delay, 0.0f, kLongestDelay);
    setupList(range, 0, 1, 0, "Normal,Neutral Sustain",
              describe("Output range of {}: 0 to 1, or shifted so that the sustain outputs 0.",
                       subject_));
    setupContinuous(threshold, 0.0f, 1.0f, kDefaultThreshold,
                    describe("Side-chain level that triggers {}.", subject_));
    threshold.setTaper(timeCurve, timeCurveInverse);
    setupList(triggering, 0, 1, 0, "MIDI,Side Chain",
              describe("Whether notes or the side-chain signal trigger {}.", subject_));
    setupContinuous(attack, 0.0f, 1.0f, 0.0f, describe("Attack time of {}.", subject_));
    setTimeTaper(attack, kShortestAttack, kLongestAttack);
    setupContinuous(decay, 0.0f, 1.0f, 0.0f, describe("Decay time of {}.", subject_));
    setTimeTaper(decay, kShortestDecay, kLongestDecay);
    setupContinuous(sustain, 0.0f, 1.0f, 1.0f, describe("Sustain level of {}.", subject_));
    showDecibels(sustain);
    setupContinuous(release, 0.0f, 1.0f, 0.0f, describe("Release time of {}.", subject_));
    setTimeTaper(release, kShortestRelease, kLongestRelease);

    if (isMain()) {
        delay.setAutomatable(false);
        range.setAutomatable(false);
        threshold.setAutomatable(false);
        triggering.setAutomatable(false);
    }
}
