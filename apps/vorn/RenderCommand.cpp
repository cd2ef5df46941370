#include "apps/vorn/RenderCommand.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cmath>
#include <memory>

#include "apps/vorn/AudioFile.h"
#include "apps/vorn/ExitStatus.h"
#include "apps/vorn/NumberOption.h"
#include "apps/vorn/OfflineRenderer.h"
#include "apps/vorn/ParameterTable.h"
#include "apps/vorn/PresetsCommand.h"
#include "apps/vorn/TuningFiles.h"
#include "engine/VornPlugin.h"
#include "engine/VornPresets.h"
#include "midi/StandardMidiFile.h"

namespace {

constexpr const char* kCommand = "vorn render";
constexpr int kMaxBlockFrames = 65536;
constexpr double kMaxTailSeconds = 3600.0;
constexpr int kProgressWidth = 40;

// A bar on a terminal, redrawn when it grows by a step.
class ProgressBar {
public:
    ProgressBar(std::FILE* stream, int64_t total) : stream_(stream), total_(total) {}
    ~ProgressBar() {
        if (drawn_ >= 0) std::fputc('\n', stream_);
    }

    void update(int64_t done) {
        const int filled = total_ > 0 ? static_cast<int>(std::min<int64_t>(
                                            kProgressWidth, done * kProgressWidth / total_))
                                      : kProgressWidth;
        if (filled == drawn_) return;
        drawn_ = filled;
        std::fprintf(stream_, "\r[%s%s] %3d%%", std::string(filled, '#').c_str(),
                     std::string(kProgressWidth - filled, '.').c_str(),
                     filled * 100 / kProgressWidth);
        std::fflush(stream_);
    }

private:
    std::FILE* stream_;
    int64_t total_;
    int drawn_ = -1;
};

}  // namespace

RenderCommand::RenderCommand(CLI::App& app)
    : command_(app.add_subcommand("render", "Render a Standard MIDI File to a WAV file")),
      blockFrames_(OfflineRenderer::kDefaultBlockFrames) {
    command_->add_option("input", input_, "Standard MIDI File (format 0 or 1)")->required();
    command_->add_option("-o,--output", output_, "WAV file to write")->required();
    command_->add_option("--rate", rate_, "Sample rate in Hz")
        ->check(numberIn(OfflineRenderer::kMinSampleRate, OfflineRenderer::kMaxSampleRate, true))
        ->capture_default_str();
    command_->add_option("--block", blockFrames_, "Host block size in frames")
        ->check(numberIn(1, kMaxBlockFrames, true))
        ->capture_default_str();
    command_->add_option("--set", assignments_,
                         "Set a parameter as NAME=TEXT (the names of `vorn params`); may be "
                         "repeated");
    command_->add_option("--preset", preset_,
                         "Preset to load before the assignments: a name in the preset folder "
                         "(see `vorn presets list`) or a file");
    command_
        ->add_option("--tail", tailSeconds_,
                     "Seconds to render after the last event (default: until silent, at "
                     "most 30 s)")
        ->check(numberIn(0.0, kMaxTailSeconds, false));
    command_->add_option("--sidechain", sideChain_, "Sound file fed to the side-chain input");
    command_->add_option("--format", format_, "Sample format of the WAV file")
        ->check(CLI::IsMember({"float", "24", "16"}))
        ->capture_default_str();
    CLI::Option* tuning =
        command_->add_option("--tuning", tuning_, "Scala scale (.scl) the notes are tuned to");
    command_->add_option("--keymap", keymap_, "Scala keyboard map (.kbm) for --tuning")
        ->needs(tuning);
}

bool RenderCommand::selected() const {
    return command_->parsed();
}

int RenderCommand::run(std::FILE* out, std::FILE* err) const {
    WavFileWriter::Encoding encoding;
    if (!WavFileWriter::parseEncoding(format_, &encoding)) {
        std::fprintf(err, "%s: unknown format %s\n", kCommand, format_.c_str());
        return kExitUsageError;
    }
    StandardMidiFile song;
    if (!song.readFile(input_)) {
        std::fprintf(err, "%s: %s\n", kCommand, song.error().c_str());
        return kExitUsageError;
    }
    StereoSignal sideChain;
    if (!sideChain_.empty()) {
        std::string error;
        if (!readStereoSignal(sideChain_, &sideChain, &error)) {
            std::fprintf(err, "%s: %s\n", kCommand, error.c_str());
            return kExitUsageError;
        }
        if (sideChain.sampleRate != rate_) {
            std::fprintf(err, "%s: %s runs at %d Hz but the render at %d Hz (see --rate)\n",
                         kCommand, sideChain_.c_str(), sideChain.sampleRate, rate_);
            return kExitUsageError;
        }
    }

    VornPlugin plugin;
    if (!preset_.empty() && !loadNamedPreset(plugin, preset_, kCommand, err)) {
        return kExitUsageError;
    }
    if (!ParameterTable(plugin).assignAll(assignments_, kCommand, err)) return kExitUsageError;
    if (!tuning_.empty() && !tuneFromFiles(plugin, tuning_, keymap_, kCommand, err)) {
        return kExitUsageError;
    }

    const double longestTail =
        tailSeconds_ >= 0.0 ? tailSeconds_ : OfflineRenderer::kMaxTailSeconds;
    const int64_t expectedFrames = song.endFrame(rate_) + std::llround(longestTail * rate_);
    WavFileWriter writer;
    if (!writer.open(output_, rate_, encoding, expectedFrames)) {
        std::fprintf(err, "%s: %s\n", kCommand, writer.error().c_str());
        return kExitUsageError;
    }

    OfflineRenderer renderer(plugin, rate_, blockFrames_);
    std::vector<TimedMidiEvent> events;
    events.reserve(song.events().size());
    for (const StandardMidiFile::Event& e : song.events()) {
        events.push_back({song.frameOf(e, rate_), e.message});
    }
    renderer.setEvents(std::move(events));
    renderer.setTempoMap(&song);
    if (!sideChain_.empty()) {
        renderer.setSideChain(std::move(sideChain.left), std::move(sideChain.right));
    }
    const int64_t endFrame = song.endFrame(rate_);
    std::unique_ptr<ProgressBar> progress;
    if (isatty(fileno(err))) progress = std::make_unique<ProgressBar>(err, endFrame);
    // Program changes of the song load between blocks, as a host thread would load them.
    renderer.setProgress([&progress, &plugin](int64_t frames) {
        plugin.presets().loadPendingProgram();
        if (progress) progress->update(frames);
    });

    LevelMeter meter;
    const bool rendered = renderer.renderWithTail(
        endFrame, tailSeconds_, [&](const float* left, const float* right, size_t frames) {
            meter.add(left, right, frames);
            return writer.write(left, right, frames);
        });
    progress.reset();
    if (!rendered || !writer.commit()) {
        std::fprintf(err, "%s: %s\n", kCommand, writer.error().c_str());
        return kExitUsageError;
    }

    if (const uint32_t dropped = plugin.droppedMidiEvents(); dropped > 0) {
        std::fprintf(err,
                     "%s: %u MIDI messages arrived at one instant beyond what the plug-in queues "
                     "and were dropped (note-offs are never dropped)\n",
                     kCommand, dropped);
    }
    const double seconds = static_cast<double>(meter.frames()) / rate_;
    const SignalLevels levels = meter.levels();
    const double cpu = renderer.cpuSeconds();
    std::fprintf(out, "%s: %.3f s at %d Hz, peak %s, RMS %s, CPU %.3f s, real-time factor %.1f\n",
                 output_.c_str(), seconds, rate_, formatDecibels(levels.peakDb).c_str(),
                 formatDecibels(levels.rmsDb).c_str(), cpu, cpu > 0.0 ? seconds / cpu : INFINITY);
    return kExitSuccess;
}
