#pragma once

#include "gui/RootControl.h"

namespace gui::test {

// A window with every kind of control, in fixed states: the screenshot tests' subject and the
// toolkit's picture in docs/.
class Gallery : public RootControl {
public:
    static constexpr int kWidth = 640;
    static constexpr int kHeight = 400;
    Gallery();
};

}  // namespace gui::test
