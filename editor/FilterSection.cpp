#include "editor/FilterSection.h"

#include <string>

#include "editor/EditorColours.h"
#include "editor/FilterCurve.h"
#include "editor/InstanceTabs.h"
#include "gui/Label.h"

namespace {

constexpr gui::Colour kAccent = editor_colours::kFilters;

gui::Label::Style dimLabel(gui::Align align) {
    gui::Label::Style s;
    s.font = gui::palette::kSmall;
    s.colour = gui::palette::kTextDim;
    s.align = align;
    return s;
}

}  // namespace

FilterSection::FilterSection(GenericPluginInterface& editor)
    : EditorSection(editor, "FILTERS", kAccent) {
    tabs_ = &full().add<InstanceTabs>(std::vector<std::string>{"Filter 1", "Filter 2"}, 64);
    tabs_->setBounds({kMargin, 4, 132, 20});
    for (int i = 0; i < 2; ++i) tabs_->addPage(filterPage(i));
    full().add<gui::Label>("Routing", dimLabel(gui::Align::Right)).setBounds({250, 4, 66, 20});
    select(full(), {321, 4, 120, 20}, "Filter Routing");

    for (int i = 0; i < 2; ++i) {
        const std::string f = "Filter " + std::to_string(i + 1);
        knob(compact(), compactSlot(3 * i), f + " Freq", "Cut " + std::to_string(i + 1));
        knob(compact(), compactSlot(3 * i + 1), f + " Peak", "Peak");
        knob(compact(), compactSlot(3 * i + 2), f + " Pan", "Spread", true);
    }
}

gui::Component& FilterSection::filterPage(int index) {
    const std::string f = "Filter " + std::to_string(index + 1);
    gui::Component& page = full().add<gui::Component>();
    page.setBounds({0, 28, 449, fullHeight() - 28});
    toggle(page, {kMargin, 0, 44, 20}, f + " Enabled", "On");
    select(page, {56, 0, 130, 20}, f + " Characteristic");
    select(page, {192, 0, 52, 20}, f + " Response");
    select(page, {250, 0, 52, 20}, f + " Slope");
    page.add<gui::Label>("dB/oct", dimLabel(gui::Align::Left)).setBounds({306, 0, 50, 20});

    const int knobsX = 449 - kMargin - 3 * kKnobWidth;
    const int knobsY = 26 + (kCurveHeight - kKnobHeight) / 2;
    auto slot = [&](int n) {
        return gui::Rect{knobsX + n * kKnobWidth, knobsY, kKnobWidth, kKnobHeight};
    };
    knob(page, slot(0), f + " Freq", "Cut-off");
    knob(page, slot(1), f + " Peak", "Peak");
    knob(page, slot(2), f + " Pan", "Spread", true);
    page.add<FilterCurve>(editor(), f, kAccent)
        .setBounds({kMargin, 26, knobsX - kMargin - 8, kCurveHeight});
    return page;
}
