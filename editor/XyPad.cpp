#include "editor/XyPad.h"

#include <algorithm>

#include "editor/GenericPluginInterface.h"
#include "gui/Modifiers.h"

namespace {

constexpr int kInset = 6;
constexpr float kDotRadius = 5.0f;

}  // namespace

// One hidden axis of the pad: a change from outside (automation, undo) redraws the pad.
class XyPad::Axis : public gui::ValueControl {
protected:
    void valueShown() override {
        if (parent()) parent()->repaint();
    }
};

XyPad::XyPad(GenericPluginInterface& editor, const std::string& horizontal,
             const std::string& vertical, gui::Colour accent)
    : editor_(editor), accent_(accent) {
    const std::string names[] = {horizontal, vertical};
    for (int i = 0; i < 2; ++i) {
        axes_[i] = &add<Axis>();
        axes_[i]->setVisible(false);
        editor_.bind(*axes_[i], names[i]);
    }
}

gui::Rect XyPad::area() const {
    return localBounds().reduced(kInset);
}

void XyPad::paint(gui::Graphics& g) {
    const gui::Rect b = localBounds();
    g.fillRoundedRect(b, gui::palette::kRadius, gui::palette::kTrack);
    const gui::Rect a = area();
    const float cx = a.x + a.width / 2.0f, cy = a.y + a.height / 2.0f;
    for (int i = 1; i < 4; ++i) {
        const float x = a.x + a.width * i / 4.0f, y = a.y + a.height * i / 4.0f;
        const float w = i == 2 ? 1.0f : 0.5f;
        g.line(x, a.y, x, a.bottom(), w, gui::palette::kHighlight);
        g.line(a.x, y, a.right(), y, w, gui::palette::kHighlight);
    }
    const bool inUse = !inUse_ || inUse_();
    const gui::Colour dot = inUse ? accent_ : gui::palette::kTextDisabled;
    if (!inUse)
        g.text("not in use", {a.x, a.y + 4, a.width, 14}, gui::palette::kSmall,
               gui::palette::kTextDim, gui::Align::Centre);
    const float x = a.x + a.width * horizontal().proportion();
    const float y = a.bottom() - a.height * vertical().proportion();
    g.line(cx, cy, x, y, 1.0f, dot.withAlpha(0.35f));
    g.fillEllipse(x, y, kDotRadius + (dragging_ ? 3.0f : 2.0f), dot.withAlpha(0.25f));
    g.fillEllipse(x, y, kDotRadius, dot);
    g.strokeRoundedRect(b, gui::palette::kRadius, 1.0f,
                        hovered() ? gui::palette::kBorder.brighter(0.2f) : gui::palette::kBorder);
}

void XyPad::moveTo(gui::Point p) {
    const gui::Rect a = area();
    const float h = std::clamp(float(p.x - a.x) / float(std::max(1, a.width)), 0.0f, 1.0f);
    const float v = std::clamp(float(a.bottom() - p.y) / float(std::max(1, a.height)), 0.0f, 1.0f);
    setValues(static_cast<int32_t>(h * horizontal().maximum() + 0.5f),
              static_cast<int32_t>(v * vertical().maximum() + 0.5f));
}

void XyPad::setValues(int32_t h, int32_t v) {
    if (h == horizontal().value() && v == vertical().value()) return;
    // The edit begins with the first change, so that a click on the dot records nothing.
    if (!editing_) {
        editing_ = true;
        editor_.beginActionGroup();
        for (gui::ValueControl* axis : axes_) axis->beginEdit();
    }
    horizontal().changeTo(h);
    vertical().changeTo(v);
    repaint();
}

void XyPad::endGesture() {
    dragging_ = false;
    if (editing_) {
        editing_ = false;
        for (gui::ValueControl* axis : axes_) axis->endEdit();
        editor_.endActionGroup();
    }
    repaint();
}

bool XyPad::mouseDown(const gui::MouseEvent& e) {
    if ((e.modifiers & gui::modifier::kLeftButton) == 0) return false;
    dragging_ = true;
    moveTo(e.position);
    return true;
}

void XyPad::mouseDrag(const gui::MouseEvent& e) {
    if (dragging_) moveTo(e.position);
}

void XyPad::mouseUp(const gui::MouseEvent&) {
    endGesture();
}

bool XyPad::mouseDoubleClick(const gui::MouseEvent& e) {
    if ((e.modifiers & gui::modifier::kLeftButton) == 0) return false;
    setValues(horizontal().defaultValue(), vertical().defaultValue());
    endGesture();
    return true;
}
