#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "editor/ChangeWatcher.h"
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
    // The section's controls the picture follows (all bound elsewhere; any may be null).
    struct Watched {
        gui::ValueControl* activeSteps = nullptr;  // value 0 is one step
        gui::ValueControl* snap = nullptr;
        gui::ValueControl* balance = nullptr;
        gui::ValueControl* glide = nullptr;
        std::array<gui::ValueControl*, kSteps> stepGlide{};
        std::array<gui::ValueControl*, kSteps> glideFunction{};
        std::array<gui::ValueControl*, kSteps> random{};
    };

    // Binds its bars to "<xlfo> Step k Value".
    StepEditor(GenericPluginInterface& editor, const std::string& xlfo, gui::Colour accent);
    void watch(const Watched& w);
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
    class StepValue;
    float shownValue(int index);
    float stepGlide(int index);
    void paintBars(gui::Graphics& g);
    void paintTimeline(gui::Graphics& g);
    void setStep(int index, float value);
    void select(int index);

    GenericPluginInterface& editor_;
    gui::Colour accent_;
    std::array<StepValue*, kSteps> steps_{};
    Watched watched_;
    ChangeWatcher watcher_{*this};
    int selected_ = 0;
    int lastStep_ = -1;
    float lastValue_ = 0;
    std::vector<int> stroke_;
};
