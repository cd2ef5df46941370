#pragma once

#include <optional>
#include <string>

#include "gui/Dialog.h"
#include "gui/OffscreenInterface.h"
#include "gui/PopupMenu.h"

namespace gui::test {

inline Point centre(const Rect& r) {
    return {r.x + r.width / 2, r.y + r.height / 2};
}

// A window driven by synthetic mouse and key events, 10 ms apart.
struct Screen {
    static constexpr uint32_t kLeft = 8;

    explicit Screen(int32_t w = 600, int32_t h = 400) : ui(root) { root.setBounds({0, 0, w, h}); }
    // Overlays left open go while their timers' interface is still there.
    ~Screen() {
        while (Overlay* o = root.topOverlay()) root.removeOverlay(o);
        root.takeDirtyRegion();
    }
    void move(Point p) { root.mouseMoved({p, 0, time += 10}); }
    void click(Point p) {
        move(p);
        root.mousePressed({p, kLeft, time += 10});
        root.mouseReleased({p, kLeft, time += 300});
    }
    void doubleClick(Point p) {
        click(p);
        root.mousePressed({p, kLeft, time += 10});
        root.mouseReleased({p, kLeft, time += 10});
    }
    void key(Key k, std::string text = {}, uint32_t modifiers = 0) {
        root.keyPressed({k, std::move(text), modifiers, time += 10});
    }
    void type(const std::string& text) {
        for (char c : text) key(Key::None, std::string(1, c));
    }
    Dialog& top() { return dynamic_cast<Dialog&>(*root.topOverlay()); }
    PopupMenu& show(Menu menu, Point at) {
        chosen.reset();
        dismissed = false;
        return PopupMenu::show(
            root, std::move(menu), at, [this](int id) { chosen = id; },
            [this] { dismissed = true; });
    }

    RootControl root;
    OffscreenInterface ui;
    int64_t time = 1000;
    std::optional<int> chosen;  // the menu's answer
    bool dismissed = false;
};

// A control that counts the presses and keys it gets.
struct Counter : Control {
    bool mouseDown(const MouseEvent&) override { return ++presses, true; }
    bool keyDown(const KeyEvent&) override { return ++keys, true; }
    int presses = 0, keys = 0;
};

}  // namespace gui::test
