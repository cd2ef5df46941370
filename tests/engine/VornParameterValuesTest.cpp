#include <gtest/gtest.h>

#include <vector>

#include "engine/ParameterCurves.h"
#include "engine/VornPlugin.h"
#include "tests/engine/VornParameterTestSupport.h"

namespace {

// Typed text with or without units and list names in any case, shown again in the house style
// (more typed values and refusals go through the command line).
TEST(VornParameterValuesTest, TypedTextUsesUnitsAndNames) {
    VornPlugin plugin;
    const auto shows = [&plugin](const char* name, const char* typedText, const char* shown) {
        const AbstractPluginParameter& p = *findParameter(plugin, name);
        float plain = -1000.0f;
        EXPECT_TRUE(p.parseText(typedText, &plain)) << name << " <- " << typedText;
        EXPECT_EQ(p.formatValue(plain), shown) << name << " <- " << typedText;
    };
    shows("Osc 1 Detune", "-1 oct", "-12.000 semitones");
    shows("Osc 1 Detune", "1 semitone", "1.000 semitones");
    shows("Osc 1 Detune", "20 cents", "0.200 semitones");
    shows("Filter 1 Freq", "440", "440.00 Hz");
    shows("Filter 1 Freq", "1 Hz", "4.812 Hz");
    shows("Delay R Time", "1 s", "1000.0 ms");
    shows("Delay R Time", "350", "350.0 ms");
    shows("Output Volume", "20 dB", "+10.80 dB");
    shows("EG Main Sustain", "6", "-6.00 dB");
    shows("EG Main Sustain", "0.5 x", "-6.02 dB");
    shows("Osc 1 Wave Form", "pink noise", "Pink Noise");
    shows("Master Scale", "8\"", "8\"");
    shows("Filter 1 Slope", "48", "48");
    shows("Total Voices", "16", "16");
    float plain = 0.0f;
    EXPECT_FALSE(findParameter(plugin, "Total Voices")->parseText("5", &plain));
    EXPECT_FALSE(findParameter(plugin, "Filter 1 Freq")->parseText("2 ms", &plain));
    // Between the ends (the ends are the parameter table's): a semitone of detune, half the level.
    EXPECT_EQ(findParameter(plugin, "Osc 1 Detune")->formatValue(0.4f), "1.000 semitones");
    EXPECT_EQ(findParameter(plugin, "Osc 1 Level")->formatValue(0.5f), "-6.02 dB");
}

// Records what the parameters write into the modulation targets.
class TargetRecordingPlugin : public VornPlugin {
public:
    struct Write {
        int target;
        float value;
        float rampMs;
    };
    void setTargetBaseValue(int target, float value, float rampMs) override {
        writes.push_back({target, value, rampMs});
        VornPlugin::setTargetBaseValue(target, value, rampMs);
    }
    // The writes the queued changes make, in order, against `expected`.
    void expectWrites(const std::vector<Write>& expected) {
        applyParameterChanges();
        ASSERT_EQ(writes.size(), expected.size());
        for (size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(writes[i].target, expected[i].target) << i;
            EXPECT_NEAR(writes[i].value, expected[i].value, 1e-5f) << i;
            EXPECT_EQ(writes[i].rampMs, expected[i].rampMs) << i;
        }
        writes.clear();
    }
    std::vector<Write> writes;
};

constexpr float kGlide = ModulationMatrixPlugin::kAutomaticRamp;

TEST(VornParameterValuesTest, TargetParametersWriteTheirEngineValueAsBaseValue) {
    TargetRecordingPlugin plugin;
    // Applied once at construction: defaults are in place.
    EXPECT_NEAR(plugin.targetBaseValue(17), 16.2064f, 1e-4f);            // Filter 1 Freq, octaves
    EXPECT_NEAR(plugin.targetBaseValue(23), 350.0f, 1e-2f);              // Delay L Time, ms
    EXPECT_NEAR(plugin.targetBaseValue(25), 0.32f, 1e-6f);               // Delay L Feedback
    EXPECT_NEAR(plugin.targetBaseValue(103), volumeCurve(0.7f), 1e-6f);  // Output Volume
    EXPECT_NEAR(plugin.targetBaseValue(107), 0.16f, 1e-6f);              // Slot 1 Level
    EXPECT_NEAR(plugin.targetBaseValue(61), 0.001f, 1e-7f);              // EG Main Attack, s

    VornPlugin::Parameters& p = plugin.parameters();
    p.filters[1].freq.setValue(0.5f, 0);
    p.followers[2].release.setValue(1.0f, 0);
    p.slots[49].level.setValue(0.25f, 0);
    plugin.expectWrites({{20, 2.2666f + 0.5f * (16.2064f - 2.2666f), kGlide},
                         {100, 5.0f, kGlide},
                         {156, 0.05f, kGlide}});
}

TEST(VornParameterValuesTest, OscillatorTuneAddsMasterScaleDetuneAndOctave) {
    TargetRecordingPlugin plugin;
    VornPlugin::Parameters& p = plugin.parameters();
    // Defaults: 16' and one octave up.
    for (int k = 0; k < 3; ++k) EXPECT_FLOAT_EQ(plugin.targetBaseValue(2 + 5 * k), 1.0f);

    // The detune glides, the octave jumps, the master scale retunes all three at once (32' is an
    // octave down).
    p.oscillators[1].detune.setValue(0.4f, 0);
    plugin.expectWrites({{7, 1.0f + 1.0f / 12.0f, kGlide}});
    p.oscillators[1].scale.setValue(3.0f, 0);
    plugin.expectWrites({{7, 3.0f + 1.0f / 12.0f, 0.0f}});
    p.masterScale.setValue(-1.0f, 0);
    plugin.expectWrites({{2, 0.0f, 0.0f}, {7, 2.0f + 1.0f / 12.0f, 0.0f}, {12, 0.0f, 0.0f}});
    EXPECT_NEAR(p.oscillators[1].tuneOctaves(), 2.0f + 1.0f / 12.0f, 1e-6f);

    p.oscillators[0].detune.setValue(-1.0f, 0);
    p.masterScale.setValue(2.0f, 0);
    plugin.applyParameterChanges();
    EXPECT_NEAR(plugin.targetBaseValue(2), 2.0f - 1.0f + 1.0f, 1e-6f);
}

TEST(VornParameterValuesTest, MidiSourceLabelShowsItsInput) {
    VornPlugin plugin;
    VornPlugin::Parameters& p = plugin.parameters();
    EXPECT_EQ(p.midiSources[0].displayLabel(), "MS 1 (Mod Wheel)");
    EXPECT_EQ(p.midiSources[0].shortName(), "MS 1");
    p.midiSources[1].input.setValue(5.0f, 0);
    p.midiSources[1].controllerNumber.setValue(64.0f, 0);
    EXPECT_EQ(p.midiSources[1].displayLabel(), "MS 2 (64)");
    p.midiSources[9].input.setValue(4.0f, 0);
    EXPECT_EQ(p.midiSources[9].displayLabel(), "MS 10 (KB Track)");
}

}  // namespace
