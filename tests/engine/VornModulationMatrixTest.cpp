#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "engine/VornEngine.h"
#include "engine/VornPlugin.h"
#include "engine/VornVoice.h"
#include "framework/FloatPluginParameter.h"
#include "framework/SynthNumbering.h"
#include "tests/engine/VornTestRig.h"

namespace {

constexpr int kLevel1 = ModulationSlotParameterSet::kFirstLevelTarget;

int aimedAt(const ModulationMatrix& m, int target, int slot) {
    const auto& slots = m.target(target).slots;
    return static_cast<int>(std::count(slots.begin(), slots.end(), slot));
}

// Every source number is fed by its own engine object, or per voice by the voice's own; it
// carries its kind's key and is active with its list entry.
TEST(VornModulationMatrix, SourceNumbersReachTheirUnits) {
    VornPlugin plugin;
    VornPlugin::Parameters& p = plugin.parameters();
    VornPlugin::Engine& e = plugin.engine();
    VornPlugin::VornVoice& voice = *e.voices[3];
    const ModulationMatrix& m = *plugin.modulationMatrix();
    ASSERT_EQ(m.sourceCount(), 34);
    ASSERT_EQ(m.targetCount(), 157);
    ASSERT_EQ(m.slotCount(), 50);
    ASSERT_EQ(m.firstLevelTarget(), kLevel1);
    std::vector<const wave::Producer*> expected;
    for (auto& xy : e.xyControllers) expected.insert(expected.end(), {&xy->hor, &xy->ver});
    for (auto& xlfo : e.xlfos) expected.push_back(xlfo.get());
    for (int k = 0; k < 6; ++k) expected.push_back(&voice.envelope(k));
    for (auto& follower : e.followers) expected.push_back(follower.get());
    for (int i = 0; i < 10; ++i) expected.push_back(&voice.midiSource(0, i));
    ASSERT_EQ(expected.size(), 34u);
    for (int s = 0; s < 34; ++s) EXPECT_EQ(voice.matrix().sourceFor(s, false), expected[s]) << s;
    EXPECT_EQ(voice.matrix().sourceFor(24, true), &voice.midiSource(1, 0));

    struct Kind {
        AbstractParameterSetList* list;
        int first, entries, perEntry, key;
    };
    const Kind kinds[] = {{&p.xyControllers, 0, 4, 2, 0},
                          {&p.xlfos, 8, 6, 1, 1},
                          {&p.envelopes, 14, 6, 1, 2},
                          {&p.followers, 20, 4, 1, 3},
                          {&p.midiSources, 24, 10, 1, 4}};
    for (const Kind& k : kinds) k.list->numActive().setValue(2.0f, 0);
    plugin.applyParameterChanges();
    for (const Kind& k : kinds) {
        for (int s = k.first; s < k.first + k.entries * k.perEntry; ++s) {
            EXPECT_EQ(m.source(s).key, k.key) << s;
            EXPECT_EQ(m.source(s).active, s < k.first + 2 * k.perEntry) << s;
        }
    }
}

// A slot at full Level sweeps a target's whole parameter range and the modulated value stays
// inside it; pitch targets count in octaves, at most 10 either way. (Depths were once left at 1.)
TEST(VornModulationMatrix, FullLevelSweepsEveryTargetsWholeRange) {
    VornPlugin plugin;
    VornPlugin::Parameters& p = plugin.parameters();
    const ModulationMatrix& m = *plugin.modulationMatrix();
    p.xyControllers.numActive().setValue(1.0f, 0);
    p.slots[0].source.setValue(1.0f, 0);  // XY 1 Hor
    p.slots[0].level.setValue(1.0f, 0);
    for (int t = 0; t < kLevel1; ++t) {
        if (m.target(t).group >= 0) continue;  // bounded by the group table
        p.slots[0].target.setValue(static_cast<float>(t + 1), 0);
        plugin.applyParameterChanges();
        const auto* q = dynamic_cast<FloatPluginParameter*>(plugin.targetParameter(t));
        ASSERT_NE(q, nullptr) << t;
        const float a = q->engineValue(q->getMinimum());
        const float b = q->engineValue(q->getMaximum());
        const bool pitch = t == 0 || t == 2 || t == 7 || t == 12;  // Master Tune, Osc Detunes
        const float span = pitch ? 1.0f : std::fabs(b - a);
        EXPECT_NEAR(m.target(kLevel1).scale * m.target(kLevel1).base, span, 1e-5f * span)
            << q->name();
        EXPECT_FLOAT_EQ(m.target(t).lower, pitch ? -10.0f : std::min(a, b)) << q->name();
        EXPECT_FLOAT_EQ(m.target(t).upper, pitch ? 10.0f : std::max(a, b)) << q->name();
    }
}

// At full level every kind of source moves a delay time as far as an XLFO does, 500 ms a unit;
// XY pads, followers and MIDI sources once moved it by a millisecond.
TEST(VornModulationMatrix, EveryKindOfSourceMovesTheDelayTimeAsFarAsAnXlfo) {
    struct Case {
        const char* source;
        std::vector<const char*> setup;
        float unit;  // the source's value at the end of the render
    };
    const Case cases[] = {
        {"XY 1 Hor", {"Num Active XY Controllers=1", "XY Controller 1 Hor=1"}, 1.0f},
        {"MIDI 1", {"Num Active MIDI Sources=1"}, 1.0f},  // the mod wheel, raised to 127
        {"EF 1", {"Num Active EFs=1"}, NAN},              // follows the side chain's level
    };
    const int time = synth::delayTarget(0, 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        float moved[2] = {};
        float unit = c.unit;
        for (int level = 0; level < 2; ++level) {
            VornTestRig rig;
            for (const char* s : c.setup) rig.set(s);
            rig.set({"Delay Enabled=Enabled", "Num Active Slots=1", "Slot 1 Target=Delay 1 Time"});
            rig.set(std::string("Slot 1 Source=") + c.source);
            rig.set(level ? "Slot 1 Level=1" : "Slot 1 Level=0");
            rig.midi(0xB0, 1, 127);
            rig.noteOn(60);
            const int frames = rig.frames(0.3);
            VornTestRig::Stereo sideChain{std::vector<float>(size_t(frames), 0.5f),
                                          std::vector<float>(size_t(frames), 0.5f)};
            rig.render(frames, VornTestRig::kBlockFrames, 2, &sideChain);
            moved[level] = rig.engine().master.target(time).outputData()[0];
            if (std::isnan(unit))
                unit = rig.plugin().modulationDisplayValue(synth::kFirstFollowerSource);
        }
        ASSERT_GT(unit, 0.1f);
        EXPECT_NEAR(moved[1] - moved[0], 500.0f * unit, 25.0f * unit) << moved[0];
    }
}

// Slot parameters reach the matrix only when the audio thread applies the queued changes (edits
// from another thread while rendering are the real-time suite's).
TEST(VornModulationMatrix, SlotParametersWriteTheSlotRecords) {
    VornPlugin plugin;
    VornPlugin::Parameters& p = plugin.parameters();
    const ModulationMatrix* m = plugin.modulationMatrix();
    // Sources of list entries in use only: XY 3 is entry 2.
    p.xyControllers.numActive().setValue(3.0f, 0);
    ModulationSlotParameterSet& slot = p.slots[2];
    slot.source.setValue(6.0f, 0);
    slot.target.setValue(4.0f, 0);
    slot.inverted.setValue(1.0f, 0);
    slot.level.setValue(0.25f, 0);
    EXPECT_EQ(m->slot(2).source, -1);
    plugin.applyParameterChanges();
    EXPECT_EQ(m->slot(2).source, 5);
    EXPECT_EQ(m->slot(2).target, 3);
    EXPECT_TRUE(m->slot(2).inverted);
    EXPECT_NE(m->slot(2).state, ModulationMatrix::kStateInactive);
    EXPECT_EQ(aimedAt(*m, 3, 2), 1);
    EXPECT_FLOAT_EQ(m->target(kLevel1 + 2).base, slot.level.engineValue(0.25f));
    EXPECT_LT(m->target(kLevel1 + 2).scale, 0.0f);  // inverted

    slot.bypassed.setValue(1.0f, 0);
    plugin.applyParameterChanges();
    EXPECT_EQ(m->slot(2).state, ModulationMatrix::kStateInactive);
    slot.target.setValue(0.0f, 0);
    plugin.applyParameterChanges();
    EXPECT_EQ(m->slot(2).target, -1);
    EXPECT_TRUE(m->target(3).slots.empty());

    p.masterTune.setValue(0.5f, 0);
    plugin.applyParameterChanges();
    EXPECT_FLOAT_EQ(m->target(0).base, p.masterTune.engineValue(0.5f));

    // The lists' parameter controller asks the matrix which slots are valid.
    for (int i = 0; i < ModulationSlotParameterSet::kCount; ++i) {
        p.slots[i].source.setValue(1.0f, 0);
        p.slots[i].target.setValue(1.0f, 0);
        p.slots[i].bypassed.setValue(i == 7 ? 1.0f : 0.0f, 0);
    }
    plugin.applyParameterChanges();
    auto* c = dynamic_cast<ModulationMatrix::Controller*>(p.slots.controller());
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->findFreeSlot(), 7);
}

}  // namespace
