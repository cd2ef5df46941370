#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>

#include "gui/Button.h"
#include "gui/Label.h"
#include "gui/OpenSaveDialog.h"
#include "gui/SelectFolderDialog.h"
#include "gui/TextEditor.h"
#include "tests/engine/ProgramRun.h"
#include "tests/gui/Screen.h"

namespace gui {
namespace {

using test::centre;
using test::Counter;
using test::Screen;

const char* const kLongText =
    "Your host cannot dynamically resize the plug-in interface. To apply the new interface size, "
    "simply close the plug-in interface and then re-open it.";

TEST(DialogTest, MessageBoxesAnswerAndBlockEverythingUnder) {
    Screen s;
    Counter& under = s.root.add<Counter>();
    under.setBounds({0, 0, 600, 400});
    s.root.setFocus(&under);
    std::vector<int> answers;
    auto done = [&](int a) { answers.push_back(a); };
    struct Case {
        int buttons;
        const char* title;
        size_t buttonCount;
        bool byKey;
        Key key;
        int answer;
    };
    const Case cases[] = {
        {box::kOk, "Information", 1, false, Key::None, 0},
        {box::kOk, "Information", 1, true, Key::Escape, 0},
        {box::kOk | box::kCancel, "Confirmation", 2, false, Key::None, 1},
        {box::kOk | box::kCancel, "Confirmation", 2, true, Key::Enter, 0},
        {box::kOk | box::kCancel, "Confirmation", 2, true, Key::Escape, 1},
    };
    for (const Case& c : cases) {
        s.ui.messageBox(kLongText, c.buttons, done);
        Dialog& d = s.top();
        EXPECT_EQ(d.title(), c.title);
        ASSERT_EQ(d.buttonCount(), c.buttonCount);
        EXPECT_EQ(d.button(0).caption(), "OK");
        // The text wraps inside the box, which stays inside the window.
        const Component& text = *d.body().children().at(0);
        EXPECT_GE(text.bounds().height, 3 * 14);
        EXPECT_EQ(d.panel().intersection(s.root.localBounds()), d.panel());
        s.key(Key::None, "x");
        s.click({5, 5});
        s.click(centre(d.panel()));
        if (c.byKey)
            s.key(c.key);
        else
            s.click(centre(d.button(c.buttonCount - 1).rootBounds()));
        EXPECT_EQ(answers.back(), c.answer);
        EXPECT_EQ(s.root.topOverlay(), nullptr);
    }
    EXPECT_EQ(answers.size(), std::size(cases));
    EXPECT_EQ(under.presses, 0);
    EXPECT_EQ(under.keys, 0);
    s.click({5, 5});
    EXPECT_EQ(under.presses, 1);
}

namespace fs = std::filesystem;

struct TempFolder : ScratchFolder {
    void file(const std::string& name) { std::ofstream(path / name) << "x"; }
    const fs::path path = fs::canonical(ScratchFolder::path());
};

Point row(FileDialog& d, const std::string& name) {
    const auto names = d.names();
    const auto i = std::find(names.begin(), names.end(), name) - names.begin();
    EXPECT_LT(static_cast<size_t>(i), names.size()) << name;
    return centre(d.list()
                      .rowBounds(static_cast<int>(i))
                      .translated(d.list().rootBounds().x, d.list().rootBounds().y));
}

// A folder with files to filter, folders to sort, a link to itself, a circle of links, a locked
// folder and one that goes away; and a save dialog over it.
struct SaveDialogTest : ::testing::Test {
    SaveDialogTest() {
        for (const char* f : {"b.vpr", "A.vpr", "notes.txt", ".hidden.vpr"}) t.file(f);
        for (const char* f : {"zeta", "Alpha", "locked", "gone"}) fs::create_directory(t.path / f);
        fs::create_directory_symlink(".", t.path / "loop");
        fs::create_symlink("l2", t.path / "l1");
        fs::create_symlink("l1", t.path / "l2");
        fs::permissions(t.path / "locked", fs::perms::none);
    }
    ~SaveDialogTest() override { fs::permissions(t.path / "locked", fs::perms::owner_all); }
    OpenSaveDialog& save() {
        return OpenSaveDialog::show(s.root,
                                    {OpenSaveDialog::Mode::Save, t.path, ".vpr", "Untitled", {}},
                                    [this](const fs::path& p) { chosen = p; });
    }
    TempFolder t;
    Screen s{700, 500};
    std::optional<fs::path> chosen;
};

TEST_F(SaveDialogTest, ListsChoosesANameAndAsksBeforeReplacing) {
    OpenSaveDialog* d = &save();
    const std::vector<std::string> listed{"Alpha", "gone",  "locked", "loop",
                                          "zeta",  "A.vpr", "b.vpr"};
    EXPECT_EQ(d->names(), listed);
    s.type("new");                   // replaces the proposed name, which the field had selected
    s.doubleClick(row(*d, "loop"));  // a link back to the same folder does not nest
    EXPECT_EQ(d->folder(), t.path);
    EXPECT_EQ(d->names(), listed);
    s.key(Key::Enter);
    EXPECT_EQ(chosen, t.path / "new.vpr");
    EXPECT_EQ(s.root.topOverlay(), nullptr);

    chosen.reset();
    d = &save();
    s.click(row(*d, "b.vpr"));
    EXPECT_EQ(d->nameEditor()->text(), "b.vpr");
    s.key(Key::Enter);
    EXPECT_EQ(s.top().title(), "Confirmation");
    s.key(Key::Escape);  // not replaced: back in the save dialog
    EXPECT_EQ(&s.top(), d);
    EXPECT_FALSE(chosen);
    s.key(Key::Tab);  // Tab goes round the listing and the name
    EXPECT_TRUE(d->nameEditor()->hasFocus());
    s.key(Key::Tab);  // in the listing, Enter on a folder enters it
    s.key(Key::End);
    s.key(Key::Up);
    s.key(Key::Up);
    EXPECT_EQ(d->names()[static_cast<size_t>(d->list().selected())], "zeta");
    s.key(Key::Enter);
    EXPECT_EQ(d->folder(), t.path / "zeta");
    s.key(Key::Escape);
    EXPECT_FALSE(chosen);
    d = &save();
    s.doubleClick(row(*d, "b.vpr"));
    s.key(Key::Enter);
    EXPECT_EQ(chosen, t.path / "b.vpr");
}

TEST_F(SaveDialogTest, SurvivesVanishedAndUnreadableFolders) {
    OpenSaveDialog* d = &save();
    fs::remove(t.path / "gone");
    s.doubleClick(row(*d, "gone"));  // vanished since listed: a message, then the same folder
    EXPECT_EQ(s.top().title(), "Information");
    s.key(Key::Enter);
    EXPECT_EQ(&s.top(), d);
    EXPECT_EQ(d->folder(), t.path);
    s.doubleClick(row(*d, "locked"));
    if (geteuid() != 0) {  // the superuser reads every folder
        EXPECT_EQ(d->folder(), t.path / "locked");
        EXPECT_NE(d->listing().error, "");
        s.ui.render();
    }
    s.click(centre(d->body().children()[0]->rootBounds()));  // Up
    EXPECT_EQ(d->folder(), t.path);
    s.key(Key::Escape);
    EXPECT_EQ(s.root.topOverlay(), nullptr);
}

TEST(FileDialogTest, OpensFilesAndSelectsFolders) {
    TempFolder t;
    t.file("A.vpr");
    fs::create_directories(t.path / "Alpha" / "inner");
    Screen s;
    std::optional<fs::path> chosen;
    auto got = [&](const fs::path& p) { chosen = p; };
    OpenSaveDialog& open =
        OpenSaveDialog::show(s.root, {OpenSaveDialog::Mode::Open, t.path, ".vpr", {}, {}}, got);
    s.key(Key::Enter);  // nothing selected: nothing happens
    EXPECT_EQ(&s.top(), &open);
    s.key(Key::Down);  // the listing has the keys
    s.key(Key::Enter);
    EXPECT_EQ(open.folder(), t.path / "Alpha");
    open.up();
    s.doubleClick(row(open, "A.vpr"));
    EXPECT_EQ(chosen, t.path / "A.vpr");

    SelectFolderDialog& select = SelectFolderDialog::show(s.root, t.path, got);
    EXPECT_EQ(select.names(), std::vector<std::string>{"Alpha"});
    s.doubleClick(row(select, "Alpha"));
    EXPECT_EQ(select.names(), std::vector<std::string>{"inner"});
    s.key(Key::Enter);
    EXPECT_EQ(chosen, t.path / "Alpha");
}

}  // namespace
}  // namespace gui
