#pragma once

#include <utility>

#include "editor/ChangeWatcher.h"
#include "gui/ValueControl.h"

// A control drawn faded while another control's setting leaves it without effect (a controller
// number while the input is not a controller). It stays usable, so it can be set up in advance.
template <class Base>
class DependentControl : public Base {
public:
    static constexpr float kFadedOpacity = 0.35f;

    template <class... Args>
    DependentControl(gui::ValueControl& master, int32_t activeValue, Args&&... args)
        : Base(std::forward<Args>(args)...), master_(master), activeValue_(activeValue) {
        watcher_.watch(&master);
    }
    bool inEffect() const { return master_.value() == activeValue_; }
    void paint(gui::Graphics& g) override {
        if (inEffect()) return Base::paint(g);
        g.pushOpacity();
        Base::paint(g);
        g.popOpacity(kFadedOpacity);
    }

private:
    gui::ValueControl& master_;
    int32_t activeValue_;
    ChangeWatcher watcher_{*this};
};
