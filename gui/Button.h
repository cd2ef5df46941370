#pragma once

#include <functional>
#include <string>

#include "gui/Palette.h"
#include "gui/ValueControl.h"

namespace gui {

// A push button: a release over it after a press on it is a click.
class Button : public RolloverValueControl {
public:
    struct Style {
        Colour face = palette::kPanelRaised;
        Colour on = palette::kAccent;
        Colour text = palette::kText;
        Colour textOn = palette::kBackground;
        Font font = palette::kNormal;
        float radius = palette::kRadius;
        bool border = true;
    };

    Button() = default;
    explicit Button(std::string caption, std::function<void()> clicked = {});

    const Style& style() const { return style_; }
    void setStyle(const Style& s);
    std::function<void()> onClick;

    void paint(Graphics& g) override;
    bool mouseDown(const MouseEvent& e) override;
    void mouseDrag(const MouseEvent& e) override;
    void mouseUp(const MouseEvent& e) override;
    bool keyDown(const KeyEvent& e) override;

protected:
    // Drawn lit: held, or on for a toggle.
    virtual bool lit() const { return held_ && over_; }
    virtual void clicked();
    void paintFace(Graphics& g, const std::string& text, int textInset = 0);

private:
    Style style_;
    bool held_ = false;
    bool over_ = false;
};

// A button that stays on or off; each click flips it, as one edit.
class ToggleButton : public Button {
public:
    static constexpr int kLampWidth = 8;
    explicit ToggleButton(std::string caption = {});
    bool on() const { return value() != 0; }

protected:
    bool lit() const override { return on(); }
    void clicked() override;
    void paint(Graphics& g) override;
};

}  // namespace gui
