// What reaches the program from outside: output paths that are not plain files, interrupted
// runs, overflowing numbers, FIFOs and unreadable files where settings, presets and the
// controller map live.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <set>
#include <thread>

#include "tests/engine/ProgramRun.h"

namespace fs = std::filesystem;

namespace {

void writeText(const fs::path& path, const std::string& text) {
    writeBytes(path, {text.begin(), text.end()});
}

std::string readText(const fs::path& path) {
    const std::vector<uint8_t> bytes = readBytes(path);
    return {bytes.begin(), bytes.end()};
}

using VornOutsideTest = VornProgramTest;

}  // namespace

// Links are written through; devices are written in place; FIFOs are refused; nothing that is
// not a regular file is ever replaced.
TEST_F(VornOutsideTest, OutputsThatAreNotPlainFilesAreNeverReplaced) {
    fs::create_symlink("real.wav", at("link.wav"));
    ASSERT_EQ(mkfifo(at("fifo.wav").c_str(), 0600), 0);
    EXPECT_EQ(vorn("render song.mid -o link.wav --tail 0").status, 0);
    EXPECT_TRUE(fs::is_symlink(at("link.wav")));
    EXPECT_GT(fs::file_size(at("real.wav")), 44u);

    const ProgramRun fifo = vorn("render song.mid -o fifo.wav --tail 0");
    EXPECT_EQ(fifo.status, 2);
    EXPECT_NE(fifo.out.find("not a regular file"), std::string::npos) << fifo.out;
    EXPECT_EQ(fs::status(at("fifo.wav")).type(), fs::file_type::fifo);

    EXPECT_EQ(vorn("render song.mid -o /dev/null --tail 0").status, 0);

    fs::create_symlink("real.qvp", at("link.qvp"));
    EXPECT_EQ(vorn("params --save link.qvp").status, 0);
    EXPECT_TRUE(fs::is_symlink(at("link.qvp")));
    EXPECT_EQ(fs::file_size(at("real.qvp")), 3544u);
    const ProgramRun save = vorn("params --save fifo.wav");
    EXPECT_EQ(save.status, 2);
    EXPECT_NE(save.out.find("not a regular file"), std::string::npos) << save.out;
    EXPECT_EQ(fs::status(at("fifo.wav")).type(), fs::file_type::fifo);
    EXPECT_TRUE(files(true).empty());
}

// The render streams to disk: twenty minutes of audio take no more memory than one.
TEST_F(VornOutsideTest, LongRendersKeepMemoryFlat) {
    // Each render in a child of its own, so that the peak counts that render only.
    const auto peakMegabytes = [this](const std::string& tail) {
        const pid_t child = fork();
        if (child == 0) {
            const ProgramRun run = vorn("render song.mid -o /dev/null --rate 8000 --tail " + tail);
            rusage usage{};
            getrusage(RUSAGE_CHILDREN, &usage);
            _exit(run.status != 0 ? 255 : static_cast<int>(std::min(usage.ru_maxrss / 1024, 254L)));
        }
        int status = 0;
        waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 255;
    };
    const int shortRender = peakMegabytes("60");
    const int longRender = peakMegabytes("1200");
    ASSERT_LT(shortRender, 255) << "the render failed";
    // Kept whole, the long render's samples alone would take 77 MB.
    EXPECT_LT(longRender, shortRender + 20) << shortRender << " MB for 60 s";
}

// Temporary files go on the signals that can be caught; those of killed processes go at the
// next write to the same file, those of running ones stay.
TEST_F(VornOutsideTest, InterruptedRunsLeaveNoTemporaryFiles) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        const std::string command =
            "cd '" + folder_.path().string() + "' && exec '" + vornBinary() +
            "' render song.mid -o out.wav --tail 3600 --rate 8000 --format 16";
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        for (int wait = 0; files(true).empty() && wait < 2000; ++wait) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        if (files(true).empty()) kill(child, SIGKILL);
        ASSERT_FALSE(files(true).empty()) << "the render did not start";
        kill(child, signal);
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
        EXPECT_TRUE(files(true).empty()) << *files(true).begin();
        EXPECT_FALSE(fs::exists(at("out.wav")));
    }
    const pid_t gone = fork();
    if (gone == 0) _exit(0);
    waitpid(gone, nullptr, 0);
    const std::string stale = ".p.qvp." + std::to_string(gone) + ".AbCdEf";
    const std::string live = ".p.qvp." + std::to_string(getpid()) + ".AbCdEf";
    const std::string other = ".q.qvp." + std::to_string(gone) + ".AbCdEf";
    for (const std::string& name : {stale, live, other}) writeText(at(name), "x");
    EXPECT_EQ(vorn("params --save p.qvp").status, 0);
    EXPECT_EQ(files(true), (std::set<std::string>{live, other}));
}

// Typed numbers that overflow go to the nearer end (refusals are the command line's tests).
TEST_F(VornOutsideTest, TypedOverflowGoesToTheNearerEnd) {
    const ProgramRun high = vorn("params --set 'Filter 1 Freq=1e400' --set 'Master Tune=-1e400'");
    const ProgramRun ends = vorn("params --set 'Filter 1 Freq=1e30' --set 'Master Tune=-1e30'");
    EXPECT_EQ(high.status, 0) << high.out;
    EXPECT_EQ(high.out, ends.out);
}

// FIFOs where presets and the controller map are read from are refused at once.
TEST_F(VornOutsideTest, FifosNeverBlock) {
    fs::create_directories(at("documents/Vorn Presets"));
    ASSERT_EQ(mkfifo(at("documents/Vorn Presets/Pipe.qvp").c_str(), 0600), 0);
    const ProgramRun preset = vorn("render song.mid -o out.wav --tail 0 --preset Pipe", true, 20);
    EXPECT_EQ(preset.status, 2) << preset.out;
    fs::create_directories(at("data/Vorn"));
    fs::remove(at("data/Vorn/MidiControllerMap.qvm"));
    ASSERT_EQ(mkfifo(at("data/Vorn/MidiControllerMap.qvm").c_str(), 0600), 0);
    EXPECT_EQ(vorn("render song.mid -o out.wav --tail 0", true, 20).status, 0);
    EXPECT_EQ(fs::status(at("data/Vorn/MidiControllerMap.qvm")).type(), fs::file_type::fifo);
}

// What could not be read is kept as it is; a missing preset folder stays the setting.
TEST_F(VornOutsideTest, UnreadableUserFilesAreKept) {
    const std::string garbage = "PresetFolder\tstring\t/mnt/gone\nnot a setting line\n";
    writeText(at("config/Vorn/0.0.conf"), garbage);
    writeText(at("data/Vorn/MidiControllerMap.qvm"), "QVCM truncated");
    const ProgramRun run = vorn("presets list");
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("could not be read"), std::string::npos) << run.out;
    EXPECT_EQ(readText(at("config/Vorn/0.0.conf")), garbage);
    EXPECT_EQ(readText(at("data/Vorn/MidiControllerMap.qvm")), "QVCM truncated");

    writeText(at("config/Vorn/0.0.conf"), "PresetFolder\tstring\t/mnt/gone\n");
    EXPECT_EQ(vorn("presets list").status, 0);
    EXPECT_NE(readText(at("config/Vorn/0.0.conf")).find("/mnt/gone"), std::string::npos);
}

// A link back up the preset folder is not followed; a folder that cannot be listed says so.
TEST_F(VornOutsideTest, PresetFolderLoopsAndUnreadableFolders) {
    const ProgramRun first = vorn("presets list");
    ASSERT_EQ(first.status, 0) << first.out;
    fs::create_directory_symlink("..", at("documents/Vorn Presets/Loop"));
    EXPECT_EQ(vorn("presets list").out, first.out);

    fs::remove_all(at("documents/Vorn Presets"));
    writeText(at("documents/Vorn Presets"), "a file");
    const ProgramRun file = vorn("presets list");
    EXPECT_EQ(file.status, 2);
    EXPECT_NE(file.out.find("cannot be listed"), std::string::npos) << file.out;
}
