#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Builds a factory preset archive (layout in FactoryArchive.h). Folders are opened and closed
// around their entries; sizes and the file count are filled in as the entries end.
class FactoryArchiveWriter {
public:
    FactoryArchiveWriter();

    // Names are 1..67 bytes without path separators; false otherwise, and nothing is added.
    bool beginFolder(std::string_view name);
    // Closes the innermost open folder; false when none is open.
    bool endFolder();
    bool addFile(std::string_view name, std::span<const uint8_t> contents);
    // The folder on disk, as a folder of the archive named `name`: subfolders and files sorted
    // by name, so the same tree always gives the same bytes. After a failure the archive is
    // incomplete and should be dropped.
    bool addTree(std::string_view name, const std::filesystem::path& folder);

    // Closes the top level, once; false when a folder is still open.
    bool finish(std::vector<uint8_t>& archive);

    int fileCount() const { return fileCount_; }

private:
    bool appendEntryHeader(std::string_view name, int32_t size, uint32_t kind);
    void patch32(size_t offset, uint32_t value);

    std::vector<uint8_t> bytes_;
    // Offsets of the open folders' entry headers.
    std::vector<size_t> openFolders_;
    int fileCount_ = 0;
};
