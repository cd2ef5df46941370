#include "apps/vorn/BenchCommand.h"

#include <CLI/CLI.hpp>
#include <cmath>
#include <vector>

#include "apps/vorn/ExitStatus.h"
#include "apps/vorn/NumberOption.h"
#include "apps/vorn/OfflineRenderer.h"
#include "apps/vorn/ParameterTable.h"
#include "apps/vorn/PresetsCommand.h"
#include "engine/VornPlugin.h"
#include "framework/MidiConstants.h"

namespace {

constexpr const char* kCommand = "vorn bench";
constexpr double kMaxSeconds = 3600.0;
// The values "Total Voices" offers.
constexpr int kTotalVoices[] = {1, 2, 3, 4, 6, 8, 10, 12, 16, 20, 24, 32};
// Held notes are spread evenly over five octaves from C2.
constexpr int kLowestNote = 36;
constexpr int kNoteSpan = 60;
constexpr uint8_t kVelocity = 100;

// Three sawtooth oscillators through two resonant 24 dB filters, four modulation slots and the
// delay: close to the most a patch asks of a voice.
const std::vector<std::string> kHeavyPatch = {
    "Osc 1 Wave Form=Sawtooth",
    "Osc 2 Wave Form=Sawtooth",
    "Osc 2 Detune=0.1 semitones",
    "Osc 3 Wave Form=Sawtooth",
    "Osc 3 Detune=-0.1 semitones",
    "Osc 3 Enabled=Enabled",
    "Filter 1 Characteristic=Quorvalis Prime",
    "Filter 1 Slope=24",
    "Filter 1 Freq=1200 Hz",
    "Filter 1 Peak=0.6",
    "Filter 1 Enabled=Enabled",
    "Filter 2 Characteristic=Quorvalis Prime",
    "Filter 2 Slope=24",
    "Filter 2 Freq=2400 Hz",
    "Filter 2 Peak=0.5",
    "Filter 2 Enabled=Enabled",
    "Num Active XLFOs=1",
    "XLFO 1 Frequency=3 Hz",
    "Num Active EGs=2",
    "EG 2 Decay=0.5 sec",
    "Num Active Slots=4",
    "Slot 1 Source=XLFO 1",
    "Slot 1 Target=Filter 1 Freq",
    "Slot 1 Level=0.3",
    "Slot 2 Source=EG 2",
    "Slot 2 Target=Filter 2 Freq",
    "Slot 2 Level=0.3",
    "Slot 3 Source=XLFO 1",
    "Slot 3 Target=Osc 1 Pulse Width",
    "Slot 3 Level=0.3",
    "Slot 4 Source=EG 2",
    "Slot 4 Target=Osc 2 Pulse Width",
    "Slot 4 Level=0.3",
    "Delay Enabled=Enabled",
};

int totalVoicesFor(int voices) {
    for (const int total : kTotalVoices) {
        if (total >= voices) return total;
    }
    return BenchCommand::kMaxVoices;
}

}  // namespace

BenchCommand::BenchCommand(CLI::App& app)
    : command_(app.add_subcommand("bench", "Measure the rendering speed with held notes")) {
    command_->add_option("--voices", voices_, "Notes held at once")
        ->check(numberIn(1, kMaxVoices, true))
        ->capture_default_str();
    command_->add_option("--seconds", seconds_, "Length of audio to render")
        ->check(numberIn(0.001, kMaxSeconds, false))
        ->capture_default_str();
    command_->add_option("--rate", rate_, "Sample rate in Hz")
        ->check(numberIn(OfflineRenderer::kMinSampleRate, OfflineRenderer::kMaxSampleRate, true))
        ->capture_default_str();
    command_
        ->add_option("--patch", patch_,
                     "Sound to play: default, heavy, or a preset (a file, or a name in the "
                     "preset folder) played as saved, its voice settings included")
        ->capture_default_str();
}

bool BenchCommand::selected() const {
    return command_->parsed();
}

int BenchCommand::run(std::FILE* out, std::FILE* err) const {
    VornPlugin plugin;
    if (patch_ == "default" || patch_ == "heavy") {
        std::vector<std::string> patch = {"Polyphony=Poly",
                                          "Total Voices=" + std::to_string(totalVoicesFor(voices_)),
                                          "Unison Voices=1"};
        if (patch_ == "heavy") patch.insert(patch.end(), kHeavyPatch.begin(), kHeavyPatch.end());
        if (!ParameterTable(plugin).assignAll(patch, kCommand, err)) return kExitUsageError;
    } else if (!loadNamedPreset(plugin, patch_, kCommand, err)) {
        return kExitUsageError;
    }

    std::vector<TimedMidiEvent> notes;
    for (int v = 0; v < voices_; ++v) {
        MidiEvent on;
        on.status = midi::kNoteOn;
        on.data1 = static_cast<uint8_t>(kLowestNote + v * kNoteSpan / voices_);
        on.data2 = kVelocity;
        notes.push_back({0, on});
    }
    OfflineRenderer renderer(plugin, rate_, OfflineRenderer::kDefaultBlockFrames);
    renderer.setEvents(std::move(notes));
    const int64_t frames = std::llround(seconds_ * rate_);
    std::vector<float> left, right;
    left.reserve(static_cast<size_t>(frames));
    right.reserve(static_cast<size_t>(frames));
    renderer.render(frames, left, right);

    const double cpu = std::max(renderer.cpuSeconds(), 1.0e-9);
    std::fprintf(out, "real-time factor: %.1f\n", static_cast<double>(frames) / rate_ / cpu);
    std::fprintf(out, "ns per voice-sample: %.1f\n",
                 cpu * 1.0e9 / (static_cast<double>(frames) * voices_));
    return kExitSuccess;
}
