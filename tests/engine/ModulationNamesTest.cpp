#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/ModulationNames.h"
#include "engine/VornPlugin.h"

namespace {

TEST(ModulationNamesTest, SourceNamesInSourceOrder) {
    EXPECT_EQ(joinNames(modulationSourceNames()),
              "XY 1 Hor,XY 1 Ver,XY 2 Hor,XY 2 Ver,XY 3 Hor,XY 3 Ver,XY 4 Hor,XY 4 Ver,XLFO 1,"
              "XLFO 2,XLFO 3,XLFO 4,XLFO 5,XLFO 6,EG Main,EG 2,EG 3,EG 4,EG 5,EG 6,EF 1,EF 2,EF 3,"
              "EF 4,MIDI 1,MIDI 2,MIDI 3,MIDI 4,MIDI 5,MIDI 6,MIDI 7,MIDI 8,MIDI 9,MIDI 10");
    EXPECT_EQ(joinNames({"", "b", ""}), ",b,");
}

// The target list's names and the parameters that carry each target number are numbered apart;
// they must name the same thing, up to the list's shorter spellings.
TEST(ModulationNamesTest, EveryTargetNameNamesTheParameterOfThatTarget) {
    const std::vector<std::string>& names = modulationTargetNames();
    ASSERT_EQ(names.size(), static_cast<size_t>(kModulationTargetCount));
    const std::pair<std::string, std::string> spellings[] = {{"Delay 1 ", "Delay L "},
                                                             {"Delay 2 ", "Delay R "},
                                                             {"EG 1 ", "EG Main "},
                                                             {" Freq", " Frequency"}};
    VornPlugin plugin;
    for (int t = 0; t < kModulationTargetCount; ++t) {
        std::string name = names[static_cast<size_t>(t)];
        for (const auto& [shortName, longName] : spellings) {
            const size_t at = name.find(shortName);
            if (at != std::string::npos && (shortName != " Freq" || name.starts_with("XLFO")))
                name.replace(at, shortName.size(), longName);
        }
        const AbstractPluginParameter* p = plugin.targetParameter(t);
        ASSERT_NE(p, nullptr) << t;
        EXPECT_EQ(p->name(), name) << "target " << t;
        EXPECT_EQ(plugin.targetOfParameter(p), t) << name;
        EXPECT_EQ(p->kind(), AbstractPluginParameter::kContinuous) << name;
    }
    EXPECT_EQ(plugin.targetParameter(kModulationTargetCount), nullptr);
    EXPECT_EQ(names[23], "Delay 1 Time");
    EXPECT_EQ(names[110], "Slot 4 Level");
}

}  // namespace
