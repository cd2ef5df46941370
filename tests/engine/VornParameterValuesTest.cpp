#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/ParameterCurves.h"
#include "engine/VornPlugin.h"
#include "tests/engine/VornParameterTestSupport.h"

namespace {

// Range, default and the texts at the minimum, the default and the maximum.
TEST(VornParameterValuesTest, RangesDefaultsAndTexts) {
    VornPlugin plugin;
    const auto row = [&plugin](const char* name, float minimum, float maximum, float defaultValue,
                               const char* atMinimum, const char* atDefault,
                               const char* atMaximum) {
        const AbstractPluginParameter* p = findParameter(plugin, name);
        ASSERT_NE(p, nullptr) << name;
        EXPECT_FLOAT_EQ(p->getMinimum(), minimum) << name;
        EXPECT_FLOAT_EQ(p->getMaximum(), maximum) << name;
        EXPECT_FLOAT_EQ(p->getDefault(), defaultValue) << name;
        EXPECT_FLOAT_EQ(p->getValue(), defaultValue) << name;
        EXPECT_EQ(p->formatValue(minimum), atMinimum) << name;
        EXPECT_EQ(p->formatValue(defaultValue), atDefault) << name;
        EXPECT_EQ(p->formatValue(maximum), atMaximum) << name;
    };
    row("Master Tune", -1, 1, 0, "-12.000 semitones", "0.000 semitones", "12.000 semitones");
    row("Master Scale", -1, 2, 0, "32\"", "16\"", "4\"");
    row("Portamento", 0, 1, 0, "0.000 sec", "0.000 sec", "5.000 sec");
    row("Portamento Mode", 0, 1, 0, "Normal", "Normal", "Legato");
    row("Filter Routing", 0, 2, 0, "Serial", "Serial", "Per Osc");
    row("Delay Link", 0, 1, 0, "Separate", "Separate", "Linked");
    row("Delay Filter Routing", 0, 2, 0, "Serial", "Serial", "Per Delay");
    row("Delay Enabled", 0, 1, 0, "Disabled", "Disabled", "Enabled");
    row("Delay Level", 0, 1, 0.5f, "-INF dB", "-6.02 dB", "0.00 dB");
    row("Wet Enabled", 0, 1, 1, "Disabled", "Enabled", "Enabled");
    row("Dry Pan", -1, 1, 0, "-1.000", "0.000", "1.000");
    row("Audition Signal", 0, 1, 0, "Output", "Output", "Side Chain");
    row("Output Volume", 0, 1, 0.7f, "-169.20 dB", "+0.00 dB", "+10.80 dB");
    row("Stereo", 0, 2, 1, "0.000", "1.000", "1.500");
    row("Total Voices", 0, 11, 3, "1", "4", "32");
    row("Unison Voices", 0, 11, 0, "1", "1", "32");
    row("Polyphony", 0, 1, 1, "Mono", "Poly", "Poly");
    row("Unison Spread", 0, 1, 0.5f, "0 %", "16 %", "100 %");
    row("Osc 2 Scale", 0, 3, 1, "0 octaves", "1 octave", "3 octaves");
    row("Osc 1 Wave Form", 0, 5, 1, "Triangle", "Sawtooth", "Pink Noise");
    row("Osc 3 Wave Form", 0, 5, 4, "Triangle", "White Noise", "Pink Noise");
    row("Osc 1 Sync", 0, 2, 0, "1.000", "1.000", "4.000");
    row("Osc 1 Level", 0, 1, 1, "-INF dB", "0.00 dB", "0.00 dB");
    row("Osc 3 Enabled", 0, 1, 1, "Disabled", "Enabled", "Enabled");
    row("Filter 2 Freq", 0, 1, 1, "4.812 Hz", "75616 Hz", "75616 Hz");
    row("Filter 2 Pan", -3.5f, 3.5f, 0, "-1.000", "0.000", "1.000");
    row("Filter 2 Characteristic", 0, 10, 1, "Quorvalis Prime", "Gentle", "Clean");
    row("Filter 2 Slope", 1, 3, 1, "12", "12", "48");
    row("Delay L Time", 0, 1, 0.2912188f, "10.0 ms", "350.0 ms", "5000.0 ms");
    row("Delay R Offset", -1, 1, 0, "0.500", "1.000", "2.000");
    row("Delay R Feedback", 0, 1, 0.4f, "0.000", "0.320", "2.000");
    row("XLFO 2 Frequency", 0, 1, 0.25f, "0.000 Hz", "1.000 Hz", "500.00 Hz");
    row("XLFO 1 Frequency Offset", -1, 1, 0, "0.500", "1.000", "2.000");
    row("XLFO 2 Balance", 0, 1, 0.5f, "0.000", "0.500", "1.000");
    row("XLFO 2 Step 5 Value", -1, 1, 0, "-1.000", "0.000", "1.000");
    row("EG Main Attack", 0, 1, 0, "0.001 sec", "0.001 sec", "18.000 sec");
    row("EG 2 Hold", 0, 1, 0, "0.000 sec", "0.000 sec", "19.000 sec");
    row("EG 2 Decay", 0, 1, 0, "0.030 sec", "0.030 sec", "21.000 sec");
    row("EG 2 Release", 0, 1, 0, "0.006 sec", "0.006 sec", "23.000 sec");
    row("EG 4 Threshold", 0, 1, 0.3f, "0.000", "0.072", "1.000");
    row("EF 1 Attack", 0, 1, 0, "0.001 sec", "0.001 sec", "1.000 sec");
    row("EF 1 Release", 0, 1, 0, "0.050 sec", "0.050 sec", "5.000 sec");
    row("Slot 9 Level", 0, 1, 0.5f, "0.000", "0.160", "1.000");
    row("Slot 9 Target", 0, 157, 0, "< Target >", "< Target >", "Slot 50 Level");
    row("MIDI Source 1 Controller Number", 0, 127, 0, "0", "0", "127");
    // How many entries of each list are in use.
    row("Num Active XY Controllers", 0, 4, 0, "0", "0", "4");
    row("Num Active XLFOs", 0, 6, 0, "0", "0", "6");
    row("Num Active XLFO 6 Steps", 1, 16, 2, "1", "2", "16");
    row("Num Active EGs", 1, 6, 1, "1", "1", "6");
    row("Num Active EFs", 0, 4, 0, "0", "0", "4");
    row("Num Active MIDI Sources", 0, 10, 0, "0", "0", "10");
    row("Num Active Slots", 0, 50, 0, "0", "0", "50");
    // Between the ends: a semitone of detune, half the level.
    EXPECT_EQ(findParameter(plugin, "Osc 1 Detune")->formatValue(0.4f), "1.000 semitones");
    EXPECT_EQ(findParameter(plugin, "Osc 1 Level")->formatValue(0.5f), "-6.02 dB");
}

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
