#include "editor/XyPadSection.h"

#include <string>

#include "editor/EditorColours.h"
#include "editor/InstanceTabs.h"
#include "editor/XyPad.h"
#include "gui/Label.h"
#include "gui/ValueButton.h"

namespace {

constexpr gui::Colour kAccent = editor_colours::kXyPads;

// The number of pads in use; a change, from the hand or from elsewhere, redraws the pads.
class CountButton : public gui::IntValueButton {
public:
    explicit CountButton(gui::Component& pads) : pads_(pads) {}

protected:
    void valueShown() override {
        gui::IntValueButton::valueShown();
        pads_.repaint();
    }

private:
    gui::Component& pads_;
};

gui::Label::Style dimLabel(gui::Align align) {
    gui::Label::Style s;
    s.font = gui::palette::kSmall;
    s.colour = gui::palette::kTextDim;
    s.align = align;
    return s;
}

}  // namespace

XyPadSection::XyPadSection(GenericPluginInterface& editor)
    : EditorSection(editor, "XY PADS", kAccent) {
    std::vector<std::string> captions;
    for (int i = 0; i < kPads; ++i) captions.push_back("XY " + std::to_string(i + 1));
    tabs_ = &full().add<InstanceTabs>(captions, 48);
    tabs_->setBounds({kMargin, 4, kPads * 52, 20});
    full().add<gui::Label>("Pads in use", dimLabel(gui::Align::Right)).setBounds({300, 4, 86, 20});
    auto& count = full().add<CountButton>(full());
    bind(count, "Num Active XY Controllers");
    count.setBounds({390, 4, 51, 20});

    for (int i = 0; i < kPads; ++i) {
        const std::string xy = "XY Controller " + std::to_string(i + 1);
        gui::Component& page = full().add<gui::Component>();
        page.setBounds({0, 30, 449, kPadSize});
        pads_[i] = &page.add<XyPad>(editor, xy + " Hor", xy + " Ver", kAccent);
        pads_[i]->setBounds({kMargin, 0, kPadSize, kPadSize});
        pads_[i]->setInUse([&count, i] { return count.value() > i; });
        const int x = kMargin + kPadSize + 12;
        knob(page, {x, 0, kKnobWidth, kKnobHeight}, xy + " Hor", "Hor", true);
        knob(page, {x + kKnobWidth, 0, kKnobWidth, kKnobHeight}, xy + " Ver", "Ver", true);
        const std::string n = std::to_string(i + 1);
        const std::string lines[] = {
            "Drag the dot to move both axes;", "a double click centres it.",
            "Modulation sources:", "XY " + n + " Hor and XY " + n + " Ver."};
        for (int l = 0; l < 4; ++l)
            page.add<gui::Label>(lines[l], dimLabel(gui::Align::Left))
                .setBounds({x, kKnobHeight + 12 + l * 14 + (l >= 2 ? 6 : 0), 441 - x, 14});
        tabs_->addPage(page);
        knob(compact(), compactSlot(2 * i), xy + " Hor", "X " + std::to_string(i + 1), true);
        knob(compact(), compactSlot(2 * i + 1), xy + " Ver", "Y " + std::to_string(i + 1), true);
    }
}
