#include "tests/gui/Gallery.h"

#include <cmath>

#include "gui/Button.h"
#include "gui/ControlBar.h"
#include "gui/Knob.h"
#include "gui/Label.h"
#include "gui/Light.h"
#include "gui/ScrollArea.h"
#include "gui/Shape.h"
#include "gui/Switch.h"
#include "gui/ValueButton.h"

namespace gui::test {
namespace {

Knob& knob(Component& parent, Rect r, const char* caption, int32_t value, bool bipolar = false) {
    Knob::Style style;
    style.bipolar = bipolar;
    Knob& k = parent.add<Knob>(style);
    k.setMaximum(4096);
    k.setDefault(bipolar ? 2048 : 0);
    k.setValue(value);
    k.setCaption(caption);
    k.setBounds(r);
    return k;
}

void topBar(Gallery& g) {
    auto& bar = g.add<ControlBar>();
    bar.setBounds({0, 0, Gallery::kWidth, 32});
    bar.addItem<Button>(60, false, "Save");
    auto& midi = bar.addItem<ToggleButton>(64, false, "MIDI");
    midi.setValue(1);
    auto& preset = bar.addItem<IntValueButton>(110, false);
    preset.setRange(1, 128);
    preset.setValue(11);
    preset.setFormatter([](int32_t v) { return "Preset " + std::to_string(v + 1); });
    auto& level = bar.addItem<LevelButton>(120, false);
    level.setMaximum(100);
    level.setValue(70);
    level.setFormatter([](int32_t v) { return "Level " + std::to_string(v) + " %"; });
    bar.addItem<Button>(40, true, "B");
    auto& a = bar.addItem<ToggleButton>(40, true, "A");
    a.setValue(1);
}

void oscillatorPanel(Gallery& g) {
    Shape::Style panelStyle;
    panelStyle.stroke = palette::kBorder;
    auto& panel = g.add<Shape>(panelStyle);
    panel.setBounds({10, 42, 300, 170});
    auto& caption = panel.add<CaptionLabel>("OSCILLATOR 1");
    caption.setBounds({10, 6, 280, 18});
    knob(panel, {10, 30, 56, 70}, "Detune", 2600, true);
    knob(panel, {76, 30, 56, 70}, "Scale", 1024);
    auto& pw = knob(panel, {142, 30, 56, 70}, "Width", 3000);
    pw.setModulation(-0.3f);
    auto& off = knob(panel, {208, 30, 56, 70}, "Sync", 500);
    off.setEnabled(false);
    auto& wave = panel.add<Switch>(std::vector<std::string>{"SAW", "PULSE", "TRI", "SINE"});
    wave.setValue(1);
    wave.setBounds({10, 112, 200, 22});
    for (int i = 0; i < 3; ++i) {
        auto& light = panel.add<Light>();
        light.setMaximum(2);
        light.setValue(2 - i);
        light.setBounds({224 + 22 * i, 114, 18, 18});
    }
    auto& cutoff = panel.add<FloatValueButton>();
    cutoff.setFloatRange(20.0f, 2000.0f, 1980, 1, "Hz");
    cutoff.setValue(1214);
    cutoff.setBounds({10, 142, 120, 20});
    auto& fine = panel.add<IntValueButton>();
    fine.setRange(-12, 12);
    fine.setValue(19);
    fine.setFormatter(
        [](int32_t v) { return (v >= 12 ? "+" : "") + std::to_string(v - 12) + " st"; });
    fine.setBounds({140, 142, 70, 20});
}

void envelopePanel(Gallery& g) {
    auto& curve = g.add<Curve>();
    curve.setBounds({320, 42, 310, 120});
    // Attack, decay to sustain, hold, release: the shape a musician reads at a glance.
    std::vector<float> xy;
    for (int i = 0; i <= 60; ++i) {
        const float t = i / 60.0f;
        float y;
        if (t < 0.15f)
            y = 1 - std::pow(1 - t / 0.15f, 3.0f);
        else if (t < 0.4f)
            y = 0.6f + 0.4f * std::exp(-(t - 0.15f) * 14);
        else if (t < 0.7f)
            y = 0.6f;
        else
            y = 0.6f * std::exp(-(t - 0.7f) * 12);
        xy.push_back(t);
        xy.push_back(y);
    }
    curve.setPoints(std::move(xy));
    auto& label = g.add<MultiLabel>(std::vector<std::string>{"Linear", "Exponential"});
    label.select(1);
    label.setStyle({palette::kSmall, palette::kTextDim, Align::Right});
    label.setBounds({320, 164, 310, 14});
}

void listPanel(Gallery& g) {
    Shape::Style listStyle;
    listStyle.fill = palette::kTrack;
    g.add<Shape>(listStyle).setBounds({10, 222, 300, 120});
    auto& area = g.add<ScrollArea>();
    area.setBounds({10, 222, 300, 120});
    auto content = std::make_unique<Component>();
    content->setBounds({0, 0, 290, 12 * palette::kRowHeight});
    for (int i = 0; i < 12; ++i) {
        auto& row = content->add<Label>("Slot " + std::to_string(i + 1) + "  Unassigned");
        row.setStyle({palette::kNormal, i % 3 ? palette::kText : palette::kTextDim, Align::Left});
        row.setBounds({6, i * palette::kRowHeight, 280, palette::kRowHeight});
    }
    area.setContent(std::move(content));
    area.scrollTo(30);

    auto& strip = g.add<ScrollStrip>();
    strip.setBounds({320, 190, 310, 24});
    for (int i = 0; i < 8; ++i) {
        auto tab = std::make_unique<ToggleButton>("XLFO " + std::to_string(i + 1));
        tab->setValue(i == 1);
        tab->setBounds({0, 0, 62, 24});
        strip.addItem(std::move(tab));
    }
    strip.scrollBy(40);

    auto& text = g.add<Text>(
        "Drag and drop a source to a target knob to create modulation connections. "
        "Hold Ctrl for fine adjustment; double-click puts the default back.");
    text.setStyle({palette::kNormal, palette::kTextDim, Align::Left});
    text.setBounds({320, 226, 300, 80});
    g.add<Label>("Vorn widget toolkit", Label::Style{palette::kTitle, palette::kText, Align::Right})
        .setBounds({320, 350, 310, 30});
}

}  // namespace

Gallery::Gallery() {
    setBounds({0, 0, kWidth, kHeight});
    Shape::Style background;
    background.kind = Shape::Kind::Rectangle;
    background.fill = palette::kBackground;
    add<Shape>(background).setBounds(localBounds());
    topBar(*this);
    oscillatorPanel(*this);
    envelopePanel(*this);
    listPanel(*this);
}

}  // namespace gui::test
