#pragma once

#include "gui/Palette.h"
#include "gui/ValueControl.h"

namespace gui {

// An indicator lamp: off, on, or anything between (its value over its maximum). It takes no input.
class Light : public ValueControl {
public:
    struct Style {
        Colour on = palette::kAccent;
        Colour off = palette::kTrack;
        bool round = true;
    };
    Light() = default;
    explicit Light(const Style& s) : style_(s) {}
    bool wantsMouse() const override { return false; }
    void paint(Graphics& g) override;

private:
    Style style_;
};

}  // namespace gui
