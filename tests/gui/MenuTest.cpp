#include <gtest/gtest.h>

#include "gui/TextEditor.h"
#include "tests/gui/Screen.h"

namespace gui {
namespace {

using test::centre;
using test::Counter;
using test::Screen;

Menu sampleMenu() {
    Menu m;
    m.add("One", 1);
    m.add("Two", 2, true);
    m.addSeparator();
    Menu& more = m.addSubmenu("More");
    more.add("Alpha", 10);
    more.add("Beta", 11, false, false);
    more.add("Gamma", 12);
    m.add("Off", 3, false, false);
    return m;
}

TEST(PopupMenuTest, ChoosesFromASubmenuByMouseAndByKeys) {
    Screen s;
    PopupMenu& menu = s.show(sampleMenu(), {50, 40});
    EXPECT_EQ(menu.panelBounds(0).x, 50);
    s.move(centre(menu.itemBounds(0, 3)));  // hovering opens the submenu beside its item
    ASSERT_EQ(menu.levels(), 2);
    EXPECT_GE(menu.panelBounds(1).x, menu.panelBounds(0).right() - 4);
    EXPECT_EQ(menu.itemBounds(1, 0).y, menu.itemBounds(0, 3).y);
    const Rect below = menu.itemBounds(0, 4);
    s.move({below.right() - 4, below.y + 2});  // crossing towards the submenu keeps it
    EXPECT_EQ(menu.levels(), 2);
    s.move(centre(menu.itemBounds(0, 0)));  // going elsewhere closes it
    EXPECT_EQ(menu.levels(), 1);
    s.move(centre(menu.itemBounds(0, 3)));
    s.click(centre(menu.itemBounds(1, 1)));  // disabled: nothing happens
    EXPECT_FALSE(s.chosen);
    s.click(centre(menu.itemBounds(1, 2)));
    EXPECT_EQ(s.chosen, 12);
    EXPECT_EQ(s.root.topOverlay(), nullptr);

    PopupMenu& keyed = s.show(sampleMenu(), {50, 40});
    s.key(Key::Down);
    EXPECT_EQ(keyed.highlighted(0), 0);
    s.key(Key::Up);  // wraps, skipping the disabled last item
    EXPECT_EQ(keyed.highlighted(0), 3);
    s.key(Key::Right);
    ASSERT_EQ(keyed.levels(), 2);
    EXPECT_EQ(keyed.highlighted(1), 0);
    s.key(Key::Left);
    EXPECT_EQ(keyed.levels(), 1);
    s.key(Key::Enter);
    s.key(Key::Down);  // over the disabled Beta
    EXPECT_EQ(keyed.highlighted(1), 2);
    s.key(Key::Escape);
    EXPECT_EQ(keyed.levels(), 1);
    s.key(Key::Right);
    s.key(Key::None, "g");  // typing jumps to the next item starting with the letter
    EXPECT_EQ(keyed.highlighted(1), 2);
    s.key(Key::Enter);
    EXPECT_EQ(s.chosen, 12);
    EXPECT_FALSE(s.dismissed);
}

TEST(PopupMenuTest, ClickOutsideOrEscapeDismissesWithNoChoice) {
    Screen s;
    Counter& under = s.root.add<Counter>();
    under.setBounds({400, 300, 100, 50});
    s.show(sampleMenu(), {10, 10});
    s.click({450, 320});
    EXPECT_TRUE(s.dismissed);
    EXPECT_FALSE(s.chosen);
    EXPECT_EQ(under.presses, 0);
    EXPECT_EQ(s.root.topOverlay(), nullptr);
    s.show(sampleMenu(), {10, 10});
    s.key(Key::Escape);
    EXPECT_TRUE(s.dismissed);
    s.click({450, 320});
    EXPECT_EQ(under.presses, 1);
}

TEST(PopupMenuTest, LongMenusStayInTheWindowAndReachTheirLastItem) {
    Menu big;
    for (int i = 0; i < 500; ++i) big.add("Preset " + std::to_string(i), i);
    struct Case {
        int32_t w, h;
        bool scrolls;
    };
    for (const Case c : {Case{1600, 1000, false}, Case{300, 300, true}}) {
        Screen s(c.w, c.h);
        PopupMenu& menu = s.show(big, {c.w - 20, c.h - 20});
        const Rect window{0, 0, c.w, c.h};
        EXPECT_EQ(menu.panelBounds(0).intersection(window), menu.panelBounds(0));
        EXPECT_EQ(menu.itemBounds(0, 499).empty(), c.scrolls);
        if (c.scrolls) {
            for (int i = 0; i < 200 && menu.itemBounds(0, 499).empty(); ++i)
                s.root.mouseWheeled({centre(menu.panelBounds(0)), 0, s.time += 10, 0, -1});
        } else {  // Left and Right go between the columns
            EXPECT_GT(menu.columns(0), 1);
            s.key(Key::Down);
            s.key(Key::Right);
            const Rect first = menu.itemBounds(0, 0),
                       beside = menu.itemBounds(0, menu.highlighted(0));
            EXPECT_EQ(beside.y, first.y);
            EXPECT_EQ(beside.x, first.right());
            s.key(Key::Left);
            EXPECT_EQ(menu.highlighted(0), 0);
        }
        ASSERT_FALSE(menu.itemBounds(0, 499).empty());
        EXPECT_EQ(menu.itemBounds(0, 499).intersection(window), menu.itemBounds(0, 499));
        s.click(centre(menu.itemBounds(0, 499)));
        EXPECT_EQ(s.chosen, 499);
    }
    Screen s(300, 300);  // hovering the lower arrow scrolls; keys scroll to the highlight
    PopupMenu& menu = s.show(big, {0, 0});
    s.move({150, menu.panelBounds(0).bottom() - 6});
    s.ui.advance(400);
    EXPECT_TRUE(menu.itemBounds(0, 0).empty());
    s.key(Key::Home);
    EXPECT_FALSE(menu.itemBounds(0, 0).empty());
    s.key(Key::Up);
    EXPECT_EQ(menu.highlighted(0), 499);
    EXPECT_FALSE(menu.itemBounds(0, 499).empty());
}

struct EditRow {
    std::vector<KeyEvent> keys;
    std::string text;
    size_t caret, anchor;
};

// Each row's keys go to the same editor, one row after the other; then the text, caret and
// anchor are checked. Characters of 2, 3 and 4 bytes; Ctrl+A also as a control character.
std::vector<EditRow> editingRows() {
    auto key = [](Key k, uint32_t modifiers = 0) { return KeyEvent{k, {}, modifiers, 0}; };
    const KeyEvent left = key(Key::Left), right = key(Key::Right), home = key(Key::Home);
    const KeyEvent end = key(Key::End), back = key(Key::Backspace), del = key(Key::Delete);
    const KeyEvent shiftLeft = key(Key::Left, 1), shiftRight = key(Key::Right, 1);
    auto type = [](std::string t) { return KeyEvent{Key::None, std::move(t), 0, 0}; };
    auto ctrl = [](char c) { return KeyEvent{Key::None, std::string(1, c), 4, 0}; };
    const std::string e = "\xc3\xa9", euro = "\xe2\x82\xac", clef = "\xf0\x9d\x84\x9e";
    const std::string ae = "a" + e;
    return {
        {{type("a"), type(e), type(euro), type(clef)}, ae + euro + clef, 10, 10},
        {{left}, ae + euro + clef, 6, 6},
        {{back}, ae + clef, 3, 3},
        {{del}, ae, 3, 3},
        {{home, shiftRight, shiftRight}, ae, 3, 0},
        {{shiftLeft}, ae, 1, 0},
        {{right}, ae, 1, 1},  // collapses to the selection's end
        {{type("\t"), {Key::Tab, "\t", 0, 0}, type("\xff"), type("\x01")}, ae, 3, 0},
        {{ctrl('c'), end, ctrl('v'), ctrl('V')}, ae + ae + ae, 9, 9},
        {{ctrl('a'), ctrl('x')}, "", 0, 0},
        {{type("x"), ctrl('v'), left, left, shiftLeft, back}, "x" + ae + "a" + ae, 5, 5},
    };
}

TEST(TextEditorTest, EditingSequence) {
    Screen s;
    TextEditor& ed = s.root.add<TextEditor>();
    ed.setBounds({10, 10, 200, 22});
    std::vector<std::string> confirmed;
    int cancelled = 0;
    ed.onConfirm = [&](const std::string& t) { confirmed.push_back(t); };
    ed.onCancel = [&] { ++cancelled; };
    s.click({20, 20});
    ASSERT_TRUE(ed.hasFocus());
    int row = 0;
    for (const EditRow& r : editingRows()) {
        for (const KeyEvent& k : r.keys) s.key(k.key, k.text, k.modifiers);
        EXPECT_EQ(ed.text(), r.text) << "row " << row;
        EXPECT_EQ(ed.caret(), r.caret) << "row " << row;
        EXPECT_EQ(ed.anchor(), r.anchor) << "row " << row;
        ++row;
    }
    const std::string edited = editingRows().back().text;
    EXPECT_EQ(s.ui.clipboardText(), editingRows()[8].text);
    s.key(Key::Enter, "\r");
    EXPECT_EQ(confirmed, std::vector<std::string>{edited});
    EXPECT_FALSE(ed.hasFocus());
    s.click({20, 20});  // Enter gave the focus up; a click takes it back
    s.ui.setClipboardText("1\t2\n3\x7f");
    s.key(Key::End);
    s.key(Key::None, "v", 4);
    EXPECT_EQ(ed.text(), edited + "123");
    s.key(Key::Escape);  // back to the text it had when it got the focus
    EXPECT_EQ(ed.text(), edited);
    EXPECT_EQ(cancelled, 1);
    s.click({20, 20});
    s.key(Key::End);
    s.key(Key::None, "z");
    s.click({300, 300});  // losing the focus confirms
    EXPECT_EQ(confirmed.back(), edited + "z");
    EXPECT_FALSE(ed.hasFocus());
}

TEST(TextEditorTest, EditorOverAControlConfirmsOrCancelsAndCloses) {
    Screen s;
    std::string got;
    bool cancelled = false;
    TextEditor::editOver(
        s.root, {100, 100, 80, 20}, "440 Hz", [&](const std::string& t) { got = t; },
        [&] { cancelled = true; });
    s.key(Key::None, "2");  // replaces the selected text
    s.key(Key::Enter);
    EXPECT_EQ(got, "2");
    EXPECT_EQ(s.root.topOverlay(), nullptr);
    TextEditor::editOver(
        s.root, {100, 100, 80, 20}, "440 Hz", [&](const std::string& t) { got = t; },
        [&] { cancelled = true; });
    s.key(Key::Escape);
    EXPECT_TRUE(cancelled);
    EXPECT_EQ(s.root.topOverlay(), nullptr);
    // A click in the editor moves the caret: far right is after the last character.
    TextEditor& ed = TextEditor::editOver(s.root, {100, 100, 80, 20}, "ab", {}, {});
    s.click({175, 110});
    EXPECT_EQ(ed.caret(), 2u);
    s.click({104, 110});
    EXPECT_EQ(ed.caret(), 0u);
}

}  // namespace
}  // namespace gui
