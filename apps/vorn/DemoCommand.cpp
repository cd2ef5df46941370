#include "apps/vorn/DemoCommand.h"

#include <CLI/CLI.hpp>
#include <algorithm>

#include "apps/vorn/AudioFile.h"
#include "apps/vorn/ExitStatus.h"
#include "apps/vorn/NumberOption.h"
#include "apps/vorn/OfflineRenderer.h"
#include "apps/vorn/ParameterTable.h"
#include "engine/VornPlugin.h"
#include "framework/MidiConstants.h"
#include "midi/StandardMidiFile.h"
#include "persistence/ResourceOpener.h"

namespace {

constexpr const char* kSongResource = "DemoSong.mid";

}  // namespace

const std::vector<DemoCommand::Part>& DemoCommand::parts() {
    static const std::vector<Part> kParts = {
        {"pad",
         0,
         0.6f,
         {
             "Polyphony=Poly",
             "Total Voices=16",
             "Unison Voices=2",
             "Unison Spread=60 %",
             "Osc 1 Wave Form=Sawtooth",
             "Osc 1 Detune=-0.08 semitones",
             "Osc 2 Wave Form=Sawtooth",
             "Osc 2 Detune=0.08 semitones",
             "Osc 3 Enabled=Disabled",
             "Portamento=0.2 sec",
             "Portamento Mode=Normal",
             "Filter 1 Freq=2200 Hz",
             "Filter 1 Peak=0.2",
             "EG Main Attack=0.6 sec",
             "EG Main Decay=1.5 sec",
             "EG Main Sustain=-3 dB",
             "EG Main Release=1.8 sec",
             "Output Volume=-6 dB",
         }},
        {"bass",
         1,
         0.7f,
         {
             "Polyphony=Mono",
             "Osc 1 Wave Form=Square",
             "Osc 1 Pulse Width=0.3",
             "Osc 2 Wave Form=Sawtooth",
             "Osc 2 Scale=0 octaves",
             "Osc 2 Level=-6 dB",
             "Osc 3 Enabled=Disabled",
             "Filter 1 Freq=280 Hz",
             "Filter 1 Peak=0.35",
             "Filter 1 Slope=24",
             "EG Main Release=0.08 sec",
             "Num Active EGs=2",
             "EG 2 Attack=0.002 sec",
             "EG 2 Decay=0.22 sec",
             "EG 2 Sustain=-30 dB",
             "EG 2 Release=0.1 sec",
             "Num Active Slots=1",
             "Slot 1 Source=EG 2",
             "Slot 1 Target=Filter 1 Freq",
             "Slot 1 Level=0.6",
         }},
        {"lead",
         2,
         0.55f,
         {
             "Polyphony=Mono",
             "Portamento=0.06 sec",
             "Portamento Mode=Legato",
             "Osc 1 Wave Form=Sawtooth",
             "Osc 2 Wave Form=Square",
             "Osc 2 Pulse Width=0.35",
             "Osc 2 Detune=0.05 semitones",
             "Osc 3 Enabled=Disabled",
             "Filter 1 Freq=1400 Hz",
             "Filter 1 Peak=0.35",
             "EG Main Attack=0.02 sec",
             "EG Main Release=0.4 sec",
             "Num Active XLFOs=1",
             "XLFO 1 Frequency=5.5 Hz",
             "XLFO 1 Step 1 Value=1",
             "XLFO 1 Step 1 Glide=1",
             "XLFO 1 Step 2 Value=-1",
             "XLFO 1 Step 2 Glide=1",
             "Num Active EGs=2",
             "EG 2 Attack=0.3 sec",
             "EG 2 Decay=1.2 sec",
             "EG 2 Sustain=-12 dB",
             "EG 2 Release=0.5 sec",
             "Num Active Slots=4",
             "Slot 1 Source=XLFO 1",
             "Slot 1 Target=Osc 1 Detune",
             "Slot 1 Level=0.02",
             "Slot 2 Source=XLFO 1",
             "Slot 2 Target=Osc 2 Detune",
             "Slot 2 Level=0.02",
             "Slot 3 Source=XLFO 1",
             "Slot 3 Target=Filter 1 Freq",
             "Slot 3 Level=0.05",
             "Slot 4 Source=EG 2",
             "Slot 4 Target=Filter 1 Freq",
             "Slot 4 Level=0.4",
             "Delay Enabled=Enabled",
             "Delay L Sync=1/4 Note",
             "Delay R Sync=1/8 Note",
             "Delay L Feedback=0.1",
             "Delay R Feedback=0.1",
             "Delay Level=-10 dB",
         }},
    };
    return kParts;
}

DemoCommand::DemoCommand(CLI::App& app)
    : command_(app.add_subcommand("demo", "Render the built-in demo song to a WAV file")) {
    command_->add_option("-o,--output", output_, "WAV file to write")->capture_default_str();
    command_->add_option("-r,--rate", rate_, "Sample rate in Hz")
        ->check(numberIn(OfflineRenderer::kMinSampleRate, OfflineRenderer::kMaxSampleRate, true))
        ->capture_default_str();
}

bool DemoCommand::selected() const {
    return command_->parsed();
}

int DemoCommand::run(std::FILE* out, std::FILE* err) const {
    StandardMidiFile song;
    if (!song.read(openResource(kSongResource))) {
        std::fprintf(err, "vorn demo: the built-in song is damaged: %s\n", song.error().c_str());
        return kExitUsageError;
    }
    WavFileWriter writer;
    if (!writer.open(output_, rate_, WavFileWriter::Encoding::kFloat)) {
        std::fprintf(err, "vorn demo: %s\n", writer.error().c_str());
        return kExitUsageError;
    }

    std::vector<float> mixLeft, mixRight;
    double cpu = 0.0;
    for (const Part& part : parts()) {
        VornPlugin plugin;
        if (!ParameterTable(plugin).assignAll(part.patch, "vorn demo (" + part.name + ")", err)) {
            return kExitUsageError;
        }
        std::vector<TimedMidiEvent> events;
        for (const StandardMidiFile::Event& e : song.events()) {
            if ((e.message.status & midi::kChannelMask) == part.channel) {
                events.push_back({song.frameOf(e, rate_), e.message});
            }
        }
        const size_t noteCount = static_cast<size_t>(
            std::count_if(events.begin(), events.end(), [](const TimedMidiEvent& e) {
                return (e.message.status & midi::kTypeMask) == midi::kNoteOn && e.message.data2 > 0;
            }));
        OfflineRenderer renderer(plugin, rate_, OfflineRenderer::kDefaultBlockFrames);
        renderer.setEvents(std::move(events));
        renderer.setTempoMap(&song);
        std::vector<float> left, right;
        renderer.renderWithTail(song.endFrame(rate_), -1.0, left, right);
        cpu += renderer.cpuSeconds();

        const SignalLevels levels = measureLevels(left, right);
        std::fprintf(out, "  %-5s channel %d, %3zu notes, gain %.2f, peak %s, %zu patch settings\n",
                     part.name.c_str(), part.channel + 1, noteCount, part.gain,
                     formatDecibels(levels.peakDb).c_str(), part.patch.size());
        if (left.size() > mixLeft.size()) {
            mixLeft.resize(left.size(), 0.0f);
            mixRight.resize(right.size(), 0.0f);
        }
        for (size_t i = 0; i < left.size(); ++i) {
            mixLeft[i] += part.gain * left[i];
            mixRight[i] += part.gain * right[i];
        }
    }
    if (!writer.commit(mixLeft, mixRight)) {
        std::fprintf(err, "vorn demo: %s\n", writer.error().c_str());
        return kExitUsageError;
    }
    const double seconds = static_cast<double>(mixLeft.size()) / rate_;
    const SignalLevels levels = measureLevels(mixLeft, mixRight);
    std::fprintf(out,
                 "Wrote %s: the demo song in %zu parts, %.2f s at %d Hz (%.0f BPM), peak %s, "
                 "RMS %s, rendered in %.2f s of CPU time\n",
                 output_.c_str(), parts().size(), seconds, rate_, song.tempoAt(0.0),
                 formatDecibels(levels.peakDb).c_str(), formatDecibels(levels.rmsDb).c_str(), cpu);
    return kExitSuccess;
}
