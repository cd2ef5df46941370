#pragma once

#include <string>

#include "editor/ParameterButton.h"
#include "gui/Palette.h"

class ModulationIndicatorManager;
class VornInterface;

// A component button that shows when a slot of the matrix modulates one of its targets.
class ModulationComponentButton : public ComponentButton {
public:
    ModulationComponentButton(GenericPluginInterface& editor, std::string name, int section);
    void setTargets(int first, int count, const ModulationIndicatorManager* indicators);
    int firstTarget() const { return firstTarget_; }
    int targetCount() const { return targetCount_; }
    bool modulated() const;

    void paint(gui::Graphics& g) override;
    // A press on the indicator shows the slots responsible instead of starting a drag.
    bool mouseDown(const gui::MouseEvent& e) override;
    std::function<void(int first, int count)> onIndicatorClicked;
    static constexpr int kIndicatorSize = 12;

private:
    int firstTarget_ = -1;
    int targetCount_ = 0;
    const ModulationIndicatorManager* indicators_ = nullptr;
};

// The synthesizer's component buttons: a parameter prefix ("Osc 1", "Filter 2", "Delay L",
// "Delay Filter 1") and the design's bindings for the kind.
class VornComponentButton : public ModulationComponentButton {
public:
    VornComponentButton(VornInterface& editor, const std::string& prefix, std::string name,
                        int section, gui::Colour accent);
    gui::Colour accent() const { return accent_; }

protected:
    // Slots 0..3 and the further parameter, by suffix of the prefix; empty: none.
    void bindAll(const char* const suffixes[4], const char* further);
    const std::string& prefix() const { return prefix_; }

private:
    std::string prefix_;
    gui::Colour accent_;
};

// Oscillator k: " Detune" and " Scale", then " Sync" and " Wave Form"; the picture is its wave
// and its footage.
class OscillatorButton : public VornComponentButton {
public:
    OscillatorButton(VornInterface& editor, int index);

protected:
    void paintPicture(gui::Graphics& g, const gui::Rect& area) override;
    void resized() override;

private:
    gui::Component* wave_ = nullptr;
};

// A voice filter or a delay filter: " Freq" and " Peak", then " Pan" and " Response"; the
// picture is its response curve.
class FilterButton : public VornComponentButton {
public:
    FilterButton(VornInterface& editor, int index, bool delayFilter);

protected:
    void paintPicture(gui::Graphics& g, const gui::Rect& area) override;
    void resized() override;

private:
    gui::Component* curve_ = nullptr;
};

// A side of the delay (0 left, 1 right): " Time" and " Feedback", then " Sync" and
// " Cross Feedback"; the picture is its time and the echoes its feedback leaves.
class DelayButton : public VornComponentButton {
public:
    DelayButton(VornInterface& editor, int side);

protected:
    void paintPicture(gui::Graphics& g, const gui::Rect& area) override;
};
