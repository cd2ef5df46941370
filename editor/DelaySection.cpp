#include "editor/DelaySection.h"

#include <string>

#include "editor/EditorColours.h"
#include "editor/FilterCurve.h"
#include "editor/InstanceTabs.h"
#include "gui/Label.h"
#include "gui/Shape.h"

namespace {

constexpr gui::Colour kAccent = editor_colours::kDelay;
constexpr int kWidth = 449;

gui::Label::Style dimLabel(gui::Align align) {
    gui::Label::Style s;
    s.font = gui::palette::kSmall;
    s.colour = gui::palette::kTextDim;
    s.align = align;
    return s;
}

void divider(gui::Component& panel, int y) {
    gui::Shape::Style s;
    s.kind = gui::Shape::Kind::HorizontalLine;
    s.fill = gui::palette::kBorder;
    panel.add<gui::Shape>(s).setBounds({EditorSection::kMargin, y, kWidth - 16, 1});
}

}  // namespace

DelaySection::DelaySection(GenericPluginInterface& editor)
    : EditorSection(editor, "DELAY", kAccent) {
    mixRow();
    divider(full(), kSideTop - 6);
    sideTabs_ = &full().add<InstanceTabs>(std::vector<std::string>{"Left", "Right"}, 52);
    sideTabs_->setBounds({kMargin, kSideTop, 108, 20});
    for (int i = 0; i < 2; ++i) sideTabs_->addPage(sidePage(i));
    full().add<gui::Label>("Link", dimLabel(gui::Align::Right)).setBounds({316, kSideTop, 32, 20});
    select(full(), {352, kSideTop, 89, 20}, "Delay Link");

    divider(full(), kFilterTop - 6);
    filterTabs_ = &full().add<InstanceTabs>(std::vector<std::string>{"Filter 1", "Filter 2"}, 64);
    filterTabs_->setBounds({kMargin, kFilterTop, 132, 20});
    for (int i = 0; i < 2; ++i) filterTabs_->addPage(filterPage(i));
    full()
        .add<gui::Label>("Routing", dimLabel(gui::Align::Right))
        .setBounds({250, kFilterTop, 66, 20});
    select(full(), {321, kFilterTop, 120, 20}, "Delay Filter Routing");

    knob(compact(), compactSlot(0), "Delay L Time", "Time L");
    knob(compact(), compactSlot(1), "Delay R Time", "Time R");
    knob(compact(), compactSlot(2), "Delay L Feedback", "Fdbk L");
    knob(compact(), compactSlot(3), "Delay R Feedback", "Fdbk R");
    knob(compact(), compactSlot(4), "Delay Filter 1 Freq", "Cut 1");
    knob(compact(), compactSlot(5), "Delay Filter 2 Freq", "Cut 2");
    knob(compact(), compactSlot(6), "Delay Level", "Wet");
    knob(compact(), compactSlot(7), "Dry Level", "Dry");
}

void DelaySection::mixRow() {
    toggle(full(), {kMargin, 12, 64, 20}, "Delay Enabled", "Delay");
    toggle(full(), {kMargin, 38, 64, 20}, "Wet Enabled", "Wet");
    const int x = 84;
    knob(full(), {x, 4, kKnobWidth, kKnobHeight}, "Delay Level", "Wet");
    knob(full(), {x + kKnobWidth, 4, kKnobWidth, kKnobHeight}, "Delay Pan", "Wet Pan", true);
    knob(full(), {x + 2 * kKnobWidth + 12, 4, kKnobWidth, kKnobHeight}, "Dry Level", "Dry");
    knob(full(), {x + 3 * kKnobWidth + 12, 4, kKnobWidth, kKnobHeight}, "Dry Pan", "Dry Pan", true);
}

gui::Component& DelaySection::sidePage(int index) {
    const std::string d = index == 0 ? "Delay L" : "Delay R";
    gui::Component& page = full().add<gui::Component>();
    page.setBounds({0, kSideTop, kWidth, kFilterTop - kSideTop - 8});
    const int x = kMargin + 4 * kKnobWidth + 12, y = 24 + (kKnobHeight - 20) / 2 - 8;
    toggle(page, {x, y, 44, 20}, d + " Enabled", "On");
    page.add<gui::Label>("Sync", dimLabel(gui::Align::Right)).setBounds({x + 48, y, 34, 20});
    select(page, {x + 86, y, 100, 20}, d + " Sync");
    auto slot = [](int n) {
        return gui::Rect{kMargin + n * kKnobWidth, 24, kKnobWidth, kKnobHeight};
    };
    knob(page, slot(0), d + " Time", "Time");
    knob(page, slot(1), d + " Offset", "Offset", true);
    knob(page, slot(2), d + " Feedback", "Feedback");
    knob(page, slot(3), d + " Cross Feedback", "Cross");
    return page;
}

gui::Component& DelaySection::filterPage(int index) {
    const std::string f = "Delay Filter " + std::to_string(index + 1);
    gui::Component& page = full().add<gui::Component>();
    page.setBounds({0, kFilterTop + 26, kWidth, fullHeight() - kFilterTop - 26});
    toggle(page, {kMargin, 0, 44, 20}, f + " Enabled", "On");
    select(page, {56, 0, 130, 20}, f + " Characteristic");
    select(page, {192, 0, 52, 20}, f + " Response");
    select(page, {250, 0, 52, 20}, f + " Slope");
    page.add<gui::Label>("dB/oct", dimLabel(gui::Align::Left)).setBounds({306, 0, 50, 20});

    const int knobsX = kWidth - kMargin - 3 * kKnobWidth;
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
