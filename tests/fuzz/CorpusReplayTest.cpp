#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "engine/VornPresets.h"
#include "tests/fuzz/FuzzTargets.h"

namespace fs = std::filesystem;

// Test names and failure messages show the target's name.
void PrintTo(const FuzzTarget& target, std::ostream* out) {
    *out << target.name;
}

namespace {

// The targets play the built-in sound, never the factory presets.
const bool startupPresetsOff = [] {
    VornPresets::setStartupPresets(false);
    return true;
}();

const fs::path kCorpus = VORN_FUZZ_CORPUS;

std::vector<uint8_t> readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Sorted, so that a failure names the same file on every run.
std::vector<fs::path> corpusFiles(const std::string& target) {
    std::vector<fs::path> files;
    const fs::path folder = kCorpus / target;
    if (!fs::is_directory(folder)) return files;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

class CorpusReplay : public testing::TestWithParam<FuzzTarget> {};

// A target aborts on a finding, which ends this program too: the failing file is the last one
// named in the trace.
TEST_P(CorpusReplay, EverySeedAndTheEmptyInputRunClean) {
    const FuzzTarget& target = GetParam();
    const std::vector<fs::path> files = corpusFiles(target.name);
    ASSERT_FALSE(files.empty()) << "no seeds in " << (kCorpus / target.name);
    EXPECT_EQ(target.run(nullptr, 0), 0);
    for (const fs::path& file : files) {
        SCOPED_TRACE(file.string());
        const std::vector<uint8_t> bytes = readBytes(file);
        EXPECT_EQ(target.run(bytes.data(), bytes.size()), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Fuzz, CorpusReplay, testing::ValuesIn(fuzzTargets()),
                         [](const testing::TestParamInfo<FuzzTarget>& info) {
                             return std::string(info.param.name);
                         });

TEST(CorpusFolders, EachBelongsToATarget) {
    std::set<std::string> names;
    for (const FuzzTarget& target : fuzzTargets()) names.insert(target.name);
    for (const fs::directory_entry& entry : fs::directory_iterator(kCorpus)) {
        EXPECT_TRUE(names.count(entry.path().filename().string())) << entry.path();
    }
}

}  // namespace
