#include <gtest/gtest.h>

#include <vector>

#include "midi/MidiControllerMap.h"
#include "midi/MidiLearnSelection.h"

namespace {

std::vector<int32_t> ids(const MidiControllerMap& map) {
    std::vector<int32_t> out;
    for (int c = 0; c < MidiControllerMap::kControllers; ++c) out.push_back(map.parameterFor(c));
    return out;
}

TEST(MidiControllerMapFile, LayoutIsMagicVersionAndLittleEndianIdsAndRoundTrips) {
    MidiControllerMap map;
    map.assign(0, 0x01020304);
    map.assign(74, 32);
    map.assign(127, 0x100003);
    const MidiControllerMap::FileBytes bytes = map.writeMap();
    // Offset and the four bytes there: header, controllers 0, 1, 74 and 127.
    const std::pair<size_t, std::array<uint8_t, 4>> expected[] = {
        {0, {'Q', 'V', 'C', 'M'}},     {4, {1, 0, 0, 0}},
        {8, {0x04, 0x03, 0x02, 0x01}}, {12, {0xFF, 0xFF, 0xFF, 0xFF}},
        {8 + 4 * 74, {32, 0, 0, 0}},   {516, {0x03, 0x00, 0x10, 0x00}}};
    ASSERT_EQ(bytes.size(), 520u);
    for (const auto& [offset, four] : expected) {
        EXPECT_TRUE(std::equal(four.begin(), four.end(), bytes.begin() + offset)) << offset;
    }
    MidiControllerMap read;
    ASSERT_TRUE(read.readMap(bytes));
    EXPECT_EQ(ids(read), ids(map));
}

TEST(MidiControllerMapFile, DamagedFilesFollowTheReadRules) {
    MidiControllerMap source;
    for (int c = 0; c < 128; ++c) source.assign(c, 1000 + c);
    const MidiControllerMap::FileBytes good = source.writeMap();

    // Wrong magic: rejected, map untouched (also when the file is shorter than the magic).
    for (size_t size : {size_t(520), size_t(3), size_t(0)}) {
        std::vector<uint8_t> bytes(good.begin(), good.begin() + static_cast<long>(size));
        if (size == 520) bytes[3] = 'X';
        MidiControllerMap map;
        map.assign(5, 30);
        EXPECT_FALSE(map.readMap(bytes)) << size;
        EXPECT_EQ(map.parameterFor(5), 30) << size;
    }

    // Cut inside the ids: the ids before the cut are read, the rest become 0, the read fails.
    MidiControllerMap map;
    EXPECT_FALSE(map.readMap(std::vector<uint8_t>(good.begin(), good.begin() + 8 + 4 * 10 + 2)));
    for (int c = 0; c < 128; ++c) EXPECT_EQ(map.parameterFor(c), c < 10 ? 1000 + c : 0) << c;
    // Cut inside the version: every id becomes 0.
    EXPECT_FALSE(map.readMap(std::vector<uint8_t>(good.begin(), good.begin() + 6)));
    EXPECT_EQ(ids(map), std::vector<int32_t>(128, 0));

    // Any version is read; bytes after the ids are ignored.
    std::vector<uint8_t> longer(good.begin(), good.end());
    longer[4] = 9;
    longer.insert(longer.end(), {1, 2, 3});
    EXPECT_TRUE(map.readMap(longer));
    EXPECT_EQ(ids(map), ids(source));
}

// The labels themselves are checked through the editor.
TEST(MidiLearnSelection, LearnParameterAndClearing) {
    MidiControllerMap map;
    map.assign(74, 32);
    map.assign(71, 34);
    MidiLearnSelection selection;
    EXPECT_FALSE(selection.selectLearnTarget(-1, false, 5, "x"));  // nothing was selected already
    selection.clearSelected(map);  // nothing selected: the map stays
    EXPECT_EQ(map.parameterFor(74), 32);

    EXPECT_TRUE(selection.selectLearnTarget(3, false, 32, "Filter 1 Freq"));
    EXPECT_EQ(selection.learnParameter(), 32);
    EXPECT_FALSE(selection.selectLearnTarget(3, false, 32, "Filter 1 Freq"));
    // The same index among the ghost controls is another control.
    EXPECT_TRUE(selection.selectLearnTarget(3, true, 34, "Filter Link Freq"));
    EXPECT_EQ(selection.learnParameter(), 34);

    selection.clearSelected(map);  // unmaps only the selected parameter
    EXPECT_EQ(map.parameterFor(71), MidiControllerMap::kUnmapped);
    EXPECT_EQ(map.parameterFor(74), 32);
    EXPECT_EQ(selection.index(), MidiLearnSelection::kNone);
    EXPECT_EQ(selection.learnParameter(), -1);
    EXPECT_TRUE(selection.selectLearnTarget(3, true, 34, "Filter Link Freq"));
    EXPECT_TRUE(selection.selectLearnTarget(-7, true, 99, "ignored"));
    EXPECT_EQ(selection.learnParameter(), -1);
}

}  // namespace
