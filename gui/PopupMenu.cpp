#include "gui/PopupMenu.h"

#include <algorithm>
#include <cmath>

#include "gui/Palette.h"
#include "gui/TextEditor.h"
#include "gui/Timer.h"

namespace gui {
namespace {

constexpr int kPad = 3;          // inside the panel's border
constexpr int kTickWidth = 20;   // left of the text: the tick of checked items
constexpr int kArrowWidth = 18;  // right of the text: the arrow of submenus
constexpr int kOverlap = 2;      // a submenu covers its parent's border

int rowHeight(const MenuItem& item) {
    return item.separator ? PopupMenu::kSeparatorHeight : palette::kRowHeight;
}

int columnWidth(const Menu& menu) {
    float widest = 0;
    for (const MenuItem& item : menu.items())
        if (!item.separator) widest = std::max(widest, measureText(item.text, palette::kNormal));
    const int w = static_cast<int>(std::ceil(widest)) + kTickWidth + kArrowWidth + 8;
    return std::clamp(w, PopupMenu::kMinColumnWidth, PopupMenu::kMaxColumnWidth);
}

// Fills columns top to bottom, starting a new one where the next item would pass `height`.
int fillColumns(const Menu& menu, std::vector<Rect>& cells, int width, int height) {
    cells.clear();
    int column = 0, y = 0;
    for (const MenuItem& item : menu.items()) {
        const int h = rowHeight(item);
        if (y > 0 && y + h > height) {
            ++column;
            y = 0;
        }
        cells.push_back({column * width, y, width, h});
        y += h;
    }
    return column + 1;
}

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    if (prefix.size() > text.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) !=
            std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    return true;
}

bool hasSubmenu(const MenuItem& item) {
    return item.submenu && item.selectable();
}

}  // namespace

PopupMenu& PopupMenu::show(RootControl& root, Menu menu, Point at, Chosen chosen,
                           Dismissed dismissed) {
    auto owned =
        std::make_unique<PopupMenu>(std::move(menu), std::move(chosen), std::move(dismissed));
    PopupMenu& popup = *owned;
    popup.setBounds(root.localBounds());
    popup.setModal(true);
    root.pushOverlay(std::move(owned));
    if (UserInterface* ui = root.userInterface()) {
        popup.scrollTimer_ = ui->createTimer();
        popup.scrollTimer_->setInterval(kScrollIntervalMs);
        popup.scrollTimer_->setCallback([&popup] { popup.autoScroll(); });
    }
    popup.open(0, popup.menu_, at, at.x);
    return popup;
}

PopupMenu::PopupMenu(Menu menu, Chosen chosen, Dismissed dismissed)
    : menu_(std::move(menu)), chosen_(std::move(chosen)), dismissed_(std::move(dismissed)) {}

PopupMenu::~PopupMenu() = default;

void PopupMenu::layout(Level& l) const {
    const Rect window = localBounds().reduced(kMargin);
    const int width = columnWidth(*l.menu);
    const int maxHeight = std::max(palette::kRowHeight, window.height - 2 * kPad);
    const int maxColumns = std::max(1, (window.width - 2 * kPad) / width);
    int height = maxHeight;
    l.columns = fillColumns(*l.menu, l.cells, width, height);
    if (l.columns > maxColumns) {
        // Too many columns for the window: spread the items evenly and scroll them.
        int total = 0;
        for (const MenuItem& item : l.menu->items()) total += rowHeight(item);
        height = (total + maxColumns - 1) / maxColumns;
        while ((l.columns = fillColumns(*l.menu, l.cells, width, height)) > maxColumns)
            height += palette::kRowHeight;
    }
    l.contentHeight = 0;
    for (const Rect& c : l.cells) l.contentHeight = std::max(l.contentHeight, c.bottom());
    l.viewHeight = std::min(l.contentHeight, maxHeight);
    if (l.scrollable()) l.viewHeight = maxHeight - 2 * kArrowHeight;
    const int arrows = l.scrollable() ? 2 * kArrowHeight : 0;
    l.panel.width = l.columns * width + 2 * kPad;
    l.panel.height = std::max(l.viewHeight + arrows, palette::kRowHeight / 2) + 2 * kPad;
}

// `besideLeft` is the left edge of the parent panel, where a submenu goes when it does not fit
// on the right.
void PopupMenu::open(int level, const Menu& menu, Point at, int besideLeft) {
    closeAfter(level - 1);
    Level l;
    l.menu = &menu;
    layout(l);
    const Rect window = localBounds().reduced(kMargin);
    if (at.x + l.panel.width > window.right()) at.x = besideLeft - l.panel.width;
    l.panel.x = std::max(window.x, std::min(at.x, window.right() - l.panel.width));
    l.panel.y = std::max(window.y, std::min(at.y, window.bottom() - l.panel.height));
    levels_.push_back(std::move(l));
    repaint(levels_.back().panel);
}

Rect PopupMenu::view(const Level& l) const {
    const int top = l.panel.y + kPad + (l.scrollable() ? kArrowHeight : 0);
    return {l.panel.x + kPad, top, l.panel.width - 2 * kPad, l.viewHeight};
}

Rect PopupMenu::itemBounds(int level, int index) const {
    const Level& l = levels_[level];
    const Rect v = view(l);
    const Rect c = l.cells[index].translated(v.x, v.y - l.scroll);
    return c.intersection(v) == c ? c : Rect{};
}

PopupMenu::Hit PopupMenu::hitAt(Point p) const {
    for (int i = levels() - 1; i >= 0; --i) {
        const Level& l = levels_[i];
        if (!l.panel.contains(p)) continue;
        const Rect v = view(l);
        if (p.y < v.y) return {i, -1, l.scrollable() ? -1 : 0};
        if (p.y >= v.bottom()) return {i, -1, l.scrollable() ? 1 : 0};
        const Point c{p.x - v.x, p.y - v.y + l.scroll};
        for (size_t k = 0; k < l.cells.size(); ++k)
            if (l.cells[k].contains(c)) return {i, static_cast<int>(k), 0};
        return {i, -1, 0};
    }
    return {};
}

void PopupMenu::closeAfter(int level) {
    while (levels() > level + 1) {
        repaint(levels_.back().panel);
        levels_.pop_back();
    }
}

void PopupMenu::highlight(int level, int item, bool openSub) {
    Level& l = levels_[level];
    const MenuItem* it = item >= 0 ? &l.menu->items()[item] : nullptr;
    if (it && !it->selectable()) item = -1, it = nullptr;
    const bool keepSub = levels() > level + 1 && item == l.highlight && it && hasSubmenu(*it);
    if (!keepSub) closeAfter(level);
    if (item != l.highlight) {
        l.highlight = item;
        for (const Level& each : levels_) repaint(each.panel);  // the active level may change
    }
    if (item >= 0) ensureVisible(l, item);
    if (openSub && !keepSub && it && hasSubmenu(*it)) openSubmenu(level, false);
}

void PopupMenu::openSubmenu(int level, bool select) {
    const Level& l = levels_[level];
    const MenuItem& item = l.menu->items()[l.highlight];
    const Rect r = itemBounds(level, l.highlight);
    open(level + 1, *item.submenu, {l.panel.right() - kOverlap, r.y - kPad}, l.panel.x);
    if (select) moveHighlight(level + 1, 1);
}

void PopupMenu::ensureVisible(Level& l, int item) {
    const Rect& c = l.cells[item];
    if (c.y < l.scroll) scrollBy(l, c.y - l.scroll);
    if (c.bottom() > l.scroll + l.viewHeight) scrollBy(l, c.bottom() - l.scroll - l.viewHeight);
}

void PopupMenu::scrollBy(Level& l, int dy) {
    const int to = std::clamp(l.scroll + dy, 0, std::max(0, l.contentHeight - l.viewHeight));
    if (to == l.scroll) return;
    l.scroll = to;
    const int level = static_cast<int>(&l - levels_.data());
    closeAfter(level);
    repaint(l.panel);
}

void PopupMenu::moveHighlight(int level, int step) {
    const Level& l = levels_[level];
    const int n = static_cast<int>(l.cells.size());
    int i = l.highlight;
    if (i < 0) i = step > 0 ? -1 : n;
    for (int tries = 0; tries < n; ++tries) {
        i = (i + step + n) % n;
        if (l.menu->items()[i].selectable()) return highlight(level, i, false);
    }
}

// Left and Right between the columns of a split menu: to the nearest item at the same height.
void PopupMenu::moveColumn(int level, int direction) {
    const Level& l = levels_[level];
    const Rect& from = l.cells[l.highlight];
    const int x = from.x + direction * from.width;
    int best = -1, bestDistance = 0;
    for (size_t i = 0; i < l.cells.size(); ++i) {
        if (l.cells[i].x != x || !l.menu->items()[i].selectable()) continue;
        const int d = std::abs(l.cells[i].y - from.y);
        if (best < 0 || d < bestDistance) best = static_cast<int>(i), bestDistance = d;
    }
    if (best >= 0) highlight(level, best, false);
}

// The level the keys work on: the deepest with a highlighted item.
int PopupMenu::activeLevel() const {
    for (int i = levels() - 1; i > 0; --i)
        if (levels_[i].highlight >= 0) return i;
    return 0;
}

void PopupMenu::activate(int level, int item) {
    const MenuItem& it = levels_[level].menu->items()[item];
    if (!it.selectable()) return;
    if (hasSubmenu(it)) {
        highlight(level, item, false);
        if (levels() == level + 1) openSubmenu(level, true);
        return;
    }
    choose(it.id);
}

void PopupMenu::choose(int id) {
    Chosen chosen = std::move(chosen_);
    dismissed_ = nullptr;
    close();
    if (chosen) chosen(id);
}

void PopupMenu::dismiss() {
    Dismissed dismissed = std::move(dismissed_);
    chosen_ = nullptr;
    close();
    if (dismissed) dismissed();
}

bool PopupMenu::mouseDown(const MouseEvent& e) {
    const Hit h = hitAt(e.position);
    if (h.level < 0) dismiss();
    if (h.arrow != 0) scrollBy(levels_[h.level], h.arrow * palette::kRowHeight);
    return true;
}

void PopupMenu::mouseUp(const MouseEvent& e) {
    const Hit h = hitAt(e.position);
    if (h.level >= 0 && h.item >= 0) activate(h.level, h.item);
}

void PopupMenu::mouseMove(const MouseEvent& e) {
    const Hit h = hitAt(e.position);
    scrolling_ = h;
    if (h.arrow != 0 && scrollTimer_ && !scrollTimer_->running()) scrollTimer_->start();
    if (h.arrow == 0 && scrollTimer_) scrollTimer_->stop();
    if (h.level >= 0 && h.arrow == 0) highlight(h.level, h.item, true);
}

void PopupMenu::autoScroll() {
    if (scrolling_.level < 0 || scrolling_.level >= levels() || scrolling_.arrow == 0) {
        scrollTimer_->stop();
        return;
    }
    scrollBy(levels_[scrolling_.level], scrolling_.arrow * palette::kRowHeight / 2);
}

bool PopupMenu::mouseWheel(const MouseEvent& e) {
    const Hit h = hitAt(e.position);
    if (h.level >= 0)
        scrollBy(levels_[h.level],
                 static_cast<int>(std::lround(-e.wheelY * 3)) * palette::kRowHeight);
    return true;
}

bool PopupMenu::keyDown(const KeyEvent& e) {
    const int level = activeLevel();
    Level& l = levels_[level];
    const bool lit = l.highlight >= 0;
    switch (e.key) {
        case Key::Down:
            moveHighlight(level, 1);
            break;
        case Key::Up:
            moveHighlight(level, -1);
            break;
        case Key::Home:
            highlight(level, -1, false), moveHighlight(level, 1);
            break;
        case Key::End:
            highlight(level, -1, false), moveHighlight(level, -1);
            break;
        case Key::Enter:
            if (lit) activate(level, l.highlight);
            break;
        case Key::Right:
            if (lit && hasSubmenu(l.menu->items()[l.highlight]))
                activate(level, l.highlight);
            else if (lit)
                moveColumn(level, 1);
            break;
        case Key::Left:
            if (lit && l.cells[l.highlight].x > 0)
                moveColumn(level, -1);
            else if (level > 0)
                closeAfter(level - 1);
            break;
        case Key::Escape:
            if (levels() > 1)
                closeAfter(levels() - 2);
            else
                dismiss();
            break;
        default:
            if (!e.text.empty()) jumpTo(level, e.text);
            break;
    }
    return true;
}

// Typing a letter goes to the next item that starts with it.
void PopupMenu::jumpTo(int level, std::string_view typed) {
    const Level& l = levels_[level];
    const int n = static_cast<int>(l.cells.size());
    for (int k = 1; k <= n; ++k) {
        const int i = (l.highlight + k + n) % n;
        const MenuItem& item = l.menu->items()[i];
        if (item.selectable() && startsWithIgnoringCase(item.text, typed))
            return highlight(level, i, false);
    }
}

void PopupMenu::paint(Graphics& g) {
    const int active = activeLevel();
    for (int i = 0; i < levels(); ++i) paintLevel(g, levels_[i], i == active);
}

// Only the level the keys work on shows its highlight in full; the items whose submenus are
// open show theirs faintly.
void PopupMenu::paintLevel(Graphics& g, const Level& l, bool active) {
    g.fillRoundedRect(l.panel.translated(1, 2), palette::kRadius, palette::kShadow);
    g.fillRoundedRect(l.panel, palette::kRadius, palette::kPanelRaised);
    g.strokeRoundedRect(l.panel, palette::kRadius, 1.0f, palette::kBorder);
    const Rect v = view(l);
    if (l.scrollable()) {
        const float cx = v.x + v.width / 2.0f;
        const float up = v.y - kArrowHeight / 2.0f, down = v.bottom() + kArrowHeight / 2.0f;
        const Colour c = palette::kTextDim;
        const float upXY[] = {cx - 5, up + 2.5f, cx, up - 2.5f, cx + 5, up + 2.5f};
        const float downXY[] = {cx - 5, down - 2.5f, cx, down + 2.5f, cx + 5, down - 2.5f};
        g.polyline(upXY, 1.5f, l.scroll > 0 ? c : c.withAlpha(0.3f));
        const bool more = l.scroll < l.contentHeight - l.viewHeight;
        g.polyline(downXY, 1.5f, more ? c : c.withAlpha(0.3f));
    }
    g.save();
    g.clip(v);
    const auto& items = l.menu->items();
    for (size_t i = 0; i < items.size(); ++i) {
        const Rect r = l.cells[i].translated(v.x, v.y - l.scroll);
        if (r.bottom() <= v.y || r.y >= v.bottom()) continue;
        const bool lit = static_cast<int>(i) == l.highlight;
        if (lit && !active) g.fillRoundedRect(r, 2.0f, palette::kAccent.withAlpha(0.3f));
        paintItem(g, items[i], r, lit && active);
    }
    g.restore();
}

void PopupMenu::paintItem(Graphics& g, const MenuItem& item, const Rect& r, bool lit) {
    if (item.separator) {
        const float y = r.y + r.height / 2.0f;
        g.line(r.x + 6, y, r.right() - 6, y, 1.0f, palette::kBorder);
        return;
    }
    if (lit) g.fillRoundedRect(r, 2.0f, palette::kAccent.withAlpha(0.85f));
    const Colour text = !item.enabled ? palette::kTextDisabled
                        : lit         ? palette::kBackground
                                      : palette::kText;
    const float cy = r.y + r.height / 2.0f;
    if (item.checked) {
        const float x = r.x + 6;
        const float tick[] = {x, cy, x + 3.5f, cy + 3.5f, x + 9, cy - 4};
        g.polyline(tick, 1.8f, item.enabled && !lit ? palette::kAccent : text);
    }
    const Rect textArea{r.x + kTickWidth, r.y, r.width - kTickWidth - kArrowWidth, r.height};
    g.text(elideText(item.text, palette::kNormal, static_cast<float>(textArea.width)), textArea,
           palette::kNormal, text, Align::Left);
    if (item.submenu) {
        const float x = r.right() - 10.0f;
        const float arrow[] = {x - 3, cy - 4, x + 1, cy, x - 3, cy + 4};
        g.polyline(arrow, 1.5f, text);
    }
}

}  // namespace gui
