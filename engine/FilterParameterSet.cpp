#include "engine/FilterParameterSet.h"

#include "engine/ParameterSetup.h"

namespace {

// Cut-off range in octaves above 1 Hz: 4.81 Hz to 75.6 kHz.
constexpr float kLowestCutoff = 2.2666f;
constexpr float kHighestCutoff = 16.2064f;
// The pan spreads the cut-offs of the two channels; the display shows it as -1..1.
constexpr float kPanRange = 3.5f;
constexpr float kPanDisplayScale = 0.2857143f;
constexpr int kGentle = 1;
constexpr int kLowPass = 0;
constexpr int kSlope12 = 1;

}  // namespace

FilterParameterSet::FilterParameterSet(GenericParameterOwner* owner, ModulationMatrixPlugin& plugin,
                                       const std::string& name, int firstTarget,
                                       const std::string& subject)
    : PluginParameterSet(owner, name),
      freq(this, name + " Freq", plugin, firstTarget),
      pan(this, name + " Pan", plugin, firstTarget + 1),
      peak(this, name + " Peak", plugin, firstTarget + 2),
      characteristic(this, name + " Characteristic"),
      response(this, name + " Response"),
      slope(this, name + " Slope"),
      enabled(this, name + " Enabled"),
      subject_(subject) {}

void FilterParameterSet::setup() {
    setupContinuous(freq, 0.0f, 1.0f, 1.0f, describe("Cut-off frequency of {}.", subject_));
    freq.setDisplayRange(kLowestCutoff, kHighestCutoff);
    freq.setUnit(expFreqParameterUnit());
    setupContinuous(
        pan, -kPanRange, kPanRange, 0.0f,
        describe("Spreads the cut-off of {} between the left and the right channel.", subject_));
    pan.setDisplayScale(kPanDisplayScale, 0.0f);
    setupContinuous(peak, 0.0f, 1.0f, 0.0f, describe("Resonance of {}.", subject_));

    setupList(characteristic, 0, 10, kGentle,
              "Quorvalis Prime,Gentle,Raw,Tube,Metal,Easy Going,Smooth,Hard,Hollow,Extreme,Clean",
              describe("Character of {}: how it drives, saturates and resonates.", subject_));
    setupList(response, 0, 2, kLowPass, "LP,HP,BP",
              describe("Response of {}: low-pass, high-pass or band-pass.", subject_));
    setupList(slope, 1, 3, kSlope12, "12,24,48",
              describe("Slope of {} in dB per octave.", subject_));
    setupList(enabled, 0, 1, true, kToggleNames, describe("Switches {} on or off.", subject_));
}

void FilterParameterSet::bind(Property<int>& characteristicProperty,
                              Property<int>& responseProperty, Property<int>& slopeProperty,
                              Property<bool>& enabledProperty) {
    characteristic.bind(&characteristicProperty);
    response.bind(&responseProperty);
    slope.bind(&slopeProperty);
    enabled.bind(&enabledProperty);
}
