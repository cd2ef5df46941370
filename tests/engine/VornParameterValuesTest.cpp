#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>
#include <vector>

#include "engine/ParameterCurves.h"
#include "engine/VornPlugin.h"
#include "tests/engine/VornParameterTestSupport.h"

namespace {

std::string textAt(const AbstractPluginParameter& p, float plain) {
    return p.formatValue(plain);
}

// Parses text into the parameter and returns the plain value; fails the test when rejected.
float typed(const AbstractPluginParameter& p, const std::string& text) {
    float plain = -1000.0f;
    EXPECT_TRUE(p.parseText(text, &plain)) << p.name() << " <- " << text;
    return plain;
}

TEST(VornParameterValuesTest, RangesAndDefaultsOfTheMasterSection) {
    VornPlugin plugin;
    // name, minimum, maximum, default (plain)
    const std::tuple<const char*, float, float, float> rows[] = {
        {"Master Tune", -1, 1, 0},
        {"Master Scale", -1, 2, 0},
        {"Ring Modulation Enabled", 0, 1, 0},
        {"Portamento", 0, 1, 0},
        {"Portamento Mode", 0, 1, 0},
        {"Filter Routing", 0, 2, 0},
        {"Delay Link", 0, 1, 0},
        {"Delay Filter Routing", 0, 2, 0},
        {"Delay Enabled", 0, 1, 0},
        {"Delay Level", 0, 1, 0.5f},
        {"Delay Pan", -1, 1, 0},
        {"Wet Enabled", 0, 1, 1},
        {"Dry Level", 0, 1, 1},
        {"Dry Pan", -1, 1, 0},
        {"Audition Signal", 0, 1, 0},
        {"Output Volume", 0, 1, 0.7f},
        {"Output Pan", -1, 1, 0},
        {"Stereo", 0, 2, 1},
        {"Total Voices", 0, 11, 3},
        {"Unison Voices", 0, 11, 0},
        {"Polyphony", 0, 1, 1},
        {"Unison Spread", 0, 1, 0.5f},
        {"Osc 2 Detune", -1, 1, 0},
        {"Osc 2 Scale", 0, 3, 1},
        {"Osc 1 Wave Form", 0, 5, 1},
        {"Osc 2 Wave Form", 0, 5, 1},
        {"Osc 3 Wave Form", 0, 5, 4},
        {"Osc 1 Sync", 0, 2, 0},
        {"Osc 1 Level", 0, 1, 1},
        {"Osc 3 Enabled", 0, 1, 1},
        {"Filter 2 Freq", 0, 1, 1},
        {"Filter 2 Pan", -3.5f, 3.5f, 0},
        {"Filter 2 Characteristic", 0, 10, 1},
        {"Filter 2 Slope", 1, 3, 1},
        {"Delay R Offset", -1, 1, 0},
        {"Delay R Feedback", 0, 1, 0.4f},
        {"XLFO 2 Frequency", 0, 1, 0.25f},
        {"XLFO 2 Balance", 0, 1, 0.5f},
        {"XLFO 2 Glide", -1, 1, 0},
        {"XLFO 2 Step 5 Value", -1, 1, 0},
        {"EG 4 Threshold", 0, 1, 0.3f},
        {"EG 4 Sustain", 0, 1, 1},
        {"Slot 9 Level", 0, 1, 0.5f},
        {"Slot 9 Source", 0, 34, 0},
        {"Slot 9 Target", 0, 157, 0},
    };
    for (const auto& [name, minimum, maximum, defaultValue] : rows) {
        const AbstractPluginParameter* p = findParameter(plugin, name);
        ASSERT_NE(p, nullptr) << name;
        EXPECT_FLOAT_EQ(p->getMinimum(), minimum) << name;
        EXPECT_FLOAT_EQ(p->getMaximum(), maximum) << name;
        EXPECT_FLOAT_EQ(p->getDefault(), defaultValue) << name;
        EXPECT_FLOAT_EQ(p->getValue(), defaultValue) << name;
    }
}

TEST(VornParameterValuesTest, DisplayTexts) {
    VornPlugin plugin;
    // name, plain value, text
    const std::tuple<const char*, float, const char*> rows[] = {
        {"Output Volume", 0.7f, "+0.00 dB"},
        {"Output Volume", 1.0f, "+10.80 dB"},
        {"Delay L Time", 0.2912188f, "350.0 ms"},
        {"Delay R Time", 0.0f, "10.0 ms"},
        {"Delay R Time", 1.0f, "5000.0 ms"},
        {"Master Scale", -1.0f, "32\""},
        {"Master Scale", 0.0f, "16\""},
        {"Master Scale", 2.0f, "4\""},
        {"Master Tune", -1.0f, "-12.000 semitones"},
        {"Osc 1 Detune", 0.4f, "1.000 semitones"},
        {"Osc 1 Scale", 1.0f, "1 octave"},
        {"Osc 3 Wave Form", 4.0f, "White Noise"},
        {"Osc 1 Sync", 2.0f, "4.000"},
        {"Osc 1 Level", 0.5f, "-6.02 dB"},
        {"Osc 1 Level", 1.0f, "0.00 dB"},
        {"Osc 1 Level", 0.0f, "-INF dB"},
        {"Filter 1 Freq", 0.0f, "4.812 Hz"},
        {"Filter 1 Freq", 1.0f, "75616 Hz"},
        {"Filter 1 Pan", 3.5f, "1.000"},
        {"Filter 1 Pan", -3.5f, "-1.000"},
        {"Filter 1 Slope", 2.0f, "24"},
        {"Delay L Offset", 1.0f, "2.000"},
        {"Delay L Feedback", 0.4f, "0.320"},
        {"Delay Level", 0.5f, "-6.02 dB"},
        {"XLFO 1 Frequency", 0.25f, "1.000 Hz"},
        {"XLFO 1 Frequency", 1.0f, "500.00 Hz"},
        {"XLFO 1 Frequency Offset", -1.0f, "0.500"},
        {"Portamento", 1.0f, "5.000 sec"},
        {"EG Main Attack", 0.0f, "0.001 sec"},
        {"EG Main Attack", 1.0f, "18.000 sec"},
        {"EG 2 Hold", 1.0f, "19.000 sec"},
        {"EG 2 Decay", 0.0f, "0.030 sec"},
        {"EG 2 Release", 1.0f, "23.000 sec"},
        {"EF 1 Attack", 1.0f, "1.000 sec"},
        {"EF 1 Release", 0.0f, "0.050 sec"},
        {"EF 1 Release", 1.0f, "5.000 sec"},
        {"Stereo", 2.0f, "1.500"},
        {"Unison Spread", 0.5f, "16 %"},
        {"Unison Spread", 1.0f, "100 %"},
        {"Total Voices", 11.0f, "32"},
        {"Total Voices", 3.0f, "4"},
        {"Num Active XLFOs", 6.0f, "6"},
        {"MIDI Source 1 Controller Number", 64.0f, "64"},
    };
    for (const auto& [name, plain, text] : rows) {
        const AbstractPluginParameter* p = findParameter(plugin, name);
        ASSERT_NE(p, nullptr) << name;
        EXPECT_EQ(textAt(*p, plain), text) << name << " at " << plain;
    }
    const AbstractPluginParameter* delay = findParameter(plugin, "Delay L Time");
    EXPECT_EQ(textAt(*delay, delay->getDefault()), "350.0 ms");
    EXPECT_NEAR(delay->getDefault(), 0.2912188f, 1e-6f);
}

TEST(VornParameterValuesTest, TypedTextUsesUnitsAndNames) {
    VornPlugin plugin;
    const AbstractPluginParameter& detune = *findParameter(plugin, "Osc 1 Detune");
    EXPECT_FLOAT_EQ(typed(detune, "1 oct"), 1.0f);
    EXPECT_FLOAT_EQ(typed(detune, "-1 oct"), -1.0f);
    EXPECT_EQ(textAt(detune, typed(detune, "1 oct")), "12.000 semitones");
    EXPECT_NEAR(typed(detune, "1 semitone"), 0.4f, 1e-5f);
    EXPECT_NEAR(typed(detune, "20 cents"), 0.2f, 1e-5f);

    const AbstractPluginParameter& freq = *findParameter(plugin, "Filter 1 Freq");
    EXPECT_EQ(textAt(freq, typed(freq, "2 kHz")), "2000.0 Hz");
    EXPECT_EQ(textAt(freq, typed(freq, "440")), "440.00 Hz");
    EXPECT_FLOAT_EQ(typed(freq, "1 Hz"), 0.0f);

    const AbstractPluginParameter& time = *findParameter(plugin, "Delay R Time");
    EXPECT_EQ(textAt(time, typed(time, "1 s")), "1000.0 ms");
    EXPECT_EQ(textAt(time, typed(time, "350")), "350.0 ms");

    const AbstractPluginParameter& volume = *findParameter(plugin, "Output Volume");
    EXPECT_EQ(textAt(volume, typed(volume, "-6")), "-6.00 dB");
    EXPECT_EQ(textAt(volume, typed(volume, "20 dB")), "+10.80 dB");

    const AbstractPluginParameter& sustain = *findParameter(plugin, "EG Main Sustain");
    EXPECT_EQ(textAt(sustain, typed(sustain, "6")), "-6.00 dB");
    EXPECT_EQ(textAt(sustain, typed(sustain, "0.5 x")), "-6.02 dB");

    EXPECT_FLOAT_EQ(typed(*findParameter(plugin, "Osc 1 Wave Form"), "Sine"), 3.0f);
    EXPECT_FLOAT_EQ(typed(*findParameter(plugin, "Osc 1 Wave Form"), "pink noise"), 5.0f);
    EXPECT_FLOAT_EQ(typed(*findParameter(plugin, "Master Scale"), "8\""), 1.0f);
    EXPECT_FLOAT_EQ(typed(*findParameter(plugin, "Filter 1 Slope"), "48"), 3.0f);
    EXPECT_FLOAT_EQ(typed(*findParameter(plugin, "Total Voices"), "16"), 8.0f);

    float plain = 0.0f;
    EXPECT_FALSE(findParameter(plugin, "Osc 1 Wave Form")->parseText("Saw", &plain));
    EXPECT_FALSE(findParameter(plugin, "Total Voices")->parseText("5", &plain));
    EXPECT_FALSE(freq.parseText("2 ms", &plain));
}

TEST(VornParameterValuesTest, AFreshInstanceStartsWithOneEnvelopeAndTwoStepsPerXLFO) {
    VornPlugin plugin;
    VornPlugin::Parameters& p = plugin.parameters();
    EXPECT_EQ(p.envelopes.activeCount(), 1);
    EXPECT_EQ(p.xlfos.activeCount(), 0);
    EXPECT_EQ(p.followers.activeCount(), 0);
    EXPECT_EQ(p.midiSources.activeCount(), 0);
    EXPECT_EQ(p.xyControllers.activeCount(), 0);
    EXPECT_EQ(p.slots.activeCount(), 0);
    for (int j = 0; j < 6; ++j) EXPECT_EQ(p.xlfos[j].steps.activeCount(), 2);
    EXPECT_EQ(p.oscillators[0].waveForm.formatValue(p.oscillators[0].waveForm.getValue()),
              "Sawtooth");
    EXPECT_EQ(p.oscillators[2].waveForm.formatValue(p.oscillators[2].waveForm.getValue()),
              "White Noise");
    EXPECT_EQ(p.totalVoices.value(), 4);
    EXPECT_EQ(p.unisonVoices.value(), 1);
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
    std::vector<Write> takeWrites() {
        applyParameterChanges();
        return std::exchange(writes, {});
    }
    std::vector<Write> writes;
};

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
    const auto writes = plugin.takeWrites();
    ASSERT_EQ(writes.size(), 3u);
    EXPECT_EQ(writes[0].target, 20);
    EXPECT_NEAR(writes[0].value, 2.2666f + 0.5f * (16.2064f - 2.2666f), 1e-5f);
    EXPECT_EQ(writes[0].rampMs, ModulationMatrixPlugin::kAutomaticRamp);
    EXPECT_EQ(writes[1].target, 100);
    EXPECT_NEAR(writes[1].value, 5.0f, 1e-6f);
    EXPECT_EQ(writes[2].target, 156);
    EXPECT_NEAR(writes[2].value, 0.05f, 1e-6f);
}

TEST(VornParameterValuesTest, OscillatorTuneAddsMasterScaleDetuneAndOctave) {
    TargetRecordingPlugin plugin;
    VornPlugin::Parameters& p = plugin.parameters();
    // Defaults: 16' and one octave up.
    for (int k = 0; k < 3; ++k) EXPECT_FLOAT_EQ(plugin.targetBaseValue(2 + 5 * k), 1.0f);

    // The detune glides.
    p.oscillators[1].detune.setValue(0.4f, 0);
    auto writes = plugin.takeWrites();
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].target, 7);
    EXPECT_NEAR(writes[0].value, 1.0f + 1.0f / 12.0f, 1e-6f);
    EXPECT_EQ(writes[0].rampMs, ModulationMatrixPlugin::kAutomaticRamp);

    // The octave jumps.
    p.oscillators[1].scale.setValue(3.0f, 0);
    writes = plugin.takeWrites();
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].target, 7);
    EXPECT_NEAR(writes[0].value, 3.0f + 1.0f / 12.0f, 1e-6f);
    EXPECT_EQ(writes[0].rampMs, 0.0f);

    // The master scale retunes all three at once: 32' is an octave down.
    p.masterScale.setValue(-1.0f, 0);
    writes = plugin.takeWrites();
    ASSERT_EQ(writes.size(), 3u);
    const float expected[] = {0.0f, 2.0f + 1.0f / 12.0f, 0.0f};
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(writes[k].target, 2 + 5 * k);
        EXPECT_NEAR(writes[k].value, expected[k], 1e-6f) << k;
        EXPECT_EQ(writes[k].rampMs, 0.0f);
    }
    EXPECT_NEAR(p.oscillators[1].tuneOctaves(), 2.0f + 1.0f / 12.0f, 1e-6f);

    p.oscillators[0].detune.setValue(-1.0f, 0);
    p.masterScale.setValue(2.0f, 0);
    plugin.takeWrites();
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

TEST(VornParameterValuesTest, FilterLinkKeepsTheDistanceTheUserSetByHand) {
    VornPlugin plugin;
    VornPlugin::Parameters& p = plugin.parameters();
    FloatPluginParameter& f1 = p.filters[0].freq;
    FloatPluginParameter& f2 = p.filters[1].freq;
    f1.setValue(0.5f, 0);
    f2.setValue(0.5f, 0);
    p.filterLinkFreq.applyNormalized(0.6f);
    EXPECT_NEAR(f1.getValue(), 0.6f, 1e-6f);
    EXPECT_NEAR(f2.getValue(), 0.6f, 1e-6f);

    // Moved by hand: the next controller move keeps the new distance.
    f2.setValue(0.8f, 0);
    p.filterLinkFreq.applyNormalized(0.5f);
    EXPECT_NEAR(f1.getValue(), 0.4f, 1e-6f);
    EXPECT_NEAR(f2.getValue(), 0.6f, 1e-6f);

    // Squeezed against the top, then restored when the controller comes back.
    p.filterLinkFreq.applyNormalized(0.95f);
    EXPECT_NEAR(f1.getValue(), 0.85f, 1e-6f);
    EXPECT_NEAR(f2.getValue(), 1.0f, 1e-6f);
    p.filterLinkFreq.applyNormalized(0.5f);
    EXPECT_NEAR(f1.getValue(), 0.4f, 1e-5f);
    EXPECT_NEAR(f2.getValue(), 0.6f, 1e-5f);
}

}  // namespace
