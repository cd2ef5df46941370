#pragma once

#include "gui/Component.h"
#include "gui/Palette.h"

namespace gui {

// A bar that lines its children up from the left, each at its own width, centred vertically;
// children added with alignRight go to the right end instead. Preset bars and tool bars.
class ControlBar : public Component {
public:
    explicit ControlBar(int gap = palette::kPadding) : gap_(gap) {}
    template <class T, class... Args>
    T& addItem(int width, bool alignRight, Args&&... args) {
        T& item = add<T>(std::forward<Args>(args)...);
        item.setBounds({0, 0, width, 0});
        right_.push_back(alignRight);
        layout();
        return item;
    }
    void layout();
    void paint(Graphics& g) override;

protected:
    void resized() override { layout(); }

private:
    int gap_;
    std::vector<bool> right_;
};

}  // namespace gui
