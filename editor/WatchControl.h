#pragma once

#include <functional>
#include <utility>

#include "gui/ValueControl.h"

// A parameter's value as a control that is never shown: the editor binds it like a knob, and it
// tells its owner of every change, from the hand or from elsewhere (automation, presets, undo).
class WatchControl : public gui::ValueControl {
public:
    explicit WatchControl(std::function<void()> changed = {}) : changed_(std::move(changed)) {
        setVisible(false);
    }

protected:
    void valueShown() override {
        if (changed_) changed_();
    }

private:
    std::function<void()> changed_;
};
