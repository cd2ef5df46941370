#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <deque>
#include <tuple>

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

// What the synthesizer's own parameters show and read is the engine's test; here the parsing
// and formatting paths those parameters do not take.
TEST_F(FloatPluginParameterTest, TypedTextAndShownValues) {
    std::deque<FloatPluginParameter> parameters;
    const auto make = [&](const char* name, float minimum, float maximum,
                          const FloatPluginParameterUnit* unit = nullptr) {
        FloatPluginParameter* p = &parameters.emplace_back(&owner, name);
        p->setRange(minimum, maximum, std::max(minimum, 0.0f));
        if (unit) p->setUnit(*unit);
        return p;
    };
    auto* detune = make("Osc 1 Detune", -1.0f, 1.0f, &octavesParameterUnit());
    auto* freq = make("Freq", 20.0f, 20000.0f, &hzParameterUnit());
    auto* cutoff = make("Filter 1 Freq", 0.0f, 1.0f, &expFreqParameterUnit());  // octaves
    cutoff->setDisplayRange(2.2666f, 16.2064f);
    auto* level = make("Level", 0.0f, 2.0f);
    level->setDisplayFunctions(ratioToDecibels, decibelsToRatio);
    level->setUnit(dbParameterUnit());
    auto* pan = make("Pan", -1.0f, 1.0f, &hzParameterUnit());  // "%" wins over the unit's aliases
    auto* spread = make("Unison Spread", 0.0f, 1.0f, &percentParameterUnit());
    spread->setDisplayScale(100.0f, 0.0f);
    auto* plain = make("Plain", 0.0f, 10.0f);
    auto* steps = make("Custom", 0.0f, 10.0f);
    steps->setUnitByName("steps");  // not a unit: a suffix
    auto* portamento = make("Portamento", 0.0f, 5.0f);
    portamento->setFormat("%.1f");
    portamento->setUnitByName("SEC");  // the unit and its aliases, the format stays
    auto* ms = make("P", 0.0f, 10.0f, &msParameterUnit());
    ms->setValue(4.0f, 0);
    auto* range = make("Range", -24.0f, 24.0f, &dbRangeParameterUnit());
    EXPECT_EQ(steps->display().unit, nullptr);
    EXPECT_EQ(portamento->display().unit, &secParameterUnit());
    EXPECT_EQ(findParameterUnit("Semitones"), &octavesParameterUnit());
    EXPECT_EQ(findParameterUnit("kHz"), nullptr);  // aliases are not unit names

    // Out of range is clamped, never rejected; a bare number is in the shown unit (semitones).
    const std::tuple<FloatPluginParameter*, const char*, float> typed[] = {
        {detune, "7", 7.0f / 12.0f},
        {detune, "50 cents", 0.5f / 12.0f},
        {freq, "2k", 2000.0f},
        {freq, "  440 HZ and more", 440},
        {freq, "5", 20.0f},
        {level, "0.5 *", 0.5f},
        {pan, "50 %", 0.0f},
        {pan, "0 %", -1.0f},
        {steps, "3 STEPS", 3.0f},
        {portamento, "20 ms", 0.02f},
        {ms, ".5", 0.5f},
        {ms, "+2.5e0ms", 2.5f},
        {ms, "\t0.004 s", 4.0f}};
    for (auto [p, text, value] : typed) {
        EXPECT_NEAR(parsed(*p, text), value, 1e-5f * std::max(1.0f, std::fabs(value)))
            << p->name() << ": " << text;
    }
    EXPECT_NEAR(cutoff->engineValue(parsed(*cutoff, "1 kHz")), std::log2(1000.0f), 1e-4f);
    // Words must match the unit or suffix; text without a number is rejected.
    expectRejected(*plain, "3 x");
    expectRejected(*steps, "3 step");
    expectRejected(*portamento, "2 min");
    for (const char* text : {"", "   ", "abc", ".", "-", "+ 3", "ms 3", "e5"}) {
        expectRejected(*ms, text);
    }
    EXPECT_EQ(ms->getValue(), 4.0f);  // parsing never changes the value

    const std::tuple<FloatPluginParameter*, float, const char*> shown[] = {
        {detune, -0.00001f, "0.000 semitones"},
        {cutoff, 1.0f, "75616 Hz"},
        {level, 2.0f, "+6.02 dB"},
        {spread, 0.12345f, "12.35 %"},
        {steps, 3.0f, "3.000 steps"},
        {portamento, 1.26f, "1.3 SEC"},
        {range, -3.14159f, "-3.14 dB"}};
    for (auto [p, value, text] : shown) EXPECT_EQ(p->formatValue(value), text) << p->name();
}

}  // namespace
