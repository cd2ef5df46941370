// The CLAP instrument through a host of our own: its description, notes at their sample, host
// parameter changes against the LV2 plug-in, state, every block size and the values it reports.

#include <clap/ext/audio-ports.h>
#include <clap/ext/note-ports.h>
#include <clap/ext/params.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "engine/VornPlugin.h"
#include "engine/VornPresets.h"
#include "framework/AbstractPluginParameter.h"
#include "tests/engine/VornTestRig.h"
#include "tests/host/clap/ClapTestHost.h"
#include "tests/host/common/HostTestSupport.h"
#include "tests/host/lv2/Lv2TestHost.h"

namespace {

constexpr double kRate = 48000.0;

std::string module() {
    return VORN_CLAP_MODULE;
}

clap_id idOf(const std::string& name) {
    for (int id = 0; id < reference().getParameterCount(); ++id) {
        if (reference().getParameter(id)->name() == name) return static_cast<clap_id>(id);
    }
    ADD_FAILURE() << name;
    return 0;
}

bool finiteAndBounded(const std::array<std::vector<float>, 2>& out) {
    const auto bounded = [](float s) { return std::fabs(s) < 15.848932f; };  // +24 dBFS
    return std::all_of(out[0].begin(), out[0].end(), bounded) &&
           std::all_of(out[1].begin(), out[1].end(), bounded);
}

}  // namespace

TEST(ClapPlugin, DescribesItselfAndEveryParameter) {
    ClapTestInstance clap(module(), kRate);
    EXPECT_STREQ(clap.plugin()->desc->id, "org.vorn.synth");
    EXPECT_STREQ(clap.plugin()->desc->features[0], CLAP_PLUGIN_FEATURE_INSTRUMENT);

    const auto* audio = clap.extension<clap_plugin_audio_ports_t>(CLAP_EXT_AUDIO_PORTS);
    clap_audio_port_info_t port{};
    ASSERT_TRUE(audio->get(clap.plugin(), 0, false, &port));
    EXPECT_EQ(port.channel_count, 2u);
    EXPECT_TRUE(port.flags & CLAP_AUDIO_PORT_IS_MAIN);
    ASSERT_TRUE(audio->get(clap.plugin(), 0, true, &port));
    EXPECT_STREQ(port.name, "Side Chain");
    EXPECT_FALSE(port.flags & CLAP_AUDIO_PORT_IS_MAIN);
    const auto* notes = clap.extension<clap_plugin_note_ports_t>(CLAP_EXT_NOTE_PORTS);
    clap_note_port_info_t notePort{};
    ASSERT_TRUE(notes->get(clap.plugin(), 0, true, &notePort));
    EXPECT_EQ(notePort.supported_dialects, CLAP_NOTE_DIALECT_CLAP | CLAP_NOTE_DIALECT_MIDI);

    // Every parameter with its own range and texts, both ways.
    const auto* params = clap.extension<clap_plugin_params_t>(CLAP_EXT_PARAMS);
    ASSERT_EQ(params->count(clap.plugin()), static_cast<uint32_t>(reference().getParameterCount()));
    for (uint32_t id = 0; id < params->count(clap.plugin()); ++id) {
        const AbstractPluginParameter& p = *reference().getParameter(static_cast<int>(id));
        SCOPED_TRACE(p.name());
        clap_param_info_t info{};
        ASSERT_TRUE(params->get_info(clap.plugin(), id, &info));
        EXPECT_EQ(info.name, p.name());
        EXPECT_EQ(info.min_value, p.getMinimum());
        EXPECT_EQ(info.max_value, p.getMaximum());
        EXPECT_EQ(info.default_value, p.getDefault());
        EXPECT_EQ(bool(info.flags & CLAP_PARAM_IS_STEPPED),
                  p.kind() == AbstractPluginParameter::kIndexed);
        EXPECT_EQ(bool(info.flags & CLAP_PARAM_IS_AUTOMATABLE), p.isAutomatable());
        char text[64];
        ASSERT_TRUE(params->value_to_text(clap.plugin(), id, p.getMaximum(), text, sizeof text));
        EXPECT_EQ(text, p.formatValue(p.getMaximum()));
        double back = 0.0;
        ASSERT_TRUE(params->text_to_value(clap.plugin(), id, text, &back));
        EXPECT_EQ(p.formatValue(static_cast<float>(back)), text);
    }
    clap_param_info_t none{};
    EXPECT_FALSE(params->get_info(clap.plugin(), params->count(clap.plugin()), &none));
}

TEST(ClapPlugin, NotesSoundAtTheirSampleInEitherDialect) {
    for (const double rate : {44100.0, 96000.0}) {
        for (const bool midi : {false, true}) {
            SCOPED_TRACE(std::to_string(rate) + (midi ? " MIDI" : " CLAP notes"));
            ClapTestInstance clap(module(), rate);
            clap.render(512, {512});
            if (midi)
                clap.midi(300, {0x90, 69, 127});
            else
                clap.note(300, CLAP_EVENT_NOTE_ON, 69, 1.0);
            const auto out = clap.render(512, {512});
            EXPECT_EQ(firstNonZero(out[0]), 300u);
            EXPECT_EQ(firstNonZero(out[1]), 300u);
            EXPECT_EQ(clap.blockingCalls(), 0u);
        }
    }
}

// The same change from the host sounds the same through CLAP and LV2, to the sample, also in the
// middle of a block (CLAP splits the block there; the LV2 host runs two blocks).
TEST(ClapPlugin, ParameterChangesPlayAsThroughLv2) {
    Lv2TestWorld world(std::string(VORN_LV2_PATH) + ":/usr/lib/lv2");
    Lv2TestInstance lv2(world, world.plugin("urn:vorn:synth"), kRate);
    ClapTestInstance clap(module(), kRate);
    const clap_id peak = idOf("Filter 1 Peak"), volume = idOf("Output Volume");
    std::vector<float> clapOut[2], lv2Out[2];
    const auto keep = [](std::vector<float>* to, const std::array<std::vector<float>, 2>& from) {
        for (int c = 0; c < 2; ++c) to[c].insert(to[c].end(), from[c].begin(), from[c].end());
    };
    clap.midi(10, {0x90, 57, 100});
    lv2.midi(10, {0x90, 57, 100});
    keep(clapOut, clap.render(256, {256}));
    keep(lv2Out, lv2.render(256, {256}));
    clap.param(0, peak, 0.7);
    clap.param(100, volume, 0.4);
    lv2.setControl("filter_1_peak", 0.7f);
    keep(clapOut, clap.render(256, {256}));
    keep(lv2Out, lv2.render(100, {100}));
    lv2.setControl("output_volume", 0.4f);
    keep(lv2Out, lv2.render(156, {156}));
    keep(clapOut, clap.render(24000, {256}));
    keep(lv2Out, lv2.render(24000, {256}));
    ASSERT_GT(*std::max_element(clapOut[0].begin(), clapOut[0].end()), 0.01f);
    EXPECT_EQ(clapOut[0], lv2Out[0]);
    EXPECT_EQ(clapOut[1], lv2Out[1]);
    EXPECT_EQ(clap.value(peak), 0.7f);
}

// The state holds every value and the preset name; saved again after a load it is the same to
// the byte, and two instances that load it play alike. Damaged states are refused.
TEST(ClapState, RoundTripsBitExact) {
    ClapTestInstance a(module(), kRate), b(module(), kRate);
    a.param(0, idOf("Osc 1 Wave Form"), 2.0);
    a.param(0, idOf("Filter 1 Peak"), 0.4);
    a.param(0, idOf("Output Volume"), 0.6);
    a.render(256, {256});
    const std::vector<uint8_t> saved = a.save();
    ASSERT_GT(saved.size(), 4u * reference().getParameterCount());
    ASSERT_TRUE(b.load(saved));
    EXPECT_EQ(b.save(), saved);
    EXPECT_EQ(b.value(idOf("Osc 1 Wave Form")), 2.0);
    // What b now holds reaches its host at the next block.
    b.render(256, {256});
    const auto& reported = b.reported();
    EXPECT_TRUE(std::any_of(reported.begin(), reported.end(), [&](const auto& e) {
        return e.type == CLAP_EVENT_PARAM_VALUE && e.id == idOf("Filter 1 Peak") && e.value == 0.4f;
    }));

    ASSERT_TRUE(a.load(saved));
    a.midi(0, {0x90, 60, 100});
    b.midi(0, {0x90, 60, 100});
    const auto outA = a.render(12000, {256}), outB = b.render(12000, {256});
    EXPECT_EQ(outA, outB);

    for (const size_t cut : {size_t(0), size_t(3), size_t(11), saved.size() / 2}) {
        EXPECT_FALSE(b.load(std::vector<uint8_t>(saved.begin(), saved.begin() + cut))) << cut;
    }
    std::vector<uint8_t> foreign = saved;
    foreign[0] = 'X';
    EXPECT_FALSE(b.load(foreign));
    EXPECT_EQ(b.save(), saved);
}

TEST(ClapPlugin, EveryBlockSizeStaysFiniteAndBounded) {
    for (const double rate : {44100.0, 96000.0}) {
        for (const uint32_t block : {1u, 2u, 3u, 7u, 16u, 64u, 100u, 256u, 1000u, 4096u}) {
            SCOPED_TRACE(std::to_string(rate) + " Hz, " + std::to_string(block) + " frames");
            ClapTestInstance clap(module(), rate);
            clap.note(0, CLAP_EVENT_NOTE_ON, 48, 1.0);
            clap.midi(0, {0x90, 67, 127});
            clap.param(0, idOf("Filter 1 Peak"), 1.0);
            const auto out = clap.render(static_cast<uint32_t>(rate / 8), {block});
            EXPECT_TRUE(finiteAndBounded(out));
            EXPECT_GT(*std::max_element(out[0].begin(), out[0].end()), 0.0f);
            EXPECT_EQ(clap.blockingCalls(), 0u);
        }
    }
}

// A host tracks voices: each note it started ends with a note-end event once its last voice is
// silent, with the note's id; a note still releasing has not ended.
TEST(ClapPlugin, NotesEndWhenTheirVoicesFallSilent) {
    ClapTestInstance clap(module(), kRate);
    clap.note(0, CLAP_EVENT_NOTE_ON, 60, 0.8, 7);
    clap.midi(0, {0x90, 64, 100});
    clap.render(4800, {256});
    clap.note(0, CLAP_EVENT_NOTE_OFF, 60, 0.0, 7);
    clap.midi(0, {0x80, 64, 0});
    std::vector<ClapTestInstance::Report> ends;
    std::vector<float> left(256), right(256);
    int blocks = 0;
    for (; blocks < 2000 && ends.size() < 2; ++blocks) {
        clap.process(256, left.data(), right.data());
        for (const auto& r : clap.reported())
            if (r.type == CLAP_EVENT_NOTE_END) ends.push_back(r);
    }
    ASSERT_EQ(ends.size(), 2u);
    EXPECT_GT(blocks, 1) << "ended before the release";
    std::sort(ends.begin(), ends.end(),
              [](const auto& a, const auto& b) { return a.value < b.value; });
    EXPECT_EQ(ends[0].value, 60.0);
    EXPECT_EQ(ends[0].id, 7u);
    EXPECT_EQ(ends[1].value, 64.0);
    EXPECT_EQ(ends[1].id, static_cast<clap_id>(-1));
}

// The state keeps a tuning: a 19-tone scale plays other pitches than equal temperament and comes
// back to the byte; a scale that is refused leaves equal temperament and the rest of the state.
// A note's tuning expression bends that note only, also when it comes with the note-on.
TEST(ClapPlugin, NoteTuningExpressionsBendTheirNote) {
    std::array<double, 2> hz{};
    for (const bool bent : {false, true}) {
        ClapTestInstance clap(module(), kRate);
        clap.param(0, idOf("Osc 1 Wave Form"), 3.0);  // sine
        clap.param(0, idOf("Osc 2 Enabled"), 0.0);
        clap.param(0, idOf("Osc 3 Enabled"), 0.0);
        clap.render(256, {256});
        clap.note(0, CLAP_EVENT_NOTE_ON, 69, 1.0);
        if (bent) {
            clap.expression(0, CLAP_NOTE_EXPRESSION_TUNING, 69, 1.0);
            clap.expression(10, CLAP_NOTE_EXPRESSION_TUNING, 60, 7.0);  // no note there
        }
        const auto out = clap.render(24000, {256});
        hz[bent] = zeroCrossingFrequency(out[0], static_cast<float>(kRate), 2400);
    }
    EXPECT_NEAR(1200.0 * std::log2(hz[1] / hz[0]), 100.0, 0.5);
}

TEST(ClapState, KeepsTheTuning) {
    ClapTestInstance plain(module(), kRate), tuned(module(), kRate);
    const std::vector<uint8_t> untuned = plain.save();
    const auto withScale = [&](const std::string& scale) {
        // The last two fields are the empty .scl and .kbm texts.
        std::vector<uint8_t> bytes(untuned.begin(), untuned.end() - 8);
        for (const uint32_t size : {static_cast<uint32_t>(scale.size())}) {
            for (int k = 0; k < 4; ++k) bytes.push_back(static_cast<uint8_t>(size >> (8 * k)));
        }
        bytes.insert(bytes.end(), scale.begin(), scale.end());
        bytes.insert(bytes.end(), 4, 0);
        return bytes;
    };
    std::string edo19 = "! 19 equal\n19-EDO\n19\n";
    for (int step = 1; step <= 19; ++step) edo19 += std::to_string(1200.0 * step / 19) + "\n";
    const std::vector<uint8_t> state = withScale(edo19);
    ASSERT_TRUE(tuned.load(state));
    EXPECT_EQ(tuned.save(), state);
    const auto play = [](ClapTestInstance& clap) {
        clap.midi(0, {0x90, 72, 100});
        return clap.render(4800, {256});
    };
    ASSERT_TRUE(plain.load(untuned));
    const auto equal = play(plain);
    EXPECT_NE(play(tuned), equal);

    ClapTestInstance refused(module(), kRate);
    ASSERT_TRUE(refused.load(withScale("! no count\nbroken\n")));
    EXPECT_EQ(refused.save(), untuned);
    EXPECT_EQ(play(refused), equal);
}
