#include "gui/Button.h"

#include "gui/Modifiers.h"

namespace gui {

Button::Button(std::string caption, std::function<void()> clicked) : onClick(std::move(clicked)) {
    setCaption(std::move(caption));
}

void Button::setStyle(const Style& s) {
    style_ = s;
    repaint();
}

void Button::paintFace(Graphics& g, const std::string& text, int textInset) {
    const Rect b = localBounds();
    const bool on = lit();
    Colour face = on ? style_.on : style_.face;
    if (hovered() && enabled()) face = face.brighter(0.1f);
    g.fillRoundedRect(b, style_.radius, face);
    if (style_.border) g.strokeRoundedRect(b, style_.radius, 1.0f, palette::kBorder);
    const Colour text_colour =
        !enabled() ? palette::kTextDisabled : (on ? style_.textOn : style_.text);
    const Rect area = b.reduced(2);
    g.text(text, {area.x + textInset, area.y, area.width - textInset, area.height}, style_.font,
           text_colour);
}

void Button::paint(Graphics& g) {
    paintFace(g, caption());
}

bool Button::mouseDown(const MouseEvent& e) {
    if (!(e.modifiers & modifier::kLeftButton)) return false;
    held_ = over_ = true;
    repaint();
    return true;
}

void Button::mouseDrag(const MouseEvent& e) {
    const bool over = localBounds().contains(e.position);
    if (over == over_) return;
    over_ = over;
    repaint();
}

void Button::mouseUp(const MouseEvent& e) {
    const bool click = held_ && localBounds().contains(e.position);
    held_ = over_ = false;
    repaint();
    if (click) clicked();
}

bool Button::keyDown(const KeyEvent& e) {
    if (e.key != Key::Enter && e.text != " ") return false;
    clicked();
    return true;
}

void Button::clicked() {
    if (onClick) onClick();
}

ToggleButton::ToggleButton(std::string caption) {
    setCaption(std::move(caption));
}

void ToggleButton::clicked() {
    beginEdit();
    changeTo(on() ? 0 : 1);
    endEdit();
    Button::clicked();
}

void ToggleButton::paint(Graphics& g) {
    // A lamp at the left says on or off even where the caption is short.
    const Rect b = localBounds();
    paintFace(g, caption(), kLampWidth);
    const float r = 2.5f;
    g.fillEllipse(b.x + 7.0f, b.height / 2.0f, r,
                  on() ? palette::kBackground : palette::kTextDisabled);
}

}  // namespace gui
