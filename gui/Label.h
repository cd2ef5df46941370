#pragma once

#include <string>
#include <vector>

#include "gui/Component.h"
#include "gui/Palette.h"

namespace gui {

// One line of text.
class Label : public Component {
public:
    struct Style {
        Font font = palette::kNormal;
        Colour colour = palette::kText;
        Align align = Align::Left;
    };
    Label() = default;
    explicit Label(std::string text) : text_(std::move(text)) {}
    Label(std::string text, const Style& s) : text_(std::move(text)), style_(s) {}
    const std::string& text() const { return text_; }
    void setText(std::string t);
    void setStyle(const Style& s);
    const Style& style() const { return style_; }
    void paint(Graphics& g) override;

private:
    std::string text_;
    Style style_;
};

// A section's title: bold text over a hairline.
class CaptionLabel : public Label {
public:
    explicit CaptionLabel(std::string text);
    void paint(Graphics& g) override;
};

// One of several texts, chosen by index (a mode's name, a unit).
class MultiLabel : public Label {
public:
    explicit MultiLabel(std::vector<std::string> texts);
    void select(size_t index);
    size_t selected() const { return index_; }

private:
    std::vector<std::string> texts_;
    size_t index_ = 0;
};

// A picture left of its text.
class ImageLabel : public Label {
public:
    ImageLabel(cairo_surface_t* image, std::string text);
    ~ImageLabel() override;
    void paint(Graphics& g) override;

private:
    cairo_surface_t* image_;
};

// Wrapped text over several lines (hints, messages, the About box).
class Text : public Label {
public:
    using Label::Label;
    float lineHeight() const { return style().font.size * 1.35f; }
    // The lines the text breaks into at a width; explicit line breaks are kept.
    static std::vector<std::string> wrap(Graphics& g, const std::string& text, const Font& f,
                                         float width);
    void paint(Graphics& g) override;
};

}  // namespace gui
