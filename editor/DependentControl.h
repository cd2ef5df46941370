#pragma once

#include <string>
#include <utility>

#include "editor/ParameterMirror.h"

// A control drawn faded while another parameter's setting leaves it without effect (a controller
// number while the input is not a controller). It stays usable, so it can be set up in advance.
template <class Base>
class DependentControl : public Base {
public:
    static constexpr float kFadedOpacity = 0.35f;

    // In effect while `master` has the value index `activeValue`.
    template <class... Args>
    DependentControl(GenericPluginInterface& editor, const std::string& master, int32_t activeValue,
                     Args&&... args)
        : Base(std::forward<Args>(args)...),
          master_(ParameterMirror::add(*this, editor, master)),
          activeValue_(activeValue) {}
    bool inEffect() const { return master_.value() == activeValue_; }
    void paint(gui::Graphics& g) override {
        if (inEffect()) return Base::paint(g);
        g.pushOpacity();
        Base::paint(g);
        g.popOpacity(kFadedOpacity);
    }

private:
    ParameterMirror& master_;
    int32_t activeValue_;
};
