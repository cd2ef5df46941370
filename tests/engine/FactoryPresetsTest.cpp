#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/VornPresets.h"
#include "persistence/ComponentPresetTypes.h"
#include "persistence/FactoryArchive.h"
#include "persistence/PresetFolder.h"
#include "persistence/ResourceOpener.h"
#include "tests/engine/VornTestRig.h"

namespace fs = std::filesystem;

namespace {

// Peak limits of the phrase: audible, and clear of full scale.
constexpr float kSilencePeak = 0.01f;       // -40 dBFS
constexpr float kClippingPeak = 0.944061f;  // -0.5 dBFS
constexpr int kValueCount = 883;

std::vector<uint8_t> readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int32_t at32(const std::vector<uint8_t>& b, size_t offset) {
    int32_t value;
    std::memcpy(&value, b.data() + offset, 4);
    return value;
}

// Renders as a host playing at 120 BPM would: the transport before every block, the output
// appended to left and right.
class HostPlayer {
public:
    static constexpr double kTempo = 120.0;
    static constexpr int kBlockFrames = 256;

    explicit HostPlayer(VornTestRig& rig) : rig_(rig) {}

    void play(double seconds) {
        const int frames = rig_.frames(seconds);
        left.resize(left.size() + static_cast<size_t>(frames));
        right.resize(right.size() + static_cast<size_t>(frames));
        for (int done = 0; done < frames;) {
            const int n = std::min(kBlockFrames, frames - done);
            const double beat = static_cast<double>(position_) / rig_.sampleRate() * kTempo / 60.0;
            rig_.plugin().updateTransport(kTempo, static_cast<float>(beat));
            const size_t at = left.size() - static_cast<size_t>(frames - done);
            float* outputs[] = {left.data() + at, right.data() + at};
            rig_.block(outputs, 2, n);
            position_ += n;
            done += n;
        }
    }

    std::vector<float> left;
    std::vector<float> right;

private:
    VornTestRig& rig_;
    int64_t position_ = 0;
};

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
        // Instances here neither install presets into the user's folder nor load one at start.
        VornPresets::setStartupPresets(false);
        std::string pattern = (fs::temp_directory_path() / "vorn-factory-XXXXXX").string();
        root_ = mkdtemp(pattern.data());
        presetsExtracted_ = extractFactoryFolder("FactoryPresets", presets().string(), false);
        dataExtracted_ = extractFactoryFolder("ApplicationData", data().string(), false);
    }
    static void TearDownTestSuite() {
        std::error_code error;
        fs::remove_all(root_, error);
    }
    static fs::path presets() { return root_ / "presets"; }
    static fs::path data() { return root_ / "data"; }

    static inline fs::path root_;
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
        SCOPED_TRACE(file.string());
        EXPECT_EQ(file.extension(), ".qvp");
        const std::vector<uint8_t> bytes = readFile(file);
        ASSERT_EQ(bytes.size(), 12u + 4u * kValueCount);
        EXPECT_EQ(std::memcmp(bytes.data(), "QV2i", 4), 0);
        EXPECT_EQ(at32(bytes, 4), 8);
        EXPECT_EQ(at32(bytes, 8), kValueCount);
    }

    // Component presets: under "Component Presets/<type folder>", with the type's extension and
    // value count.
    const fs::path components = data() / ComponentPresets::kFolder;
    for (const fs::path& file : filesBelow(data())) {
        SCOPED_TRACE(file.string());
        const fs::path relative = file.lexically_relative(components);
        ASSERT_FALSE(relative.empty() || *relative.begin() == "..");
        const std::string folder = relative.begin()->string();
        const auto type =
            std::find_if(ComponentPresets::kTypes.begin(), ComponentPresets::kTypes.end(),
                         [&](const ComponentPresetType& t) { return folder == t.folder; });
        ASSERT_NE(type, ComponentPresets::kTypes.end());
        EXPECT_EQ(file.extension(), type->extension);
        const std::vector<uint8_t> bytes = readFile(file);
        ASSERT_EQ(bytes.size(), 12u + 4u * static_cast<size_t>(type->valueCount));
        EXPECT_EQ(std::memcmp(bytes.data(), "QV2i", 4), 0);
        EXPECT_EQ(at32(bytes, 4), 8);
        EXPECT_EQ(at32(bytes, 8), type->valueCount);
    }
}

TEST_F(FactoryPresetsTest, EveryPresetPlaysAPhraseAudiblyWithoutClippingOrNaN) {
    ASSERT_TRUE(presetsExtracted_);
    VornTestRig rig;
    for (const fs::path& file : filesBelow(presets())) {
        SCOPED_TRACE(file.string());
        ASSERT_TRUE(rig.plugin().loadPresetFile(file.string()));
        // Let the previous preset's tail and the parameter glides die away unheard.
        HostPlayer(rig).play(0.25);
        rig.plugin().reset();

        // A three-note chord, then a line of single notes above it, then the release tail.
        HostPlayer player(rig);
        for (const int note : {48, 52, 55}) rig.noteOn(note, 100);
        player.play(0.6);
        for (const int note : {48, 52, 55}) rig.noteOff(note);
        for (const int note : {60, 64, 67}) {
            rig.noteOn(note, 90);
            player.play(0.25);
            rig.noteOff(note);
        }
        player.play(0.75);

        float peak = 0.0f;
        size_t nonFinite = 0;
        for (const std::vector<float>* channel : {&player.left, &player.right}) {
            for (const float x : *channel) {
                if (!std::isfinite(x)) {
                    ++nonFinite;
                } else {
                    peak = std::max(peak, std::fabs(x));
                }
            }
        }
        EXPECT_EQ(nonFinite, 0u);
        const std::string level = std::to_string(20.0f * std::log10(peak)) + " dBFS";
        EXPECT_GT(peak, kSilencePeak) << level;
        EXPECT_LT(peak, kClippingPeak) << level;
    }
}

TEST_F(FactoryPresetsTest, ComponentPresetsLoadIntoTheFirstSectionOfTheirType) {
    ASSERT_TRUE(dataExtracted_);
    VornPlugin plugin;
    VornPresets& presets = plugin.presets();
    for (int type = 0; type < ComponentPresets::kTypeCount; ++type) {
        const fs::path folder =
            data() / ComponentPresets::kFolder / ComponentPresets::kTypes[type].folder;
        if (!fs::is_directory(folder)) continue;
        for (const fs::path& file : filesBelow(folder)) {
            SCOPED_TRACE(file.string());
            EXPECT_TRUE(presets.loadComponentPreset(PresetEntry::fromPath(file.string()),
                                                    presets.componentPresetVersion(type), type, 0));
        }
    }
}

}  // namespace
