#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "persistence/AtomicFile.h"
#include "tests/persistence/TemporaryUserFolders.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

class AtomicFileTest : public ::testing::Test {
protected:
    void TearDown() override { fs::permissions(folder_, fs::perms::owner_all); }
    size_t entries() const {
        return static_cast<size_t>(std::distance(fs::directory_iterator(folder_), {}));
    }
    TemporaryUserFolders user_;
    fs::path folder_ = user_.root();
};

TEST_F(AtomicFileTest, WritesReplacesAndLeavesNoTemporaryFiles) {
    const fs::path path = folder_ / "Preset.qvp";
    for (const Bytes& bytes : {Bytes{'Q', 'V', '2', 'i', 0, 1, 2}, Bytes{9, 8}, Bytes{}}) {
        ASSERT_TRUE(writeFileAtomically(path.string(), bytes));
        EXPECT_EQ(readBytes(path), bytes);
    }
    EXPECT_EQ(entries(), 1u);
    // An ordinary user file, readable by others like any saved document.
    EXPECT_NE(fs::status(path).permissions() & fs::perms::others_read, fs::perms::none);
}

TEST_F(AtomicFileTest, FailedWriteLeavesTheOldFileUntouched) {
    const fs::path path = folder_ / "Keep.qvp";
    const Bytes old = {1, 2, 3, 4};
    ASSERT_TRUE(writeFileAtomically(path.string(), old));

    if (::geteuid() != 0) {  // root writes into read-only folders anyway
        fs::permissions(folder_, fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_FALSE(writeFileAtomically(path.string(), Bytes{5, 6}));
        fs::permissions(folder_, fs::perms::owner_all);
        EXPECT_EQ(readBytes(path), old);
    }
    // The target is a folder: the rename fails and the temporary file is removed.
    fs::create_directories(folder_ / "Folder.qvp" / "inside");
    EXPECT_FALSE(writeFileAtomically((folder_ / "Folder.qvp").string(), Bytes{7}));
    EXPECT_FALSE(writeFileAtomically((folder_ / "missing" / "x.qvp").string(), Bytes{7}));
    EXPECT_FALSE(writeFileAtomically("", Bytes{7}));
    EXPECT_EQ(readBytes(path), old);
    EXPECT_EQ(entries(), 2u);
}

}  // namespace
