#include "gui/SelectButton.h"

#include "gui/Menu.h"
#include "gui/PopupMenu.h"
#include "gui/RootControl.h"

namespace gui {
namespace {

// The small downward triangle that says "this opens a list".
void paintArrow(Graphics& g, const Rect& b, Colour c) {
    const float x = b.width - 10.0f, y = b.height / 2.0f;
    const float xy[] = {x - 3.5f, y - 1.5f, x, y + 2.0f, x + 3.5f, y - 1.5f};
    g.polyline(xy, 1.5f, c);
}

}  // namespace

SelectButton::SelectButton(std::vector<SelectMenuItem> items) {
    setItems(std::move(items));
}

void SelectButton::setItems(std::vector<SelectMenuItem> items) {
    items_ = std::move(items);
    setMaximum(std::max<int32_t>(1, static_cast<int32_t>(items_.size()) - 1));
    repaint();
}

const std::string& SelectButton::selectedText() const {
    static const std::string none;
    return value() < static_cast<int32_t>(items_.size()) ? items_[value()].text : none;
}

void SelectButton::paint(Graphics& g) {
    const Rect b = localBounds();
    paintFace(g, "");
    g.text(selectedText(), {b.x + 6, b.y, b.width - 22, b.height}, style().font,
           enabled() ? style().text : palette::kTextDisabled, Align::Left);
    paintArrow(g, b, enabled() ? palette::kTextDim : palette::kTextDisabled);
}

void SelectButton::clicked() {
    RootControl* r = root();
    if (!r) return;
    Menu menu;
    for (size_t i = 0; i < items_.size(); ++i)
        menu.add(items_[i].text, static_cast<int>(i), static_cast<int32_t>(i) == value(),
                 items_[i].enabled);
    const Rect at = rootBounds();
    PopupMenu::show(*r, std::move(menu), {at.x, at.bottom()}, [this](int id) {
        beginEdit();
        changeTo(id);
        endEdit();
        if (onClick) onClick();
    });
}

PopupButton::PopupButton(std::string caption, MenuBuilder build, std::function<void(int)> choose)
    : Button(std::move(caption)), build_(std::move(build)), choose_(std::move(choose)) {}

void PopupButton::paint(Graphics& g) {
    const Rect b = localBounds();
    paintFace(g, "");
    g.text(caption(), {b.x + 4, b.y, b.width - 20, b.height}, style().font,
           enabled() ? style().text : palette::kTextDisabled);
    paintArrow(g, b, enabled() ? palette::kTextDim : palette::kTextDisabled);
}

void PopupButton::clicked() {
    RootControl* r = root();
    if (!r || !build_) return;
    const Rect at = rootBounds();
    PopupMenu::show(*r, build_(), {at.x, at.bottom()}, [this](int id) {
        if (choose_) choose_(id);
    });
}

}  // namespace gui
