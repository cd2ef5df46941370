#include <gtest/gtest.h>

#include "engine/VornSettings.h"
#include "framework/AbstractPluginParameter.h"
#include "framework/MidiVirtualPluginParameter.h"
#include "midi/MidiControllerMap.h"
#include "midi/MidiLearnSelection.h"
#include "persistence/SettingsStore.h"
#include "persistence/VersionRecord.h"
#include "tests/engine/VornTestRig.h"
#include "tests/persistence/TemporaryUserFolders.h"

namespace {

using Value = SettingsStore::Value;

VornPlugin::VornSettings& settingsOf(VornPlugin& plugin) {
    return static_cast<VornPlugin::VornSettings&>(plugin.settings());
}

TEST(VornSettings, LayoutSettingsAreStoredClampedAndSizeTheEditor) {
    TemporaryUserFolders folders;
    {
        VornPlugin plugin;
        VornPlugin::VornSettings& s = settingsOf(plugin);
        EXPECT_EQ(s.expandedSection, -1);
        EXPECT_EQ(s.interfaceLayout, 0);
        EXPECT_FALSE(s.showModulation);
        EXPECT_EQ(plugin.editorWidth(), 449);
        EXPECT_EQ(plugin.editorHeight(), 780);
        s.showModulation = true;
        s.interfaceLayout = 1;
        s.expandedSection = 3;
        s.sustainPedal = false;
        EXPECT_EQ(plugin.editorWidth(), 554);
        EXPECT_EQ(plugin.editorHeight(), 1066);
    }
    SettingsStore file(VersionRecord().settingsKey());
    ASSERT_TRUE(file.load());
    EXPECT_EQ(*file.find("ExpandedSection"), Value::ofDword(3));
    EXPECT_EQ(*file.find("InterfaceLayout"), Value::ofDword(1));
    EXPECT_EQ(*file.find("ShowModulation"), Value::ofDword(1));
    EXPECT_EQ(*file.find("SustainPedal"), Value::ofDword(0));

    storeSetting(VersionRecord().settingsKey(), "InterfaceLayout", Value::ofDword(5));
    storeSetting(VersionRecord().settingsKey(), "ShowModulation",
                 Value::ofString("1"));  // wrong type: default
    VornPlugin plugin;
    EXPECT_EQ(settingsOf(plugin).interfaceLayout, 1);
    EXPECT_FALSE(settingsOf(plugin).showModulation);
    EXPECT_EQ(settingsOf(plugin).expandedSection, 3);
    EXPECT_FALSE(settingsOf(plugin).sustainPedal);
    EXPECT_EQ(plugin.editorHeight(), 1066);
    EXPECT_EQ(plugin.editorWidth(), 449);
}

TEST(VornSettings, TheBuiltInControllerMapNamesItsParameters) {
    TemporaryUserFolders folders;
    VornPlugin plugin;
    const std::pair<int, const char*> factory[] = {
        {5, "Portamento"},       {7, "Output Volume"},      {20, "Osc 1 Scale"},
        {21, "Osc 1 Wave Form"}, {22, "Osc 1 Detune"},      {23, "Osc 1 Pulse Width"},
        {25, "XLFO 1 Balance"},  {26, "Filter 2 Freq"},     {27, "Filter 2 Peak"},
        {28, "Osc 2 Detune"},    {29, "Osc 2 Pulse Width"}, {71, "Filter 1 Peak"},
        {72, "EG Main Release"}, {73, "EG Main Attack"},    {74, "Filter 1 Freq"},
        {75, "EG Main Decay"},   {76, "XLFO 1 Frequency"},  {78, "Osc 2 Scale"},
        {79, "EG Main Sustain"}, {87, "Osc 2 Wave Form"},   {89, "XLFO 1 Glide"},
        {103, "Polyphony"}};
    const MidiControllerMap& map = VornPlugin::controllerMap();
    int mapped = 0;
    for (int c = 0; c < MidiControllerMap::kControllers; ++c) mapped += map.parameterFor(c) >= 0;
    EXPECT_EQ(mapped, static_cast<int>(std::size(factory)));
    for (const auto& [controller, name] : factory) {
        AbstractPluginParameter* p = plugin.getParameter(map.parameterFor(controller));
        ASSERT_NE(p, nullptr) << controller;
        EXPECT_EQ(p->name(), name) << controller;
    }
}

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
