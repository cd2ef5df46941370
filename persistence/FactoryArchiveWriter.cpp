#include "persistence/FactoryArchiveWriter.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

#include "persistence/FactoryArchive.h"

namespace fs = std::filesystem;

namespace {

// The header bytes after the magic that the reader skips, filled as the shipped archive has
// them: a format tag, a 32-bit value, a 64-bit float, the file count (patched at the end), six
// fixed int32 values and a zero byte.
constexpr uint8_t kFormatTag[] = {0x05, 0x03, 0x0B, 0x00};
constexpr size_t kFileCountOffset = 24;
constexpr int32_t kTrailingValues[] = {-100, 1, 1, 0, 0, 0};

void append32(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

bool validName(std::string_view name) {
    return !name.empty() && name.size() <= FactoryArchive::kNameFieldSize &&
           name.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos &&
           name != "." && name != "..";
}

}  // namespace

FactoryArchiveWriter::FactoryArchiveWriter() {
    for (const auto byte : FactoryArchive::kMagic) bytes_.push_back(static_cast<uint8_t>(byte));
    for (const auto byte : kFormatTag) bytes_.push_back(static_cast<uint8_t>(byte));
    append32(bytes_, 0);
    bytes_.insert(bytes_.end(), sizeof(double), 0);  // 0.0
    append32(bytes_, 0);                             // file count
    for (int32_t v : kTrailingValues) append32(bytes_, static_cast<uint32_t>(v));
    bytes_.push_back(0);
}

bool FactoryArchiveWriter::appendEntryHeader(std::string_view name, int32_t size, uint32_t kind) {
    if (!name.empty() && !validName(name)) return false;
    bytes_.push_back(static_cast<uint8_t>(name.size()));
    bytes_.insert(bytes_.end(), name.begin(), name.end());
    bytes_.insert(bytes_.end(), FactoryArchive::kNameFieldSize - name.size(), 0);
    append32(bytes_, static_cast<uint32_t>(size));
    append32(bytes_, kind);
    return true;
}

void FactoryArchiveWriter::patch32(size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes_[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

bool FactoryArchiveWriter::beginFolder(std::string_view name) {
    if (!validName(name)) return false;
    openFolders_.push_back(bytes_.size());
    return appendEntryHeader(name, 0, FactoryArchive::kFolderKind);
}

bool FactoryArchiveWriter::endFolder() {
    if (openFolders_.empty()) return false;
    appendEntryHeader({}, 0, 0);
    const size_t header = openFolders_.back();
    openFolders_.pop_back();
    const size_t contentStart = header + FactoryArchive::kEntryHeaderSize;
    patch32(header + FactoryArchive::kSizeOffset,
            static_cast<uint32_t>(bytes_.size() - contentStart));
    return true;
}

bool FactoryArchiveWriter::addFile(std::string_view name, std::span<const uint8_t> contents) {
    if (!validName(name)) return false;
    std::vector<uint8_t> packed;
    if (!contents.empty()) {
        uLongf length = compressBound(static_cast<uLong>(contents.size()));
        packed.resize(length);
        if (compress2(packed.data(), &length, contents.data(), static_cast<uLong>(contents.size()),
                      Z_BEST_COMPRESSION) != Z_OK) {
            return false;
        }
        packed.resize(length);
    }
    appendEntryHeader(name, static_cast<int32_t>(packed.size()),
                      static_cast<uint32_t>(contents.size()));
    bytes_.insert(bytes_.end(), packed.begin(), packed.end());
    ++fileCount_;
    return true;
}

bool FactoryArchiveWriter::addTree(std::string_view name, const fs::path& folder) {
    std::error_code error;
    std::vector<fs::directory_entry> entries;
    for (fs::directory_iterator it(folder, error); !error && it != fs::directory_iterator();
         it.increment(error)) {
        entries.push_back(*it);
    }
    if (error || !beginFolder(name)) return false;
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
        return a.path().filename() < b.path().filename();
    });
    for (const fs::directory_entry& entry : entries) {
        const std::string child = entry.path().filename().string();
        if (entry.is_directory()) {
            if (!addTree(child, entry.path())) return false;
        } else {
            std::ifstream in(entry.path(), std::ios::binary);
            if (!in.is_open()) return false;
            const std::vector<uint8_t> contents{std::istreambuf_iterator<char>(in),
                                                std::istreambuf_iterator<char>()};
            if (!addFile(child, contents)) return false;
        }
    }
    return endFolder();
}

bool FactoryArchiveWriter::finish(std::vector<uint8_t>& archive) {
    if (!openFolders_.empty()) return false;
    appendEntryHeader({}, 0, 0);
    patch32(kFileCountOffset, static_cast<uint32_t>(fileCount_));
    archive = bytes_;
    return true;
}
