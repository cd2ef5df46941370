#include "gui/Label.h"

#include <algorithm>

namespace gui {

void Label::setText(std::string t) {
    if (t == text_) return;
    text_ = std::move(t);
    repaint();
}

void Label::setStyle(const Style& s) {
    style_ = s;
    repaint();
}

void Label::paint(Graphics& g) {
    g.text(text_, localBounds(), style_.font, style_.colour, style_.align);
}

CaptionLabel::CaptionLabel(std::string text)
    : Label(std::move(text), {palette::kBold, palette::kText, Align::Left}) {}

void CaptionLabel::paint(Graphics& g) {
    const Rect b = localBounds();
    Label::paint(g);
    const float x = g.textWidth(text(), style().font) + 6.0f;
    if (x < b.width)
        g.line(x, b.height / 2.0f + 0.5f, b.width, b.height / 2.0f + 0.5f, 1.0f, palette::kBorder);
}

MultiLabel::MultiLabel(std::vector<std::string> texts) : texts_(std::move(texts)) {
    select(0);
}

void MultiLabel::select(size_t index) {
    if (index >= texts_.size()) return;
    index_ = index;
    setText(texts_[index]);
}

ImageLabel::ImageLabel(cairo_surface_t* image, std::string text)
    : Label(std::move(text)), image_(image ? cairo_surface_reference(image) : nullptr) {}

ImageLabel::~ImageLabel() {
    if (image_) cairo_surface_destroy(image_);
}

void ImageLabel::paint(Graphics& g) {
    const Rect b = localBounds();
    int textX = 0;
    if (image_) {
        const int w = cairo_image_surface_get_width(image_);
        const int h = cairo_image_surface_get_height(image_);
        g.image(image_, 0, (b.height - h) / 2);
        textX = w + 4;
    }
    g.text(text(), {textX, 0, b.width - textX, b.height}, style().font, style().colour,
           Align::Left);
}

std::vector<std::string> Text::wrap(Graphics& g, const std::string& text, const Font& f,
                                    float width) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = std::min(text.find('\n', start), text.size());
        const std::string paragraph = text.substr(start, end - start);
        std::string line;
        size_t i = 0;
        while (i < paragraph.size()) {
            const size_t space = std::min(paragraph.find(' ', i), paragraph.size());
            const std::string word = paragraph.substr(i, space - i);
            const std::string tried = line.empty() ? word : line + " " + word;
            if (!line.empty() && g.textWidth(tried, f) > width) {
                lines.push_back(line);
                line = word;
            } else {
                line = tried;
            }
            i = space + 1;
        }
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

void Text::paint(Graphics& g) {
    const Rect b = localBounds();
    const auto lines = wrap(g, text(), style().font, static_cast<float>(b.width));
    const int h = static_cast<int>(lineHeight());
    for (size_t i = 0; i < lines.size(); ++i)
        g.text(lines[i], {0, static_cast<int>(i) * h, b.width, h}, style().font, style().colour,
               style().align);
}

}  // namespace gui
