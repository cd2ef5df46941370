#include "gui/ControlBar.h"

#include <algorithm>

namespace gui {

void ControlBar::layout() {
    const Rect b = localBounds();
    const int height = std::max(0, b.height - 2 * (gap_ / 2 + 1));
    int left = gap_, right = b.width - gap_;
    for (size_t i = 0; i < children().size(); ++i) {
        Component& c = *children()[i];
        const int w = c.bounds().width;
        const bool atRight = i < right_.size() && right_[i];
        const int x = atRight ? right - w : left;
        c.setBounds({x, (b.height - height) / 2, w, height});
        if (atRight)
            right -= w + gap_;
        else
            left += w + gap_;
    }
}

void ControlBar::paint(Graphics& g) {
    const Rect b = localBounds();
    g.fillRect(b, palette::kPanel);
    g.line(0, b.height - 0.5f, b.width, b.height - 0.5f, 1.0f, palette::kBorder);
}

}  // namespace gui
