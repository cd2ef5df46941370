#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

// The factory preset archive "QS/ISB/3": a 53-byte header, then entries of a 76-byte header each
// (name length, 67-byte name field, int32 size, uint32 kind) followed by a folder's entries and
// its end marker, or a file's zlib stream. All integers little-endian. The reader extracts one
// top-level folder at a time into a destination folder and never writes outside of it.
class FactoryArchive {
public:
    static constexpr const char* kResourceName = "WindowsSetupDocs";
    static constexpr std::string_view kMagic = "QS/ISB/3";
    static constexpr size_t kHeaderSize = 53;
    // The reader checks the magic in the first part of the header and skips the rest.
    static constexpr size_t kHeaderCheckedSize = 28;
    static constexpr size_t kEntryHeaderSize = 76;
    static constexpr size_t kNameFieldSize = 67;
    static constexpr size_t kNameOffset = 1;
    static constexpr size_t kSizeOffset = 68;
    static constexpr size_t kKindOffset = 72;
    static constexpr uint32_t kFolderKind = 0xFFFFFFFFu;
    static constexpr const char* kApplicationDataFolder = "ApplicationData";
    static constexpr const char* kFactoryPresetsFolder = "FactoryPresets";

    // The bytes must outlive the archive.
    FactoryArchive(std::span<const uint8_t> bytes, bool overwrite);

    // Extracts the entries of the top-level folder `name` (matched ignoring case) into
    // `destination`, which is created with its parents; the folder itself is not recreated
    // there. False when the archive is malformed, the folder is missing, or any entry failed;
    // entries after a failed one are still extracted. Without overwrite, existing files are kept.
    bool extractFolder(std::string_view name, const std::filesystem::path& destination);

private:
    struct Entry {
        std::string name;
        int32_t size = 0;
        uint32_t kind = 0;
        bool isFolder() const { return kind == kFolderKind; }
    };

    bool readEntry(Entry& entry);
    const uint8_t* read(size_t count);
    void seek(size_t position, int64_t offset);
    bool extractEntries(const std::filesystem::path& destination, int depth);
    bool extractFile(const std::filesystem::path& file, const Entry& entry);

    std::span<const uint8_t> bytes_;
    size_t position_ = 0;
    bool good_ = true;
    bool overwrite_;
};

// Extracts a top-level folder of the compiled-in archive; false when there is none.
bool extractFactoryFolder(std::string_view folder, const std::string& destination, bool overwrite);

// "ApplicationData" into the user data folder (its result is not used), then "FactoryPresets"
// into the preset folder, whose result is returned. The caller rescans its preset managers.
bool restoreFactoryPresets(bool overwrite, const std::string& presetFolder,
                           const std::string& userDataFolder);
