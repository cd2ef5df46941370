#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
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
