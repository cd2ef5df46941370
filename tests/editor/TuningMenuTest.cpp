// The master section's tuning menu, driven by clicks: scales and keyboard maps load from files
// chosen in the open dialog, refused files leave the tuning as it was and say why.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>

#include "dsp/TuningTable.h"
#include "editor/MasterSection.h"
#include "editor/TuningButton.h"
#include "gui/Label.h"
#include "gui/OpenSaveDialog.h"
#include "gui/PopupMenu.h"
#include "tests/editor/EditorRig.h"
#include "tests/engine/ProgramRun.h"

namespace {

namespace fs = std::filesystem;

// The menu's rows: the two loading items, a separator, equal temperament.
constexpr int kScaleItem = 0, kMapItem = 1, kEqualItem = 3;

struct TuningMenuRig : EditorRig {
    TuningButton& button;
    explicit TuningMenuRig()
        : button(static_cast<MasterSection&>(editor.section(VornInterface::kMaster)).tuning()) {
        editor.expand(VornInterface::kMaster);
        ui.render();
    }
    // Opens the menu and clicks its item (separators count).
    void pick(int index) {
        click(centre(button.rootBounds()));
        auto* menu = dynamic_cast<gui::PopupMenu*>(editor.topOverlay());
        ASSERT_NE(menu, nullptr);
        click(centre(menu->itemBounds(0, index)));
    }
    // Picks a loading item, then the file in the open dialog, as the musician does.
    void open(int index, const fs::path& file) {
        pick(index);
        auto* dialog = dynamic_cast<gui::OpenSaveDialog*>(editor.topOverlay());
        ASSERT_NE(dialog, nullptr);
        ASSERT_TRUE(dialog->enter(file.parent_path()));
        const auto names = dialog->names();
        const auto i = std::find(names.begin(), names.end(), file.filename()) - names.begin();
        ASSERT_LT(static_cast<size_t>(i), names.size());
        const gui::Rect list = dialog->list().rootBounds();
        click(centre(dialog->list().rowBounds(static_cast<int>(i)).translated(list.x, list.y)));
        click(centre(dialog->button(0).rootBounds()));
    }
    // The text of the message box on top, which OK then closes.
    std::string message() {
        auto* box = dynamic_cast<gui::Dialog*>(editor.topOverlay());
        if (!box || box->title() != "Information") return "";
        const std::string text = dynamic_cast<gui::Label&>(*box->body().children().at(0)).text();
        click(centre(box->button(0).rootBounds()));
        return text;
    }
};

void write(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

TEST(TuningMenuTest, LoadsScalesAndMapsAndReportsRefusedFiles) {
    ScratchFolder scratch;
    const fs::path folder = scratch.path();
    write(folder / "pyth.scl", "! pyth.scl\nPythagorean\n 3\n9/8\n3/2\n2/1\n");
    write(folder / "blank.scl", "!\n\n2\n150.0\n2/1\n");
    write(folder / "bad.scl", "Broken\n3\n9/8\nfifth\n2/1\n");
    write(folder / "a432.kbm", "0\n0\n127\n60\n69\n432.0\n0\n");
    TuningMenuRig r;
    TuningButton& button = r.button;
    const TuningSlot& slot = r.plugin.tuning();
    EXPECT_EQ(button.caption(), "12-TET");

    // Degree 2 (3/2) on key 62; key 69 keeps 440 Hz (the default map), key 60 plays degree 0.
    r.open(kScaleItem, folder / "pyth.scl");
    ASSERT_NE(slot.current(), nullptr);
    EXPECT_NEAR(slot.current()->note(62) - slot.current()->note(60), 7.01955, 1e-4);
    EXPECT_DOUBLE_EQ(slot.current()->frequency(69), 440.0);
    EXPECT_EQ(button.caption(), "Pythagorean");

    // A refused file names itself and its line, and changes nothing.
    const TuningTable* before = slot.current();
    r.open(kScaleItem, folder / "bad.scl");
    const std::string refused = r.message();
    EXPECT_NE(refused.find("bad.scl: line 4"), std::string::npos) << refused;
    EXPECT_EQ(slot.current(), before);
    EXPECT_EQ(r.editor.topOverlay(), nullptr);

    // A map goes with the scale in force; without a description the file names the scale.
    r.open(kMapItem, folder / "a432.kbm");
    EXPECT_DOUBLE_EQ(slot.current()->frequency(69), 432.0);
    EXPECT_EQ(button.caption(), "Pythagorean / a432.kbm");
    r.open(kScaleItem, folder / "blank.scl");
    EXPECT_NEAR(slot.current()->note(61) - slot.current()->note(60), 1.5, 1e-4);
    EXPECT_EQ(button.caption(), "blank.scl / a432.kbm");

    // Equal temperament returns; a map alone then maps the 12-tone scale.
    r.pick(kEqualItem);
    EXPECT_EQ(slot.current(), nullptr);
    EXPECT_EQ(button.caption(), "12-TET");
    r.open(kMapItem, folder / "a432.kbm");
    ASSERT_NE(slot.current(), nullptr);
    EXPECT_NEAR(slot.current()->frequency(81), 864.0, 1e-9);

    // Set from elsewhere (a restored session): the button follows at the next idle call.
    std::string error;
    ASSERT_TRUE(r.plugin.setTuning("!\n\n1\n2/1\n", "", error));
    r.editor.idle();
    EXPECT_EQ(button.caption(), "Scala tuning");
    // Every change reached the host, so that it saves the session again.
    EXPECT_EQ(r.host.log, "s s s s s ");
}

}  // namespace
