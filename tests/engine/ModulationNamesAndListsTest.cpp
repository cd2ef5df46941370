#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "engine/ModulationNames.h"
#include "engine/VornPlugin.h"
#include "engine/XLFOParameterSet.h"

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
}

constexpr int kXlfo1 = XLFOParameterSet::kFirstSource;
constexpr int kFreq1 = XLFOParameterSet::kFirstTarget;  // then Glide, Phase Offset
constexpr int kPerXlfo = XLFOParameterSet::kTargetsPerXLFO;
constexpr int kLevel1 = ModulationSlotParameterSet::kFirstLevelTarget;

void route(VornPlugin::Parameters& p, int slot, int source, int target) {
    p.slots[slot].source.setValue(static_cast<float>(source + 1), 0);
    p.slots[slot].target.setValue(static_cast<float>(target + 1), 0);
}
std::pair<int, int> routeOf(VornPlugin::Parameters& p, int slot) {
    return {static_cast<int>(p.slots[slot].source.getValue()) - 1,
            static_cast<int>(p.slots[slot].target.getValue()) - 1};
}

TEST(ModulationListRemoval, RemovingAnXlfoDeletesItsSlotsAndRenumbersTheOthers) {
    VornPlugin plugin;
    VornPlugin::Parameters& p = plugin.parameters();
    p.xlfos.numActive().setValue(3.0f, 0);
    p.slots.numActive().setValue(8.0f, 0);
    route(p, 0, kXlfo1, 2);                      // fed by XLFO 1
    route(p, 1, kXlfo1 + 1, 5);                  // XLFO 2
    route(p, 2, kXlfo1 + 2, kFreq1 + kPerXlfo);  // XLFO 3 on XLFO 2 Frequency
    route(p, 3, 0, kFreq1 + 2);                  // on XLFO 1 Phase Offset
    route(p, 4, 0, kFreq1 + 2 * kPerXlfo + 1);   // on XLFO 3 Glide
    route(p, 5, kXlfo1 + 1, kLevel1 + 0);        // on the level of slot 0: deleted with it
    route(p, 6, kXlfo1 + 1, kLevel1 + 5);        // on the level of slot 5: deleted in turn
    route(p, 7, kXlfo1 + 1, kLevel1 + 1);        // on the level of a surviving slot

    p.xlfos.removeAt(0);

    EXPECT_EQ(p.xlfos.activeCount(), 2);
    for (int s : {0, 3, 5, 6}) EXPECT_EQ(routeOf(p, s), std::make_pair(-1, -1)) << s;
    EXPECT_EQ(routeOf(p, 1), std::make_pair(kXlfo1, 5));
    EXPECT_EQ(routeOf(p, 2), std::make_pair(kXlfo1 + 1, kFreq1));
    EXPECT_EQ(routeOf(p, 4), std::make_pair(0, kFreq1 + kPerXlfo + 1));
    EXPECT_EQ(routeOf(p, 7), std::make_pair(kXlfo1, kLevel1 + 1));
}

}  // namespace
