#pragma once

#include <string>
#include <vector>

#include "dsp/DesignFilter.h"
#include "gui/Palette.h"
#include "gui/Shape.h"
#include "gui/ValueControl.h"

class GenericPluginInterface;

// The response of a filter as it is set: gain over a logarithmic frequency axis (20 Hz to
// 20 kHz) and a dB axis (kBottomDb to kTopDb), computed from the same coefficients the filter
// runs with, at kDisplayRate.
class FilterCurve : public gui::Curve {
public:
    struct Settings {
        float frequency = 16.2064f;  // octaves above 1 Hz
        float peak = 0.0f;           // 0..1
        int characteristic = 0;      // index of the characteristic list; the last is "Clean"
        int response = 0;            // 0 LP, 1 HP, 2 BP
        int sections = 1;            // 1, 2 or 4 (12, 24, 48 dB per octave)
        float spread = 0.0f;         // octaves: the left cut-off above, the right one below
    };
    static constexpr double kLowestHz = 20.0;
    static constexpr double kHighestHz = 20000.0;
    static constexpr double kBottomDb = -48.0;
    static constexpr double kTopDb = 24.0;
    static constexpr double kDisplayRate = 48000.0;
    static constexpr int kPoints = 160;

    // Shows the filter whose parameters are named `filter` + " Freq" and so on; the
    // characteristics' tables are those of the synthesizer.
    FilterCurve(GenericPluginInterface& editor, const std::string& filter, gui::Colour accent);

    Settings settings() const;
    // Gain in dB at hz of a small signal, with the given characteristic's tables (null for
    // "Clean" or when none is known).
    static double gainDb(const Settings& s, const DesignFilter::Style* style, double hz,
                         double rate = kDisplayRate);
    // x of a frequency and y of a gain, 0..1 on the curve's axes.
    static float xOf(double hz);
    static float yOf(double db);

    // Without grid and labels, for small pictures.
    void setCompact(bool compact) { compact_ = compact; }
    void paint(gui::Graphics& g) override;

private:
    void update(const Settings& s);
    // Points of the curve, frequency moved by `octaves`.
    static std::vector<float> pointsFor(Settings s, float octaves);
    // Lines at 100 Hz, 1 kHz, 10 kHz and every 12 dB, with their labels.
    void paintGrid(gui::Graphics& g);
    static gui::Curve::Style curveStyle(gui::Colour accent);

    enum { kFrequency, kPeak, kCharacteristic, kResponse, kSlope, kEnabled, kPan, kWatched };
    gui::ValueControl* watched_[kWatched];
    gui::Colour accent_;
    Settings shown_{-1.0f, -1.0f, -1, -1, -1, 0.0f};
    // The right channel's curve while the cut-offs are spread (the left one is the points).
    std::vector<float> right_;
    bool compact_ = false;
};
