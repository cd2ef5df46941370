#pragma once

#include "editor/EditorSection.h"

// The three oscillators, each a row: a picture of its wave, its shape and pitch, its level and
// place in the stereo field; then ring modulation.
class OscillatorSection : public EditorSection {
public:
    static constexpr int kRowHeight = 70;
    explicit OscillatorSection(GenericPluginInterface& editor);

protected:
    int fullHeight() const override { return 3 * kRowHeight + 34; }

private:
    void oscillatorRow(int index, int y);
};
