#include "engine/DelayParameterSet.h"

#include "engine/ParameterCurves.h"
#include "engine/ParameterSetup.h"

namespace {

constexpr float kShortestMs = 10.0f;
constexpr float kLongestMs = 5000.0f;
constexpr float kDefaultMs = 350.0f;

std::string setName(int index) {
    return index == 0 ? "Delay L" : "Delay R";
}
std::string subject(int index) {
    return index == 0 ? "the left delay" : "the right delay";
}
int target(int index, int offset) {
    return DelayParameterSet::kFirstTarget + DelayParameterSet::kTargetsPerDelay * index + offset;
}

}  // namespace

DelayParameterSet::DelayParameterSet(GenericParameterOwner* owner, ModulationMatrixPlugin& plugin,
                                     int index)
    : PluginParameterSet(owner, setName(index)),
      time(this, name() + " Time", plugin, target(index, 0)),
      offset(this, name() + " Offset", plugin, target(index, 1)),
      sync(this, name() + " Sync"),
      feedback(this, name() + " Feedback", plugin, target(index, 2)),
      crossFeedback(this, name() + " Cross Feedback", plugin, target(index, 3)),
      enabled(this, name() + " Enabled"),
      subject_(subject(index)) {}

void DelayParameterSet::setup() {
    const std::string timeHelp = describe("Delay time of {}.", subject_);
    setupContinuous(time, 0.0f, 1.0f, 0.0f, timeHelp);
    time.setTaper(timeCurve, timeCurveInverse);
    time.setDisplayRange(kShortestMs, kLongestMs);
    time.setUnit(msParameterUnit());
    time.setFormat("%.1f");
    time.setDefault(time.displayToPlain(kDefaultMs));

    setupContinuous(offset, -1.0f, 1.0f, 0.0f,
                    describe("Stretches the time of {} by a factor of 0.5 to 2.", subject_));
    offset.setTaper(octavesToFactor, factorToOctaves);
    setupList(sync, 0, 7, 0,
              "Free,Ultra Short,1/2 Note,1/4 Note,1/8 Note,1/16 Note,1/32 Note,1/64 Note",
              describe("Locks the time of {} to the host tempo.", subject_));
    setupContinuous(feedback, 0.0f, 1.0f, 0.4f,
                    describe("How much of {} is fed back into itself.", subject_));
    feedback.setTaper(feedbackCurve, feedbackCurveInverse);
    setupContinuous(crossFeedback, 0.0f, 1.0f, 0.0f,
                    describe("How much of {} is fed into the other delay line.", subject_));
    crossFeedback.setTaper(feedbackCurve, feedbackCurveInverse);
    setupList(enabled, 0, 1, true, kToggleNames, describe("Switches {} on or off.", subject_));
}

void DelayParameterSet::bind(Property<int>& syncProperty, Property<bool>& enabledProperty) {
    sync.bind(&syncProperty);
    enabled.bind(&enabledProperty);
}
