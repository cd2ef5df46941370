#include "apps/vorn/TuningFiles.h"

#include <fstream>
#include <iterator>

#include "engine/VornPlugin.h"

namespace {

bool readText(const std::string& path, std::string& text, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot be read";
        return false;
    }
    text.assign(std::istreambuf_iterator<char>(in), {});
    if (in.bad()) {
        error = path + ": cannot be read";
        return false;
    }
    if (text.size() > TuningFiles::kMaxBytes) {
        error = path + ": too large for a Scala file";
        return false;
    }
    return true;
}

}  // namespace

bool TuningFiles::read(const std::string& scalePath, const std::string& keymapPath,
                       std::string& error) {
    keymap.clear();
    return readText(scalePath, scale, error) &&
           (keymapPath.empty() || readText(keymapPath, keymap, error));
}

bool tuneFromFiles(VornPlugin& plugin, const std::string& scalePath, const std::string& keymapPath,
                   const char* command, std::FILE* err, TuningFiles* texts) {
    TuningFiles files;
    std::string error;
    if (!files.read(scalePath, keymapPath, error) ||
        !plugin.setTuning(files.scale, files.keymap, error, scalePath, keymapPath)) {
        std::fprintf(err, "%s: %s\n", command, error.c_str());
        return false;
    }
    if (texts) *texts = std::move(files);
    return true;
}
