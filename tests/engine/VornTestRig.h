#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "engine/VornPlugin.h"
#include "framework/MidiEvent.h"
#include "tests/engine/VornParameterTestSupport.h"

// Plays a VornPlugin as a host would: parameters set from typed text, MIDI queued with sample
// offsets, host blocks of any size, output gathered into whole vectors.
class VornTestRig {
public:
    static constexpr float kSampleRate = 48000.0f;
    static constexpr int kBlockFrames = 256;
    static constexpr uint8_t kNoteOn = 0x90;
    static constexpr uint8_t kNoteOff = 0x80;

    struct Stereo {
        std::vector<float> left;
        std::vector<float> right;
    };

    // Starts from every parameter's default, whatever "Default Sound" the preset folder holds;
    // the values jump there at the first block.
    explicit VornTestRig(float sampleRate = kSampleRate) : sampleRate_(sampleRate) {
        plugin_.setSampleRate(sampleRate);
        for (int id = 0; id < plugin_.getParameterCount(); ++id) {
            AbstractPluginParameter* p = plugin_.getParameter(id);
            p->setValue(p->getDefault(), 0);
        }
        plugin_.queueResetMarker();
    }

    VornPlugin& plugin() { return plugin_; }
    VornPlugin::Engine& engine() { return plugin_.engine(); }
    float sampleRate() const { return sampleRate_; }
    int frames(double seconds) const {
        return static_cast<int>(std::lround(seconds * sampleRate_));
    }

    // "NAME=TEXT", parsed by the parameter itself; takes effect at the next host block.
    void set(const std::string& assignment) {
        const size_t equals = assignment.find('=');
        ASSERT_NE(equals, std::string::npos) << assignment;
        const std::string name = assignment.substr(0, equals);
        const std::string text = assignment.substr(equals + 1);
        AbstractPluginParameter* p = findParameter(plugin_, name);
        ASSERT_NE(p, nullptr) << name;
        float plain = 0.0f;
        ASSERT_TRUE(p->parseText(text, &plain)) << name << " <- " << text;
        p->setValue(plain, 0);
    }
    void set(std::initializer_list<const char*> assignments) {
        for (const char* a : assignments) set(std::string(a));
    }

    // Offsets count from the start of the next host block.
    void midi(uint8_t status, uint8_t data1, uint8_t data2, int offset = 0) {
        plugin_.receiveMidi(MidiEvent{status, data1, data2, 0, offset});
    }
    void noteOn(int note, int velocity = 100, int offset = 0) {
        midi(kNoteOn, static_cast<uint8_t>(note), static_cast<uint8_t>(velocity), offset);
    }
    void noteOff(int note, int offset = 0) {
        midi(kNoteOff, static_cast<uint8_t>(note), 0, offset);
    }

    // From now on every block is preceded by a transport running at `bpm`.
    void setTempo(double bpm) { tempo_ = bpm; }

    // Renders `frames` frames in host blocks of blockFrames into `channels` outputs (1 or 2; with
    // one, right stays silent), with sideChain (at least `frames` long) as the two input channels.
    Stereo render(int frames, int blockFrames = kBlockFrames, int channels = 2,
                  const Stereo* sideChain = nullptr) {
        Stereo out{std::vector<float>(static_cast<size_t>(frames)),
                   std::vector<float>(static_cast<size_t>(frames))};
        for (int done = 0; done < frames;) {
            const int n = std::min(blockFrames, frames - done);
            std::array<float*, 2> outputs{out.left.data() + done, out.right.data() + done};
            std::array<const float*, 2> inputs{};
            if (sideChain) inputs = {sideChain->left.data() + done, sideChain->right.data() + done};
            if (tempo_ > 0.0) {
                const double beat = static_cast<double>(position_) / sampleRate_ * tempo_ / 60.0;
                plugin_.updateTransport(tempo_, static_cast<float>(beat));
            }
            plugin_.processBlock(sideChain ? inputs.data() : nullptr, sideChain ? 2 : 0,
                                 outputs.data(), channels, n);
            position_ += n;
            done += n;
        }
        return out;
    }

private:
    float sampleRate_;
    double tempo_ = 0.0;
    int64_t position_ = 0;
    VornPlugin plugin_;
};

// A lone sine from oscillator 1 at the note's own pitch ("Master Scale" 16', scale 0 octaves),
// sounding at once and held at full level.
inline void setPlainSine(VornTestRig& rig) {
    rig.set({"Osc 1 Wave Form=Sine", "Osc 1 Scale=0 octaves", "Master Scale=16\"",
             "Osc 2 Enabled=Disabled", "Osc 3 Enabled=Disabled", "EG Main Attack=0.001 sec",
             "EG Main Sustain=0 dB"});
}

// Times in samples of the rising zero crossings of x[first, last), linearly interpolated.
inline std::vector<double> risingCrossings(const std::vector<float>& x, size_t first = 0,
                                           size_t last = SIZE_MAX) {
    std::vector<double> times;
    last = std::min(last, x.size());
    for (size_t i = first + 1; i < last; ++i) {
        if (x[i - 1] < 0.0f && x[i] >= 0.0f) {
            times.push_back(static_cast<double>(i - 1) + x[i - 1] / (x[i - 1] - x[i]));
        }
    }
    return times;
}

// Mean frequency over the whole periods between the first and last rising crossing; 0 when
// fewer than two crossings.
inline double zeroCrossingFrequency(const std::vector<float>& x, float sampleRate, size_t first = 0,
                                    size_t last = SIZE_MAX) {
    const std::vector<double> t = risingCrossings(x, first, last);
    if (t.size() < 2) return 0.0;
    return sampleRate * static_cast<double>(t.size() - 1) / (t.back() - t.front());
}

// Largest magnitude in both channels; infinite when any sample is not finite.
inline float peakOf(const VornTestRig::Stereo& out) {
    float peak = 0.0f;
    for (const std::vector<float>* side : {&out.left, &out.right}) {
        for (const float x : *side) {
            peak = std::isfinite(x) ? std::max(peak, std::fabs(x)) : INFINITY;
        }
    }
    return peak;
}

inline double rms(const std::vector<float>& x, size_t first = 0, size_t last = SIZE_MAX) {
    last = std::min(last, x.size());
    if (last <= first) return 0.0;
    double sum = 0.0;
    for (size_t i = first; i < last; ++i) sum += static_cast<double>(x[i]) * x[i];
    return std::sqrt(sum / static_cast<double>(last - first));
}

// Amplitude of the component of x[first, first + count) at `hz`, Hann windowed (a steady sine of
// amplitude a reads a).
inline double toneAmplitude(const std::vector<float>& x, size_t first, size_t count, double hz,
                            float sampleRate) {
    constexpr double kTwoPi = 6.283185307179586;
    double re = 0.0;
    double im = 0.0;
    for (size_t i = 0; i < count; ++i) {
        const double w = 0.5 - 0.5 * std::cos(kTwoPi * i / static_cast<double>(count));
        const double phase = kTwoPi * hz * static_cast<double>(i) / sampleRate;
        re += w * x[first + i] * std::cos(phase);
        im -= w * x[first + i] * std::sin(phase);
    }
    // The Hann window's mean is 1/2 and a real sine splits its amplitude between two bins.
    return 4.0 * std::hypot(re, im) / static_cast<double>(count);
}
