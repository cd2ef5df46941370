// Prints the strongest non-harmonic component of the sawtooth and the square, relative to the
// fundamental, at a few notes and rates: the measure of the tables' band limitation.
#include <cmath>
#include <cstdio>

#include "dsp/Oscillator.h"
#include "dsp/OscillatorStyle.h"
#include "tests/dsp/OscillatorAnalysis.h"

int main() {
    constexpr uint32_t kBlock = 128;
    constexpr uint32_t kFftSize = 1 << 18;
    Oscillator::Style style;
    Oscillator::Style::Tones tones = Oscillator::Style::kSynthesizerTones;
    tones.analogNoiseLevel = 0.0f;  // the noise floor would hide the spurs
    style.setTones(tones);
    style.computeTables();

    std::printf("%-9s %5s %5s %9s %5s %5s %13s %12s\n", "wave", "rate", "note", "f0 (Hz)", "row",
                "L", "spur (dBc)", "at (Hz)");
    for (const int waveForm : {Oscillator::kSawtooth, Oscillator::kSquare}) {
        for (const float rate : {44100.0f, 48000.0f}) {
            for (const int note : {60, 84, 96, 108}) {
                wave::Environment env(kBlock);
                env.setSampleRate(rate);
                Oscillator osc(style, env);
                osc.setWaveForm(waveForm);
                const double pitch = oscillator_analysis::midiPitch(note);
                osc.defaultPitch().setTarget(static_cast<float>(pitch), 0.0f);
                const auto x = oscillator_analysis::render(osc, env, kFftSize + 4096, kBlock);
                const double f0 = std::exp2(pitch);
                const auto spur = oscillator_analysis::strongestNonHarmonic(x, rate, f0, kFftSize);
                std::printf("%-9s %5.1f %5d %9.2f %5d %5d %13.1f %12.1f\n",
                            waveForm == Oscillator::kSawtooth ? "sawtooth" : "square",
                            rate / 1000.0f, note, f0, osc.tableIndex(), osc.tableLength(),
                            spur.level, spur.frequency);
            }
        }
    }
    return 0;
}
