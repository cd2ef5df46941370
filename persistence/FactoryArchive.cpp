#include "persistence/FactoryArchive.h"

#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

#include "persistence/AtomicFile.h"
#include "persistence/ResourceOpener.h"

namespace fs = std::filesystem;

namespace {

// Deeper nesting is refused rather than recursed into.
constexpr int kMaxFolderDepth = 16;
// Deflate shrinks data at most about 1032:1; a stated length beyond that cannot be met, and is
// refused before its buffer is allocated.
constexpr uint64_t kMaxInflateRatio = 1032;

uint32_t little32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

bool sameName(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](unsigned char x, unsigned char y) {
        return std::tolower(x) == std::tolower(y);
    });
}

// One path component: nothing that could lead out of the destination folder.
bool safeName(std::string_view name) {
    return name != "." && name != ".." &&
           name.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos;
}

// True only when the data is one zlib stream that fills exactly `length` bytes.
bool inflateExactly(std::span<const uint8_t> packed, uint32_t length, std::vector<uint8_t>& out) {
    if (length > packed.size() * kMaxInflateRatio) return false;
    out.resize(length);
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) return false;
    stream.next_in = const_cast<Bytef*>(packed.data());
    stream.avail_in = static_cast<uInt>(packed.size());
    stream.next_out = out.data();
    stream.avail_out = length;
    const int result = inflate(&stream, Z_FINISH);
    const bool filled = result == Z_STREAM_END && stream.avail_out == 0;
    inflateEnd(&stream);
    return filled;
}

}  // namespace

FactoryArchive::FactoryArchive(std::span<const uint8_t> bytes, bool overwrite)
    : bytes_(bytes), overwrite_(overwrite) {}

const uint8_t* FactoryArchive::read(size_t count) {
    if (!good_ || count > bytes_.size() - position_) {
        good_ = false;
        return nullptr;
    }
    const uint8_t* data = bytes_.data() + position_;
    position_ += count;
    return data;
}

void FactoryArchive::seek(size_t position, int64_t offset) {
    // Only forward: a negative size would read the same entries forever.
    if (offset < 0 || static_cast<uint64_t>(offset) > bytes_.size() - position) {
        good_ = false;
        return;
    }
    position_ = position + static_cast<size_t>(offset);
}

bool FactoryArchive::readEntry(Entry& entry) {
    const uint8_t* header = read(kEntryHeaderSize);
    if (!header) return false;
    const size_t length = header[0];
    if (length > kNameFieldSize) {
        good_ = false;
        return false;
    }
    entry.name.assign(reinterpret_cast<const char*>(header + kNameOffset), length);
    entry.size = static_cast<int32_t>(little32(header + kSizeOffset));
    entry.kind = little32(header + kKindOffset);
    return true;
}

bool FactoryArchive::extractFolder(std::string_view name, const fs::path& destination) {
    position_ = 0;
    good_ = true;
    const uint8_t* header = read(kHeaderCheckedSize);
    if (!header || std::memcmp(header, kMagic.data(), kMagic.size()) != 0) return false;
    read(kHeaderSize - kHeaderCheckedSize);
    Entry entry;
    while (readEntry(entry)) {
        if (entry.name.empty()) return false;
        if (entry.isFolder() && sameName(entry.name, name)) return extractEntries(destination, 0);
        seek(position_, entry.size);
    }
    return false;
}

bool FactoryArchive::extractEntries(const fs::path& destination, int depth) {
    std::error_code error;
    if (depth > kMaxFolderDepth) return false;
    fs::create_directories(destination, error);
    if (error || !fs::is_directory(destination, error)) return false;
    bool success = true;
    Entry entry;
    while (readEntry(entry)) {
        if (entry.name.empty()) return success;
        const size_t start = position_;
        bool extracted = false;
        if (safeName(entry.name)) {
            extracted = entry.isFolder() ? extractEntries(destination / entry.name, depth + 1)
                                         : extractFile(destination / entry.name, entry);
        }
        success = success && extracted;
        seek(start, entry.size);
    }
    // The folder's end marker was never reached: some entries are missing.
    return false;
}

bool FactoryArchive::extractFile(const fs::path& file, const Entry& entry) {
    std::error_code error;
    if (!overwrite_ && fs::is_regular_file(file, error)) return true;
    std::vector<uint8_t> contents;
    bool inflated = true;
    if (entry.kind > 0) {
        const uint8_t* packed = entry.size >= 0 ? read(static_cast<size_t>(entry.size)) : nullptr;
        inflated = packed &&
                   inflateExactly({packed, static_cast<size_t>(entry.size)}, entry.kind, contents);
        // A file that cannot be inflated is left empty.
        if (!inflated) contents.clear();
    }
    return writeFileAtomically(file.string(), contents) && inflated;
}

bool extractFactoryFolder(std::string_view folder, const std::string& destination, bool overwrite) {
    if (!resourceExists(FactoryArchive::kResourceName)) return false;
    FactoryArchive archive(openResource(FactoryArchive::kResourceName), overwrite);
    return archive.extractFolder(folder, destination);
}

bool restoreFactoryPresets(bool overwrite, const std::string& presetFolder,
                           const std::string& userDataFolder) {
    // Component presets are extras: a failure there is not reported.
    extractFactoryFolder(FactoryArchive::kApplicationDataFolder, userDataFolder, overwrite);
    return extractFactoryFolder(FactoryArchive::kFactoryPresetsFolder, presetFolder, overwrite);
}
