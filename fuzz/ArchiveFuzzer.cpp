// Factory archives of any content: both top-level folders extracted, with and without overwrite
// (the first byte chooses), into a scratch folder. Anything that appears beside the destination
// means the extractor wrote outside of it, and aborts the run.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>

#include "persistence/FactoryArchive.h"

namespace fs = std::filesystem;

namespace {

const fs::path& scratch() {
    static const fs::path folder = [] {
        std::string pattern = (fs::temp_directory_path() / "vorn-archive-fuzz-XXXXXX").string();
        if (!mkdtemp(pattern.data())) abort();
        return fs::path(pattern);
    }();
    return folder;
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
