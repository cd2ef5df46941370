#include "engine/XLFOParameterSet.h"

#include <memory>

#include "dsp/XLFO.h"
#include "dsp/XLFOFreqController.h"
#include "engine/ParameterCurves.h"
#include "engine/ParameterSetup.h"

namespace {

constexpr float kHighestRateHz = 500.0f;
constexpr float kDefaultRate = 0.25f;  // 1 Hz
constexpr int kMinimumSteps = 1;
constexpr int kDefaultSteps = 2;

std::string setName(int index) {
    return "XLFO " + std::to_string(index + 1);
}
int target(int index, int offset) {
    return XLFOParameterSet::kFirstTarget + XLFOParameterSet::kTargetsPerXLFO * index + offset;
}

}  // namespace

XLFOStepParameterSet::XLFOStepParameterSet(GenericParameterOwner* owner,
                                           const std::string& xlfoName, int index)
    : PluginParameterSet(owner, xlfoName + " Step " + std::to_string(index + 1)),
      value(this, name() + " Value"),
      glide(this, name() + " Glide"),
      glideFunction(this, name() + " Glide function"),
      random(this, name() + " Random"),
      subject_("step " + std::to_string(index + 1) + " of " + xlfoName) {}

void XLFOStepParameterSet::setup() {
    setupContinuous(value, -1.0f, 1.0f, 0.0f, describe("Output value of {}.", subject_));
    setupContinuous(glide, 0.0f, 1.0f, 0.0f,
                    describe("How smoothly the output glides into {}.", subject_));
    setupList(glideFunction, 0, 3, 0, "Linear,Sqr,Sqrt,Sine",
              describe("Shape of the glide into {}.", subject_));
    setupList(random, 0, 1, false, "Fixed,Random",
              describe("Whether {} plays its value or a random one.", subject_));
}

XLFOParameterSet::XLFOParameterSet(GenericParameterOwner* owner, ModulationMatrixPlugin& plugin,
                                   int index)
    : PluginParameterSet(owner, setName(index)),
      frequency(this, name() + " Frequency", plugin, target(index, 0)),
      frequencyOffset(this, name() + " Frequency Offset"),
      balance(this, name() + " Balance"),
      phaseOffset(this, name() + " Phase Offset", plugin, target(index, 2)),
      glide(this, name() + " Glide", plugin, target(index, 1)),
      syncMode(this, name() + " Sync Mode"),
      midiTrigger(this, name() + " MIDI Trigger"),
      snap(this, name() + " Snap"),
      steps(this, name() + " Steps", XLFOStepParameterSet::kCount,
            [this](int i) { return std::make_unique<XLFOStepParameterSet>(this, name(), i); }),
      subject_(setName(index)) {}

void XLFOParameterSet::setup() {
    setupContinuous(frequency, 0.0f, 1.0f, kDefaultRate, describe("Rate of {}.", subject_));
    frequency.setTaper(lfoRateCurve, lfoRateCurveInverse);
    frequency.setDisplayRange(0.0f, kHighestRateHz);
    frequency.setUnit(hzParameterUnit());
    setupContinuous(frequencyOffset, -1.0f, 1.0f, 0.0f,
                    describe("Multiplies the rate of {} by 0.5 to 2.", subject_));
    frequencyOffset.setTaper(octavesToFactor, factorToOctaves);
    setupContinuous(balance, 0.0f, 1.0f, 0.5f,
                    describe("Makes the first half of the steps of {} run faster or slower than "
                             "the second half.",
                             subject_));
    setupContinuous(phaseOffset, 0.0f, 1.0f, 0.0f,
                    describe("Where in its cycle {} starts.", subject_));
    setupContinuous(glide, -1.0f, 1.0f, 0.0f, describe("Glide between the steps of {}.", subject_));
    setupList(syncMode, 0, 11, 0, "Free,16,8,4,2,1,1/2,1/4,1/8,1/16,1/32,1/64",
              describe("Locks the cycle of {} to a number of bars or notes of the host tempo.",
                       subject_));
    setupList(midiTrigger, 0, 1, false, kOffOnNames,
              describe("Restarts {} with every note.", subject_));
    setupList(snap, 0, 1, false, "No Snap,Snap",
              describe("Snaps the step values of {} to a semitone grid.", subject_));

    steps.numActive().declare(kMinimumSteps, XLFOStepParameterSet::kCount, kDefaultSteps);
    steps.numActive().setHelpText(describe("Number of steps that {} plays.", subject_));
    steps.setupSets();
}

void XLFOParameterSet::bind(XLFO& xlfo, XLFOFreqController& frequencyController) {
    frequencyOffset.bind(&frequencyController.defaultOffset());
    balance.bind(&xlfo.balance);
    syncMode.bind(&frequencyController.syncMode);
    midiTrigger.bind(&xlfo.midiTrigger);
    snap.bind(&xlfo.snap);
    steps.numActive().bind(&xlfo.stepCount);
    for (int j = 0; j < XLFOStepParameterSet::kCount; ++j) {
        XLFOStepParameterSet& step = steps[j];
        step.value.bind(&xlfo.step(j).value);
        step.glide.bind(&xlfo.step(j).glide);
        step.glideFunction.bind(&xlfo.step(j).glideCurve);
        step.random.bind(&xlfo.step(j).random);
    }
}
