#pragma once

#include <array>

#include "editor/EditorSection.h"
#include "gui/Shape.h"

// A source's response curve over a rising input 0..1 (the curves are odd, so this half says it
// all), as the engine shapes incoming MIDI.
class ResponseDisplay : public gui::Curve {
public:
    static constexpr int kPoints = 40;
    // Follows the response curve of the source named ("MIDI Source 1", ...).
    ResponseDisplay(GenericPluginInterface& editor, const std::string& source, gui::Colour accent);
    void update();
    void paint(gui::Graphics& g) override;

private:
    gui::ValueControl& curve_;  // hidden, bound to the curve
};

// The ten MIDI sources, a row each: what they follow and how they answer.
class MidiSourceSection : public EditorSection {
public:
    static constexpr int kCount = 10;
    static constexpr int kRowTop = 48;
    static constexpr int kRowHeight = 26;
    explicit MidiSourceSection(GenericPluginInterface& editor);
    ResponseDisplay& display(int source) { return *displays_[static_cast<size_t>(source)]; }

protected:
    int fullHeight() const override { return kRowTop + kCount * kRowHeight + 6; }

private:
    void sourceRow(int index);
    std::array<ResponseDisplay*, kCount> displays_{};
};
