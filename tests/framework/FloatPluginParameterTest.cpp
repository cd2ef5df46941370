#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>

#include "framework/FloatPluginParameter.h"
#include "framework/ParameterFormat.h"
#include "tests/framework/ParameterTestOwner.h"

namespace {

class FloatPluginParameterTest : public ::testing::Test {
protected:
    ParameterTestOwner owner;
};

TEST_F(FloatPluginParameterTest, LinearUnclampedConversionsAndEpsilonDroppedChanges) {
    FloatPluginParameter p(&owner, "P");
    p.setRange(-1.0f, 3.0f, 0.0f);
    EXPECT_FLOAT_EQ(p.plainToNormalized(5.0f), 1.5f);
    EXPECT_FLOAT_EQ(p.normalizedToPlain(-0.25f), -2.0f);
    float plain = 0.0f;
    EXPECT_TRUE(p.hostNormalizedToPlain(0.75f, 7, &plain));
    EXPECT_FLOAT_EQ(plain, 2.0f);

    p.setRange(0.0f, 1.0f, 0.5f);
    owner.changes.clear();
    // 0.5 + 2 ulps is exactly FLT_EPSILON away: dropped. One more ulp passes.
    const float atEpsilon = std::nextafter(std::nextafter(0.5f, 1.0f), 1.0f);
    ASSERT_EQ(atEpsilon - 0.5f, FLT_EPSILON);
    p.setValue(atEpsilon, 0);
    EXPECT_TRUE(owner.changes.empty());
    EXPECT_EQ(p.getValue(), 0.5f);
    const float aboveEpsilon = std::nextafter(atEpsilon, 1.0f);
    p.setValue(aboveEpsilon, 3);
    ASSERT_EQ(owner.changes.size(), 1u);
    EXPECT_EQ(owner.changes[0].id, p.id());
    EXPECT_EQ(owner.changes[0].value, aboveEpsilon);
    EXPECT_EQ(owner.changes[0].flags, 3);
    p.setValue(7.0f, 0);
    EXPECT_EQ(p.getValue(), 1.0f);
    p.setValue(-7.0f, 0);
    EXPECT_EQ(p.getValue(), 0.0f);
    EXPECT_EQ(owner.changes.size(), 3u);
}

TEST_F(FloatPluginParameterTest, DisplayRangeAndTransformOrder) {
    FloatPluginParameter p(&owner, "Delay Time");
    p.setTaper(squareTaper, squareRootTaper);
    p.setDisplayScale(100.0f, 3.0f);  // reset by setDisplayRange
    p.setDisplayRange(10.0f, 5000.0f);
    EXPECT_FLOAT_EQ(p.engineValue(0.0f), 10.0f);
    EXPECT_FLOAT_EQ(p.engineValue(1.0f), 5000.0f);
    EXPECT_FLOAT_EQ(p.plainToDisplay(0.5f), 10.0f + 0.25f * 4990.0f);
    for (float v : {0.0f, 0.1f, 0.3f, 0.77f, 1.0f}) {
        EXPECT_NEAR(p.displayToPlain(p.plainToDisplay(v)), v, 1e-5f);
    }
    FloatPluginParameter pan(&owner, "Pan");  // bipolar plain onto a unipolar engine range
    pan.setRange(-1.0f, 1.0f, 0.0f);
    pan.setDisplayRange(0.0f, 1.0f);
    EXPECT_FLOAT_EQ(pan.engineValue(0.0f), 0.5f);

    // display = forward(engine·scale + offset); the inverse undoes it in reverse order.
    FloatPluginParameter sync(&owner, "Sync");
    sync.setRange(0.0f, 2.0f, 0.0f);
    sync.setDisplayFunctions([](float x) { return std::exp2(x); },
                             [](float x) { return std::log2(x); });
    sync.setDisplayScale(2.0f, -1.0f);
    EXPECT_FLOAT_EQ(sync.plainToDisplay(1.0f), 2.0f);  // 2^(1·2 − 1)
    EXPECT_FLOAT_EQ(sync.displayToPlain(8.0f), 2.0f);
    EXPECT_EQ(sync.formatValue(2.0f), "8.000");
}

TEST_F(FloatPluginParameterTest, TypedOctavesAndCentsIntoASemitoneDetune) {
    FloatPluginParameter detune(&owner, "Osc 1 Detune");
    detune.setRange(-1.0f, 1.0f, 0.0f);
    detune.setUnit(octavesParameterUnit());
    EXPECT_FLOAT_EQ(detune.plainToDisplay(parsed(detune, "0.5 octaves")), 6.0f);
    EXPECT_NEAR(detune.plainToDisplay(parsed(detune, "50 cents")), 0.5f, 1e-6f);
    EXPECT_NEAR(detune.plainToDisplay(parsed(detune, "7")), 7.0f, 1e-6f);
    // Out of range: clamped, never rejected.
    EXPECT_FLOAT_EQ(parsed(detune, "1 oct"), 1.0f);
    EXPECT_FLOAT_EQ(parsed(detune, "-30"), -1.0f);
    EXPECT_EQ(detune.formatValue(0.5f), "6.000 semitones");
    EXPECT_EQ(detune.formatValue(-0.00001f), "0.000 semitones");
}

TEST_F(FloatPluginParameterTest, TypedFrequenciesAndRatios) {
    FloatPluginParameter freq(&owner, "Freq");
    freq.setRange(20.0f, 20000.0f, 1000.0f);
    freq.setUnit(hzParameterUnit());
    EXPECT_FLOAT_EQ(parsed(freq, "2k"), 2000.0f);
    EXPECT_FLOAT_EQ(parsed(freq, "  440 HZ and more"), 440.0f);
    EXPECT_FLOAT_EQ(parsed(freq, "5"), 20.0f);
    EXPECT_EQ(freq.formatValue(440.0f), "440.00 Hz");

    // Engine in octaves above 1 Hz, shown and typed in Hz.
    FloatPluginParameter cutoff(&owner, "Filter 1 Freq");
    cutoff.setRange(0.0f, 1.0f, 1.0f);
    cutoff.setDisplayRange(2.2666f, 16.2064f);
    cutoff.setUnit(expFreqParameterUnit());
    const float plain = parsed(cutoff, "1 kHz");
    EXPECT_NEAR(cutoff.engineValue(plain), std::log2(1000.0f), 1e-4f);
    EXPECT_NEAR(cutoff.plainToDisplay(plain), 1000.0f, 0.05f);
    EXPECT_EQ(cutoff.formatValue(1.0f), "75616 Hz");

    FloatPluginParameter level(&owner, "Level");
    level.setRange(0.0f, 2.0f, 1.0f);
    level.setDisplayFunctions(ratioToDecibels, decibelsToRatio);
    level.setUnit(dbParameterUnit());
    const float doubled = parsed(level, "2 x");
    EXPECT_NEAR(doubled, 2.0f, 1e-5f);
    EXPECT_EQ(level.formatValue(doubled), "+6.02 dB");
    EXPECT_NEAR(parsed(level, "0.5 *"), 0.5f, 1e-5f);
    EXPECT_NEAR(parsed(level, "6 dB"), decibelsToRatio(6.0f), 1e-5f);  // the range reaches +6.02
    EXPECT_EQ(level.formatValue(1.0f), "0.00 dB");
    EXPECT_EQ(level.formatValue(0.0f), "-INF dB");

    // In a range that cannot go above 0 dB, positive numbers mean negative.
    FloatPluginParameter sustain(&owner, "EG Main Sustain");
    sustain.setRange(0.0f, 1.0f, 1.0f);
    sustain.setDisplayFunctions(ratioToDecibels, decibelsToRatio);
    sustain.setUnit(dbParameterUnit());
    const float minus6 = parsed(sustain, "6");
    EXPECT_NEAR(minus6, decibelsToRatio(-6.0f), 1e-6f);
    EXPECT_EQ(sustain.formatValue(minus6), "-6.00 dB");
    EXPECT_NEAR(parsed(sustain, "-6 dB"), minus6, 1e-7f);
    EXPECT_NEAR(parsed(sustain, "0.5 x"), 0.5f, 1e-6f);
}

TEST_F(FloatPluginParameterTest, PercentOfThePlainRange) {
    FloatPluginParameter unipolar(&owner, "Pulse Width");
    unipolar.setRange(0.0f, 1.0f, 0.0f);
    EXPECT_FLOAT_EQ(parsed(unipolar, "25%"), 0.25f);
    EXPECT_FLOAT_EQ(parsed(unipolar, "150 %"), 1.0f);
    FloatPluginParameter bipolar(&owner, "Pan");
    bipolar.setRange(-1.0f, 1.0f, 0.0f);
    bipolar.setUnit(hzParameterUnit());  // "%" wins over the unit's aliases
    EXPECT_FLOAT_EQ(parsed(bipolar, "50 %"), 0.0f);
    EXPECT_FLOAT_EQ(parsed(bipolar, "0 %"), -1.0f);

    FloatPluginParameter spread(&owner, "Unison Spread");
    spread.setUnit(percentParameterUnit());
    spread.setDisplayScale(100.0f, 0.0f);
    EXPECT_EQ(spread.formatValue(0.12345f), "12.35 %");
}

TEST_F(FloatPluginParameterTest, UnitWordsAndTextWithoutANumber) {
    FloatPluginParameter plain(&owner, "Plain");
    plain.setRange(0.0f, 10.0f, 0.0f);
    expectRejected(plain, "3 x");  // without a unit, words must match the suffix
    FloatPluginParameter custom(&owner, "Custom");
    custom.setRange(0.0f, 10.0f, 2.0f);
    custom.setUnitByName("steps");
    EXPECT_EQ(custom.display().unit, nullptr);
    EXPECT_FLOAT_EQ(parsed(custom, "3 STEPS"), 3.0f);
    expectRejected(custom, "3 step");
    EXPECT_EQ(custom.formatValue(3.0f), "3.000 steps");

    // A registry name gives the unit (and its aliases) but leaves the display alone.
    FloatPluginParameter portamento(&owner, "Portamento");
    portamento.setRange(0.0f, 5.0f, 0.0f);
    portamento.setFormat("%.1f");
    portamento.setUnitByName("SEC");
    EXPECT_EQ(portamento.display().unit, &secParameterUnit());
    EXPECT_FLOAT_EQ(parsed(portamento, "20 ms"), 0.02f);
    expectRejected(portamento, "2 min");
    EXPECT_EQ(portamento.formatValue(1.26f), "1.3 SEC");

    FloatPluginParameter p(&owner, "P");
    p.setRange(0.0f, 10.0f, 4.0f);
    p.setUnit(msParameterUnit());
    for (const char* text : {"", "   ", "abc", ".", "-", "+ 3", "ms 3", "e5"}) {
        expectRejected(p, text);
    }
    EXPECT_FLOAT_EQ(parsed(p, ".5"), 0.5f);
    EXPECT_FLOAT_EQ(parsed(p, "5."), 5.0f);
    EXPECT_FLOAT_EQ(parsed(p, "+2.5e0ms"), 2.5f);
    EXPECT_FLOAT_EQ(parsed(p, "\t0.004 s"), 4.0f);
    EXPECT_EQ(p.getValue(), 4.0f);  // parsing never changes the value
}

TEST_F(FloatPluginParameterTest, UnitsAndTheirRegistry) {
    EXPECT_EQ(findParameterUnit("hz"), &hzParameterUnit());
    EXPECT_EQ(findParameterUnit("MS"), &msParameterUnit());
    EXPECT_EQ(findParameterUnit("db"), &dbParameterUnit());
    EXPECT_EQ(findParameterUnit("Semitones"), &octavesParameterUnit());
    EXPECT_EQ(findParameterUnit("%"), &percentParameterUnit());
    EXPECT_EQ(findParameterUnit("kHz"), nullptr);  // aliases are not unit names
    EXPECT_FLOAT_EQ(dbParameterUnit().findAlias("x")->apply(0.0f), -180.0f);

    FloatPluginParameter range(&owner, "Range");
    range.setRange(-24.0f, 24.0f, 0.0f);
    range.setUnit(dbRangeParameterUnit());
    EXPECT_EQ(range.formatValue(-3.14159f), "-3.14 dB");
}

}  // namespace
