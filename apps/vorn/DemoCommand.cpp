#include "apps/vorn/DemoCommand.h"

#include <stdlib.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <filesystem>

#include "apps/vorn/AudioFile.h"
#include "apps/vorn/AudioMeasures.h"
#include "apps/vorn/ExitStatus.h"
#include "apps/vorn/NumberOption.h"
#include "apps/vorn/OfflineRenderer.h"
#include "engine/VornPlugin.h"
#include "framework/MidiConstants.h"
#include "midi/StandardMidiFile.h"
#include "persistence/FactoryArchive.h"
#include "persistence/ResourceOpener.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kSongResource = "DemoSong.mid";
constexpr int kBeatsPerBar = 4;

// The factory presets unpacked from the archive into a private folder for as long as the parts
// load them.
class FactoryPresetCopy {
public:
    FactoryPresetCopy() {
        std::error_code error;
        const fs::path temporary = fs::temp_directory_path(error);
        if (error) return;
        std::string pattern = (temporary / "vorn-demo-XXXXXX").string();
        if (!mkdtemp(pattern.data())) return;
        folder_ = pattern;
        extracted_ =
            extractFactoryFolder(FactoryArchive::kFactoryPresetsFolder, folder_.string(), true);
    }
    ~FactoryPresetCopy() {
        std::error_code ignored;
        if (!folder_.empty()) fs::remove_all(folder_, ignored);
    }
    FactoryPresetCopy(const FactoryPresetCopy&) = delete;
    FactoryPresetCopy& operator=(const FactoryPresetCopy&) = delete;

    bool extracted() const { return extracted_; }
    std::string file(const std::string& preset) const {
        return (folder_ / (preset + ".qvp")).string();
    }

private:
    fs::path folder_;
    bool extracted_ = false;
};

struct PartRender {
    std::vector<float> left, right;
    size_t notes = 0;
    double cpuSeconds = 0.0;
};

PartRender renderPart(VornPlugin& plugin, const StandardMidiFile& song, int channel, int rate) {
    PartRender result;
    std::vector<TimedMidiEvent> events;
    for (const StandardMidiFile::Event& e : song.events()) {
        if ((e.message.status & midi::kChannelMask) != channel) continue;
        events.push_back({song.frameOf(e, rate), e.message});
        if ((e.message.status & midi::kTypeMask) == midi::kNoteOn && e.message.data2 > 0) {
            ++result.notes;
        }
    }
    OfflineRenderer renderer(plugin, rate, OfflineRenderer::kDefaultBlockFrames);
    renderer.setEvents(std::move(events));
    renderer.setTempoMap(&song);
    renderer.renderWithTail(song.endFrame(rate), -1.0, result.left, result.right);
    result.cpuSeconds = renderer.cpuSeconds();
    return result;
}

void addInto(std::vector<float>& mix, const std::vector<float>& part, float gain) {
    if (part.size() > mix.size()) mix.resize(part.size(), 0.0f);
    for (size_t i = 0; i < part.size(); ++i) mix[i] += gain * part[i];
}

// Each section's integrated loudness; returns the spread between the loudest and the quietest.
double printSections(std::FILE* out, const std::vector<float>& left,
                     const std::vector<float>& right, const StandardMidiFile& song, int rate) {
    const double secondsPerBar = kBeatsPerBar * 60.0 / song.tempoAt(0.0);
    const std::vector<DemoCommand::Section>& sections = DemoCommand::sections();
    double loudest = -200.0, quietest = 200.0;
    for (size_t s = 0; s < sections.size(); ++s) {
        const double from = sections[s].firstBar * secondsPerBar;
        const double to = s + 1 < sections.size() ? sections[s + 1].firstBar * secondsPerBar
                                                  : static_cast<double>(left.size()) / rate;
        const auto first = static_cast<ptrdiff_t>(std::min(from * rate, double(left.size())));
        const auto last = static_cast<ptrdiff_t>(std::min(to * rate, double(left.size())));
        const measure::Loudness l =
            measure::loudness({left.begin() + first, left.begin() + last},
                              {right.begin() + first, right.begin() + last}, rate);
        loudest = std::max(loudest, l.lufs);
        quietest = std::min(quietest, l.lufs);
        std::fprintf(out, "  %-12s %5.1f-%5.1f s  %6.1f LUFS\n", sections[s].name.c_str(), from, to,
                     l.lufs);
    }
    return loudest - quietest;
}

}  // namespace

const std::vector<DemoCommand::Part>& DemoCommand::parts() {
    static const std::vector<Part> kParts = {
        {"pad", "Pad/Warm Analog Pad", 0, 0.65f},
        {"bass", "Bass/Fat Unison Bass", 1, 1.0f},
        {"lead", "Lead/Classic Mono Lead", 2, 1.3f},
        {"kick", "Drums and Percussion/Analog Kick", 3, 1.0f},
        {"snare", "Drums and Percussion/Noise Snare", 4, 1.8f},
        {"hi-hat", "Drums and Percussion/Tight Hi-Hat", 5, 0.8f},
    };
    return kParts;
}

// The bars where the song's sections begin, as resources/demo/MakeDemoSong.cpp writes them.
const std::vector<DemoCommand::Section>& DemoCommand::sections() {
    static const std::vector<Section> kSections = {
        {"intro", 0},     {"groove", 2},       {"chorus", 4},
        {"breakdown", 8}, {"last chorus", 10}, {"ending", 14},
    };
    return kSections;
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
    const FactoryPresetCopy factory;
    if (!factory.extracted()) {
        std::fprintf(
            err,
            "vorn demo: the built-in factory presets cannot be unpacked into a temporary folder\n");
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
        if (!plugin.loadPresetFile(factory.file(part.preset))) {
            std::fprintf(err, "vorn demo: the factory preset \"%s\" cannot be loaded\n",
                         part.preset.c_str());
            return kExitUsageError;
        }
        const PartRender render = renderPart(plugin, song, part.channel, rate_);
        cpu += render.cpuSeconds;
        std::fprintf(out, "  %-6s channel %d, %3zu notes, gain %.2f, %6.1f LUFS alone, %s\n",
                     part.name.c_str(), part.channel + 1, render.notes, part.gain,
                     measure::loudness(render.left, render.right, rate_).lufs, part.preset.c_str());
        addInto(mixLeft, render.left, part.gain);
        addInto(mixRight, render.right, part.gain);
    }
    if (!writer.commit(mixLeft, mixRight)) {
        std::fprintf(err, "vorn demo: %s\n", writer.error().c_str());
        return kExitUsageError;
    }
    const double spread = printSections(out, mixLeft, mixRight, song, rate_);
    const measure::Loudness whole = measure::loudness(mixLeft, mixRight, rate_);
    std::fprintf(out,
                 "Wrote %s: the demo song in %zu parts, %.2f s at %d Hz (%.0f BPM), %.1f LUFS, "
                 "true peak %.1f dBTP, sections %.1f LU apart, rendered in %.2f s of CPU time\n",
                 output_.c_str(), parts().size(), static_cast<double>(mixLeft.size()) / rate_,
                 rate_, song.tempoAt(0.0), whole.lufs, whole.truePeakDb, spread, cpu);
    return kExitSuccess;
}
