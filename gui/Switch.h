#pragma once

#include <string>
#include <vector>

#include "gui/Palette.h"
#include "gui/ValueControl.h"

namespace gui {

// A row or column of labelled positions, one of them chosen: a click picks a position, a drag
// slides along them, the wheel steps.
class Switch : public ValueControl {
public:
    struct Style {
        bool vertical = false;
        Colour on = palette::kAccent;
        Font font = palette::kSmall;
    };

    explicit Switch(std::vector<std::string> labels = {});
    void setLabels(std::vector<std::string> labels);
    const std::vector<std::string>& labels() const { return labels_; }
    void setStyle(const Style& s);

    void paint(Graphics& g) override;
    bool mouseDown(const MouseEvent& e) override;
    void mouseDrag(const MouseEvent& e) override;
    void mouseUp(const MouseEvent& e) override;

private:
    Rect cell(int index) const;
    int positionAt(Point p) const;

    std::vector<std::string> labels_;
    Style style_;
};

}  // namespace gui
