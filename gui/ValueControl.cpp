#include "gui/ValueControl.h"

#include <algorithm>

namespace gui {

void ValueControl::setMaximum(int32_t maximum) {
    maximum_ = std::max(1, maximum);
    mapper_.stepCount = maximum_;
    default_ = clamp(default_);
    setValue(value_);
}

void ValueControl::setValue(int32_t v) {
    v = clamp(v);
    if (v == value_) return;
    value_ = v;
    valueShown();
}

void ValueControl::beginEdit() {
    if (editing_) return;
    editing_ = true;
    for (auto* l : listeners_) l->editBegan(*this);
    repaint();
}

void ValueControl::changeTo(int32_t v) {
    v = clamp(v);
    if (v == value_) return;
    value_ = v;
    valueShown();
    for (auto* l : listeners_) l->valueChanged(*this);
}

void ValueControl::changeBy(int32_t steps) {
    if (steps != 0) changeTo(value_ + steps);
}

void ValueControl::endEdit() {
    if (!editing_) return;
    editing_ = false;
    for (auto* l : listeners_) l->editEnded(*this);
    repaint();
}

void ValueControl::editTo(int32_t v) {
    beginEdit();
    changeTo(v);
    endEdit();
}

std::string ValueControl::valueText() const {
    return formatter_ ? formatter_(value_) : std::to_string(value_);
}

void ValueControl::setCaption(std::string c) {
    caption_ = std::move(c);
    repaint();
}

bool ValueControl::mouseWheel(const MouseEvent& e) {
    const int32_t steps = mapper_.mapRelative(e.wheelY != 0 ? e.wheelY : e.wheelX, e.modifiers);
    if (steps == 0) return true;
    // One edit per notch: a host sees each wheel step as a small gesture.
    beginEdit();
    changeBy(steps);
    endEdit();
    return true;
}

void ValueControl::dragPress(const MouseEvent& e) {
    mapper_.press(e.position);
}

void ValueControl::dragBy(const MouseEvent& e, float delta) {
    const int32_t steps = mapper_.mapDrag(e, e.position, delta, e.modifiers);
    if (steps == 0) return;
    beginEdit();
    changeBy(steps);
}

void ValueControl::dragRelease() {
    endEdit();
}

void ValueControl::resetToDefault() {
    editTo(default_);
}

}  // namespace gui
