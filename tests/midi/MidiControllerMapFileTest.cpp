#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "midi/MidiControllerMap.h"
#include "midi/MidiLearnSelection.h"

namespace {

std::vector<int32_t> ids(const MidiControllerMap& map) {
    std::vector<int32_t> out;
    for (int c = 0; c < MidiControllerMap::kControllers; ++c) out.push_back(map.parameterFor(c));
    return out;
}

TEST(MidiControllerMapFile, LayoutIsMagicVersionAndLittleEndianIds) {
    MidiControllerMap map;
    map.assign(0, 0x01020304);
    map.assign(74, 32);
    map.assign(127, 0x100003);
    const MidiControllerMap::FileBytes bytes = map.writeMap();
    ASSERT_EQ(bytes.size(), 520u);
    const uint8_t header[] = {'Q', 'V', 'C', 'M', 0x01, 0x00, 0x00, 0x00};
    EXPECT_TRUE(std::equal(std::begin(header), std::end(header), bytes.begin()));
    const uint8_t first[] = {0x04, 0x03, 0x02, 0x01};
    EXPECT_TRUE(std::equal(std::begin(first), std::end(first), bytes.begin() + 8));
    const uint8_t unmapped[] = {0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_TRUE(std::equal(std::begin(unmapped), std::end(unmapped), bytes.begin() + 12));
    const uint8_t c74[] = {32, 0, 0, 0};
    EXPECT_TRUE(std::equal(std::begin(c74), std::end(c74), bytes.begin() + 8 + 4 * 74));
    const uint8_t last[] = {0x03, 0x00, 0x10, 0x00};
    EXPECT_TRUE(std::equal(std::begin(last), std::end(last), bytes.begin() + 516));
}

TEST(MidiControllerMapFile, RandomMapsRoundTrip) {
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        MidiControllerMap written;
        for (int k = 0; k < 40; ++k)
            written.assign(static_cast<int>(random() % 128), static_cast<int32_t>(random() % 900));
        MidiControllerMap read;
        ASSERT_TRUE(read.readMap(written.writeMap()));
        ASSERT_EQ(ids(read), ids(written));
    }
}

TEST(MidiControllerMapFile, DamagedFilesFollowTheReadRules) {
    MidiControllerMap source;
    for (int c = 0; c < 128; ++c) source.assign(c, 1000 + c);
    const MidiControllerMap::FileBytes good = source.writeMap();
    const std::vector<int32_t> before = [] {
        MidiControllerMap m;
        m.assign(5, 30);
        return ids(m);
    }();

    // Wrong magic: rejected, map untouched (also when the file is shorter than the magic).
    for (size_t size : {size_t(520), size_t(3), size_t(0)}) {
        std::vector<uint8_t> bytes(good.begin(), good.begin() + static_cast<long>(size));
        if (size == 520) bytes[3] = 'X';
        MidiControllerMap map;
        map.assign(5, 30);
        EXPECT_FALSE(map.readMap(bytes)) << size;
        EXPECT_EQ(ids(map), before) << size;
    }

    // Cut inside the ids: the ids before the cut are read, the rest become 0, the read fails.
    std::vector<uint8_t> cut(good.begin(), good.begin() + 8 + 4 * 10 + 2);
    MidiControllerMap map;
    EXPECT_FALSE(map.readMap(cut));
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

TEST(MidiLearnSelection, LabelsAndLearnParameterFollowTheSelection) {
    MidiLearnSelection selection;
    EXPECT_EQ(selection.label(), "Click a control to activate it for MIDI Learn mode");
    EXPECT_EQ(selection.learnParameter(), -1);
    EXPECT_FALSE(selection.selectLearnTarget(-1, false, 5, "x"));  // nothing was selected already

    EXPECT_TRUE(selection.selectLearnTarget(3, false, 32, "Filter 1 Freq"));
    EXPECT_EQ(selection.label(),
              "Move a slider/knob on your MIDI controller to associate it to: Filter 1 Freq");
    EXPECT_EQ(selection.learnParameter(), 32);
    EXPECT_FALSE(selection.selectLearnTarget(3, false, 32, "Filter 1 Freq"));
    // The same index among the ghost controls is another control.
    EXPECT_TRUE(selection.selectLearnTarget(3, true, 0x100000, "Filter Link Freq"));
    EXPECT_TRUE(selection.isGhost());
    EXPECT_EQ(selection.learnParameter(), 0x100000);
    EXPECT_EQ(selection.label(),
              "Move a slider/knob on your MIDI controller to associate it to: Filter Link Freq");

    EXPECT_TRUE(selection.selectLearnTarget(-7, true, 99, "ignored"));
    EXPECT_EQ(selection.index(), MidiLearnSelection::kNone);
    EXPECT_EQ(selection.learnParameter(), -1);
    EXPECT_EQ(selection.label(), "Click a control to activate it for MIDI Learn mode");
}

TEST(MidiLearnSelection, ClearingUnmapsOnlyTheSelectedParameter) {
    MidiControllerMap map;
    map.assign(74, 32);
    map.assign(71, 34);
    MidiLearnSelection selection;
    selection.clearSelected(map);  // nothing selected: the map stays
    EXPECT_EQ(map.parameterFor(74), 32);

    selection.selectLearnTarget(0, false, 32, "Filter 1 Freq");
    selection.clearSelected(map);
    EXPECT_EQ(map.parameterFor(74), MidiControllerMap::kUnmapped);
    EXPECT_EQ(map.parameterFor(71), 34);
    EXPECT_EQ(selection.index(), MidiLearnSelection::kNone);
    EXPECT_EQ(selection.learnParameter(), -1);
}

}  // namespace
