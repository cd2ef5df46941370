#include "gui/Light.h"

#include <algorithm>

namespace gui {

void Light::paint(Graphics& g) {
    const Rect b = localBounds();
    const float p = proportion();
    const Colour c{style_.off.r + (style_.on.r - style_.off.r) * p,
                   style_.off.g + (style_.on.g - style_.off.g) * p,
                   style_.off.b + (style_.on.b - style_.off.b) * p, 1.0f};
    if (style_.round) {
        const float r = std::min(b.width, b.height) / 2.0f;
        if (p > 0)
            g.fillEllipse(b.width / 2.0f, b.height / 2.0f, r, style_.on.withAlpha(0.25f * p));
        g.fillEllipse(b.width / 2.0f, b.height / 2.0f, r * 0.62f, c);
    } else {
        g.fillRoundedRect(b, 1.5f, c);
    }
}

}  // namespace gui
