// Factory archives of any content: both top-level folders extracted, with and without overwrite
// (the first byte chooses), into a scratch folder. Anything that appears beside the destination
// means the extractor wrote outside of it, and aborts the run.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <system_error>

#include "persistence/FactoryArchive.h"

namespace fs = std::filesystem;

namespace {

// Made once per process and removed at its end: the corpus replay runs in every test run.
struct Scratch {
    fs::path folder;
    Scratch() {
        std::string pattern = (fs::temp_directory_path() / "vorn-archive-fuzz-XXXXXX").string();
        if (!mkdtemp(pattern.data())) abort();
        folder = pattern;
    }
    ~Scratch() {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
};

const fs::path& scratch() {
    static const Scratch scratch;
    return scratch.folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const fs::path destination = scratch() / "destination";
    FactoryArchive archive(std::span<const uint8_t>(data + 1, size - 1), data[0] & 1);
    archive.extractFolder(FactoryArchive::kFactoryPresetsFolder, destination);
    archive.extractFolder(FactoryArchive::kApplicationDataFolder, destination);
    for (const fs::directory_entry& entry : fs::directory_iterator(scratch())) {
        if (entry.path() != destination) abort();
    }
    fs::remove_all(destination);
    return 0;
}
