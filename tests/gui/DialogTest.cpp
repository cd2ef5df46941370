#include <gtest/gtest.h>

#include <optional>

#include "gui/Button.h"
#include "gui/Dialog.h"
#include "gui/Label.h"
#include "gui/OffscreenInterface.h"

namespace gui {
namespace {

constexpr uint32_t kLeft = 8;

Point centre(const Rect& r) {
    return {r.x + r.width / 2, r.y + r.height / 2};
}

struct Screen {
    explicit Screen(int32_t w = 600, int32_t h = 400) : ui(root) { root.setBounds({0, 0, w, h}); }
    void click(Point p) {
        root.mouseMoved({p, 0, time += 10});
        root.mousePressed({p, kLeft, time += 10});
        root.mouseReleased({p, kLeft, time += 300});
    }
    void key(Key k, std::string text = {}) { root.keyPressed({k, std::move(text), 0, time += 10}); }
    Dialog& top() { return dynamic_cast<Dialog&>(*root.topOverlay()); }
    RootControl root;
    OffscreenInterface ui;
    int64_t time = 1000;
};

struct Counter : Control {
    bool mouseDown(const MouseEvent&) override { return ++presses, true; }
    bool keyDown(const KeyEvent&) override { return ++keys, true; }
    int presses = 0, keys = 0;
};

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

}  // namespace
}  // namespace gui
