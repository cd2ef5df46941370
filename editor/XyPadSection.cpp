#include "editor/XyPadSection.h"

#include <string>

#include "editor/EditorColours.h"
#include "editor/InstanceTabs.h"
#include "editor/XyPad.h"
#include "gui/Label.h"
#include "gui/ValueButton.h"

namespace {

constexpr gui::Colour kAccent = editor_colours::kXyPads;

}  // namespace

XyPadSection::XyPadSection(GenericPluginInterface& editor)
    : EditorSection(editor, "XY PADS", kAccent) {
    std::vector<std::string> captions;
    for (int i = 0; i < kPads; ++i) captions.push_back("XY " + std::to_string(i + 1));
    tabs_ = &full().add<InstanceTabs>(captions, 48);
    tabs_->setBounds({kMargin, 4, kPads * 52, 20});
    gui::Label::Style dim;
    dim.font = gui::palette::kSmall;
    dim.colour = gui::palette::kTextDim;
    dim.align = gui::Align::Right;
    full().add<gui::Label>("Pads in use", dim).setBounds({300, 4, 86, 20});
    auto& count = full().add<gui::IntValueButton>();
    bind(count, "Num Active XY Controllers");
    count.setBounds({390, 4, 51, 20});

    for (int i = 0; i < kPads; ++i) {
        const std::string xy = "XY Controller " + std::to_string(i + 1);
        gui::Component& page = full().add<gui::Component>();
        page.setBounds({0, 30, 449, kPadSize});
        pads_[i] = &page.add<XyPad>(editor, xy + " Hor", xy + " Ver", kAccent);
        pads_[i]->setBounds({kMargin, 0, kPadSize, kPadSize});
        const int y = (kPadSize - kKnobHeight) / 2;
        knob(page, {kMargin + kPadSize + 12, y, kKnobWidth, kKnobHeight}, xy + " Hor", "Hor", true);
        knob(page, {kMargin + kPadSize + 12 + kKnobWidth, y, kKnobWidth, kKnobHeight}, xy + " Ver",
             "Ver", true);
        tabs_->addPage(page);
        knob(compact(), compactSlot(2 * i), xy + " Hor", "X " + std::to_string(i + 1), true);
        knob(compact(), compactSlot(2 * i + 1), xy + " Ver", "Y " + std::to_string(i + 1), true);
    }
}
