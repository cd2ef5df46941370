#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "framework/FileEnumerator.h"

namespace {

namespace fs = std::filesystem;

class FileEnumeratorTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string path = (fs::temp_directory_path() / "vorn-enum-XXXXXX").string();
        ASSERT_NE(mkdtemp(path.data()), nullptr);
        folder_ = path;
        fs::create_directory(folder_ / "alpha");
        fs::create_directory(folder_ / "beta.qvp");
        for (const char* name : {"one.qvp", "two.qvp", "notes.txt"}) std::ofstream(folder_ / name);
    }
    void TearDown() override { fs::remove_all(folder_); }

    // Every name the enumerator yields, sorted; also checks that it stays finished.
    std::vector<std::string> list(const std::string& wildcard, int mode) {
        auto enumerator = createFileEnumerator((folder_ / wildcard).string(), mode);
        std::vector<std::string> names;
        while (enumerator->next()) names.push_back(enumerator->name());
        EXPECT_FALSE(enumerator->next());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path folder_;
};

using Names = std::vector<std::string>;

TEST_F(FileEnumeratorTest, ModeAndWildcardSelectDirectoriesOrFiles) {
    EXPECT_EQ(list("*", FileEnumerator::kDirectories), (Names{".", "..", "alpha", "beta.qvp"}));
    EXPECT_EQ(list("*", FileEnumerator::kFiles), (Names{"notes.txt", "one.qvp", "two.qvp"}));
    EXPECT_EQ(list("*", 7), list("*", FileEnumerator::kFiles));
    EXPECT_EQ(list("*.qvp", FileEnumerator::kDirectories), (Names{"beta.qvp"}));
    EXPECT_EQ(list("t?o.*", FileEnumerator::kFiles), (Names{"two.qvp"}));
    EXPECT_EQ(list("notes.txt", FileEnumerator::kFiles), (Names{"notes.txt"}));
    EXPECT_EQ(list("*.osc", FileEnumerator::kFiles), Names{});
    EXPECT_EQ(list("missing/*", FileEnumerator::kDirectories), Names{});

    // Links count as what they point to.
    fs::create_directory_symlink(folder_ / "alpha", folder_ / "alpha-link");
    fs::create_symlink(folder_ / "one.qvp", folder_ / "one-link.qvp");
    EXPECT_EQ(list("*", FileEnumerator::kDirectories),
              (Names{".", "..", "alpha", "alpha-link", "beta.qvp"}));
    EXPECT_EQ(list("*.qvp", FileEnumerator::kFiles), (Names{"one-link.qvp", "one.qvp", "two.qvp"}));
}

}  // namespace
