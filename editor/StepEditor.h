#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "gui/Component.h"
#include "gui/ValueControl.h"

class GenericPluginInterface;

// The steps of a step LFO as bars around a centre line. A stroke across the bars draws the
// pattern; it is one action however many steps it touches. Bars beyond the active count are
// dimmed; the glide into each next step is drawn over the bars as the engine shapes it, and a
// strip below shows how long each active step lasts (the balance).
class StepEditor : public gui::Control {
public:
    static constexpr int kSteps = 16;
    static constexpr int kTimelineHeight = 6;
    // Binds its bars to "<xlfo> Step k Value", and follows the step count, snap, balance and
    // glides of that XLFO.
    StepEditor(GenericPluginInterface& editor, const std::string& xlfo, gui::Colour accent);
    gui::ValueControl& step(int index);
    int activeSteps() const;
    int selectedStep() const { return selected_; }
    // Told when the mouse picks a step (hovering or pressing), so that its own settings show.
    std::function<void(int)> onSelect;

    // Geometry, in local coordinates: the bar of a step and the value a height stands for.
    gui::Rect barArea() const;
    int stepAt(int x) const;
    float valueAt(int y) const;
    int yOf(float value) const;
    // The drawn output over the bars: x in local pixels, y as a value -1..1, in pairs.
    std::vector<float> outputCurve();

    void paint(gui::Graphics& g) override;
    bool mouseDown(const gui::MouseEvent& e) override;
    void mouseDrag(const gui::MouseEvent& e) override;
    void mouseUp(const gui::MouseEvent& e) override;
    void mouseMove(const gui::MouseEvent& e) override;

private:
    float shownValue(int index);
    float stepGlide(int index);
    void paintBars(gui::Graphics& g);
    void paintTimeline(gui::Graphics& g);
    void setStep(int index, float value);
    void select(int index);

    GenericPluginInterface& editor_;
    gui::Colour accent_;
    // Hidden controls bound to the parameters the picture shows.
    struct Mirrors {
        gui::ValueControl *activeSteps, *snap, *balance, *glide;
        std::array<gui::ValueControl*, kSteps> value, stepGlide, glideFunction, random;
    };
    Mirrors m_{};
    int selected_ = 0;
    int lastStep_ = -1;
    float lastValue_ = 0;
    std::vector<int> stroke_;
};
