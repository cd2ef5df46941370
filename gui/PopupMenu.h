#pragma once

#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "gui/Menu.h"
#include "gui/RootControl.h"

namespace gui {

class Timer;

// A menu over the whole window, with its open submenus beside it. Menus taller than the window
// are split into columns, and scroll when even the columns do not fit. It takes every event
// while open: a click outside its panels closes it with no choice.
class PopupMenu : public Overlay {
public:
    static constexpr int kMargin = 4;  // kept free at the window's edges
    static constexpr int kSeparatorHeight = 9;
    static constexpr int kArrowHeight = 14;  // the scroll arrows of a menu too tall to show
    static constexpr int kMinColumnWidth = 120;
    static constexpr int kMaxColumnWidth = 320;
    static constexpr int kScrollIntervalMs = 40;

    using Chosen = std::function<void(int id)>;
    using Dismissed = std::function<void()>;

    // Shows `menu` with its top left at `at` (root coordinates), moved inside the window.
    static PopupMenu& show(RootControl& root, Menu menu, Point at, Chosen chosen,
                           Dismissed dismissed = {});
    PopupMenu(Menu menu, Chosen chosen, Dismissed dismissed);
    ~PopupMenu() override;

    // The open menu levels: 0 is the menu shown, each next one a submenu of the one before.
    int levels() const { return static_cast<int>(levels_.size()); }
    Rect panelBounds(int level) const { return levels_[level].panel; }
    // Where an item is drawn now (root coordinates); empty while scrolled out of sight.
    Rect itemBounds(int level, int index) const;
    int highlighted(int level) const { return levels_[level].highlight; }
    int columns(int level) const { return levels_[level].columns; }

    void paint(Graphics& g) override;
    bool mouseDown(const MouseEvent& e) override;
    void mouseUp(const MouseEvent& e) override;
    void mouseMove(const MouseEvent& e) override;
    bool mouseWheel(const MouseEvent& e) override;
    bool keyDown(const KeyEvent& e) override;

private:
    struct Level {
        const Menu* menu = nullptr;
        Rect panel;               // root coordinates
        std::vector<Rect> cells;  // relative to the content's top left, unscrolled
        int viewHeight = 0;
        int contentHeight = 0;
        int scroll = 0;
        int columns = 1;
        int highlight = -1;
        bool scrollable() const { return contentHeight > viewHeight; }
    };
    struct Hit {
        int level = -1;
        int item = -1;
        int arrow = 0;  // -1 up, +1 down
    };

    void open(int level, const Menu& menu, Point at, int besideLeft);
    void layout(Level& l) const;
    Rect view(const Level& l) const;
    Hit hitAt(Point p) const;
    void closeAfter(int level);
    void highlight(int level, int item, bool openSubmenu);
    void openSubmenu(int level, bool select);
    void ensureVisible(Level& l, int item);
    void scrollBy(Level& l, int dy);
    void moveHighlight(int level, int step);
    void moveColumn(int level, int direction);
    void jumpTo(int level, std::string_view typed);
    int activeLevel() const;
    void activate(int level, int item);
    void choose(int id);
    void dismiss();
    void autoScroll();
    void paintLevel(Graphics& g, const Level& l, bool active);
    void paintItem(Graphics& g, const MenuItem& item, const Rect& r, bool lit);

    Menu menu_;
    Chosen chosen_;
    Dismissed dismissed_;
    std::vector<Level> levels_;
    std::unique_ptr<Timer> scrollTimer_;
    Hit scrolling_;
};

}  // namespace gui
