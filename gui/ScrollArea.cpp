#include "gui/ScrollArea.h"

#include <algorithm>

#include "gui/Modifiers.h"
#include "gui/RootControl.h"
#include "gui/Timer.h"

namespace gui {

// The scroll bar: a thumb in proportion to the part shown, dragged to scroll.
class ScrollArea::Bar : public Control {
public:
    explicit Bar(ScrollArea& area) : area_(area) {}

    Rect thumb() const {
        const Rect b = localBounds();
        const int total = area_.content_ ? area_.content_->bounds().height : 1;
        const int shown = area_.bounds().height;
        if (total <= shown) return {};
        const int h = std::max(16, b.height * shown / total);
        const int y = (b.height - h) * area_.offset_ / std::max(1, area_.maximumOffset());
        return {1, y, b.width - 2, h};
    }
    void paint(Graphics& g) override {
        const Rect t = thumb();
        if (t.empty()) return;
        g.fillRoundedRect(localBounds(), 3, palette::kTrack);
        g.fillRoundedRect(t, 3, hovered() || grab_ >= 0 ? palette::kTextDim : palette::kBorder);
    }
    bool mouseDown(const MouseEvent& e) override {
        const Rect t = thumb();
        if (t.empty() || !(e.modifiers & modifier::kLeftButton)) return false;
        // A press off the thumb jumps there first.
        if (!t.contains(e.position)) dragThumbTo(e.position.y - t.height / 2);
        grab_ = e.position.y - thumb().y;
        return true;
    }
    void mouseDrag(const MouseEvent& e) override { dragThumbTo(e.position.y - grab_); }
    void mouseUp(const MouseEvent&) override {
        grab_ = -1;
        repaint();
    }

private:
    void dragThumbTo(int y) {
        const int travel = localBounds().height - thumb().height;
        if (travel > 0) area_.scrollTo(y * area_.maximumOffset() / travel);
    }
    ScrollArea& area_;
    int grab_ = -1;
};

ScrollArea::ScrollArea() {
    bar_ = &add<Bar>(*this);
}

void ScrollArea::setContent(std::unique_ptr<Component> content) {
    if (content_) release(content_);
    bar_->setVisible(false);
    auto bar = release(bar_);
    content_ = &adopt(std::move(content));
    adopt(std::move(bar));
    bar_->setVisible(true);
    offset_ = 0;
    resized();
}

int ScrollArea::maximumOffset() const {
    return content_ ? std::max(0, content_->bounds().height - bounds().height) : 0;
}

void ScrollArea::scrollTo(int offset) {
    offset = std::clamp(offset, 0, maximumOffset());
    if (offset == offset_) return;
    offset_ = offset;
    resized();
    repaint();
}

void ScrollArea::makeVisible(const Rect& part) {
    if (part.y < offset_)
        scrollTo(part.y);
    else if (part.bottom() > offset_ + bounds().height)
        scrollTo(part.bottom() - bounds().height);
}

void ScrollArea::resized() {
    const Rect b = localBounds();
    bar_->setBounds({b.width - kBarWidth, 0, kBarWidth, b.height});
    if (content_) {
        offset_ = std::clamp(offset_, 0, maximumOffset());
        content_->setBounds({0, -offset_, b.width - kBarWidth - 2, content_->bounds().height});
    }
}

bool ScrollArea::mouseWheel(const MouseEvent& e) {
    if (maximumOffset() == 0) return false;
    scrollBy(static_cast<int>(-e.wheelY * kWheelPixels));
    return true;
}

ScrollButton::ScrollButton(Direction d) : direction_(d) {}

ScrollButton::~ScrollButton() = default;

void ScrollButton::paint(Graphics& g) {
    const Rect b = localBounds();
    if (hovered()) g.fillRoundedRect(b, palette::kRadius, palette::kHighlight);
    const float cx = b.width / 2.0f, cy = b.height / 2.0f, s = std::min(b.width, b.height) / 5.0f;
    float xy[6];
    switch (direction_) {
        case Direction::Left:
            xy[0] = cx + s / 2, xy[1] = cy - s, xy[2] = cx - s / 2, xy[3] = cy, xy[4] = cx + s / 2,
            xy[5] = cy + s;
            break;
        case Direction::Right:
            xy[0] = cx - s / 2, xy[1] = cy - s, xy[2] = cx + s / 2, xy[3] = cy, xy[4] = cx - s / 2,
            xy[5] = cy + s;
            break;
        case Direction::Up:
            xy[0] = cx - s, xy[1] = cy + s / 2, xy[2] = cx, xy[3] = cy - s / 2, xy[4] = cx + s,
            xy[5] = cy + s / 2;
            break;
        case Direction::Down:
            xy[0] = cx - s, xy[1] = cy - s / 2, xy[2] = cx, xy[3] = cy + s / 2, xy[4] = cx + s,
            xy[5] = cy - s / 2;
            break;
    }
    g.polyline(xy, 1.5f, enabled() ? palette::kText : palette::kTextDisabled);
}

bool ScrollButton::mouseDown(const MouseEvent& e) {
    if (!Button::mouseDown(e)) return false;
    if (onScroll) onScroll();
    UserInterface* ui = root() ? root()->userInterface() : nullptr;
    if (ui) {
        timer_ = ui->createTimer();
        timer_->setInterval(kFirstRepeatMs);
        timer_->setCallback([this] {
            timer_->setInterval(kRepeatMs);
            if (onScroll) onScroll();
        });
        timer_->start();
    }
    return true;
}

void ScrollButton::mouseUp(const MouseEvent& e) {
    timer_.reset();
    // The scroll already happened on the press: the release is not a further click.
    auto keep = std::move(onClick);
    Button::mouseUp(e);
    onClick = std::move(keep);
}

ScrollStrip::ScrollStrip() {
    items_ = &add<Component>();
    left_ = &add<ScrollButton>(ScrollButton::Direction::Left);
    right_ = &add<ScrollButton>(ScrollButton::Direction::Right);
    left_->onScroll = [this] { scrollBy(-kStep); };
    right_->onScroll = [this] { scrollBy(kStep); };
}

Component& ScrollStrip::addItem(std::unique_ptr<Component> item) {
    Component& c = items_->adopt(std::move(item));
    layout();
    return c;
}

int ScrollStrip::itemsWidth() const {
    int w = 0;
    for (const auto& c : items_->children()) w += c->bounds().width;
    return w;
}

void ScrollStrip::scrollBy(int pixels) {
    const int room = bounds().width - 2 * kButtonWidth;
    const int offset = std::clamp(offset_ + pixels, 0, std::max(0, itemsWidth() - room));
    if (offset == offset_) return;
    offset_ = offset;
    layout();
}

void ScrollStrip::layout() {
    const Rect b = localBounds();
    const bool fits = itemsWidth() <= b.width;
    if (fits) offset_ = 0;
    left_->setVisible(!fits);
    right_->setVisible(!fits);
    const int margin = fits ? 0 : kButtonWidth;
    left_->setBounds({0, 0, kButtonWidth, b.height});
    right_->setBounds({b.width - kButtonWidth, 0, kButtonWidth, b.height});
    items_->setBounds({margin, 0, b.width - 2 * margin, b.height});
    int x = -offset_;
    for (const auto& c : items_->children()) {
        c->setBounds({x, 0, c->bounds().width, b.height});
        x += c->bounds().width;
    }
    left_->setEnabled(offset_ > 0);
    right_->setEnabled(x > items_->bounds().width);
}

}  // namespace gui
