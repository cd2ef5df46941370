#pragma once

#include <functional>
#include <string>
#include <vector>

#include "gui/Component.h"
#include "gui/ValueDragMapper.h"

namespace gui {

class ValueControl;

// Told of the edits of a value control: one begin, any number of changes, one end per gesture,
// so that a host records one automation pass and the editor one undo step.
class ValueControlListener {
public:
    virtual ~ValueControlListener() = default;
    virtual void editBegan(ValueControl&) {}
    virtual void valueChanged(ValueControl&) = 0;
    virtual void editEnded(ValueControl&) {}
};

// A control showing an integer value 0..maximum: the base of knobs, switches and value buttons.
class ValueControl : public AnimatedControl {
public:
    using Formatter = std::function<std::string(int32_t value)>;

    int32_t value() const { return value_; }
    int32_t maximum() const { return maximum_; }
    int32_t defaultValue() const { return default_; }
    float proportion() const { return maximum_ > 0 ? float(value_) / float(maximum_) : 0.0f; }
    // Range 0..maximum (at least 1); the drag mapper gets it as its step count.
    void setMaximum(int32_t maximum);
    void setDefault(int32_t v) { default_ = clamp(v); }
    // Sets the shown value without telling listeners (parameter changes from the host).
    void setValue(int32_t v);

    // The user's edits: listeners hear of each.
    void beginEdit();
    void changeBy(int32_t steps);
    void changeTo(int32_t v);
    void endEdit();
    // A whole edit to one value: begin, change, end.
    void editTo(int32_t v);
    bool editing() const { return editing_; }

    void addListener(ValueControlListener* l) { listeners_.push_back(l); }
    void removeListener(ValueControlListener* l) { std::erase(listeners_, l); }

    void setFormatter(Formatter f) { formatter_ = std::move(f); }
    std::string valueText() const;
    const std::string& caption() const { return caption_; }
    void setCaption(std::string c);

    ValueDragMapper& mapper() { return mapper_; }

    bool mouseWheel(const MouseEvent& e) override;

protected:
    // The drag gesture shared by the controls: the edit begins with the first step, so a click
    // changes nothing and records nothing.
    void dragPress(const MouseEvent& e);
    void dragBy(const MouseEvent& e, float delta);
    void dragRelease();
    // A double click puts the default back, as one edit.
    void resetToDefault();

    int32_t clamp(int32_t v) const { return v < 0 ? 0 : (v > maximum_ ? maximum_ : v); }
    virtual void valueShown() { repaint(); }

private:
    int32_t value_ = 0;
    int32_t maximum_ = 1;
    int32_t default_ = 0;
    bool editing_ = false;
    std::vector<ValueControlListener*> listeners_;
    Formatter formatter_;
    std::string caption_;
    ValueDragMapper mapper_;
};

// A value control that shows its value text instead of its caption while the mouse is over it or
// it is being changed.
class RolloverValueControl : public ValueControl {
public:
    bool showingValue() const { return hovered() || editing(); }
    // The caption, or the value while rolled over.
    std::string shownText() const { return showingValue() ? valueText() : caption(); }
};

}  // namespace gui
