#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/engine/ProgramRun.h"

namespace {

namespace fs = std::filesystem;

// Settings and the preset folder in a fresh folder per test; stderr joins stdout.
class VornPresetCommandsTest : public ::testing::Test {
protected:
    void SetUp() override { writeBytes(root_ / "song.mid", oneNoteSong()); }

    ProgramRun vorn(const std::string& arguments) const {
        return runShell("XDG_CONFIG_HOME='" + (root_ / "config").string() +
                        "' XDG_DOCUMENTS_DIR='" + (root_ / "documents").string() + "' '" +
                        vornBinary() + "' " + arguments + " 2>&1");
    }
    std::string path(const std::string& name) const { return folder_.quoted(name); }
    fs::path presetFolder() const { return root_ / "documents" / "Vorn Presets"; }
    std::string render(const std::string& preset) const {
        return "render " + path("song.mid") + " -o " + path("out.wav") + " --tail 0 --preset " +
               preset;
    }

    ScratchFolder folder_;
    const fs::path& root_ = folder_.path();
};

TEST_F(VornPresetCommandsTest, ParamsSavesAPresetThatInfoShowsAndRenderLoads) {
    const ProgramRun saved =
        vorn("params --set 'Master Tune=1' --set 'Filter 1 Freq=2 kHz' --save " + path("mine.qvp"));
    ASSERT_EQ(saved.status, 0) << saved.out;
    EXPECT_EQ(fs::file_size(root_ / "mine.qvp"), 3544u);

    const ProgramRun info = vorn("presets info " + path("mine.qvp"));
    ASSERT_EQ(info.status, 0) << info.out;
    const std::string header =
        "# " + (root_ / "mine.qvp").string() + ": \"QV2i\" version 8, 883 values\n";
    EXPECT_EQ(info.out, header + "Master Tune=1.000 semitones\nFilter 1 Freq=2000.0 Hz\n");

    const ProgramRun rendered = vorn(render(path("mine.qvp")));
    EXPECT_EQ(rendered.status, 0) << rendered.out;
    EXPECT_TRUE(fs::exists(root_ / "out.wav"));
}

TEST_F(VornPresetCommandsTest, APresetThatDoesNotLoadEndsTheRenderWithStatusTwo) {
    std::ofstream(root_ / "junk.qvp") << "QV2i but nothing else";
    const std::pair<std::string, std::string> cases[] = {
        {render(path("junk.qvp")),
         "The preset file could not be opened. It could be corrupt, from another Quorvalis "
         "plug-in, or it was written by an incompatible version of this plug-in."},
        {render(path("missing.qvp")), "could not be opened"},
        {render("'No Such Sound'"), "no preset is named \"No Such Sound\""},
        {"presets info " + path("junk.qvp"), ""},
    };
    for (const auto& [arguments, message] : cases) {
        const ProgramRun run = vorn(arguments);
        EXPECT_EQ(run.status, 2) << arguments;
        EXPECT_NE(run.out.find(message), std::string::npos) << run.out;
    }
    EXPECT_FALSE(fs::exists(root_ / "out.wav"));
}

// Keeping changed files on a plain restore is the archive's own rule, tested with it.
TEST_F(VornPresetCommandsTest, RestoreListAndOverwrite) {
    ASSERT_EQ(vorn("presets restore").status, 0);
    const fs::path defaultSound = presetFolder() / "Default Sound.qvp";
    const std::vector<uint8_t> factory = readBytes(defaultSound);
    EXPECT_EQ(factory.size(), 3544u);
    const ProgramRun list = vorn("presets list");
    ASSERT_EQ(list.status, 0);
    EXPECT_EQ(list.out.rfind("# " + presetFolder().string() + "/\n(0/0) ", 0), 0u) << list.out;
    EXPECT_NE(list.out.find(") Default Sound\tDefault Sound.qvp\n"), std::string::npos);

    std::ofstream(defaultSound) << "changed";
    ASSERT_EQ(vorn("presets restore --overwrite").status, 0);
    EXPECT_EQ(readBytes(defaultSound), factory);
    // Names are looked up in the preset folder.
    const ProgramRun byName = vorn(render("'Default Sound'"));
    EXPECT_EQ(byName.status, 0) << byName.out;
}

}  // namespace
