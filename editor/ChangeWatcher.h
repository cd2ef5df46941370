#pragma once

#include "gui/ValueControl.h"

// Repaints a display whenever one of the controls it draws from is changed by the user.
class ChangeWatcher : public gui::ValueControlListener {
public:
    explicit ChangeWatcher(gui::Component& display) : display_(display) {}
    void watch(gui::ValueControl* control) {
        if (control) control->addListener(this);
    }
    void valueChanged(gui::ValueControl&) override { display_.repaint(); }

private:
    gui::Component& display_;
};
