#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "framework/FloatPluginParameter.h"
#include "framework/IndexedPluginParameter.h"
#include "persistence/BinaryDataReader.h"
#include "persistence/BinaryDataWriter.h"
#include "persistence/ParameterRecord.h"
#include "persistence/PresetLoader.h"
#include "persistence/ResourceOpener.h"
#include "tests/framework/ParameterTestOwner.h"
#include "tests/persistence/TemporaryUserFolders.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Four parameters: three continuous ones with distinct defaults and one list, set to 1, 2, 3, 4.
struct RecordOwner {
    RecordOwner() {
        for (int i = 0; i < 3; ++i) {
            auto p = std::make_unique<FloatPluginParameter>(&owner, "F" + std::to_string(i));
            p->setRange(-10.0f, 10.0f, 0.5f * static_cast<float>(i + 1));
            floats.push_back(std::move(p));
        }
        list = std::make_unique<IndexedPluginParameter<int>>(&owner, "L");
        list->declare(0, 5, 2);
        collection.owner = &owner;
        collection.identifier = "TST";
        collection.parameters = owner.parameters;
        set({1.0f, 2.0f, 3.0f, 4.0f});
        owner.changes.clear();
    }
    std::vector<float> values() const {
        std::vector<float> v;
        for (auto* p : owner.parameters) v.push_back(p->getValue());
        return v;
    }
    void set(const std::vector<float>& v) {
        for (size_t i = 0; i < v.size(); ++i) owner.parameters[i]->setValue(v[i], 0);
    }

    ParameterTestOwner owner;
    std::vector<std::unique_ptr<FloatPluginParameter>> floats;
    std::unique_ptr<IndexedPluginParameter<int>> list;
    ParameterCollection collection;
};

template <typename T>
void append(Bytes& b, T v) {
    const auto* raw = reinterpret_cast<const uint8_t*>(&v);
    b.insert(b.end(), raw, raw + sizeof v);
}
// The identifier is stored in four bytes, NUL-padded.
Bytes record(const std::string& identifier, int32_t version, int32_t count,
             const std::vector<float>& values) {
    Bytes b(4, 0);
    std::memcpy(b.data(), identifier.data(), std::min<size_t>(identifier.size(), 4));
    append(b, version);
    append(b, count);
    for (float v : values) append(b, v);
    return b;
}

bool load(RecordOwner& r, const Bytes& bytes, int version = 8) {
    BinaryMemoryReader reader(bytes);
    return ParameterRecord::loadCollection(r.collection, reader, version);
}

TEST(ParameterRecordTest, WrittenRecordIsHeaderCountAndRawLittleEndianFloats) {
    RecordOwner r;
    r.set({-1.5f, 0.0f, 10.0f, 4.0f});
    const Bytes bytes = ParameterRecord::encode(r.collection, 8);
    const Bytes expected = {'T',  'S',  'T', 0, 8, 0, 0, 0, 4,    0,    0, 0, 0,    0,
                            0xC0, 0xBF, 0,   0, 0, 0, 0, 0, 0x20, 0x41, 0, 0, 0x80, 0x40};
    EXPECT_EQ(bytes, expected);
    EXPECT_EQ(bytes.size(), ParameterRecord::recordSize(4));
    EXPECT_EQ(ParameterRecord::paddedIdentifier("QV2iX"), "QV2i");
    EXPECT_EQ(ParameterRecord::paddedIdentifier("A"), std::string("A\0\0\0", 4));
}

TEST(ParameterRecordTest, CountRulesApplyDefaultsAndIgnoreSurplusInOneBatch) {
    RecordOwner r;
    ASSERT_TRUE(load(r, record("TST", 8, 0, {})));
    EXPECT_EQ(r.values(), (std::vector<float>{0.5f, 1.0f, 1.5f, 2.0f}));
    EXPECT_EQ(r.owner.batches, 1);
    EXPECT_EQ(r.owner.depth, 0);
    for (const auto& c : r.owner.changes) EXPECT_EQ(c.depth, 1);

    // Two values: the rest go to their defaults.
    r.set({1.0f, 2.0f, 3.0f, 4.0f});
    ASSERT_TRUE(load(r, record("TST", 8, 2, {-7.0f, 7.0f})));
    EXPECT_EQ(r.values(), (std::vector<float>{-7.0f, 7.0f, 1.5f, 2.0f}));

    // Six values for four parameters: the first four count, the surplus stays unread.
    ASSERT_TRUE(load(r, record("TST", 8, 6, {9.0f, 8.0f, 7.0f, 5.0f, 1.0f, 1.0f})));
    EXPECT_EQ(r.values(), (std::vector<float>{9.0f, 8.0f, 7.0f, 5.0f}));
    // ... even when the surplus is missing from the stream.
    ASSERT_TRUE(load(r, record("TST", 8, 100, {1.0f, 2.0f, 3.0f, 1.0f})));
    EXPECT_EQ(r.values(), (std::vector<float>{1.0f, 2.0f, 3.0f, 1.0f}));

    // Stored values are clamped by the parameters.
    ASSERT_TRUE(load(r, record("TST", 8, 4, {50.0f, -50.0f, 0.0f, 9.0f})));
    EXPECT_EQ(r.values(), (std::vector<float>{10.0f, -10.0f, 0.0f, 5.0f}));
}

TEST(ParameterRecordTest, CutRecordFailsWithValuesBeforeTheCutApplied) {
    RecordOwner r;
    Bytes cut = record("TST", 8, 4, {-1.0f, -2.0f, -3.0f, 1.0f});
    cut.resize(12 + 4 * 2 + 3);  // inside the third value
    EXPECT_FALSE(load(r, cut));
    EXPECT_EQ(r.values(), (std::vector<float>{-1.0f, -2.0f, 3.0f, 4.0f}));
    EXPECT_EQ(r.owner.depth, 0);

    // Cut inside the header or the count: nothing changes.
    const Bytes full = record("TST", 8, 4, {0.0f, 0.0f, 0.0f, 0.0f});
    for (size_t size : {0, 3, 4, 7, 8, 11}) {
        r.owner.changes.clear();
        EXPECT_FALSE(load(r, Bytes(full.begin(), full.begin() + size))) << size;
        EXPECT_TRUE(r.owner.changes.empty()) << size;
    }
}

TEST(ParameterRecordTest, IdentifierAndVersionMismatchesFailBeforeAnyChange) {
    RecordOwner r;
    EXPECT_FALSE(load(r, record("TSX", 8, 4, {0, 0, 0, 0})));
    // "TST" is stored NUL-padded: "TSTx" is another owner.
    EXPECT_FALSE(load(r, record("TSTx", 8, 4, {0, 0, 0, 0})));
    EXPECT_FALSE(load(r, record("TST", 7, 4, {0, 0, 0, 0})));
    EXPECT_TRUE(r.owner.changes.empty());
    EXPECT_EQ(r.owner.batches, 0);

    // Any version through a loader that accepts everything; an override replaces the identifier.
    CollectionPresetLoader loader(r.collection);
    Bytes other = record("ABCD", 3, 1, {-4.0f});
    BinaryMemoryReader reader(other);
    EXPECT_TRUE(ParameterRecord::readRecord(loader, reader, ParameterRecord::kAnyVersion, "ABCD"));
    EXPECT_EQ(r.values()[0], -4.0f);
}

TEST(ParameterRecordTest, FilesRoundTripAndMissingFilesFail) {
    RecordOwner r;
    const TemporaryUserFolders user;
    const std::string folder = user.root().string();
    const std::string path = folder + "/round-trip.bin";
    r.set({-3.25f, 9.5f, 0.125f, 3.0f});
    ASSERT_TRUE(ParameterRecord::writeCollection(r.collection, path, 8));
    r.set({0.0f, 0.0f, 0.0f, 0.0f});
    ASSERT_TRUE(ParameterRecord::loadCollection(r.collection, path, 8));
    EXPECT_EQ(r.values(), (std::vector<float>{-3.25f, 9.5f, 0.125f, 3.0f}));
    EXPECT_FALSE(ParameterRecord::loadCollection(r.collection, path, 6));
    EXPECT_FALSE(ParameterRecord::loadCollection(r.collection, path + ".missing", 8));
    EXPECT_FALSE(ParameterRecord::writeCollection(r.collection, folder + "/no/x.bin", 8));
}

// The loader of a product whose current version is 3; version 2 records lack "F1".
class MappedLoaderTest : public ::testing::Test {
protected:
    void TearDown() override { unregisterResource("PresetMap_TST_2.qvpresetmap"); }

    static Bytes presetMap(int32_t current, const std::vector<int32_t>& old,
                           const std::vector<int32_t>& resets) {
        Bytes b = {'P', 'M', 'a', 'p'};
        append(b, 1);
        append(b, current);
        append(b, static_cast<int32_t>(old.size()));
        for (int32_t i : old) append(b, i);
        for (int32_t i : resets) append(b, i);
        return b;
    }
    bool loadOld(const Bytes& map, const Bytes& rec) {
        registerResource("PresetMap_TST_2.qvpresetmap", map);
        CustomPresetLoader loader(r.owner, "TST", 3);
        BinaryMemoryReader reader(rec);
        return ParameterRecord::readRecord(loader, reader);
    }

    RecordOwner r;
};

TEST_F(MappedLoaderTest, PresetMapPlacesOldValuesAndResetsMissingParameters) {
    r.set({7.0f, 7.0f, 7.0f, 4.0f});
    // Old order: list, F2, (dropped), F0. F1 is new and reset.
    const Bytes map = presetMap(4, {3, 2, -1, 0}, {1});
    ASSERT_TRUE(loadOld(map, record("TST", 2, 4, {1.0f, -2.0f, 99.0f, -6.0f})));
    EXPECT_EQ(r.values(), (std::vector<float>{-6.0f, 1.0f, -2.0f, 1.0f}));

    // The current version needs no map.
    CustomPresetLoader loader(r.owner, "TST", 3);
    const Bytes current = record("TST", 3, 4, {1.0f, 2.0f, 3.0f, 0.0f});
    BinaryMemoryReader reader(current);
    ASSERT_TRUE(ParameterRecord::readRecord(loader, reader));
    EXPECT_EQ(r.values(), (std::vector<float>{1.0f, 2.0f, 3.0f, 0.0f}));
}

TEST_F(MappedLoaderTest, MissingOrMalformedMapsRefuseTheRecord) {
    r.set({7.0f, 7.0f, 7.0f, 4.0f});
    const Bytes rec = record("TST", 2, 4, {1.0f, 1.0f, 1.0f, 1.0f});
    CustomPresetLoader loader(r.owner, "TST", 3);
    BinaryMemoryReader reader(rec);
    EXPECT_FALSE(ParameterRecord::readRecord(loader, reader));        // no map at all
    EXPECT_FALSE(loadOld(presetMap(5, {3, 2, -1, 0}, {1, 1}), rec));  // counts disagree
    EXPECT_FALSE(loadOld(presetMap(4, {3, 2, -1, 0}, {}), rec));      // reset list cut short
    EXPECT_FALSE(loadOld(presetMap(4, {3, 2, 9, 0}, {1}), rec));      // index out of range
    EXPECT_FALSE(loadOld(presetMap(0, {}, {}), rec));
    Bytes wrongTag = presetMap(4, {3, 2, -1, 0}, {1});
    wrongTag[0] = 'Q';
    EXPECT_FALSE(loadOld(wrongTag, rec));
    // Newer than the loader knows, or below 1.
    EXPECT_FALSE(loadOld(presetMap(4, {3, 2, -1, 0}, {1}), record("TST", 4, 0, {})));
    EXPECT_FALSE(loadOld(presetMap(4, {3, 2, -1, 0}, {1}), record("TST", 0, 0, {})));
    EXPECT_EQ(r.values(), (std::vector<float>{7.0f, 7.0f, 7.0f, 4.0f}));
}

// Reading past the end is what the record tests cut at; here the rewind the version fallback
// takes after a failed read, and the missing sources.
TEST(BinaryDataReaderTest, RewindsAfterAFailureAndMissingSourcesFail) {
    const Bytes bytes = record("QV2i", -2, 1, {0.25f});
    BinaryMemoryReader reader(bytes);
    EXPECT_EQ(reader.version(), -1);
    EXPECT_EQ(reader.readHeader(), "QV2i");
    EXPECT_EQ(reader.version(), -2);
    float value = 0.0f;
    EXPECT_TRUE(reader.readFloat(value) && reader.readFloat(value));
    EXPECT_FALSE(reader.readFloat(value));
    EXPECT_FALSE(reader.good());
    ASSERT_TRUE(reader.rewind());
    EXPECT_EQ(reader.readHeader(), "QV2i");

    EXPECT_EQ(BinaryFileReader("/nonexistent-folder/no-such-file").readHeader(), "");
    EXPECT_THROW(BinaryResourceReader("NoSuchResource.bin"), EResource);
}

}  // namespace
