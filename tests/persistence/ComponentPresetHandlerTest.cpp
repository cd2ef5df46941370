#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "persistence/ComponentPresetHandler.h"
#include "persistence/ComponentPresetTypes.h"
#include "tests/persistence/TemporaryUserFolders.h"

namespace {

namespace fs = std::filesystem;

// Loads succeed for files whose content is "ok"; saves write "ok".
class FakeOwner : public ComponentPresetOwner {
public:
    explicit FakeOwner(const std::string& folder)
        : manager(folder, ComponentPresets::kTypes[ComponentPresets::kXLFO].extension) {}

    bool loadComponentPreset(const PresetEntry& entry, int version, int type,
                             int instance) override {
        loads.push_back({entry.path, version, type, instance});
        std::string content;
        std::ifstream(entry.path) >> content;
        return content == "ok";
    }
    int componentPresetVersion(int type) override { return 100 + type; }
    bool saveComponentPreset(int type, int instance, const std::string& path) override {
        saves.push_back({path, 0, type, instance});
        std::ofstream out(path);
        out << "ok";
        return static_cast<bool>(out);
    }
    PresetManager* componentPresetManager(int type) override {
        return type == ComponentPresets::kXLFO ? &manager : nullptr;
    }

    using Call = std::tuple<std::string, int, int, int>;  // path, version, type, instance
    PresetManager manager;
    std::vector<Call> loads;
    std::vector<Call> saves;
};

class ComponentPresetHandlerTest : public ::testing::Test {
protected:
    TemporaryUserFolders user_;
    fs::path root_ = user_.root();
};

TEST(ComponentPresetTypesTest, TypesFoldersAndFilters) {
    const char* extensions[] = {".osc", ".filters", ".delays", ".xlfo", ".eg", ".ef", ".midi"};
    const char* folders[] = {"Oscillator", "Filters", "Delays", "XLFO", "EG", "EF", "MIDI"};
    const int counts[] = {27, 15, 27, 73, 9, 2, 3};
    for (int t = 0; t < ComponentPresets::kTypeCount; ++t) {
        EXPECT_STREQ(ComponentPresets::kTypes[t].extension, extensions[t]);
        EXPECT_STREQ(ComponentPresets::kTypes[t].folder, folders[t]);
        EXPECT_EQ(ComponentPresets::kTypes[t].valueCount, counts[t]);
    }
    EXPECT_EQ(ComponentPresets::folderOf(ComponentPresets::kEG, "/data/Vorn"),
              "/data/Vorn/Component Presets/EG/");
    EXPECT_EQ(ComponentPresets::folderOf(ComponentPresets::kMidi, "/data/Vorn/"),
              "/data/Vorn/Component Presets/MIDI/");
    EXPECT_EQ(ComponentPresets::fileFilter(ComponentPresets::kDelays),
              "Quorvalis Component Presets (*.delays)|*.delays|All Files (*.*)|*.*");
}

TEST_F(ComponentPresetHandlerTest, SelectingLoadsWithTheHandlersVersionAndReportsFailure) {
    const std::string good = createTextFile(root_ / "Wobble.xlfo", "ok");
    const std::string bad = createTextFile(root_ / "Broken.xlfo", "bad");
    FakeOwner owner(root_.string());
    std::vector<std::string> messages;
    ComponentPresetHandler handler(owner, ComponentPresets::kXLFO, 4,
                                   [&](const std::string& text) { messages.push_back(text); });
    EXPECT_EQ(handler.version(), 103);

    handler.presetSelected(PresetEntry::fromPath(good));
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(handler.currentPath(), good);
    handler.presetSelected(PresetEntry::fromPath(bad));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0],
              "The preset file could not be opened. It could be corrupt, from another Quorvalis "
              "plug-in, or it was written by an incompatible version of this plug-in.");
    EXPECT_EQ(handler.currentPath(), good);
    EXPECT_EQ(owner.loads, (std::vector<FakeOwner::Call>{{good, 103, 3, 4}, {bad, 103, 3, 4}}));

    // The menu lists the type's tree with plain names and checks the last loaded entry.
    std::vector<std::pair<std::string, bool>> shown;
    for (const PresetMenuItem& item : handler.menu()) shown.emplace_back(item.text, item.checked);
    EXPECT_EQ(shown,
              (std::vector<std::pair<std::string, bool>>{{"Broken", false}, {"Wobble", true}}));
}

TEST_F(ComponentPresetHandlerTest, DefaultIsTheFirstNamedDefaultAndSavingRescans) {
    FakeOwner owner(root_.string());
    ComponentPresetHandler handler(owner, ComponentPresets::kXLFO, 0);
    EXPECT_FALSE(handler.loadDefault());
    EXPECT_TRUE(owner.loads.empty());

    const std::string first = createTextFile(root_ / "A/Default.xlfo", "ok");
    createTextFile(root_ / "Default.xlfo", "ok");
    owner.manager.rescan();
    EXPECT_TRUE(handler.loadDefault());
    EXPECT_EQ(owner.loads, (std::vector<FakeOwner::Call>{{first, 103, 3, 0}}));

    const std::string saved = (root_ / "New.xlfo").string();
    EXPECT_TRUE(handler.saveAs(saved));
    EXPECT_EQ(owner.saves, (std::vector<FakeOwner::Call>{{saved, 0, 3, 0}}));
    EXPECT_TRUE(owner.manager.findByName("New"));

    EXPECT_EQ(handler.folder(), root_.string() + "/");
    EXPECT_EQ(handler.defaultExtension(), "xlfo");

    // A type without a manager has no menu and no default.
    ComponentPresetHandler other(owner, ComponentPresets::kEG, 1);
    EXPECT_TRUE(other.menu().empty());
    EXPECT_FALSE(other.loadDefault());
}

}  // namespace
