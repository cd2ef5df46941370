// Build tool: packs the compiled factory trees into the archive resource.
// Usage: vorn_pack_archive COMPILED_FOLDER ARCHIVE
//
// COMPILED_FOLDER holds the folders "ApplicationData" and "FactoryPresets"; each becomes a
// top-level folder of the archive. A missing one is packed as an empty folder.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "persistence/FactoryArchive.h"
#include "persistence/FactoryArchiveWriter.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: vorn_pack_archive COMPILED_FOLDER ARCHIVE\n");
        return 1;
    }
    const fs::path compiled = argv[1];
    FactoryArchiveWriter writer;
    for (const char* folder :
         {FactoryArchive::kApplicationDataFolder, FactoryArchive::kFactoryPresetsFolder}) {
        const bool packed = fs::is_directory(compiled / folder)
                                ? writer.addTree(folder, compiled / folder)
                                : writer.beginFolder(folder) && writer.endFolder();
        if (!packed) {
            std::fprintf(stderr,
                         "%s: cannot be packed (unreadable, or a name longer than %zu "
                         "bytes)\n",
                         (compiled / folder).c_str(), FactoryArchive::kNameFieldSize);
            return 1;
        }
    }
    std::vector<uint8_t> archive;
    if (!writer.finish(archive)) return 1;
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(archive.data()),
              static_cast<std::streamsize>(archive.size()));
    if (!out) {
        std::fprintf(stderr, "%s: cannot be written\n", argv[2]);
        return 1;
    }
    std::printf("Packed %d factory files into %s (%zu bytes)\n", writer.fileCount(), argv[2],
                archive.size());
    return 0;
}
