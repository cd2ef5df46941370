#include <gtest/gtest.h>

#include <filesystem>

#include "framework/AbstractPluginParameter.h"
#include "framework/PluginSettings.h"
#include "midi/MidiControllerMap.h"
#include "persistence/PluginStorage.h"
#include "persistence/RegistrySerializer.h"
#include "persistence/SettingsStore.h"
#include "tests/framework/TestPluginCore.h"
#include "tests/persistence/TemporaryUserFolders.h"

namespace {

using Value = SettingsStore::Value;

// The core with the platform storage of a chosen version.
class StoredPlugin : public TestPluginCore<AbstractPluginParameter> {
public:
    explicit StoredPlugin(VersionRecord version = VersionRecord(2, 0, 3))
        : version_(std::move(version)) {
        initialize();
    }
    static MidiControllerMap& controllerMap() {
        return static_cast<PluginStorage*>(storage())->controllerMap();
    }

protected:
    std::unique_ptr<Storage> createStorage() override {
        return std::make_unique<PluginStorage>(version_);
    }

private:
    VersionRecord version_;
};

TEST(PluginSettings, FirstRunIsTrueOncePerVersion) {
    TemporaryUserFolders folders;
    {
        StoredPlugin plugin;
        EXPECT_TRUE(GenericPlugin::isFirstRunOfVersion());
        EXPECT_TRUE(GenericPlugin::sharedSettings()->showWelcomeHint);
        // A second instance of the same process sees the same decision.
        StoredPlugin second;
        EXPECT_TRUE(GenericPlugin::isFirstRunOfVersion());
        GenericPlugin::sharedSettings()->showWelcomeHint = false;
    }
    {
        StoredPlugin plugin;
        EXPECT_FALSE(GenericPlugin::isFirstRunOfVersion());
        EXPECT_FALSE(GenericPlugin::sharedSettings()->showWelcomeHint);
    }
    // The same key with a newer version, again, and a beta: a version of its own.
    const std::pair<VersionRecord, bool> runs[] = {{VersionRecord(2, 0, 4), true},
                                                   {VersionRecord(2, 0, 4), false},
                                                   {VersionRecord(2, 0, 4, 1), true}};
    for (const auto& [version, first] : runs) {
        StoredPlugin plugin(version);
        EXPECT_EQ(GenericPlugin::isFirstRunOfVersion(), first) << version.versionString();
        if (first) {
            EXPECT_TRUE(GenericPlugin::sharedSettings()->showWelcomeHint);
        }
    }
}

TEST(PluginSettings, WritingStoresEveryValueWithItsType) {
    TemporaryUserFolders folders;
    {
        StoredPlugin plugin;
        GenericPlugin::SharedSettings& shared = *GenericPlugin::sharedSettings();
        shared.conserveMemory = 2;
        shared.showInteractiveHelp = false;
        shared.graphicsAcceleration = 0;
    }
    const std::string folder = (folders.documents() / "Vorn 2 Presets").string();
    SettingsStore::Values expected;
    expected["ConserveMemory"] = Value::ofDword(2);
    expected["CorrectDigiProductIds"] = Value::ofDword(1);
    expected["EnableMIDIProgramChanges"] = Value::ofDword(0);
    expected["GraphicsAcceleration"] = Value::ofDword(0);
    expected["SavePresetItemEnabled"] = Value::ofDword(0);
    expected["showInteractiveHelp"] = Value::ofDword(0);
    expected["showWelcomeHint"] = Value::ofDword(1);
    expected["ShowComponentDisplays"] = Value::ofDword(1);
    expected["PresetFolder"] = Value::ofString(folder);
    expected["CurrentVersion"] = Value::ofString("2.03");
    SettingsStore stored("Vorn/2.0");
    ASSERT_TRUE(stored.load());
    EXPECT_EQ(stored.values(), expected);
    EXPECT_TRUE(std::filesystem::exists(folders.config() / "Vorn" / "2.0.conf"));
    // The common key is only ever read.
    EXPECT_FALSE(std::filesystem::exists(folders.config() / "Vorn" / "Common.conf"));

    StoredPlugin plugin;
    EXPECT_EQ(GenericPlugin::sharedSettings()->conserveMemory, 2);
    EXPECT_FALSE(GenericPlugin::sharedSettings()->showInteractiveHelp);
    EXPECT_EQ(plugin.blockSize(), 64u);
    EXPECT_EQ(GenericPlugin::graphicsAcceleration(), 0);
    EXPECT_EQ(GenericPlugin::presetFolder(), folder);
}

TEST(PluginSettings, StoredValuesAreClampedOrReplacedByDefaults) {
    TemporaryUserFolders folders;
    storeSetting("Vorn/2.0", "ConserveMemory", Value::ofDword(9));
    storeSetting("Vorn/2.0", "CorrectDigiProductIds", Value::ofString("0"));  // wrong type
    storeSetting("Vorn/2.0", "showInteractiveHelp", Value::ofDword(0));
    storeSetting("Vorn/2.0", "PresetFolder", Value::ofString("/no/such/folder"));
    storeSetting("Vorn/2.0", "VST2_DefaultToNoSideChain", Value::ofDword(1));
    StoredPlugin plugin;
    const GenericPlugin::SharedSettings& shared = *GenericPlugin::sharedSettings();
    EXPECT_EQ(shared.conserveMemory, 4);
    EXPECT_EQ(plugin.blockSize(), 32u);
    EXPECT_TRUE(shared.correctDigiProductIds);
    EXPECT_FALSE(shared.showInteractiveHelp);
    EXPECT_EQ(GenericPlugin::presetFolder(), (folders.documents() / "Vorn 2 Presets").string());
    EXPECT_TRUE(GenericPlugin::optionFlags() & GenericPlugin::kOptionNoSideChainByDefault);
}

TEST(PluginSettings, AnExistingPresetFolderIsKeptAndTheCommonKeyOverridesGraphics) {
    TemporaryUserFolders folders;
    const std::filesystem::path mine = folders.documents() / "Mine";
    std::filesystem::create_directories(mine);
    storeSetting("Vorn/2.0", "PresetFolder", Value::ofString(mine.string()));
    storeSetting("Vorn/2.0", "GraphicsAcceleration", Value::ofDword(2));
    {
        StoredPlugin plugin;
        EXPECT_EQ(GenericPlugin::presetFolder(), mine.string());
        EXPECT_EQ(GenericPlugin::graphicsAcceleration(), 2);
    }
    storeSetting("Vorn/Common", "GraphicsAcceleration", Value::ofDword(0));
    {
        StoredPlugin plugin;
        EXPECT_EQ(GenericPlugin::graphicsAcceleration(), 0);
        // The product's own value is not touched by the override.
        EXPECT_EQ(GenericPlugin::sharedSettings()->graphicsAcceleration, 2);
    }
    storeSetting("Vorn/Common", "GraphicsAcceleration",
                 Value::ofDword(0xFFFFFFFFu));  // -1: no override
    StoredPlugin plugin;
    EXPECT_EQ(GenericPlugin::graphicsAcceleration(), 2);
}

// The file's layout and read rules have tests of their own; here: where it lives, and that a
// damaged one falls back to the built-in map.
TEST(PluginSettings, ControllerMapComesFromTheFileOrTheBuiltInMap) {
    TemporaryUserFolders folders;
    const std::filesystem::path file = folders.data() / "Vorn 2" / "MidiControllerMap.qvm";
    {
        StoredPlugin plugin;  // no file: the built-in map
        EXPECT_EQ(StoredPlugin::controllerMap().parameterFor(74), 32);
        StoredPlugin::controllerMap().assign(1, 32);  // takes Filter 1 Freq from controller 74
    }
    std::vector<uint8_t> saved = readBytes(file);
    ASSERT_EQ(saved.size(), 520u);
    {
        StoredPlugin plugin;
        EXPECT_EQ(StoredPlugin::controllerMap().parameterFor(1), 32);
        EXPECT_EQ(StoredPlugin::controllerMap().parameterFor(74), MidiControllerMap::kUnmapped);
    }
    saved[0] = 'X';
    writeBytes(file, saved);
    StoredPlugin plugin;
    EXPECT_EQ(StoredPlugin::controllerMap().parameterFor(74), 32);
    EXPECT_EQ(StoredPlugin::controllerMap().parameterFor(1), MidiControllerMap::kUnmapped);
}

TEST(PluginSettings, StorageDerivesItsPlacesFromTheVersion) {
    TemporaryUserFolders folders;
    PluginStorage one(VersionRecord(1, 2, 5));
    EXPECT_EQ(one.versionString(), "1.25");
    EXPECT_EQ(one.defaultPresetFolder(), (folders.documents() / "Vorn Presets").string());
    EXPECT_EQ(one.controllerMapPath(),
              (folders.data() / "Vorn" / "MidiControllerMap.qvm").string());
    EXPECT_EQ(one.version().settingsKey(), "Vorn/1.0");
    EXPECT_EQ(VersionRecord(3, 1, 0, 2).versionString(), "3.10 beta 2");
    EXPECT_EQ(VersionRecord(3, 1, 0, 2).folderName(), "Vorn 3");
    EXPECT_EQ(VersionRecord(0, 1, 0).versionString(), "0.10");
}

}  // namespace
