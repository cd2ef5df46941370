#include "gui/Switch.h"

#include <algorithm>

#include "gui/Modifiers.h"

namespace gui {

Switch::Switch(std::vector<std::string> labels) {
    setLabels(std::move(labels));
}

void Switch::setLabels(std::vector<std::string> labels) {
    labels_ = std::move(labels);
    setMaximum(std::max<int32_t>(1, static_cast<int32_t>(labels_.size()) - 1));
    repaint();
}

void Switch::setStyle(const Style& s) {
    style_ = s;
    repaint();
}

Rect Switch::cell(int index) const {
    const int n = std::max<int>(1, static_cast<int>(labels_.size()));
    const Rect b = localBounds();
    if (style_.vertical) {
        const int y0 = b.height * index / n, y1 = b.height * (index + 1) / n;
        return {0, y0, b.width, y1 - y0};
    }
    const int x0 = b.width * index / n, x1 = b.width * (index + 1) / n;
    return {x0, 0, x1 - x0, b.height};
}

int Switch::positionAt(Point p) const {
    const int n = std::max<int>(1, static_cast<int>(labels_.size()));
    const Rect b = localBounds();
    const int along =
        style_.vertical ? p.y * n / std::max(1, b.height) : p.x * n / std::max(1, b.width);
    return std::clamp(along, 0, n - 1);
}

void Switch::paint(Graphics& g) {
    const Rect b = localBounds();
    g.fillRoundedRect(b, palette::kRadius, palette::kTrack);
    for (int i = 0; i < static_cast<int>(labels_.size()); ++i) {
        const Rect c = cell(i).reduced(1);
        const bool chosen = i == value();
        if (chosen)
            g.fillRoundedRect(c, palette::kRadius - 1, enabled() ? style_.on : palette::kBorder);
        const Colour text = chosen ? palette::kBackground
                                   : (enabled() ? palette::kTextDim : palette::kTextDisabled);
        g.text(labels_[i], c, style_.font, text);
    }
    if (hovered()) g.strokeRoundedRect(b, palette::kRadius, 1.0f, palette::kBorder);
}

bool Switch::mouseDown(const MouseEvent& e) {
    if (!(e.modifiers & modifier::kLeftButton)) return false;
    beginEdit();
    changeTo(positionAt(e.position));
    return true;
}

void Switch::mouseDrag(const MouseEvent& e) {
    changeTo(positionAt(e.position));
}

void Switch::mouseUp(const MouseEvent&) {
    endEdit();
}

}  // namespace gui
