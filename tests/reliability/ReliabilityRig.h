#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/VornEngine.h"
#include "engine/VornPlugin.h"
#include "engine/VornPresets.h"
#include "engine/VornVoice.h"
#include "framework/AbstractPluginParameter.h"
#include "framework/MidiEvent.h"

// Shared helpers of the reliability suites: a script of MIDI and parameter changes on a timeline
// of frames, host block schedules, rendering a script through a plug-in as a host would, and
// checks on the rendered samples.
namespace reliability {

// Instances start from the built-in sound, whatever the preset folder holds.
inline const bool kStartupPresetsOff = [] {
    VornPresets::setStartupPresets(false);
    return true;
}();

struct Stereo {
    std::vector<float> left;
    std::vector<float> right;
};

// One timed change: a MIDI message, or a parameter set to a plain value.
struct ScriptEvent {
    int64_t frame = 0;
    bool isMidi = true;
    MidiEvent midi{};
    int parameter = -1;
    float plain = 0.0f;
};

// Events ordered by frame (stable for equal frames), plus the length to render.
struct RenderScript {
    int64_t frames = 0;
    std::vector<ScriptEvent> events;

    void midi(int64_t frame, uint8_t status, uint8_t data1, uint8_t data2) {
        ScriptEvent e;
        e.frame = frame;
        e.midi = MidiEvent{status, data1, data2, 0, 0};
        insert(e);
    }
    void noteOn(int64_t frame, int note, int velocity, int channel = 0) {
        midi(frame, static_cast<uint8_t>(0x90 | channel), static_cast<uint8_t>(note),
             static_cast<uint8_t>(velocity));
    }
    void noteOff(int64_t frame, int note, int channel = 0) {
        midi(frame, static_cast<uint8_t>(0x80 | channel), static_cast<uint8_t>(note), 0);
    }
    // value14 in 0..16383, 8192 = centre.
    void pitchBend(int64_t frame, int value14, int channel = 0) {
        midi(frame, static_cast<uint8_t>(0xE0 | channel), static_cast<uint8_t>(value14 & 0x7f),
             static_cast<uint8_t>(value14 >> 7 & 0x7f));
    }
    void controller(int64_t frame, int number, int value, int channel = 0) {
        midi(frame, static_cast<uint8_t>(0xB0 | channel), static_cast<uint8_t>(number),
             static_cast<uint8_t>(value));
    }
    void parameter(int64_t frame, int id, float plain) {
        ScriptEvent e;
        e.frame = frame;
        e.isMidi = false;
        e.parameter = id;
        e.plain = plain;
        insert(e);
    }

private:
    void insert(const ScriptEvent& e) {
        auto at = std::upper_bound(
            events.begin(), events.end(), e.frame,
            [](int64_t frame, const ScriptEvent& other) { return frame < other.frame; });
        events.insert(at, e);
    }
};

// Host block sizes, repeated in order until the script is rendered. Zero-sized blocks are
// allowed as long as some block is not empty.
struct BlockSchedule {
    std::vector<int> sizes;

    static BlockSchedule fixed(int frames) { return {{frames}}; }
    // `count` sizes drawn uniformly from [lo, hi].
    static BlockSchedule random(uint32_t seed, int lo, int hi, int count = 257) {
        std::mt19937 random(seed);
        std::uniform_int_distribution<int> pick(lo, hi);
        BlockSchedule s;
        for (int i = 0; i < count; ++i) s.sizes.push_back(pick(random));
        if (hi > 0 && std::all_of(s.sizes.begin(), s.sizes.end(), [](int n) { return n == 0; }))
            s.sizes.push_back(hi);
        return s;
    }
};

// The parameter of that exact name; -1 when there is none.
inline int parameterId(VornPlugin& plugin, const std::string& name) {
    for (int id = 0; id < plugin.getParameterCount(); ++id) {
        if (plugin.getParameter(id)->name() == name) return id;
    }
    return -1;
}

// "NAME=TEXT" assignments, each parsed by its parameter and set as the host would; false at the
// first unknown name or unreadable text.
inline bool assign(VornPlugin& plugin, std::initializer_list<const char*> assignments) {
    for (const char* assignment : assignments) {
        const std::string a(assignment);
        const size_t equals = a.find('=');
        if (equals == std::string::npos) return false;
        AbstractPluginParameter* p = plugin.getParameter(parameterId(plugin, a.substr(0, equals)));
        float plain = 0.0f;
        if (!p || !p->parseText(a.substr(equals + 1), &plain)) return false;
        p->setValue(plain, GenericPlugin::kFlagFromHost);
    }
    return true;
}

// A lone sine from oscillator 1 at the note's own pitch, sounding at once and held at full level.
inline bool setPlainSine(VornPlugin& plugin) {
    return assign(plugin, {"Osc 1 Wave Form=Sine", "Osc 1 Scale=0 octaves", "Master Scale=16\"",
                           "Osc 2 Enabled=Disabled", "Osc 3 Enabled=Disabled",
                           "EG Main Attack=0.001 sec", "EG Main Sustain=0 dB"});
}

// A fresh start as a host gives it: the rate, every parameter at its default (even where a
// preset was loaded), a reset at the first block.
inline void prepare(VornPlugin& plugin, float sampleRate) {
    plugin.setSampleRate(sampleRate);
    for (int id = 0; id < plugin.getParameterCount(); ++id) {
        AbstractPluginParameter* p = plugin.getParameter(id);
        p->setValue(p->getDefault(), GenericPlugin::kFlagFromHost);
    }
    plugin.queueResetMarker();
}

// Plays the script through the plug-in in host blocks of the schedule, one block per step():
// MIDI reaches receiveMidi with its offset inside the block, parameter changes are set just
// before the block holding their frame.
class ScriptPlayer {
public:
    ScriptPlayer(VornPlugin& plugin, const RenderScript& script, const BlockSchedule& schedule,
                 int channels = 2)
        : plugin_(plugin), script_(script), schedule_(schedule), channels_(channels) {
        out.left.assign(static_cast<size_t>(script.frames), 0.0f);
        out.right = out.left;
    }

    // Renders the next block; false once the whole script was rendered.
    bool step() {
        const size_t frames = out.left.size();
        if (done_ >= frames) return false;
        const int size = schedule_.sizes[block_++ % schedule_.sizes.size()];
        const size_t n = std::min(static_cast<size_t>(std::max(size, 0)), frames - done_);
        const auto end = static_cast<int64_t>(done_ + n);
        for (; next_ < script_.events.size() && script_.events[next_].frame < end; ++next_) {
            const ScriptEvent& e = script_.events[next_];
            if (e.isMidi) {
                MidiEvent m = e.midi;
                m.offset = static_cast<int32_t>(std::max<int64_t>(e.frame - done_, 0));
                plugin_.receiveMidi(m);
            } else if (AbstractPluginParameter* p = plugin_.getParameter(e.parameter)) {
                p->setValue(e.plain, GenericPlugin::kFlagFromHost);
            }
        }
        std::array<float*, 2> outputs{out.left.data() + done_, out.right.data() + done_};
        plugin_.processBlock(nullptr, 0, outputs.data(), channels_, static_cast<int>(n));
        done_ += n;
        return true;
    }

    Stereo out;

private:
    VornPlugin& plugin_;
    const RenderScript& script_;
    const BlockSchedule& schedule_;
    int channels_;
    size_t done_ = 0;
    size_t next_ = 0;
    size_t block_ = 0;
};

inline Stereo render(VornPlugin& plugin, const RenderScript& script, const BlockSchedule& schedule,
                     int channels = 2) {
    ScriptPlayer player(plugin, script, schedule, channels);
    while (player.step()) {
    }
    return std::move(player.out);
}

// The fixed phrase: a 16-note chord at full velocity with full pitch bend both ways, the sustain
// pedal holding it past its note-offs, a held single note and a second short chord, filter
// sweeps by parameter, then every note released and `tailSeconds` of tail. The phrase itself
// lasts 2.5 s.
inline RenderScript standardPhrase(VornPlugin& plugin, float sampleRate, double tailSeconds = 1.5) {
    const auto at = [sampleRate](double seconds) {
        return static_cast<int64_t>(std::llround(seconds * sampleRate));
    };
    RenderScript s;
    s.frames = at(2.5 + tailSeconds);
    constexpr int kChordRoot = 36;
    constexpr int kChordNotes = 16;
    constexpr int kChordStep = 5;
    for (int i = 0; i < kChordNotes; ++i) s.noteOn(at(0.0), kChordRoot + kChordStep * i, 127);
    s.pitchBend(at(0.3), 16383);
    s.pitchBend(at(0.6), 0);
    s.pitchBend(at(0.9), 8192);
    s.controller(at(0.95), 64, 127);
    for (int i = 0; i < kChordNotes; ++i) s.noteOff(at(1.0), kChordRoot + kChordStep * i);
    s.noteOn(at(1.1), 60, 127);
    s.controller(at(1.4), 64, 0);
    for (int i = 0; i < kChordNotes; ++i) s.noteOn(at(1.5) + i, 48 + i, 127);
    for (int i = 0; i < kChordNotes; ++i) s.noteOff(at(2.0), 48 + i);
    s.noteOff(at(2.5), 60);
    // Filter moves while notes sound; at 2.5 s they are back at their defaults.
    for (const char* name : {"Filter 1 Freq", "Filter 1 Peak"}) {
        const int id = parameterId(plugin, name);
        if (id < 0) continue;
        AbstractPluginParameter* p = plugin.getParameter(id);
        s.parameter(at(0.4), id, p->getMaximum());
        s.parameter(at(1.2), id, p->getMinimum());
        s.parameter(at(2.5), id, p->getDefault());
    }
    return s;
}

// A4 at velocity 100 from the first frame, held for the given time.
inline RenderScript heldA4(float rate, double seconds) {
    RenderScript s;
    s.frames = static_cast<int64_t>(std::llround(seconds * rate));
    s.noteOn(0, 69, 100);
    return s;
}

// A fresh instance playing the plain sine.
inline std::unique_ptr<VornPlugin> sinePlugin(float rate) {
    auto plugin = std::make_unique<VornPlugin>();
    prepare(*plugin, rate);
    setPlainSine(*plugin);
    plugin->queueResetMarker();
    return plugin;
}

// Voices that are not muted, that is still sounding or waiting to sound.
inline int soundingVoices(VornPlugin& plugin) {
    int n = 0;
    for (const auto& voice : plugin.engine().voices) n += voice->isMuted() ? 0 : 1;
    return n;
}

// --- Checks on rendered samples ------------------------------------------------------------------

struct SampleScan {
    size_t nonFinite = 0;
    size_t subnormal = 0;
    float peak = 0.0f;
    // First offending index, or SIZE_MAX.
    size_t firstBad = SIZE_MAX;
};

inline SampleScan scan(const std::vector<float>& x, size_t first = 0, size_t last = SIZE_MAX) {
    SampleScan s;
    last = std::min(last, x.size());
    for (size_t i = first; i < last; ++i) {
        const int kind = std::fpclassify(x[i]);
        if (kind == FP_NAN || kind == FP_INFINITE) {
            ++s.nonFinite;
            s.firstBad = std::min(s.firstBad, i);
        } else if (kind == FP_SUBNORMAL) {
            ++s.subnormal;
            s.firstBad = std::min(s.firstBad, i);
        } else {
            s.peak = std::max(s.peak, std::fabs(x[i]));
        }
    }
    return s;
}

inline SampleScan scan(const Stereo& x, size_t first = 0, size_t last = SIZE_MAX) {
    const SampleScan l = scan(x.left, first, last);
    const SampleScan r = scan(x.right, first, last);
    return {l.nonFinite + r.nonFinite, l.subnormal + r.subnormal, std::max(l.peak, r.peak),
            std::min(l.firstBad, r.firstBad)};
}

inline double toDbfs(float amplitude) {
    return amplitude > 0.0f ? 20.0 * std::log10(static_cast<double>(amplitude)) : -1000.0;
}

// Index of the first sample whose bits differ, or SIZE_MAX when both are bit-identical (a size
// difference counts at the shorter length).
inline size_t firstDifference(const std::vector<float>& a, const std::vector<float>& b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        if (std::memcmp(&a[i], &b[i], sizeof(float)) != 0) return i;
    }
    return a.size() == b.size() ? SIZE_MAX : n;
}

inline size_t firstDifference(const Stereo& a, const Stereo& b) {
    return std::min(firstDifference(a.left, b.left), firstDifference(a.right, b.right));
}

}  // namespace reliability
