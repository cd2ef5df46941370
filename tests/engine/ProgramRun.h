#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

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
