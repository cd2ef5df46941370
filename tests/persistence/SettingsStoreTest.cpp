#include <gtest/gtest.h>

#include <filesystem>

#include "persistence/SettingsStore.h"
#include "persistence/UserFolders.h"
#include "tests/persistence/TemporaryUserFolders.h"

namespace {

using Value = SettingsStore::Value;

TEST(SettingsStore, FileTextOfEveryTypeIsExact) {
    SettingsStore::Values values;
    values["ConserveMemory"] = Value::ofDword(3);
    values["ExpandedSection"] = Value::ofDword(0xFFFFFFFFu);
    values["PresetFolder"] = Value::ofString("/home/u/Vorn Presets\\ä\t\n\r");
    values["Blob"] = Value::ofBinary({0x00, 0x7F, 0xA5, 0xFF});
    values["Empty"] = Value::ofBinary({});
    values["#Hash"] = Value::ofString("");
    const std::string text = SettingsStore::format(values);
    EXPECT_EQ(text,
              "# Vorn settings: name<TAB>dword|string|binary<TAB>value\n"
              "\\#Hash\tstring\t\n"
              "Blob\tbinary\t007fa5ff\n"
              "ConserveMemory\tdword\t3\n"
              "Empty\tbinary\t\n"
              "ExpandedSection\tdword\t-1\n"
              "PresetFolder\tstring\t/home/u/Vorn Presets\\\\ä\\t\\n\\r\n");
    EXPECT_EQ(SettingsStore::parse(text), values);
}

TEST(SettingsStore, MalformedLinesAreSkippedAndTheLastLineOfANameWins) {
    const SettingsStore::Values values = SettingsStore::parse(
        "# comment\r\n"
        "\n"
        "A\tdword\t1\r\n"
        "A\tdword\t2\n"
        "B\tdword\t4294967295\n"      // unsigned text is accepted
        "C\tdword\t4294967296\n"      // beyond 32 bits
        "D\tdword\t-2147483649\n"     // below 32 bits
        "E\tdword\t 5\n"              // no blanks
        "F\tdword\t+5\n"              // no sign but minus
        "G\tDWORD\t5\n"               // type names are lower case
        "H\tbinary\tabc\n"            // odd number of digits
        "I\tbinary\tzz\n"             //
        "J\tstring\tbad\\q escape\n"  //
        "K\tstring\ttrailing\\\n"     // lone backslash
        "L\tstring\tone\ttab too many\n"
        "\tdword\t1\n"  // no name
        "M dword 1\n"   // spaces are not separators
        "N\tstring\tkept\n"
        "O\tbinary\tABcd");  // last line without newline, upper-case hex
    SettingsStore::Values expected;
    expected["A"] = Value::ofDword(2);
    expected["B"] = Value::ofDword(0xFFFFFFFFu);
    expected["N"] = Value::ofString("kept");
    expected["O"] = Value::ofBinary({0xAB, 0xCD});
    EXPECT_EQ(values, expected);
}

// Near-valid and random text parse and survive a format/parse round trip: the fuzz target
// SettingsStoreFuzzer, whose corpus is replayed in every test run.

TEST(SettingsStore, KeysAreFilesUnderTheConfigFolderWrittenWhole) {
    TemporaryUserFolders folders;
    SettingsStore store("Vorn/1.0");
    const std::filesystem::path file = folders.config() / "Vorn" / "1.0.conf";
    EXPECT_EQ(store.filePath(), file.string());
    EXPECT_FALSE(store.load());  // no file yet
    store.set("X", Value::ofDword(7));
    store.set("Y", Value::ofString("why"));
    store.set("X", Value::ofDword(8));
    ASSERT_TRUE(store.save());
    const std::vector<uint8_t> text = readBytes(file);
    EXPECT_EQ(std::string(text.begin(), text.end()),
              "# Vorn settings: name<TAB>dword|string|binary<TAB>value\n"
              "X\tdword\t8\nY\tstring\twhy\n");

    SettingsStore again("Vorn/1.0");
    ASSERT_TRUE(again.load());
    EXPECT_EQ(again.values(), store.values());
    EXPECT_EQ(again.find("y"), nullptr);  // names are exact

    // A missing file empties what was loaded before.
    std::filesystem::remove(file);
    EXPECT_FALSE(again.load());
    EXPECT_TRUE(again.values().empty());
}

TEST(SettingsStore, KeyPathsCannotLeaveTheConfigFolderAndAFolderForTheFileFails) {
    TemporaryUserFolders folders;
    for (const char* key : {"", "/abs", "Vorn/", "Vorn//1.0", "..", "Vorn/../x", "./Vorn"}) {
        SettingsStore store(key);
        EXPECT_EQ(store.filePath(), "") << key;
        store.set("X", Value::ofDword(1));
        EXPECT_FALSE(store.save()) << key;
        EXPECT_FALSE(store.load()) << key;
    }
    EXPECT_FALSE(std::filesystem::exists(folders.config()));
    // A folder where the file belongs: loading and saving fail, the folder stays.
    std::filesystem::create_directories(folders.config() / "Vorn" / "1.0.conf");
    SettingsStore store("Vorn/1.0");
    EXPECT_FALSE(store.load());
    store.set("X", Value::ofDword(1));
    EXPECT_FALSE(store.save());
    EXPECT_TRUE(std::filesystem::is_directory(folders.config() / "Vorn" / "1.0.conf"));
}

}  // namespace

// The desktop's documents folder: the environment first, then user-dirs.dirs in the config folder
// ("$HOME/..." or absolute, the last line winning, anything else skipped), then ~/Documents.
TEST(UserFolders, DocumentsFollowTheDesktopsUserDirs) {
    const std::string home = "/home/ann";
    const std::pair<const char*, const char*> table[] = {
        {"XDG_DOCUMENTS_DIR=\"$HOME/Papers\"\n", "/home/ann/Papers"},
        {"# comment\nXDG_MUSIC_DIR=\"$HOME/Music\"\nXDG_DOCUMENTS_DIR=\"/srv/docs\"\n",
         "/srv/docs"},
        {"XDG_DOCUMENTS_DIR=\"$HOME/A\"\nXDG_DOCUMENTS_DIR=\"$HOME/B\"\n", "/home/ann/B"},
        {"XDG_DOCUMENTS_DIR=\"relative\"\n", ""},
        {"XDG_DOCUMENTS_DIR=\"$HOMEWORK\"\n", ""},
        {"XDG_DOCUMENTS_DIR=$HOME/unquoted\n", ""},
        {"", ""},
    };
    for (const auto& [text, expected] : table)
        EXPECT_EQ(UserFolders::userDirsEntry(text, "XDG_DOCUMENTS_DIR", home), expected) << text;

    TemporaryUserFolders folders;
    const std::string fromEnvironment = UserFolders::documents();
    unsetenv("XDG_DOCUMENTS_DIR");
    createTextFile(std::string(std::getenv("XDG_CONFIG_HOME")) + "/user-dirs.dirs",
                   "XDG_DOCUMENTS_DIR=\"/srv/elsewhere\"\n");
    EXPECT_EQ(UserFolders::documents(), "/srv/elsewhere");
    setenv("XDG_DOCUMENTS_DIR", fromEnvironment.c_str(), 1);
    EXPECT_EQ(UserFolders::documents(), fromEnvironment);
}
