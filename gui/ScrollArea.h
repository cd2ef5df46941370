#pragma once

#include <memory>

#include "gui/Button.h"
#include "gui/Component.h"

namespace gui {

class Timer;

// A window onto content taller than itself: the wheel and the bar at the right scroll it.
class ScrollArea : public Component {
public:
    static constexpr int kBarWidth = 8;
    static constexpr int kWheelPixels = 3 * palette::kRowHeight;

    ScrollArea();
    // The content keeps its height; its width follows the area's, less the bar.
    void setContent(std::unique_ptr<Component> content);
    Component* content() const { return content_; }
    int offset() const { return offset_; }
    int maximumOffset() const;
    void scrollTo(int offset);
    void scrollBy(int pixels) { scrollTo(offset_ + pixels); }
    // Scrolls the least that shows a part of the content (content coordinates).
    void makeVisible(const Rect& part);

    bool mouseWheel(const MouseEvent& e) override;
    bool wantsMouse() const override { return true; }

protected:
    void resized() override;

private:
    class Bar;
    Component* content_ = nullptr;
    Bar* bar_ = nullptr;
    int offset_ = 0;
};

// An arrow button that scrolls while held: once on the press, then every 60 ms after 300 ms.
class ScrollButton : public Button {
public:
    enum class Direction { Left, Right, Up, Down };
    static constexpr int kFirstRepeatMs = 300;
    static constexpr int kRepeatMs = 60;

    explicit ScrollButton(Direction d);
    ~ScrollButton() override;
    Direction direction() const { return direction_; }
    std::function<void()> onScroll;

    void paint(Graphics& g) override;
    bool mouseDown(const MouseEvent& e) override;
    void mouseUp(const MouseEvent& e) override;

private:
    Direction direction_;
    std::unique_ptr<Timer> timer_;
};

// A row of items wider than itself with scroll buttons at both ends when it does not fit.
class ScrollStrip : public Component {
public:
    static constexpr int kButtonWidth = 14;
    static constexpr int kStep = 40;

    ScrollStrip();
    // Items keep their widths and are laid out left to right.
    Component& addItem(std::unique_ptr<Component> item);
    int offset() const { return offset_; }
    void scrollBy(int pixels);

protected:
    void resized() override { layout(); }

private:
    void layout();
    int itemsWidth() const;

    Component* items_ = nullptr;
    ScrollButton* left_ = nullptr;
    ScrollButton* right_ = nullptr;
    int offset_ = 0;
};

}  // namespace gui
