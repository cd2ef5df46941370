#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "gui/Shape.h"
#include "gui/ValueControl.h"

// One period of the chosen wave as the oscillator shapes it (pulse width included).
class WaveDisplay : public gui::Curve {
public:
    WaveDisplay(gui::ValueControl& form, gui::ValueControl& width, gui::Colour accent)
        : gui::Curve(style(accent)), form_(form), width_(width) {}
    void paint(gui::Graphics& g) override {
        if (form_.value() != shown_ || width_.value() != shownWidth_) update();
        gui::Curve::paint(g);
    }

private:
    static gui::Curve::Style style(gui::Colour accent) {
        gui::Curve::Style s;
        s.stroke = accent;
        s.fill = accent.withAlpha(0.12f);
        s.baseline = 0.5f;
        s.grid = false;
        return s;
    }
    static float sample(int form, float t, float pw, uint32_t& noise) {
        switch (form) {
            case 0:
                return 1 - 4 * std::abs(t - 0.5f);
            case 1:
                return 1 - 2 * t;
            case 2:
                return t < pw ? 1.0f : -1.0f;
            case 3:
                return std::sin(6.2831853f * t);
            default:
                noise = noise * 1664525u + 1013904223u;
                return (static_cast<float>(noise >> 8) / 8388608.0f - 1) *
                       (form == 4 ? 1.0f : 0.6f);
        }
    }
    void update() {
        shown_ = form_.value();
        shownWidth_ = width_.value();
        const float pw = 0.5f * (1.0f - width_.proportion() * 0.9f);
        std::vector<float> xy;
        uint32_t noise = 12345;
        for (int i = 0; i <= 96; ++i) {
            const float t = i / 96.0f;
            xy.push_back(t);
            xy.push_back(0.5f + 0.4f * sample(shown_, t, pw, noise));
        }
        setPoints(std::move(xy));
    }
    gui::ValueControl& form_;
    gui::ValueControl& width_;
    int32_t shown_ = -1, shownWidth_ = -1;
};
