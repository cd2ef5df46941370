#include <gtest/gtest.h>

#include "engine/VornSettings.h"
#include "midi/MidiControllerMap.h"
#include "persistence/SettingsStore.h"
#include "persistence/VersionRecord.h"
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
        EXPECT_EQ(plugin.editorWidth(), 554);
        EXPECT_EQ(plugin.editorHeight(), 1066);
    }
    SettingsStore file(VersionRecord().settingsKey());
    ASSERT_TRUE(file.load());
    EXPECT_EQ(*file.find("ExpandedSection"), Value::ofDword(3));
    EXPECT_EQ(*file.find("InterfaceLayout"), Value::ofDword(1));
    EXPECT_EQ(*file.find("ShowModulation"), Value::ofDword(1));

    storeSetting(VersionRecord().settingsKey(), "InterfaceLayout", Value::ofDword(5));
    storeSetting(VersionRecord().settingsKey(), "ShowModulation",
                 Value::ofString("1"));  // wrong type: default
    VornPlugin plugin;
    EXPECT_EQ(settingsOf(plugin).interfaceLayout, 1);
    EXPECT_FALSE(settingsOf(plugin).showModulation);
    EXPECT_EQ(settingsOf(plugin).expandedSection, 3);
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

}  // namespace
