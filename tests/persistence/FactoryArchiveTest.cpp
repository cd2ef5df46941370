#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "persistence/FactoryArchive.h"
#include "persistence/FactoryArchiveWriter.h"
#include "persistence/ResourceOpener.h"
#include "tests/persistence/TemporaryUserFolders.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;

constexpr size_t kHeader = FactoryArchive::kHeaderSize;
constexpr size_t kEntry = FactoryArchive::kEntryHeaderSize;

Bytes bytesOf(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

uint32_t at32(const Bytes& b, size_t offset) {
    return static_cast<uint32_t>(b[offset]) | static_cast<uint32_t>(b[offset + 1]) << 8 |
           static_cast<uint32_t>(b[offset + 2]) << 16 | static_cast<uint32_t>(b[offset + 3]) << 24;
}

void put32(Bytes& b, size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i) b[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

// Every regular file below root by its relative path, with its bytes.
std::map<std::string, Bytes> treeOf(const fs::path& root) {
    std::map<std::string, Bytes> files;
    if (!fs::exists(root)) return files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_regular_file()) {
            files[entry.path().lexically_relative(root).string()] = readBytes(entry.path());
        }
    }
    return files;
}

// "FactoryPresets" { "A.qvp" = "abc", "Pads" { "E.qvp" = empty } }.
Bytes tinyArchive() {
    FactoryArchiveWriter writer;
    EXPECT_TRUE(writer.beginFolder("FactoryPresets"));
    EXPECT_TRUE(writer.addFile("A.qvp", bytesOf("abc")));
    EXPECT_TRUE(writer.beginFolder("Pads"));
    EXPECT_TRUE(writer.addFile("E.qvp", {}));
    EXPECT_TRUE(writer.endFolder());
    EXPECT_TRUE(writer.endFolder());
    Bytes archive;
    EXPECT_TRUE(writer.finish(archive));
    return archive;
}

class FactoryArchiveTest : public ::testing::Test {
protected:
    // A shipped-like archive: two top-level folders, nested folders, a record-sized file, an
    // empty one and incompressible bytes.
    void SetUp() override {
        std::mt19937 random(7);
        Bytes noise(1500);
        for (uint8_t& b : noise) b = static_cast<uint8_t>(random());
        Bytes record(3544, 0);
        std::memcpy(record.data(), "QV2i", 4);
        record[4] = 8;
        source_["FactoryPresets/Default Sound.qvp"] = record;
        source_["FactoryPresets/Bass/Deep.qvp"] = noise;
        source_["FactoryPresets/Bass/Sub/Empty.qvp"] = {};
        source_["FactoryPresets/_Best of/Deep.qvp"] = bytesOf("best");
        source_["ApplicationData/Component Presets/EG/Default.eg"] = bytesOf("eg");
        source_["ApplicationData/Component Presets/Oscillator/Default.osc"] = bytesOf("osc");
        for (const auto& [path, bytes] : source_)
            writeBytes(user_.documents() / "tree" / path, bytes);
        FactoryArchiveWriter writer;
        ASSERT_TRUE(writer.addTree("ApplicationData", user_.documents() / "tree/ApplicationData"));
        ASSERT_TRUE(writer.addTree("FactoryPresets", user_.documents() / "tree/FactoryPresets"));
        ASSERT_TRUE(writer.finish(archive_));
        EXPECT_EQ(writer.fileCount(), static_cast<int>(source_.size()));
    }
    void TearDown() override { unregisterResource(FactoryArchive::kResourceName); }

    // The source files below one top-level folder, by path relative to it.
    std::map<std::string, Bytes> sourceBelow(const std::string& folder) const {
        std::map<std::string, Bytes> files;
        for (const auto& [path, bytes] : source_) {
            if (path.starts_with(folder + "/")) files[path.substr(folder.size() + 1)] = bytes;
        }
        return files;
    }

    TemporaryUserFolders user_;
    std::map<std::string, Bytes> source_;
    Bytes archive_;
    fs::path presets_ = user_.documents() / "Vorn Presets";
    fs::path data_ = user_.data() / "Vorn";
};

TEST(FactoryArchiveLayoutTest, TinyArchiveHasTheDocumentedBytes) {
    const Bytes a = tinyArchive();
    // Header: magic, format tag, 32-bit value, double, file count, six int32 and a zero byte.
    ASSERT_GT(a.size(), kHeader);
    EXPECT_EQ(std::string(a.begin(), a.begin() + 8), "QS/ISB/3");
    EXPECT_EQ(Bytes(a.begin() + 8, a.begin() + 12), (Bytes{0x05, 0x03, 0x0B, 0x00}));
    EXPECT_EQ(at32(a, 24), 2u);
    const int32_t trailing[] = {-100, 1, 1, 0, 0, 0};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(static_cast<int32_t>(at32(a, 28 + 4 * i)), trailing[i]);
    EXPECT_EQ(a[52], 0);

    // Top folder header: length, name padded with zeros, size up to its end marker, all bits set.
    size_t p = kHeader;
    EXPECT_EQ(a[p], 14);
    EXPECT_EQ(std::string(a.begin() + p + 1, a.begin() + p + 15), "FactoryPresets");
    for (size_t i = p + 15; i < p + 68; ++i) ASSERT_EQ(a[i], 0) << i;
    EXPECT_EQ(at32(a, p + 72), 0xFFFFFFFFu);
    const size_t folderEnd = p + kEntry + at32(a, p + 68);
    // The archive's own end marker follows the folder, and nothing after it.
    ASSERT_EQ(folderEnd + kEntry, a.size());
    EXPECT_EQ(a[folderEnd], 0);

    // "A.qvp": compressed size, uncompressed length 3, one zlib stream (inflating checks its
    // header and adler32).
    p += kEntry;
    EXPECT_EQ(a[p], 5);
    EXPECT_EQ(std::string(a.begin() + p + 1, a.begin() + p + 6), "A.qvp");
    const uint32_t packed = at32(a, p + 68);
    EXPECT_EQ(at32(a, p + 72), 3u);
    const size_t data = p + kEntry;
    uLongf length = 3;
    Bytes plain(3);
    ASSERT_EQ(uncompress(plain.data(), &length, a.data() + data, packed), Z_OK);
    EXPECT_EQ(plain, bytesOf("abc"));

    // "Pads" holds the empty "E.qvp" (no data at all) and its end marker: 2 headers long.
    p = data + packed;
    EXPECT_EQ(a[p], 4);
    EXPECT_EQ(at32(a, p + 68), 2 * kEntry);
    p += kEntry;
    EXPECT_EQ(a[p], 5);
    EXPECT_EQ(at32(a, p + 68), 0u);
    EXPECT_EQ(at32(a, p + 72), 0u);
    // The end markers of "Pads" and "FactoryPresets".
    EXPECT_EQ(a[p + kEntry], 0);
    EXPECT_EQ(a[p + 2 * kEntry], 0);
    EXPECT_EQ(p + 3 * kEntry, folderEnd);
}

TEST(FactoryArchiveLayoutTest, WriterRefusesNamesTheFormatCannotCarry) {
    FactoryArchiveWriter writer;
    EXPECT_FALSE(writer.addFile("", bytesOf("x")));
    EXPECT_FALSE(writer.addFile(std::string(68, 'n'), bytesOf("x")));
    EXPECT_TRUE(writer.addFile(std::string(67, 'n'), bytesOf("x")));
    for (const char* name : {"a/b", "a\\b", "..", "."}) EXPECT_FALSE(writer.beginFolder(name));
    EXPECT_FALSE(writer.endFolder());
    EXPECT_TRUE(writer.beginFolder("open"));
    Bytes archive;
    EXPECT_FALSE(writer.finish(archive));
}

TEST_F(FactoryArchiveTest, PackedTreesExtractByteForByteIntoTheDestination) {
    for (const char* asked : {"FactoryPresets", "factorypresets"}) {
        const fs::path destination = presets_ / asked;
        FactoryArchive archive(archive_, false);
        ASSERT_TRUE(archive.extractFolder(asked, destination)) << asked;
        // The folder's entries land in the destination itself, the other top folder nowhere.
        EXPECT_EQ(treeOf(destination), sourceBelow("FactoryPresets")) << asked;
        EXPECT_TRUE(fs::is_directory(destination / "Bass/Sub"));
    }
    FactoryArchive archive(archive_, false);
    ASSERT_TRUE(archive.extractFolder("ApplicationData", data_));
    EXPECT_EQ(treeOf(data_), sourceBelow("ApplicationData"));
    // A file is not a folder, whatever its name.
    EXPECT_FALSE(archive.extractFolder("Default Sound.qvp", presets_ / "x"));
    EXPECT_FALSE(fs::exists(presets_ / "x"));
}

TEST_F(FactoryArchiveTest, RestoreKeepsChangedUserFilesUnlessOverwriting) {
    registerResource(FactoryArchive::kResourceName, archive_);
    ASSERT_TRUE(restoreFactoryPresets(false, presets_.string(), data_.string()));
    EXPECT_EQ(treeOf(presets_), sourceBelow("FactoryPresets"));
    EXPECT_EQ(treeOf(data_), sourceBelow("ApplicationData"));

    // The user changes a factory preset and the default component, deletes one, adds their own.
    const Bytes mine = bytesOf("user's own sound");
    writeBytes(presets_ / "Bass/Deep.qvp", mine);
    writeBytes(data_ / "Component Presets/EG/Default.eg", mine);
    fs::remove(presets_ / "_Best of/Deep.qvp");
    writeBytes(presets_ / "Bass/Mine.qvp", mine);

    ASSERT_TRUE(restoreFactoryPresets(false, presets_.string(), data_.string()));
    auto expected = sourceBelow("FactoryPresets");
    expected["Bass/Deep.qvp"] = mine;
    expected["Bass/Mine.qvp"] = mine;
    EXPECT_EQ(treeOf(presets_), expected);
    EXPECT_EQ(readBytes(data_ / "Component Presets/EG/Default.eg"), mine);

    writeBytes(presets_ / "Default Sound.qvp", mine);
    ASSERT_TRUE(restoreFactoryPresets(true, presets_.string(), data_.string()));
    expected = sourceBelow("FactoryPresets");
    expected["Bass/Mine.qvp"] = mine;  // not a factory file: left alone
    EXPECT_EQ(treeOf(presets_), expected);
    EXPECT_EQ(treeOf(data_), sourceBelow("ApplicationData"));
}

// Archives cut short anywhere: the next test.
TEST_F(FactoryArchiveTest, MalformedArchivesAreRejectedWithoutWritingAnything) {
    Bytes badMagic = archive_;
    badMagic[7] = '4';
    Bytes endFirst(archive_.begin(), archive_.begin() + kHeader);
    endFirst.resize(kHeader + kEntry, 0);
    Bytes longName = archive_;
    longName[kHeader] = 68;
    Bytes backwards = archive_;  // a negative size must not loop
    put32(backwards, kHeader + 68, static_cast<uint32_t>(-static_cast<int32_t>(kEntry)));
    const std::vector<const char*> both = {"ApplicationData", "FactoryPresets"};
    const std::tuple<const char*, Bytes, std::vector<const char*>> cases[] = {
        {"wrong magic", badMagic, both},
        {"end marker first", endFirst, both},
        {"name longer than its field", longName, both},
        // Only skipping the first folder reads its size.
        {"negative folder size", backwards, {"FactoryPresets"}},
    };
    for (const auto& [what, bytes, folders] : cases) {
        for (const char* folder : folders) {
            FactoryArchive archive(bytes, true);
            EXPECT_FALSE(archive.extractFolder(folder, presets_)) << what << " " << folder;
            EXPECT_FALSE(fs::exists(presets_)) << what;
        }
    }
}

TEST_F(FactoryArchiveTest, TruncatedArchivesFailWithoutWritingOutsideTheDestination) {
    const Bytes a = tinyArchive();
    const size_t folderEnd = a.size() - kEntry;
    // Cuts around every entry boundary and at every 16th byte (each cut costs real file writes).
    const size_t packed = at32(a, kHeader + kEntry + 68);
    std::set<size_t> cuts;
    for (const size_t boundary : {size_t{8}, kHeader, kHeader + kEntry, kHeader + 2 * kEntry,
                                  kHeader + 2 * kEntry + packed, kHeader + 3 * kEntry + packed,
                                  kHeader + 4 * kEntry + packed, kHeader + 5 * kEntry + packed}) {
        cuts.insert({boundary - 1, boundary, boundary + 1});
    }
    for (size_t cut = 0; cut < folderEnd; cut += 16) cuts.insert(cut);
    ASSERT_EQ(kHeader + 6 * kEntry + packed, folderEnd);
    for (const size_t cut : cuts) {
        const Bytes shortened(a.begin(), a.begin() + static_cast<long>(cut));
        FactoryArchive archive(shortened, true);
        EXPECT_FALSE(archive.extractFolder("FactoryPresets", presets_ / "inner")) << cut;
        if (cut < kHeader) {
            EXPECT_FALSE(fs::exists(presets_)) << cut;  // no header: nothing at all
        }
        for (const auto& [path, bytes] : treeOf(presets_)) {
            EXPECT_TRUE(path.starts_with("inner/")) << cut << " " << path;
        }
        fs::remove_all(presets_);
    }
    // Cut after the folder's end marker, only the archive's own is missing.
    const Bytes shortened(a.begin(), a.begin() + static_cast<long>(folderEnd));
    FactoryArchive archive(shortened, true);
    EXPECT_TRUE(archive.extractFolder("FactoryPresets", presets_));
}

TEST_F(FactoryArchiveTest, BadEntriesFailTheFolderButTheirSiblingsAreStillWritten) {
    // Names that would leave the destination, and data that inflates to more or less than the
    // stated length.
    FactoryArchiveWriter writer;
    ASSERT_TRUE(writer.beginFolder("FactoryPresets"));
    ASSERT_TRUE(writer.addFile("first.qvp", bytesOf("1")));
    ASSERT_TRUE(writer.addFile("dotdot", bytesOf("evil")));
    ASSERT_TRUE(writer.beginFolder("updir"));
    ASSERT_TRUE(writer.addFile("escape.qvp", bytesOf("evil")));
    ASSERT_TRUE(writer.endFolder());
    ASSERT_TRUE(writer.addFile("slash", bytesOf("evil")));
    ASSERT_TRUE(writer.addFile("short.qvp", bytesOf("0123456789")));
    ASSERT_TRUE(writer.addFile("long.qvp", bytesOf("0123456789")));
    ASSERT_TRUE(writer.addFile("last.qvp", bytesOf("2")));
    ASSERT_TRUE(writer.endFolder());
    Bytes a;
    ASSERT_TRUE(writer.finish(a));
    auto rename = [&a](std::string_view from, std::string_view to) {
        const auto it = std::search(a.begin(), a.end(), from.begin(), from.end());
        ASSERT_NE(it, a.end());
        std::copy(to.begin(), to.end(), it);
        *(it - 1) = static_cast<uint8_t>(to.size());
    };
    rename("dotdot", "..");
    rename("updir", "..");
    rename("slash", "../x/");
    const auto state = [&a](std::string_view name, uint32_t length) {
        const auto entry = std::search(a.begin(), a.end(), name.begin(), name.end()) - 1;
        put32(a, static_cast<size_t>(entry - a.begin()) + 72, length);
    };
    state("short.qvp", 11);
    state("long.qvp", 9);

    const fs::path destination = presets_ / "inner";
    FactoryArchive archive(a, true);
    EXPECT_FALSE(archive.extractFolder("FactoryPresets", destination));
    const std::map<std::string, Bytes> expected = {{"inner/first.qvp", bytesOf("1")},
                                                   {"inner/short.qvp", {}},
                                                   {"inner/long.qvp", {}},
                                                   {"inner/last.qvp", bytesOf("2")}};
    EXPECT_EQ(treeOf(presets_), expected);
}

}  // namespace
