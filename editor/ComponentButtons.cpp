#include "editor/ComponentButtons.h"

#include <algorithm>
#include <cmath>

#include "editor/EditorColours.h"
#include "editor/FilterCurve.h"
#include "editor/ModulationIndicator.h"
#include "editor/VornInterface.h"
#include "editor/WaveDisplay.h"
#include "framework/SynthNumbering.h"
#include "gui/Graphics.h"

namespace {

// The name runs along the top, right of the enable switch; the picture fills the rest.
constexpr int kNameHeight = 15;

gui::Rect pictureArea(const gui::Rect& b) {
    return {3, kNameHeight + 2, b.width - 6, b.height - kNameHeight - 5};
}

}  // namespace

void ComponentButton::paint(gui::Graphics& g) {
    const gui::Rect b = localBounds();
    gui::Colour face = gui::palette::kPanelRaised;
    if (hovered() || dragState() == DragState::Dragging) face = face.brighter(0.08f);
    g.fillRoundedRect(b, gui::palette::kRadius, face);
    g.strokeRoundedRect(b, gui::palette::kRadius, 1.0f, gui::palette::kBorder);
    const int left = enableSwitch() ? kSwitchSize + 6 : 5;
    g.text(name(), {left, 2, b.width - left - 12, kNameHeight - 2}, gui::palette::kSmall,
           enabled() ? gui::palette::kText : gui::palette::kTextDisabled, gui::Align::Left);
    if (!pictureShown()) return;
    const gui::Rect picture = pictureArea(b);
    g.save();
    g.clip(picture);
    paintPicture(g, picture);
    g.restore();
}

ModulationComponentButton::ModulationComponentButton(GenericPluginInterface& editor,
                                                     std::string name, int section)
    : ComponentButton(editor, std::move(name), section) {}

void ModulationComponentButton::setTargets(int first, int count,
                                           const ModulationIndicatorManager* indicators) {
    firstTarget_ = first;
    targetCount_ = count;
    indicators_ = indicators;
}

bool ModulationComponentButton::modulated() const {
    return indicators_ && targetCount_ > 0 && indicators_->modulated(firstTarget_, targetCount_);
}

void ModulationComponentButton::paint(gui::Graphics& g) {
    ComponentButton::paint(g);
    if (modulated()) ModulationIndicator::paint(g, localBounds());
}

bool ModulationComponentButton::mouseDown(const gui::MouseEvent& e) {
    const gui::Rect b = localBounds();
    const gui::Rect mark{b.width - kIndicatorSize, 0, kIndicatorSize, kIndicatorSize};
    if (modulated() && mark.contains(e.position) && onIndicatorClicked) {
        onIndicatorClicked(firstTarget_, targetCount_);
        return true;
    }
    return ComponentButton::mouseDown(e);
}

VornComponentButton::VornComponentButton(VornInterface& editor, const std::string& prefix,
                                         std::string name, int section, gui::Colour accent)
    : ModulationComponentButton(editor, std::move(name), section),
      prefix_(prefix),
      accent_(accent) {
    bindEnable(prefix + " Enabled");
    onToggleSection = [&editor](int s) { editor.expand(editor.expandedSection() == s ? -1 : s); };
    onIndicatorClicked = [&editor](int first, int count) { editor.showModulators(first, count); };
}

void VornComponentButton::bindAll(const char* const suffixes[4], const char* further) {
    for (int i = 0; i < kSlots; ++i) bindSlot(i, prefix_ + suffixes[i]);
    if (further) addFurther(prefix_ + further);
}

// Oscillators.

OscillatorButton::OscillatorButton(VornInterface& editor, int index)
    : VornComponentButton(editor, "Osc " + std::to_string(index + 1),
                          "OSC " + std::to_string(index + 1), VornInterface::kOscillators,
                          editor_colours::kOscillators) {
    static const char* const kSuffixes[4] = {" Detune", " Scale", " Sync", " Wave Form"};
    bindAll(kSuffixes, " Pulse Width");
    setTargets(synth::oscillatorTarget(index, 0), 3, editor.indicators());
    wave_ = &add<WaveDisplay>(*slot(3), *furtherControl(0), accent());
    addPictureChild(*wave_);
}

void OscillatorButton::resized() {
    VornComponentButton::resized();
    const gui::Rect p = pictureArea(localBounds());
    if (wave_) wave_->setBounds({p.x, p.y, p.width - 32, p.height});
}

void OscillatorButton::paintPicture(gui::Graphics& g, const gui::Rect& area) {
    // The footage at the right of the wave: "1 octave" becomes "1 oct".
    const std::string scale = slot(1)->valueText();
    g.text(scale.substr(0, scale.find(' ')) + " oct",
           {area.x + area.width - 30, area.y, 30, area.height}, gui::palette::kSmall, accent(),
           gui::Align::Right);
}

// Filters.

FilterButton::FilterButton(VornInterface& editor, int index, bool delayFilter)
    : VornComponentButton(editor,
                          (delayFilter ? "Delay Filter " : "Filter ") + std::to_string(index + 1),
                          (delayFilter ? "DLY FILTER " : "FILTER ") + std::to_string(index + 1),
                          delayFilter ? VornInterface::kDelay : VornInterface::kFilters,
                          delayFilter ? editor_colours::kDelay : editor_colours::kFilters) {
    static const char* const kSuffixes[4] = {" Freq", " Peak", " Pan", " Response"};
    bindAll(kSuffixes, " Slope");
    const int first = delayFilter
                          ? synth::kFirstDelayFilterTarget + index * synth::kTargetsPerFilter
                          : synth::filterTarget(index, 0);
    setTargets(first, synth::kTargetsPerFilter, editor.indicators());
    auto& curve = add<FilterCurve>(editor, prefix(), accent());
    curve.setCompact(true);
    curve_ = &curve;
    addPictureChild(curve);
}

void FilterButton::resized() {
    VornComponentButton::resized();
    if (curve_) curve_->setBounds(pictureArea(localBounds()));
}

void FilterButton::paintPicture(gui::Graphics&, const gui::Rect&) {}

// Delay sides.

DelayButton::DelayButton(VornInterface& editor, int side)
    : VornComponentButton(editor, side == 0 ? "Delay L" : "Delay R",
                          side == 0 ? "DELAY L" : "DELAY R", VornInterface::kDelay,
                          editor_colours::kDelay) {
    static const char* const kSuffixes[4] = {" Time", " Feedback", " Sync", " Cross Feedback"};
    bindAll(kSuffixes, nullptr);
    setTargets(synth::delayTarget(side, 0), synth::kTargetsPerDelay, editor.indicators());
}

void DelayButton::paintPicture(gui::Graphics& g, const gui::Rect& area) {
    // Echoes, each the feedback's share of the one before, and the time beside them.
    const float feedback = slot(1)->proportion();
    const int textWidth = std::min(56, area.width / 2);
    const float step = static_cast<float>(area.width - textWidth - 4) / 6.0f;
    float level = 1.0f;
    for (int i = 0; i < 6 && level > 0.02f; ++i) {
        const float h = level * static_cast<float>(area.height - 2);
        const float x = static_cast<float>(area.x) + 3.0f + step * static_cast<float>(i);
        g.line(x, static_cast<float>(area.y + area.height) - 1.0f, x,
               static_cast<float>(area.y + area.height) - 1.0f - h, 2.5f,
               accent().withAlpha(enabled() ? 1.0f : 0.4f));
        level *= feedback;
    }
    g.text(slot(0)->valueText(), {area.x + area.width - textWidth, area.y, textWidth, area.height},
           gui::palette::kSmall, gui::palette::kText, gui::Align::Right);
}
