#include "editor/ParameterButton.h"

#include <cstdlib>

#include "editor/GenericPluginInterface.h"
#include "editor/QuorvalisPluginInterface.h"
#include "editor/WatchControl.h"
#include "gui/Modifiers.h"

namespace {

bool hasFunction(uint32_t modifiers, uint32_t function) {
    return (gui::ModifierTable::functionsOf(modifiers) & function) != 0;
}

}  // namespace

ParameterButton::ParameterButton(GenericPluginInterface& editor) : editor_(editor) {}

gui::ValueControl& ParameterButton::watch(const std::string& parameter) {
    // Any change, from the hand or from elsewhere, redraws the picture.
    auto& b = add<WatchControl>([this] { repaint(); });
    editor_.bind(b, parameter);
    return b;
}

void ParameterButton::bindSlot(int index, const std::string& parameter) {
    slots_[static_cast<size_t>(index)] = &watch(parameter);
}

bool ParameterButton::mouseDown(const gui::MouseEvent& e) {
    if (!(e.modifiers & gui::modifier::kLeftButton)) return false;
    press_ = e.position;
    applied_ = {0, 0};
    state_ = DragState::Pressed;
    lock_ = Lock::None;
    second_ = hasFunction(e.modifiers, gui::function::kFirst);
    repaint();
    return true;
}

void ParameterButton::beginPair() {
    for (int i = firstSlot(); i < firstSlot() + 2; ++i) {
        if (gui::ValueControl* s = slot(i)) {
            s->mapper().resetDrag();
            s->beginEdit();
        }
    }
}

void ParameterButton::endPair() {
    for (int i = firstSlot(); i < firstSlot() + 2; ++i)
        if (gui::ValueControl* s = slot(i)) s->endEdit();
}

void ParameterButton::mouseDrag(const gui::MouseEvent& e) {
    if (state_ == DragState::Idle) return;
    const int dx = e.position.x - press_.x, dy = press_.y - e.position.y;
    if (state_ == DragState::Pressed) {
        if (std::abs(dx) < kDragDistance && std::abs(dy) < kDragDistance) return;
        state_ = DragState::Dragging;
        second_ = hasFunction(e.modifiers, gui::function::kFirst);
        editor_.beginActionGroup();
        beginPair();
    }
    const bool second = hasFunction(e.modifiers, gui::function::kFirst);
    if (second != second_) {
        // Switching pairs mid-drag: the new pair starts from where the mouse is now.
        endPair();
        second_ = second;
        beginPair();
        applied_ = {dx, dy};
    }
    dragTo(e);
}

void ParameterButton::dragTo(const gui::MouseEvent& e) {
    const int dx = e.position.x - press_.x, dy = press_.y - e.position.y;
    if (hasFunction(e.modifiers, gui::function::kFine))
        lock_ = std::abs(dx) > std::abs(dy) ? Lock::Horizontal : Lock::Vertical;
    else
        lock_ = Lock::None;
    // The mappers run without fine adjustment: that modifier is the lock here.
    const int deltas[2] = {dx - applied_.x, dy - applied_.y};
    const Lock blocked[2] = {Lock::Vertical, Lock::Horizontal};
    for (int axis = 0; axis < 2; ++axis) {
        gui::ValueControl* s = slot(firstSlot() + axis);
        if (!s || lock_ == blocked[axis]) continue;
        s->changeBy(s->mapper().mapDrag(e, e.position, static_cast<float>(deltas[axis]), 0));
    }
    applied_ = {dx, dy};
    repaint();
}

void ParameterButton::mouseUp(const gui::MouseEvent& e) {
    const DragState was = state_;
    state_ = DragState::Idle;
    lock_ = Lock::None;
    if (was == DragState::Dragging) {
        endPair();
        editor_.endActionGroup();
    } else if (was == DragState::Pressed) {
        clickAction(e.modifiers);
    }
    repaint();
}

bool ParameterButton::mouseWheel(const gui::MouseEvent& e) {
    second_ = hasFunction(e.modifiers, gui::function::kFirst);
    const float amounts[2] = {e.wheelX, e.wheelY};
    editor_.beginActionGroup();
    beginPair();
    for (int axis = 0; axis < 2; ++axis) {
        if (gui::ValueControl* s = slot(firstSlot() + axis))
            s->changeBy(s->mapper().mapRelative(amounts[axis], 0));
    }
    endPair();
    editor_.endActionGroup();
    return true;
}

ComponentButton::ComponentButton(GenericPluginInterface& editor, std::string name, int section)
    : ParameterButton(editor), name_(std::move(name)), section_(section) {}

void ComponentButton::bindEnable(const std::string& parameter) {
    enable_ = &add<gui::ToggleButton>();
    editor().bind(*enable_, parameter);
    resized();
}

void ComponentButton::addFurther(const std::string& parameter) {
    further_.push_back(&watch(parameter));
}

bool ComponentButton::enabled() const {
    return !enable_ || enable_->on();
}

void ComponentButton::showPicture(bool show) {
    picture_ = show;
    for (gui::Component* c : pictureChildren_) c->setVisible(show);
    repaint();
}

void ComponentButton::resized() {
    if (enable_) enable_->setBounds({3, 3, kSwitchSize, kSwitchSize});
}

void ComponentButton::clickAction(uint32_t modifiers) {
    const uint32_t functions = gui::ModifierTable::functionsOf(modifiers);
    auto* quorvalis = dynamic_cast<QuorvalisPluginInterface*>(&editor());
    if (functions == gui::function::kFirst && !(quorvalis && quorvalis->learning())) {
        reset();
    } else if (functions == 0 && section_ >= 0 && onToggleSection) {
        onToggleSection(section_);
    }
}

void ComponentButton::reset() {
    editor().beginActionGroup();
    auto toDefault = [](gui::ValueControl* c) {
        if (c) c->editTo(c->defaultValue());
    };
    for (int i = 0; i < kSlots; ++i) toDefault(slot(i));
    for (gui::ValueControl* c : further_) toDefault(c);
    editor().endActionGroup();
}
