#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/ModulationNames.h"

namespace {

TEST(ModulationNamesTest, SourceNamesInSourceOrder) {
    const std::vector<std::string>& names = modulationSourceNames();
    ASSERT_EQ(names.size(), 34u);
    EXPECT_EQ(names[0], "XY 1 Hor");
    EXPECT_EQ(names[1], "XY 1 Ver");
    EXPECT_EQ(names[7], "XY 4 Ver");
    EXPECT_EQ(names[8], "XLFO 1");
    EXPECT_EQ(names[13], "XLFO 6");
    EXPECT_EQ(names[14], "EG Main");
    EXPECT_EQ(names[15], "EG 2");
    EXPECT_EQ(names[19], "EG 6");
    EXPECT_EQ(names[20], "EF 1");
    EXPECT_EQ(names[23], "EF 4");
    EXPECT_EQ(names[24], "MIDI 1");
    EXPECT_EQ(names[33], "MIDI 10");
}

TEST(ModulationNamesTest, TargetNamesInTargetOrder) {
    const std::vector<std::string>& names = modulationTargetNames();
    ASSERT_EQ(names.size(), 157u);
    const std::pair<int, const char*> rows[] = {
        {0, "Master Tune"},
        {1, "Portamento"},
        {2, "Osc 1 Detune"},
        {3, "Osc 1 Pulse Width"},
        {4, "Osc 1 Sync"},
        {6, "Osc 1 Pan"},
        {16, "Osc 3 Pan"},
        {17, "Filter 1 Freq"},
        {22, "Filter 2 Peak"},
        {23, "Delay 1 Time"},
        {26, "Delay 1 Cross Feedback"},
        {30, "Delay 2 Cross Feedback"},
        {31, "Delay Filter 1 Freq"},
        {36, "Delay Filter 2 Peak"},
        {37, "Delay Level"},
        {40, "Dry Pan"},
        {41, "XLFO 1 Freq"},
        {43, "XLFO 1 Phase Offset"},
        {58, "XLFO 6 Phase Offset"},
        {59, "EG 1 Hold"},
        {64, "EG 1 Release"},
        {94, "EG 6 Release"},
        {95, "EF 1 Attack"},
        {102, "EF 4 Release"},
        {103, "Output Volume"},
        {106, "Unison Spread"},
        {107, "Slot 1 Level"},
        {110, "Slot 4 Level"},
        {156, "Slot 50 Level"},
    };
    for (const auto& [target, name] : rows) EXPECT_EQ(names[target], name) << target;
}

TEST(ModulationNamesTest, JoinKeepsEmptyNames) {
    EXPECT_EQ(joinNames({"a", "b"}), "a,b");
    EXPECT_EQ(joinNames({"", "b", ""}), ",b,");
    EXPECT_EQ(joinNames({}), "");
}

}  // namespace
