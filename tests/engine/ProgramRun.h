#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "tests/persistence/TemporaryUserFolders.h"

// Runs the `vorn` program from the tests and collects what it printed.
struct ProgramRun {
    int status = -1;
    std::string out;
};

// The program sits beside the tests in the build tree (build/apps/vorn/vorn next to
// build/tests/); VORN_BINARY overrides that.
inline std::string vornBinary() {
    if (const char* path = std::getenv("VORN_BINARY")) return path;
    char self[PATH_MAX] = {};
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) return "";
    const std::filesystem::path tests = std::filesystem::path(self).parent_path();
    return (tests.parent_path() / "apps" / "vorn" / "vorn").string();
}

// Runs a shell command line and waits for it.
inline ProgramRun runShell(const std::string& command) {
    ProgramRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// A folder of its own for one test, removed with everything in it afterwards.
class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "vorn-XXXXXX").string();
        if (mkdtemp(pattern.data())) path_ = pattern;
    }
    ~ScratchFolder() {
        std::error_code error;
        if (!path_.empty()) std::filesystem::remove_all(path_, error);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // The path of `name` inside, quoted for the shell.
    std::string quoted(const std::string& name) const {
        return "'" + (path_ / name).string() + "'";
    }

private:
    std::filesystem::path path_;
};

// A format-0 MIDI file, 480 ticks per quarter at 120 BPM: note 69 from 0 to 0.5 s on channel 1.
inline std::vector<uint8_t> oneNoteSong() {
    return {'M', 'T',  'h',  'd',  0,    0,   0,    6,    0,    0,    0,    1,
            1,   0xE0, 'M',  'T',  'r',  'k', 0,    0,    0,    13,   0x00, 0x90,
            69,  100,  0x83, 0x60, 0x80, 69,  0x00, 0x00, 0xFF, 0x2F, 0x00};
}

// A fresh folder that is also the program's home (settings, data and documents inside), holding
// the one-note song; skipped while the program is not built.
class VornProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(vornBinary())) GTEST_SKIP() << "build the vorn program first";
        writeBytes(at("song.mid"), oneNoteSong());
    }
    std::filesystem::path at(const std::string& name) const { return folder_.path() / name; }
    std::string path(const std::string& name) const { return folder_.quoted(name); }
    // Runs vorn in this home, killed after `seconds`; stderr joins stdout unless dropped.
    ProgramRun vorn(const std::string& arguments, bool errors = true, int seconds = 60) const {
        const std::string home = folder_.path().string();
        return runShell("cd '" + home + "' && XDG_CONFIG_HOME='" + home +
                        "/config' XDG_DATA_HOME='" + home + "/data' XDG_DOCUMENTS_DIR='" + home +
                        "/documents' timeout -s KILL " + std::to_string(seconds) + " '" +
                        vornBinary() + "' " + arguments + (errors ? " 2>&1" : " 2>/dev/null"));
    }
    // The names of the files (not folders) in the home, or of the hidden ones only.
    std::set<std::string> files(bool hiddenOnly = false) const {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder_.path())) {
            const std::string name = entry.path().filename().string();
            if (!entry.is_directory() && (!hiddenOnly || name.front() == '.')) names.insert(name);
        }
        return names;
    }

    ScratchFolder folder_;
};
