#include "editor/XlfoSection.h"

#include <string>

#include "editor/EditorColours.h"
#include "editor/InstanceSwitch.h"
#include "editor/StepEditor.h"
#include "gui/Label.h"
#include "gui/ValueButton.h"

namespace {

constexpr gui::Colour kAccent = editor_colours::kXlfos;
constexpr int kPageTop = 32;
constexpr int kEditorTop = 102;
constexpr int kEditorHeight = 150;
constexpr int kStripTop = kEditorTop + kEditorHeight + 6;

gui::Label::Style captionStyle() {
    return {gui::palette::kSmall, gui::palette::kTextDim, gui::Align::Right};
}

}  // namespace

XlfoSection::XlfoSection(GenericPluginInterface& editor) : EditorSection(editor, "XLFOS", kAccent) {
    picker_ = &full().add<InstanceSwitch>(std::vector<std::string>{"1", "2", "3", "4", "5", "6"});
    picker_->setStyle({false, kAccent, gui::palette::kSmall});
    picker_->setBounds({kMargin, 6, 230, 20});
    picker_->followCount(editor, "Num Active XLFOs");
    full().add<gui::Label>("Active", captionStyle()).setBounds({330, 6, 56, 20});
    auto& active = full().add<gui::IntValueButton>();
    bind(active, "Num Active XLFOs");
    active.setBounds({392, 6, 49, 20});
    for (int i = 0; i < kCount; ++i) picker_->addPage(xlfoPage(i));
    for (int i = 0; i < kCount; ++i) {
        const std::string x = "XLFO " + std::to_string(i + 1);
        knob(compact(), compactSlot(i), x + " Frequency", "Rate " + std::to_string(i + 1));
    }
    knob(compact(), compactSlot(6), "XLFO 1 Balance", "Bal 1");
    knob(compact(), compactSlot(7), "XLFO 1 Glide", "Glide 1", true);
}

gui::Component& XlfoSection::xlfoPage(int index) {
    const std::string x = "XLFO " + std::to_string(index + 1);
    auto& page = full().add<gui::Component>();
    page.setBounds({0, 0, 449, fullHeight()});
    auto slot = [](int n) {
        return gui::Rect{kMargin + n * kKnobWidth, kPageTop, kKnobWidth, kKnobHeight};
    };
    knob(page, slot(0), x + " Frequency", "Rate");
    knob(page, slot(1), x + " Frequency Offset", "Offset", true);
    knob(page, slot(2), x + " Balance", "Balance");
    knob(page, slot(3), x + " Phase Offset", "Phase");
    knob(page, slot(4), x + " Glide", "Glide", true);

    const int right = kMargin + 5 * kKnobWidth + 12;
    page.add<gui::Label>("Sync", captionStyle()).setBounds({right, kPageTop + 6, 34, 20});
    select(page, {right + 40, kPageTop + 6, 74, 20}, x + " Sync Mode");
    page.add<gui::Label>("Steps", captionStyle()).setBounds({right + 116, kPageTop + 6, 38, 20});
    auto& count = page.add<gui::IntValueButton>();
    bind(count, "Num Active " + x + " Steps");
    count.setBounds({right + 158, kPageTop + 6, 31, 20});
    toggle(page, {right + 8, kPageTop + 34, 86, 20}, x + " MIDI Trigger", "MIDI trigger");
    toggle(page, {right + 100, kPageTop + 34, 89, 20}, x + " Snap", "Snap");

    auto& steps = page.add<StepEditor>(editor(), x, kAccent);
    steps.setBounds({kMargin, kEditorTop, 449 - 2 * kMargin, kEditorHeight});
    editors_[static_cast<size_t>(index)] = &steps;
    std::vector<gui::Component*> strips;
    for (int k = 0; k < StepEditor::kSteps; ++k) stepStrip(page, x, k, steps, strips);

    steps.onSelect = [strips, &steps](int k) {
        for (size_t i = 0; i < strips.size(); ++i) strips[i]->setVisible(static_cast<int>(i) == k);
        steps.repaint();
    };
    return page;
}

// The chosen step's own glide, glide shape and randomness.
void XlfoSection::stepStrip(gui::Component& page, const std::string& xlfo, int step,
                            StepEditor& steps, std::vector<gui::Component*>& strips) {
    const std::string s = xlfo + " Step " + std::to_string(step + 1);
    auto& strip = page.add<gui::Component>();
    strip.setBounds({kMargin, kStripTop, 449 - 2 * kMargin, 22});
    strip
        .add<gui::Label>("Step " + std::to_string(step + 1),
                         gui::Label::Style{gui::palette::kBold, kAccent, gui::Align::Left})
        .setBounds({0, 0, 56, 22});
    auto& glide = strip.add<gui::LevelButton>();
    glide.setCaption("Glide");
    bind(glide, s + " Glide");
    glide.setBounds({60, 1, 150, 20});
    select(strip, {218, 1, 96, 20}, s + " Glide function");
    toggle(strip, {322, 1, 111, 20}, s + " Random", "Random");
    strip.setVisible(step == steps.selectedStep());
    strips.push_back(&strip);
}
