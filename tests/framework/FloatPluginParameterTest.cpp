#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <deque>

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
    EXPECT_EQ(p.getValue(), 0.5f);
    const float aboveEpsilon = std::nextafter(atEpsilon, 1.0f);
    p.setValue(aboveEpsilon, 3);
    p.setValue(7.0f, 0);
    EXPECT_EQ(p.getValue(), 1.0f);
    p.setValue(-7.0f, 0);
    ASSERT_EQ(owner.changes.size(), 3u);
    EXPECT_EQ(owner.changes[0].id, p.id());
    EXPECT_EQ(owner.changes[0].value, aboveEpsilon);
    EXPECT_EQ(owner.changes[0].flags, 3);
    EXPECT_EQ(owner.changes[2].value, 0.0f);
}

TEST_F(FloatPluginParameterTest, DisplayRangeAndTransformOrder) {
    FloatPluginParameter p(&owner, "Delay Time");
    p.setTaper(squareTaper, squareRootTaper);
    p.setDisplayScale(100.0f, 3.0f);  // reset by setDisplayRange
    p.setDisplayRange(10.0f, 5000.0f);
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

// Parameters set up the ways the synthesizer sets them up, and how they read and show values.
TEST_F(FloatPluginParameterTest, TypedTextAndShownValues) {
    std::deque<FloatPluginParameter> parameters;
    const auto make = [&](const char* name, float minimum, float maximum, float value) {
        FloatPluginParameter* p = &parameters.emplace_back(&owner, name);
        p->setRange(minimum, maximum, value);
        return p;
    };
    auto* detune = make("Osc 1 Detune", -1.0f, 1.0f, 0.0f);
    detune->setUnit(octavesParameterUnit());
    auto* freq = make("Freq", 20.0f, 20000.0f, 1000.0f);
    freq->setUnit(hzParameterUnit());
    auto* cutoff = make("Filter 1 Freq", 0.0f, 1.0f, 1.0f);  // engine in octaves above 1 Hz
    cutoff->setDisplayRange(2.2666f, 16.2064f);
    cutoff->setUnit(expFreqParameterUnit());
    auto* level = make("Level", 0.0f, 2.0f, 1.0f);
    auto* sustain = make("EG Main Sustain", 0.0f, 1.0f, 1.0f);  // cannot go above 0 dB
    for (FloatPluginParameter* p : {level, sustain}) {
        p->setDisplayFunctions(ratioToDecibels, decibelsToRatio);
        p->setUnit(dbParameterUnit());
    }
    auto* width = make("Pulse Width", 0.0f, 1.0f, 0.0f);
    auto* pan = make("Pan", -1.0f, 1.0f, 0.0f);
    pan->setUnit(hzParameterUnit());  // "%" wins over the unit's aliases
    auto* spread = make("Unison Spread", 0.0f, 1.0f, 0.0f);
    spread->setUnit(percentParameterUnit());
    spread->setDisplayScale(100.0f, 0.0f);
    auto* plain = make("Plain", 0.0f, 10.0f, 0.0f);
    auto* steps = make("Custom", 0.0f, 10.0f, 2.0f);
    steps->setUnitByName("steps");  // not a unit: a suffix
    auto* portamento = make("Portamento", 0.0f, 5.0f, 0.0f);
    portamento->setFormat("%.1f");
    portamento->setUnitByName("SEC");  // the unit and its aliases, the format stays
    auto* ms = make("P", 0.0f, 10.0f, 4.0f);
    ms->setUnit(msParameterUnit());
    auto* range = make("Range", -24.0f, 24.0f, 0.0f);
    range->setUnit(dbRangeParameterUnit());
    EXPECT_EQ(steps->display().unit, nullptr);
    EXPECT_EQ(portamento->display().unit, &secParameterUnit());
    EXPECT_EQ(findParameterUnit("Semitones"), &octavesParameterUnit());
    EXPECT_EQ(findParameterUnit("kHz"), nullptr);  // aliases are not unit names

    // Out of range is clamped, never rejected. A bare number is in the shown unit (semitones);
    // in a range that cannot go above 0 dB positive decibels mean negative.
    const struct {
        FloatPluginParameter* p;
        const char* text;
        float plain;
    } typed[] = {{detune, "0.5 octaves", 0.5f},
                 {detune, "50 cents", 0.5f / 12.0f},
                 {detune, "7", 7.0f / 12.0f},
                 {detune, "1 oct", 1.0f},
                 {freq, "2k", 2000.0f},
                 {freq, "  440 HZ and more", 440},
                 {freq, "5", 20.0f},
                 {level, "2 x", 2.0f},
                 {level, "0.5 *", 0.5f},
                 {level, "6 dB", decibelsToRatio(6.0f)},
                 {sustain, "6", decibelsToRatio(-6.0f)},
                 {sustain, "-6 dB", decibelsToRatio(-6.0f)},
                 {width, "25%", 0.25f},
                 {pan, "50 %", 0.0f},
                 {pan, "0 %", -1.0f},
                 {steps, "3 STEPS", 3.0f},
                 {portamento, "20 ms", 0.02f},
                 {ms, ".5", 0.5f},
                 {ms, "+2.5e0ms", 2.5f},
                 {ms, "\t0.004 s", 4.0f}};
    for (const auto& c : typed) {
        EXPECT_NEAR(parsed(*c.p, c.text), c.plain, 1e-5f * std::max(1.0f, std::fabs(c.plain)))
            << c.p->name() << ": " << c.text;
    }
    EXPECT_NEAR(cutoff->engineValue(parsed(*cutoff, "1 kHz")), std::log2(1000.0f), 1e-4f);
    // Words must match the unit or suffix; text without a number is rejected.
    for (auto [p, text] : {std::pair{plain, "3 x"},
                           {steps, "3 step"},
                           {portamento, "2 min"},
                           {ms, ""},
                           {ms, "   "},
                           {ms, "abc"},
                           {ms, "."},
                           {ms, "-"},
                           {ms, "+ 3"},
                           {ms, "ms 3"},
                           {ms, "e5"}}) {
        expectRejected(*p, text);
    }
    EXPECT_EQ(ms->getValue(), 4.0f);  // parsing never changes the value

    const struct {
        FloatPluginParameter* p;
        float plain;
        const char* text;
    } shown[] = {
        {detune, 0.5f, "6.000 semitones"}, {detune, -0.00001f, "0.000 semitones"},
        {freq, 440.0f, "440.00 Hz"},       {cutoff, 1.0f, "75616 Hz"},
        {level, 2.0f, "+6.02 dB"},         {level, 1.0f, "0.00 dB"},
        {level, 0.0f, "-INF dB"},          {sustain, decibelsToRatio(-6.0f), "-6.00 dB"},
        {spread, 0.12345f, "12.35 %"},     {steps, 3.0f, "3.000 steps"},
        {portamento, 1.26f, "1.3 SEC"},    {range, -3.14159f, "-3.14 dB"},
    };
    for (const auto& c : shown) EXPECT_EQ(c.p->formatValue(c.plain), c.text) << c.p->name();
}

}  // namespace
