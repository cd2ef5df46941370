#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "engine/VornPlugin.h"
#include "engine/VornPresets.h"
#include "framework/AbstractPluginParameter.h"
#include "framework/PluginSettings.h"
#include "framework/StateSnapshot.h"
#include "persistence/ComponentPresetTypes.h"
#include "persistence/ParameterRecord.h"
#include "tests/engine/ProgramRun.h"
#include "tests/engine/VornParameterTestSupport.h"
#include "tests/persistence/TemporaryUserFolders.h"

namespace {

namespace fs = std::filesystem;

class CountingAdapter : public GenericPlugin::Adapter {
public:
    void onLatencyChanged() override {}
    void onParameterChanged(int id) override { parameterChanges += id == -1 ? 1 : 0; }
    void onPresetChanged() override { ++presetChanges; }
    int parameterChanges = 0;
    int presetChanges = 0;
};

// Settings and the preset folder live in a fresh folder per test. Instances start without the
// factory install and the default preset unless a test turns them on.
class VornPresetsTest : public ::testing::Test {
protected:
    void TearDown() override { VornPresets::setStartupPresets(false); }

    static void randomize(const std::vector<AbstractPluginParameter*>& parameters,
                          std::mt19937& random) {
        std::uniform_real_distribution<float> unit(0.0f, 1.0f);
        for (AbstractPluginParameter* p : parameters)
            p->setValue(p->normalizedToPlain(unit(random)), 0);
    }
    static std::string presetFolder() { return VornPresets::presetManager(-1)->path(); }
    // The preset the plugin shows: its name and path, unmodified.
    static void expectCurrent(VornPlugin& plugin, const std::string& name,
                              const std::string& path) {
        EXPECT_EQ(plugin.currentPreset().name, name);
        EXPECT_EQ(plugin.currentPreset().path, path);
        EXPECT_FALSE(plugin.currentPreset().isModified());
    }

    TemporaryUserFolders folders_;
};

TEST_F(VornPresetsTest, SavedPresetIsACurrentRecordThatLoadsBackExceptWetEnabled) {
    VornPlugin source;
    std::mt19937 random(7);
    randomize(ParameterCollection::of(source).parameters, random);
    findParameter(source, "Wet Enabled")->setValue(0.0f, 0);
    CountingAdapter sourceAdapter;
    source.setAdapter(&sourceAdapter);

    const std::string path = presetFolder() + "Bright Lead.qvp";
    ASSERT_TRUE(source.savePreset(path));
    expectCurrent(source, "Bright Lead", path);
    EXPECT_EQ(sourceAdapter.presetChanges, 1);
    const std::vector<uint8_t> bytes = readBytes(path);
    ASSERT_EQ(bytes.size(), 3544u);
    EXPECT_EQ(std::memcmp(bytes.data(), "QV2i\x08\x00\x00\x00\x73\x03\x00\x00", 12), 0);
    // The folder was rescanned: the new file is an entry.
    const auto entry = VornPresets::presetManager(-1)->findByName("Bright Lead");
    ASSERT_TRUE(entry);

    VornPlugin target;
    CountingAdapter adapter;
    target.setAdapter(&adapter);
    ASSERT_TRUE(target.presets().loadPreset(*entry));
    std::vector<float> expected = captureValues(source);
    const int wet = static_cast<int>(findParameter(target, "Wet Enabled")->id());
    expected[static_cast<size_t>(wet)] = 1.0f;
    const std::vector<float> loaded = captureValues(target);
    ASSERT_EQ(loaded.size(), expected.size());
    EXPECT_EQ(std::memcmp(loaded.data(), expected.data(), sizeof(float) * loaded.size()), 0);
    expectCurrent(target, "Bright Lead", path);
    // One batch: a single "all parameters" change, then the preset change.
    EXPECT_EQ(adapter.parameterChanges, 1);
    EXPECT_EQ(adapter.presetChanges, 1);
}

TEST_F(VornPresetsTest, AFileThatDoesNotLoadShowsTheMessageAndKeepsTheCurrentPreset) {
    VornPlugin plugin;
    std::vector<std::string> messages;
    plugin.presets().setMessageSink([&](const std::string& text) { messages.push_back(text); });
    const std::string good = presetFolder() + "Good.qvp";
    ASSERT_TRUE(plugin.savePreset(good));

    // The same record under another maker's identifier; which versions load is the record's test.
    std::vector<uint8_t> bytes = readBytes(good);
    const std::string wrongId = presetFolder() + "Other.qvp";
    std::memcpy(bytes.data(), "QVxx", 4);
    writeBytes(wrongId, bytes);

    const float tune = 0.25f;
    findParameter(plugin, "Master Tune")->setValue(tune, 0);
    for (const std::string& path : {wrongId, presetFolder() + "Missing.qvp"}) {
        EXPECT_FALSE(plugin.presets().loadPreset(PresetEntry::fromPath(path))) << path;
        EXPECT_EQ(plugin.currentPreset().name, "Good") << path;
        EXPECT_EQ(plugin.currentPreset().path, good) << path;
        EXPECT_EQ(findParameter(plugin, "Master Tune")->getValue(), tune) << path;
    }
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0],
              "The preset file could not be opened. It could be corrupt, from another Quorvalis "
              "plug-in, or it was written by an incompatible version of this plug-in.");
}

TEST_F(VornPresetsTest, NewInstancesStartWithTheDefaultSound) {
    std::string folder;
    {
        VornPlugin author;
        findParameter(author, "Osc 1 Wave Form")->setValue(3.0f, 0);
        ASSERT_TRUE(author.presets().saveAsDefault());
        folder = presetFolder();
    }
    {
        VornPlugin plain;
        EXPECT_NE(findParameter(plain, "Osc 1 Wave Form")->getValue(), 3.0f);
        EXPECT_EQ(plain.currentPreset().name, "");
    }
    VornPresets::setStartupPresets(true);
    VornPlugin plugin;
    EXPECT_EQ(findParameter(plugin, "Osc 1 Wave Form")->getValue(), 3.0f);
    expectCurrent(plugin, "Default Sound", folder + "Default Sound.qvp");
}

// Program changes, stepping and "Save" all follow the folder's flat list: A, B, C.
TEST_F(VornPresetsTest, ProgramChangesSteppingAndSaveFollowTheFlatList) {
    VornPlugin plugin;
    const std::string folder = presetFolder();
    AbstractPluginParameter* tune = findParameter(plugin, "Master Tune");
    EXPECT_FALSE(plugin.presets().saveCurrent());  // no current path yet
    for (const char* name : {"C", "A", "B"}) {
        tune->setValue(0.1f * static_cast<float>(name[0] - 'A' + 1), 0);
        ASSERT_TRUE(plugin.savePreset(folder + name + ".qvp"));
    }
    // Stepping order and wrapping are the preset manager's own tests.
    ASSERT_TRUE(plugin.presets().stepPreset(PresetManager::kNext));
    EXPECT_EQ(plugin.currentPreset().name, "C");
    tune->setValue(-0.5f, 0);
    EXPECT_TRUE(plugin.currentPreset().isModified());
    ASSERT_TRUE(plugin.presets().saveCurrent());
    EXPECT_FALSE(plugin.currentPreset().isModified());
    EXPECT_EQ(plugin.presets().menu().size(), 3u + 3u);
    ASSERT_TRUE(plugin.presets().loadPreset(PresetEntry::fromPath(folder + "A.qvp")));

    plugin.presets().programChange(0, 1);  // off by default: ignored
    EXPECT_FALSE(plugin.presets().loadPendingProgram());
    GenericPlugin::sharedSettings()->enableMidiProgramChanges = true;
    plugin.presets().programChange(0, 1);
    EXPECT_TRUE(plugin.presets().loadPendingProgram());
    EXPECT_EQ(plugin.currentPreset().name, "B");
    EXPECT_FLOAT_EQ(tune->getValue(), 0.2f);
    EXPECT_FALSE(plugin.presets().loadPendingProgram());  // nothing waits any more
    // Past the last preset, or a bank beyond: nothing happens.
    for (const auto& [bank, program] : {std::pair{0, 3}, std::pair{1, 0}}) {
        plugin.presets().programChange(bank, program);
        EXPECT_FALSE(plugin.presets().loadPendingProgram());
    }
    // A state restore drops a waiting request.
    plugin.presets().programChange(0, 0);
    plugin.resetProgramChange();
    EXPECT_FALSE(plugin.presets().loadPendingProgram());
    // Through MIDI: program 3 (C) on the audio thread, loaded afterwards.
    plugin.receiveMidi(MidiEvent{0xC0, 2, 0, 0, 0});
    std::vector<float> left(64), right(64);
    float* outputs[] = {left.data(), right.data()};
    plugin.processBlock(nullptr, 0, outputs, 2, 64);
    EXPECT_EQ(plugin.currentPreset().name, "B");
    EXPECT_TRUE(plugin.presets().loadPendingProgram());
    EXPECT_EQ(plugin.currentPreset().name, "C");
    GenericPlugin::sharedSettings()->enableMidiProgramChanges = false;

    // Another folder: scanned, kept as the setting.
    const std::string other = (folders_.documents() / "elsewhere").string();
    fs::create_directories(other);
    plugin.presets().changePresetFolder(other);
    EXPECT_EQ(presetFolder(), other + "/");
    EXPECT_EQ(GenericPlugin::presetFolder(), other + "/");
    EXPECT_TRUE(VornPresets::presetManager(-1)->isEmpty());
}

TEST_F(VornPresetsTest, ComponentCollectionsHaveTheirSectionsParameters) {
    VornPlugin plugin;
    VornPresets& presets = plugin.presets();
    const int instances[] = {1, 1, 1, 6, 6, 4, 10};
    const char* first[] = {"Osc 1 Detune",       "Filter 1 Freq", "Delay L Time",
                           "XLFO 1 Frequency",   "EG Main Hold",  "EF 1 Attack",
                           "MIDI Source 1 Input"};
    const char* last[] = {
        "Osc 3 Enabled",   "Filter Routing", "Delay Filter 2 Enabled",      "XLFO 1 Step 16 Random",
        "EG Main Release", "EF 1 Release",   "MIDI Source 1 Response Curve"};
    for (int t = 0; t < ComponentPresets::kTypeCount; ++t) {
        EXPECT_EQ(presets.componentInstanceCount(t), instances[t]) << t;
        for (int k = 0; k < instances[t]; ++k) {
            const ParameterCollection c = presets.componentCollection(t, k);
            EXPECT_EQ(c.size(), ComponentPresets::kTypes[t].valueCount) << t << " " << k;
        }
        const ParameterCollection c = presets.componentCollection(t, 0);
        EXPECT_EQ(c.parameters.front()->name(), first[t]);
        EXPECT_EQ(c.parameters.back()->name(), last[t]);
        EXPECT_TRUE(presets.componentCollection(t, instances[t]).parameters.empty());
        EXPECT_NE(VornPresets::presetManager(t), nullptr);
    }
    // The delay section leaves "Delay Link" out; its other joining parameter is in.
    namespace C = ComponentPresets;
    const std::tuple<int, const char*, int> owners[] = {{C::kDelays, "Delay Link", -1},
                                                        {C::kDelays, "Delay Filter Routing", 0},
                                                        {C::kXLFO, "XLFO 3 Step 16 Random", 2},
                                                        {C::kEG, "EG 2 Sustain", 1},
                                                        {C::kEG, "Master Tune", -1}};
    for (const auto& [type, name, instance] : owners) {
        EXPECT_EQ(presets.componentInstanceOf(type, findParameter(plugin, name)->id()), instance)
            << name;
    }
    EXPECT_EQ(VornPresets::presetManager(ComponentPresets::kTypeCount), nullptr);
    EXPECT_EQ(VornPresets::presetManager(ComponentPresets::kEF)->extension(), ".ef");
}

TEST_F(VornPresetsTest, EachComponentTypeRoundTripsIntoAnyInstanceAndNothingElse) {
    VornPlugin plugin;
    VornPresets& presets = plugin.presets();
    std::mt19937 random(11);
    for (int t = 0; t < ComponentPresets::kTypeCount; ++t) {
        const int lastInstance = presets.componentInstanceCount(t) - 1;
        const ParameterCollection source = presets.componentCollection(t, 0);
        randomize(source.parameters, random);
        std::vector<float> saved;
        for (const AbstractPluginParameter* p : source.parameters) saved.push_back(p->getValue());

        const std::string path =
            (folders_.documents() / (std::string("c") + ComponentPresets::kTypes[t].extension))
                .string();
        ASSERT_TRUE(writeComponentPreset(plugin, t, 0, path)) << t;
        const std::vector<uint8_t> bytes = readBytes(path);
        const int count = ComponentPresets::kTypes[t].valueCount;
        ASSERT_EQ(bytes.size(), 12u + 4u * static_cast<size_t>(count)) << t;
        EXPECT_EQ(std::memcmp(bytes.data(), "QV2i\x08\x00\x00\x00", 8), 0) << t;
        EXPECT_EQ(bytes[8], count);

        // Into the last instance (the same one when there is only one).
        const ParameterCollection target = presets.componentCollection(t, lastInstance);
        if (lastInstance > 0) {
            for (AbstractPluginParameter* p : target.parameters) p->setValue(p->getDefault(), 0);
        } else {
            randomize(target.parameters, random);
        }
        std::vector<float> before = captureValues(plugin);
        ASSERT_TRUE(presets.loadComponentPreset(PresetEntry::fromPath(path), 8, t, lastInstance))
            << t;
        for (size_t i = 0; i < saved.size(); ++i) {
            EXPECT_EQ(target.parameters[i]->getValue(), saved[i]) << target.parameters[i]->name();
            before[target.parameters[i]->id()] = saved[i];
        }
        EXPECT_EQ(captureValues(plugin), before) << "type " << t << " touched other parameters";

        // Only records of exactly the handler's version load.
        EXPECT_FALSE(presets.loadComponentPreset(PresetEntry::fromPath(path), 6, t, lastInstance));
    }
}

}  // namespace
