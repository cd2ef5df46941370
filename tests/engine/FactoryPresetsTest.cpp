#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/VornPresets.h"
#include "persistence/ComponentPresetTypes.h"
#include "persistence/FactoryArchive.h"
#include "persistence/PresetFolder.h"
#include "persistence/ResourceOpener.h"
#include "tests/engine/ProgramRun.h"
#include "tests/engine/VornTestRig.h"

namespace fs = std::filesystem;

namespace {

// Peak limits of the phrase: audible, and clear of full scale.
constexpr float kSilencePeak = 0.01f;       // -40 dBFS
constexpr float kClippingPeak = 0.944061f;  // -0.5 dBFS
constexpr int kValueCount = 883;

// A current record of `count` values.
void expectRecord(const fs::path& file, int count) {
    SCOPED_TRACE(file.string());
    const std::vector<uint8_t> b = readBytes(file);
    ASSERT_EQ(b.size(), 12u + 4u * static_cast<size_t>(count));
    int32_t header[2];
    std::memcpy(header, b.data() + 4, sizeof header);
    EXPECT_EQ(std::memcmp(b.data(), "QV2i", 4), 0);
    EXPECT_EQ(header[0], 8);
    EXPECT_EQ(header[1], count);
}

std::vector<fs::path> filesBelow(const fs::path& root) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_regular_file()) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

// The compiled-in archive, extracted once into a temporary folder: "presets" and "data".
class FactoryPresetsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = std::make_unique<ScratchFolder>();
        presetsExtracted_ = extractFactoryFolder("FactoryPresets", presets().string(), false);
        dataExtracted_ = extractFactoryFolder("ApplicationData", data().string(), false);
    }
    static void TearDownTestSuite() { folder_.reset(); }
    static fs::path presets() { return folder_->path() / "presets"; }
    static fs::path data() { return folder_->path() / "data"; }

    static inline std::unique_ptr<ScratchFolder> folder_;
    static inline bool presetsExtracted_ = false;
    static inline bool dataExtracted_ = false;
};

TEST_F(FactoryPresetsTest, ArchiveHoldsCurrentRecordsInTheirFolders) {
    ASSERT_TRUE(resourceExists(FactoryArchive::kResourceName));
    ASSERT_TRUE(presetsExtracted_);
    ASSERT_TRUE(dataExtracted_);
    ASSERT_TRUE(fs::is_regular_file(presets() / "Default Sound.qvp"));

    const std::vector<fs::path> whole = filesBelow(presets());
    EXPECT_GE(whole.size(), 2u);
    for (const fs::path& file : whole) {
        EXPECT_EQ(file.extension(), ".qvp");
        expectRecord(file, kValueCount);
    }
    // Component presets: under "Component Presets/<type folder>", with the type's extension and
    // value count, loading into the first section of their type.
    VornPlugin plugin;
    const fs::path components = data() / ComponentPresets::kFolder;
    for (const fs::path& file : filesBelow(data())) {
        const fs::path relative = file.lexically_relative(components);
        ASSERT_FALSE(relative.empty() || *relative.begin() == "..") << file;
        const auto type = std::find_if(
            ComponentPresets::kTypes.begin(), ComponentPresets::kTypes.end(),
            [&](const ComponentPresetType& t) { return *relative.begin() == t.folder; });
        ASSERT_NE(type, ComponentPresets::kTypes.end()) << file;
        EXPECT_EQ(file.extension(), type->extension);
        expectRecord(file, type->valueCount);
        const int t = static_cast<int>(type - ComponentPresets::kTypes.begin());
        EXPECT_TRUE(plugin.presets().loadComponentPreset(
            PresetEntry::fromPath(file.string()), plugin.presets().componentPresetVersion(t), t, 0))
            << file;
    }
}

TEST_F(FactoryPresetsTest, EveryPresetPlaysAPhraseAudiblyWithoutClippingOrNaN) {
    ASSERT_TRUE(presetsExtracted_);
    VornTestRig rig;
    rig.setTempo(120.0);  // XLFOs and delays that follow the host's tempo
    for (const fs::path& file : filesBelow(presets())) {
        SCOPED_TRACE(file.string());
        ASSERT_TRUE(rig.plugin().loadPresetFile(file.string()));
        // Let the previous preset's tail and the parameter glides die away unheard.
        rig.render(rig.frames(0.25));
        rig.plugin().reset();

        // A three-note chord, then a line of single notes above it, then the release tail.
        float peak = 0.0f;
        const auto play = [&](double seconds) {
            peak = std::max(peak, peakOf(rig.render(rig.frames(seconds))));
        };
        for (const int note : {48, 52, 55}) rig.noteOn(note, 100);
        play(0.6);
        for (const int note : {48, 52, 55}) rig.noteOff(note);
        for (const int note : {60, 64, 67}) {
            rig.noteOn(note, 90);
            play(0.25);
            rig.noteOff(note);
        }
        play(0.75);
        const std::string level = std::to_string(20.0f * std::log10(peak)) + " dBFS";
        EXPECT_GT(peak, kSilencePeak) << level;
        EXPECT_LT(peak, kClippingPeak) << level;
    }
}

}  // namespace
