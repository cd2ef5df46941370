#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/engine/ProgramRun.h"

namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> bytesOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Settings and the preset folder in a fresh folder per test; stderr joins stdout.
class VornPresetCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/vorn-preset-commands-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root_ = pattern;
        // One note from 0 to 0.5 s at 120 BPM.
        const uint8_t song[] = {'M',  'T',  'h',  'd',  0,    0,    0,    6,    0,
                                0,    0,    1,    0x01, 0xE0, 'M',  'T',  'r',  'k',
                                0,    0,    0,    13,   0x00, 0x90, 0x45, 0x64, 0x83,
                                0x60, 0x80, 0x45, 0x00, 0x00, 0xFF, 0x2F, 0x00};
        std::ofstream(root_ / "song.mid", std::ios::binary)
            .write(reinterpret_cast<const char*>(song), sizeof song);
    }
    void TearDown() override { fs::remove_all(root_); }

    ProgramRun vorn(const std::string& arguments) const {
        const std::string command = "XDG_CONFIG_HOME='" + (root_ / "config").string() +
                                    "' XDG_DOCUMENTS_DIR='" + (root_ / "documents").string() +
                                    "' '" + vornBinary() + "' " + arguments + " 2>&1";
        return runShell(command);
    }
    std::string path(const std::string& name) const { return "'" + (root_ / name).string() + "'"; }
    fs::path presetFolder() const { return root_ / "documents" / "Vorn Presets"; }
    std::string render(const std::string& preset) const {
        return "render " + path("song.mid") + " -o " + path("out.wav") + " --tail 0 --preset " +
               preset;
    }

    fs::path root_;
};

TEST_F(VornPresetCommandsTest, ParamsSavesAPresetThatInfoShowsAndRenderLoads) {
    const ProgramRun saved =
        vorn("params --set 'Master Tune=1' --set 'Filter 1 Freq=2 kHz' --save " + path("mine.qvp"));
    ASSERT_EQ(saved.status, 0) << saved.out;
    const std::vector<uint8_t> bytes = bytesOf(root_ / "mine.qvp");
    ASSERT_EQ(bytes.size(), 3544u);
    EXPECT_EQ(std::memcmp(bytes.data(), "QV2i\x08\x00\x00\x00\x73\x03\x00\x00", 12), 0);

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
    const ProgramRun junk = vorn(render(path("junk.qvp")));
    EXPECT_EQ(junk.status, 2);
    EXPECT_NE(junk.out.find("The preset file could not be opened. It could be corrupt, from "
                            "another Quorvalis plug-in, or it was written by an incompatible "
                            "version of this plug-in."),
              std::string::npos)
        << junk.out;
    const ProgramRun missing = vorn(render(path("missing.qvp")));
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.out.find("could not be opened"), std::string::npos) << missing.out;
    const ProgramRun unknown = vorn(render("'No Such Sound'"));
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.out.find("no preset is named \"No Such Sound\""), std::string::npos)
        << unknown.out;
    EXPECT_FALSE(fs::exists(root_ / "out.wav"));
    const ProgramRun info = vorn("presets info " + path("junk.qvp"));
    EXPECT_EQ(info.status, 2) << info.out;
}

TEST_F(VornPresetCommandsTest, RestoreKeepsChangedFilesUnlessToldToOverwrite) {
    const ProgramRun restored = vorn("presets restore");
    ASSERT_EQ(restored.status, 0) << restored.out;
    const fs::path defaultSound = presetFolder() / "Default Sound.qvp";
    ASSERT_TRUE(fs::exists(defaultSound));
    const std::vector<uint8_t> factory = bytesOf(defaultSound);
    EXPECT_EQ(factory.size(), 3544u);

    const ProgramRun list = vorn("presets list");
    ASSERT_EQ(list.status, 0);
    EXPECT_EQ(list.out.rfind("# " + presetFolder().string() + "/\n(0/0) ", 0), 0u) << list.out;
    EXPECT_NE(list.out.find(") Default Sound\tDefault Sound.qvp\n"), std::string::npos);

    // A user's change survives a plain restore; a missing factory file comes back.
    std::ofstream(defaultSound) << "changed";
    const fs::path some = presetFolder() / "_Best of";
    ASSERT_TRUE(fs::is_directory(some));
    const fs::path removed = fs::directory_iterator(some)->path();
    fs::remove(removed);
    ASSERT_EQ(vorn("presets restore").status, 0);
    EXPECT_EQ(bytesOf(defaultSound).size(), 7u);
    EXPECT_TRUE(fs::exists(removed));

    ASSERT_EQ(vorn("presets restore --overwrite").status, 0);
    EXPECT_EQ(bytesOf(defaultSound), factory);

    // Names are looked up in the preset folder.
    const ProgramRun byName = vorn(render("'Default Sound'"));
    EXPECT_EQ(byName.status, 0) << byName.out;
}

}  // namespace
