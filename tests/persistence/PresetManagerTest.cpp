#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "persistence/PresetManager.h"
#include "tests/persistence/TemporaryUserFolders.h"

namespace {

namespace fs = std::filesystem;

class PresetManagerTest : public ::testing::Test {
protected:
    // Creates the file (and its folders) under the root.
    std::string touch(const std::string& relative) { return createTextFile(root_ / relative, "x"); }
    void touch(std::initializer_list<const char*> files) {
        for (const char* f : files) touch(f);
    }
    std::string folder(const std::string& relative = "") const {
        return relative.empty() ? root_.string() + "/" : (root_ / relative).string() + "/";
    }

    static std::vector<std::string> names(const std::vector<PresetEntry>& entries) {
        std::vector<std::string> out;
        for (const PresetEntry& e : entries) out.push_back(e.name);
        return out;
    }
    // One line an item, indented by its depth: ">" a submenu, "~" an empty folder, "-" a
    // separator, "!" a command, then "*" when checked.
    static std::string outline(const std::vector<PresetMenuItem>& items, int depth = 0) {
        std::string out;
        for (const PresetMenuItem& item : items) {
            out += std::string(2 * depth, ' ') + " >~-!"[static_cast<int>(item.kind)];
            out += (item.checked ? "*" : "") + item.text + "\n" + outline(item.items, depth + 1);
        }
        return out;
    }

    TemporaryUserFolders user_;
    fs::path root_ = user_.root();
};

TEST_F(PresetManagerTest, PinnedFoldersFirstThenNamesIgnoringCaseWithPrefixesFirst) {
    for (const char* f : {"pads", "_Init", "Bass", "Pad", "bass 2", "_a"})
        fs::create_directories(root_ / f);
    const PresetFolder tree(root_.string(), ".qvp", PresetManager::kScanBudgetMs);
    std::vector<std::string> shown;
    std::vector<bool> pinned;
    for (const auto& sub : tree.subfolders()) {
        shown.push_back(sub->name());
        pinned.push_back(sub->isPinned());
    }
    EXPECT_EQ(shown, (std::vector<std::string>{"a", "Init", "Bass", "bass 2", "Pad", "pads"}));
    EXPECT_EQ(pinned, (std::vector<bool>{true, true, false, false, false, false}));
    EXPECT_EQ(tree.subfolders()[1]->path(), folder("_Init"));

    EXPECT_TRUE(presetNameLess("Bass", "bass 2"));
    EXPECT_TRUE(presetNameLess("pad", "Pads"));
    EXPECT_FALSE(presetNameLess("Pads", "pad"));
    EXPECT_FALSE(presetNameLess("ABC", "abc"));
    EXPECT_FALSE(presetNameLess("abc", "ABC"));
}

TEST_F(PresetManagerTest, OnlyFilesWithTheExtensionAreEntriesNamedWithoutIt) {
    touch({"Lead.qvp", "Brass.QVP", "Pad.v2.qvp", "notes.txt", "Lead.osc", "qvp"});
    fs::create_directories(root_ / "folder.qvp");
    const PresetFolder tree(root_.string(), ".qvp", PresetManager::kScanBudgetMs);
    ASSERT_EQ(names(tree.presets()), (std::vector<std::string>{"Brass", "Lead", "Pad.v2"}));
    EXPECT_EQ(tree.presets()[0].path, folder() + "Brass.QVP");
    EXPECT_EQ(tree.presets()[2].bank, -1);
    EXPECT_EQ(tree.presets()[2].displayName, "Pad.v2");
    // The folder named like a preset is a subfolder, not an entry.
    ASSERT_EQ(tree.subfolders().size(), 1u);
    EXPECT_EQ(tree.subfolders()[0]->name(), "folder.qvp");
}

TEST_F(PresetManagerTest, FlatListIsPostOrderAndNumberedFromZero) {
    touch({"Root.qvp", "B/b1.qvp", "B/Deep/d1.qvp", "B/Deep/d2.qvp", "_Pinned/p1.qvp", "a/a1.qvp",
           "Zed/Root.qvp", "Abc/root.qvp"});
    const PresetManager manager(root_.string(), ".qvp");
    const std::vector<PresetEntry> all = manager.allPresets();
    EXPECT_EQ(names(all),
              (std::vector<std::string>{"p1", "a1", "root", "d1", "d2", "b1", "Root", "Root"}));
    EXPECT_EQ(manager.mainTreePresetCount(), 8);
    for (size_t k = 0; k < all.size(); ++k) {
        EXPECT_EQ(all[k].bank, 0);
        EXPECT_EQ(all[k].program, static_cast<int>(k));
    }
    EXPECT_EQ(all[3].displayName, "(0/3) d1");
    EXPECT_EQ(all[7].path, folder() + "Root.qvp");
    // Names match exactly, the first in flat order.
    EXPECT_EQ(manager.findByName("Root")->path, folder("Zed") + "Root.qvp");
    EXPECT_FALSE(manager.findByName("Roo"));
}

TEST_F(PresetManagerTest, OneHundredThirtyPresetsSpanTwoBanks) {
    for (int i = 0; i < 130; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "Sound %03d.qvp", i);
        touch(name);
    }
    const PresetManager manager(root_.string(), ".qvp");
    const std::vector<PresetEntry> all = manager.allPresets();
    ASSERT_EQ(all.size(), 130u);
    EXPECT_EQ(all[127].displayName, "(0/127) Sound 127");
    EXPECT_EQ(all[128].displayName, "(1/0) Sound 128");

    ASSERT_TRUE(manager.presetAt(1, 1));
    EXPECT_EQ(manager.presetAt(1, 1)->name, "Sound 129");
    EXPECT_EQ(manager.presetAt(0, 5)->name, "Sound 005");
    // Past the last preset, or outside one bank's programs: none.
    EXPECT_FALSE(manager.presetAt(1, 2));
    EXPECT_FALSE(manager.presetAt(2, 0));
    EXPECT_FALSE(manager.presetAt(0, 128));
    EXPECT_FALSE(manager.presetAt(-1, 0));
}

TEST_F(PresetManagerTest, SteppingWrapsWithinTheMainTreeAndThroughTheExtraFolders) {
    const std::string a = touch("main/a.qvp");
    touch("main/b.qvp");
    const std::string c = touch("main/c.qvp");
    const std::string x = touch("extra/x.qvp");
    const std::string y = touch("extra/y.qvp");
    PresetManager manager(folder("main"), ".qvp");
    manager.addExtraFolder(folder("extra"), "Shared");

    const auto step = [&](const std::string& path, int direction) {
        const auto entry = manager.stepFrom(path, direction);
        return entry ? entry->name : std::string("none");
    };
    EXPECT_EQ(step(c, PresetManager::kNext), "a");  // not x: the main tree wraps on itself
    EXPECT_EQ(step(a, PresetManager::kPrevious), "c");
    EXPECT_EQ(step(a, PresetManager::kNext), "b");
    EXPECT_EQ(step(x, PresetManager::kNext), "y");
    EXPECT_EQ(step(x, PresetManager::kPrevious), "c");
    EXPECT_EQ(step(y, PresetManager::kNext), "a");
    EXPECT_EQ(step(y, 1), "y");
    EXPECT_EQ(step(folder("main") + "gone.qvp", PresetManager::kNext), "none");

    const PresetManager empty(folder("extra/none"), ".qvp");
    EXPECT_FALSE(empty.stepFrom(a, PresetManager::kNext));
}

TEST_F(PresetManagerTest, SetFolderRescansAndRenumbersKeepingExtraFolders) {
    touch({"one/a.qvp", "two/b.qvp", "two/c.qvp", "extra/e.qvp"});
    PresetManager manager(folder("one"), ".qvp");
    manager.addExtraFolder(folder("extra"));
    EXPECT_EQ(manager.extraFolders()[0]->name(), "extra");
    EXPECT_EQ(manager.allPresets()[1].displayName, "(0/1) e");

    manager.setFolder((root_ / "two").string());
    EXPECT_EQ(manager.path(), folder("two"));
    EXPECT_EQ(names(manager.allPresets()), (std::vector<std::string>{"b", "c", "e"}));
    EXPECT_EQ(manager.allPresets()[2].displayName, "(0/2) e");
    EXPECT_EQ(manager.mainTreePresetCount(), 2);

    touch("two/a new one.qvp");
    manager.rescan();
    EXPECT_EQ(manager.allPresets()[0].name, "a new one");

    manager.setFolder(folder("missing"));
    EXPECT_TRUE(manager.isEmpty());
    EXPECT_EQ(manager.mainTreePresetCount(), 0);
    EXPECT_EQ(manager.allPresets()[0].displayName, "(0/0) e");
}

int64_t fakeNow = 0;
// Every reading of the clock is one second later than the one before.
int64_t slowClock() {
    const int64_t now = fakeNow;
    fakeNow += 1000;
    return now;
}

TEST_F(PresetManagerTest, AScanOutOfTimeStopsDescendingAndKeepsWhatItSaw) {
    touch({"top.qvp", "A/a.qvp", "A/B/b.qvp", "A/B/C/c.qvp"});
    fakeNow = 0;
    // Root starts at 0 and gives A 2500 - 1000; A starts at 2000 and gives B 1500 - 1000; B
    // starts at 4000 and gives C 500 - 1000: C is not read.
    const PresetManager manager(root_.string(), ".qvp", PresetManager::kScanBudgetMs, slowClock);
    EXPECT_EQ(names(manager.allPresets()), (std::vector<std::string>{"b", "a", "top"}));
    const PresetFolder& c = *manager.subfolders()[0]->subfolders()[0]->subfolders()[0];
    EXPECT_EQ(c.name(), "C");
    EXPECT_TRUE(c.isEmpty());

    const PresetFolder none(root_.string(), ".qvp", 0);
    EXPECT_TRUE(none.isEmpty());
    EXPECT_EQ(none.path(), folder());
    const PresetFolder empty("", ".qvp", PresetManager::kScanBudgetMs);
    EXPECT_TRUE(empty.isEmpty());
    EXPECT_EQ(empty.path(), "");
}

TEST_F(PresetManagerTest, MenuShowsTheTreeTheCommandsAndTheCurrentPresetsPath) {
    const std::string current = touch("Bass/Deep/Sub.qvp");
    touch({"_Best of/Star.qvp", "Bass/Wobble.qvp", "Init.qvp", "extra/Shared.qvp"});
    fs::create_directories(root_ / "Empty");
    PresetManager manager(root_.string(), ".qvp");
    manager.addExtraFolder(folder("extra"), "User");

    PresetMenuOptions options;
    options.currentPath = current;
    std::vector<PresetMenuItem> menu = presetMenu(manager, options);
    // The path to the current preset is checked all the way down.
    EXPECT_EQ(outline(menu),
              ">Best of\n"
              "   Star\n"
              ">*Bass\n"
              "  >*Deep\n"
              "     *Sub\n"
              "   Wobble\n"
              ">Empty\n"
              "  ~(No Presets)\n"
              ">extra\n"
              "   Shared\n"
              " Init\n"
              ">User\n"
              "   Shared\n"
              "-\n"
              "!Save As...\n"
              ">Options\n"
              "  !Enable MIDI Program Changes\n"
              "  !Save As Default\n"
              "  !Open Other Preset...\n"
              "  !Change Preset Folder...\n"
              "  !Restore Factory Presets\n");
    EXPECT_EQ(menu[1].items[0].items[0].entry.path, current);
    EXPECT_EQ(menu[7].command, PresetMenuItem::Command::SaveAs);

    options.programChanges = true;
    options.saveItem = true;
    menu = presetMenu(manager, options);
    EXPECT_EQ(menu[7].text, "Save");
    EXPECT_EQ(menu[7].command, PresetMenuItem::Command::Save);
    EXPECT_EQ(menu[8].text, "Save As...");
    EXPECT_TRUE(menu[9].items[0].checked);
    EXPECT_EQ(menu[4].text, "(0/4) Init");
    EXPECT_EQ(menu[5].items[0].text, "(0/5) Shared");

    const PresetManager nothing(folder("no such folder"), ".qvp");
    const std::string top = "~(No Presets)\n-\n!Save As...\n>Options\n";
    EXPECT_EQ(outline(presetMenu(nothing, {})).substr(0, top.size()), top);
}

}  // namespace
