#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "engine/VornPresets.h"

namespace {

// Editor tests start from the built-in sound, without factory presets or "Default Sound", and
// each test process keeps its settings, presets and controller map in folders of its own, so that
// layouts and maps saved by one test never reach another.
const bool isolated = [] {
    VornPresets::setStartupPresets(false);
    static char home[] = "/tmp/vorn-editor-test-XXXXXX";
    if (!mkdtemp(home)) return false;
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_DOCUMENTS_DIR"}) {
        const std::string folder = std::string(home) + "/" + name;
        std::filesystem::create_directories(folder);
        setenv(name, folder.c_str(), 1);
    }
    std::atexit([] {
        std::error_code ec;
        std::filesystem::remove_all(home, ec);
    });
    return true;
}();

}  // namespace
