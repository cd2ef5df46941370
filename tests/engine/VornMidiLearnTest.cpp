#include <gtest/gtest.h>

#include <string>

#include "framework/AbstractPluginParameter.h"
#include "framework/MidiVirtualPluginParameter.h"
#include "midi/MidiControllerMap.h"
#include "midi/MidiLearnSelection.h"
#include "tests/engine/VornTestRig.h"
#include "tests/persistence/TemporaryUserFolders.h"

namespace {

constexpr uint8_t kController = 0xB0;
constexpr int32_t kFilterLinkFreq = MidiVirtualPluginParameter::kFirstId;

float normalized(const AbstractPluginParameter& p) {
    return p.plainToNormalized(p.getValue());
}

void setNormalized(AbstractPluginParameter& p, float n) {
    p.setValue(p.normalizedToPlain(n), 0);
}

// The editor's learn flow end to end: select a target, move a controller, and from then on the
// controller drives it from the audio thread; a link target moves both filters keeping their
// distance, and the learned pairs come back from the saved map.
TEST(VornMidiLearn, LearnedControllersDriveHostAndLinkParametersAndSurviveSaveAndLoad) {
    TemporaryUserFolders folders;
    VornTestRig rig;
    VornPlugin& plugin = rig.plugin();
    MidiControllerMap& map = VornPlugin::controllerMap();
    AbstractPluginParameter& f1 = plugin.parameters().filters[0].freq;
    AbstractPluginParameter& f2 = plugin.parameters().filters[1].freq;
    const auto f1Id = static_cast<int32_t>(f1.id());
    ASSERT_EQ(map.parameterFor(74), f1Id);  // the factory map

    EXPECT_EQ(plugin.learnableParameterName(f1Id), "Filter 1 Freq");
    EXPECT_EQ(plugin.learnableParameterName(kFilterLinkFreq), "Filter Link Freq");
    EXPECT_EQ(plugin.learnableParameterName(kFilterLinkFreq + 4), "");
    MidiLearnSelection selection;
    selection.selectLearnTarget(0, false, f1Id, plugin.learnableParameterName(f1Id));
    plugin.setLearnParameter(selection.learnParameter());
    rig.midi(kController, 21, 100);
    rig.render(64);
    EXPECT_EQ(map.parameterFor(21), f1Id);
    EXPECT_EQ(map.parameterFor(74), MidiControllerMap::kUnmapped);
    EXPECT_NEAR(normalized(f1), 100.0f / 127.0f, 1e-5f);

    selection.selectLearnTarget(0, true, kFilterLinkFreq, "Filter Link Freq");
    plugin.setLearnParameter(selection.learnParameter());
    setNormalized(f1, 0.5f);
    setNormalized(f2, 0.7f);
    rig.midi(kController, 22, 64);
    rig.render(64);
    plugin.setLearnParameter(MidiLearnSelection::kNoParameter);
    EXPECT_EQ(map.parameterFor(22), kFilterLinkFreq);
    EXPECT_EQ(map.parameterFor(21), f1Id);

    // Controller value, then both normalised frequencies: the distance of 0.2 is kept, squeezed
    // at the ends and restored; a hand-made distance counts from the next move on.
    const float mid = 64.0f / 127.0f;
    const float handDistance = (0.9f - (mid - 0.1f)) / 2.0f;  // from the mean, after the hand move
    const struct {
        int value;
        float handSetF2;  // < 0: untouched
        float f1, f2;
    } moves[] = {
        {127, -1.0f, 0.9f, 1.0f},
        {0, -1.0f, 0.0f, 0.1f},
        {64, -1.0f, mid - 0.1f, mid + 0.1f},
        {64, 0.9f, mid - handDistance, mid + handDistance},
    };
    for (const auto& m : moves) {
        SCOPED_TRACE(m.value);
        if (m.handSetF2 >= 0.0f) setNormalized(f2, m.handSetF2);
        rig.midi(kController, 22, static_cast<uint8_t>(m.value));
        rig.render(64);
        EXPECT_NEAR(normalized(f1), m.f1, 2e-5f);
        EXPECT_NEAR(normalized(f2), m.f2, 2e-5f);
    }

    ASSERT_TRUE(plugin.saveMidiControllerMap());
    plugin.resetMidiControllerMap();
    EXPECT_EQ(map.parameterFor(22), 2);  // the factory's Osc 1 Detune
    ASSERT_TRUE(plugin.loadMidiControllerMap());
    EXPECT_EQ(map.parameterFor(22), kFilterLinkFreq);
    EXPECT_EQ(map.parameterFor(21), f1Id);
    EXPECT_EQ(map.parameterFor(74), MidiControllerMap::kUnmapped);
}

}  // namespace
