#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/VornPlugin.h"
#include "tests/engine/VornParameterTestSupport.h"

namespace {

// The golden table beside this file: __FILE__ is relative to the build folder, the parent of the
// folder holding this program, unless it is absolute.
std::filesystem::path tableFile() {
    std::filesystem::path source = __FILE__;
    if (source.is_relative()) {
        source = std::filesystem::canonical("/proc/self/exe").parent_path().parent_path() / source;
    }
    return source.parent_path() / "ParameterTable.txt";
}

// A parameter's row: name, minimum, maximum, default, the texts there, automation, target.
std::string row(VornPlugin& plugin, const AbstractPluginParameter& q) {
    char range[64];
    std::snprintf(range, sizeof range, "\t%.9g\t%.9g\t%.9g\t", q.getMinimum(), q.getMaximum(),
                  q.getDefault());
    return q.name() + range + q.formatValue(q.getMinimum()) + "\t" + q.formatValue(q.getDefault()) +
           "\t" + q.formatValue(q.getMaximum()) +
           (q.isAutomatable() ? "\tautomatable\t" : "\tfixed\t") +
           std::to_string(plugin.targetOfParameter(&q));
}

using VornParameterIdsTest = SharedPluginTest;

// Hosts keep automation by id: ids are dense and each keeps its row of the golden table (only four
// settings of the main envelope are hidden from automation); every parameter starts at its
// default and explains itself. VORN_UPDATE_GOLDEN=1 writes the table anew.
TEST_F(VornParameterIdsTest, EveryIdKeepsItsRowAndHasAHelpText) {
    std::vector<std::string> rows;
    for (int id = 0; id < plugin().getParameterCount(); ++id) {
        const AbstractPluginParameter* q = plugin().getParameter(id);
        rows.push_back(row(plugin(), *q));
        EXPECT_EQ(q->id(), static_cast<uint32_t>(id));
        EXPECT_EQ(q->hostName(), q->name());
        EXPECT_EQ(q->getValue(), q->getDefault()) << q->name();
        const std::string& help = q->helpText();
        ASSERT_FALSE(help.empty()) << q->name();
        EXPECT_TRUE(std::isupper(static_cast<unsigned char>(help.front()))) << help;
        EXPECT_EQ(help.back(), '.') << help;
        EXPECT_EQ(help.find("{}"), std::string::npos) << help;
    }
    EXPECT_EQ(plugin().getParameter(883), nullptr);
    EXPECT_NE(p("Filter 1 Freq").helpText().find("filter 1"), std::string::npos);
    EXPECT_NE(p("XLFO 2 Step 3 Glide").helpText().find("step 3 of XLFO 2"), std::string::npos);
    if (std::getenv("VORN_UPDATE_GOLDEN")) {
        std::ofstream out(tableFile());
        for (const std::string& r : rows) out << r << "\n";
        return;
    }
    std::ifstream in(tableFile());
    std::vector<std::string> expected;
    for (std::string line; std::getline(in, line);) expected.push_back(line);
    ASSERT_EQ(rows.size(), expected.size()) << tableFile();
    for (size_t id = 0; id < rows.size(); ++id) EXPECT_EQ(rows[id], expected[id]) << "id " << id;
}

// Value names start at the minimum and cover the whole range.
TEST_F(VornParameterIdsTest, EveryListHasOneNamePerValue) {
    int lists = 0;
    for (int id = 0; id < plugin().getParameterCount(); ++id) {
        const AbstractPluginParameter* q = plugin().getParameter(id);
        if (q->kind() != AbstractPluginParameter::kIndexed) continue;
        ++lists;
        if (q->isNumeric()) continue;
        const int lo = static_cast<int>(q->getMinimum());
        const int hi = static_cast<int>(q->getMaximum());
        for (int v = lo; v <= hi; ++v) {
            EXPECT_NO_THROW(EXPECT_FALSE(q->formatValue(static_cast<float>(v)).empty()))
                << q->name() << " " << v;
        }
        EXPECT_THROW(q->formatValue(static_cast<float>(hi + 1)), std::out_of_range) << q->name();
    }
    EXPECT_GT(lists, 400);
    float plain = 0.0f;
    EXPECT_TRUE(p("Slot 3 Target").parseText("eg 1 attack", &plain));
    EXPECT_EQ(plain, 62.0f);
}

TEST_F(VornParameterIdsTest, VirtualMidiParametersFollowTheHostParameters) {
    const char* linked[][3] = {
        {"Filter Link Freq", "Filter 1 Freq", "Filter 2 Freq"},
        {"Filter Link Peak", "Filter 1 Peak", "Filter 2 Peak"},
        {"Delay Filter Link Freq", "Delay Filter 1 Freq", "Delay Filter 2 Freq"},
        {"Delay Filter Link Peak", "Delay Filter 1 Peak", "Delay Filter 2 Peak"}};
    ASSERT_EQ(plugin().virtualParameters().size(), 4u);
    for (uint32_t i = 0; i < 4; ++i) {
        const auto* v =
            dynamic_cast<const MidiMultiVirtualPluginParameter*>(plugin().virtualParameters()[i]);
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(plugin().virtualParameter(0x100000u + i), v);
        std::vector<std::string> names = {v->name()};
        for (const auto* q : v->linkedParameters()) names.push_back(q->name());
        EXPECT_EQ(names, (std::vector<std::string>{linked[i], linked[i] + 3}));
    }
    EXPECT_EQ(plugin().virtualParameter(0x100004u), nullptr);
    EXPECT_EQ(plugin().virtualParameter(882), nullptr);
}

}  // namespace
