#pragma once

#include <array>
#include <functional>

#include "editor/EditorSection.h"
#include "gui/Shape.h"

class InstanceSwitch;

// The shape of one envelope as the engine plays it: delay, attack, decay to the sustain level,
// a stretch of sustain, the hold after the key is released, then the release, each stage on the
// engine's own curve. Stage widths grow with the square root of their times, so that short and
// long stages stay readable side by side.
class EnvelopeDisplay : public gui::Curve {
public:
    enum Stage { kDelay, kAttack, kDecay, kSustain, kHold, kRelease, kStageCount };
    // The sustain stretch's share of the width, and the smallest total that fills the width.
    static constexpr float kSustainWidth = 0.2f;
    static constexpr float kShortestSpan = 3.0f;

    // Follows the parameters of the envelope named ("EG Main", "EG 2", ...).
    EnvelopeDisplay(GenericPluginInterface& editor, const std::string& envelope,
                    gui::Colour accent);
    // Where each stage ends, 0..1 across the display (from the last painting).
    const std::array<float, kStageCount>& stageEnds() const { return ends_; }
    // The output level a height stands for: 0..1, or -1..1 in the Neutral Sustain range.
    float levelAt(float y) const;
    void update();
    void paint(gui::Graphics& g) override;
    // Set by an editor with a modulation matrix: whether a slot modulates this envelope, and
    // what a click on the indicator does.
    std::function<bool()> modulated;
    std::function<void()> onIndicatorClicked;
    bool mouseDown(const gui::MouseEvent& e) override;
    bool wantsMouse() const override { return modulated && modulated(); }

private:
    GenericPluginInterface& editor_;
    // Hidden controls bound to the stage times (in Stage order, sustain's slot unused), the
    // sustain level and the range.
    std::array<gui::ValueControl*, kStageCount> times_{};
    gui::ValueControl* sustain_;
    gui::ValueControl* range_;
    std::array<float, kStageCount> ends_{};
    bool neutral_ = false;
};

// The six envelopes, one shown at a time with a picture of its shape.
class EnvelopeSection : public EditorSection {
public:
    static constexpr int kCount = 6;
    explicit EnvelopeSection(GenericPluginInterface& editor);
    InstanceSwitch& picker() { return *picker_; }
    EnvelopeDisplay& display(int envelope) { return *displays_[static_cast<size_t>(envelope)]; }

protected:
    int fullHeight() const override { return 204; }

private:
    gui::Component& envelopePage(int index);

    InstanceSwitch* picker_;
    std::array<EnvelopeDisplay*, kCount> displays_{};
};
