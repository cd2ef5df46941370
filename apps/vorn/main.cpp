#include <sndfile.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "apps/vorn/ParamsCommand.h"
#include "apps/vorn/TestSignalPlugin.h"
#include "midi/MidiEvent.h"

namespace {

struct DemoNote {
    double startSeconds;
    double lengthSeconds;
    int note;
    int velocity;
};

// A short arpeggio: enough to hear notes start and end at their sample positions and the level
// glide between them.
constexpr DemoNote kDemoNotes[] = {
    {0.00, 0.40, 57, 100}, {0.50, 0.40, 60, 90},  {1.00, 0.40, 64, 110},
    {1.50, 0.40, 69, 80},  {2.00, 0.90, 57, 127},
};
constexpr double kDemoSeconds = 3.2;
constexpr int kHostBlock = 512;

struct TimedEvent {
    int64_t frame;
    MidiEvent event;
};

std::vector<TimedEvent> demoEvents(double rate) {
    std::vector<TimedEvent> events;
    for (const DemoNote& n : kDemoNotes) {
        const auto on = static_cast<int64_t>(std::llround(n.startSeconds * rate));
        const auto off =
            static_cast<int64_t>(std::llround((n.startSeconds + n.lengthSeconds) * rate));
        events.push_back({on, MidiEvent{0x90, static_cast<uint8_t>(n.note),
                                        static_cast<uint8_t>(n.velocity), 0, 0}});
        events.push_back({off, MidiEvent{0x80, static_cast<uint8_t>(n.note), 0, 0, 0}});
    }
    std::stable_sort(events.begin(), events.end(),
                     [](const TimedEvent& a, const TimedEvent& b) { return a.frame < b.frame; });
    return events;
}

int runDemo(const std::string& path, double rate) {
    TestSignalPlugin plugin;
    plugin.setSampleRate(static_cast<float>(rate));

    const auto total = static_cast<int64_t>(kDemoSeconds * rate);
    std::vector<float> left(total), right(total);
    const std::vector<TimedEvent> events = demoEvents(rate);
    size_t nextEvent = 0;

    for (int64_t start = 0; start < total; start += kHostBlock) {
        const int frames = static_cast<int>(std::min<int64_t>(kHostBlock, total - start));
        while (nextEvent < events.size() && events[nextEvent].frame < start + frames) {
            MidiEvent e = events[nextEvent].event;
            e.offset = static_cast<int32_t>(events[nextEvent].frame - start);
            plugin.receiveMidi(e);
            ++nextEvent;
        }
        float* outputs[2] = {left.data() + start, right.data() + start};
        plugin.processBlock(nullptr, 0, outputs, 2, frames);
    }

    std::vector<float> interleaved(2 * total);
    float peak = 0.0f;
    for (int64_t i = 0; i < total; ++i) {
        interleaved[2 * i] = left[i];
        interleaved[2 * i + 1] = right[i];
        peak = std::max(peak, std::max(std::fabs(left[i]), std::fabs(right[i])));
    }

    SF_INFO info{};
    info.samplerate = static_cast<int>(std::lround(rate));
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) {
        std::fprintf(stderr, "vorn: cannot write %s: %s\n", path.c_str(), sf_strerror(nullptr));
        return 1;
    }
    const sf_count_t written = sf_writef_float(file, interleaved.data(), total);
    sf_close(file);
    if (written != total) {
        std::fprintf(stderr, "vorn: short write to %s\n", path.c_str());
        return 1;
    }

    std::printf(
        "Rendered the test signal through the processing graph: %d notes, %.2f s at %.0f Hz,\n"
        "host blocks of %d frames split into engine chunks of %u, peak %.1f dBFS.\n"
        "Wrote %s (stereo, 32-bit float WAV).\n",
        plugin.notesPlayed(), kDemoSeconds, rate, kHostBlock, plugin.blockSize(),
        20.0 * std::log10(std::max(peak, 1e-9f)), path.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Vorn, a polyphonic subtractive synthesizer"};
    app.require_subcommand(1);

    std::string output = "vorn-demo.wav";
    double rate = 48000.0;
    CLI::App* demo = app.add_subcommand("demo", "Render the built-in demo to a WAV file");
    demo->add_option("-o,--output", output, "WAV file to write")->capture_default_str();
    demo->add_option("-r,--rate", rate, "Sample rate in Hz")
        ->check(CLI::Range(8000.0, 384000.0))
        ->capture_default_str();
    app.set_version_flag("--version", vornVersionString());
    ParamsCommand params(app);

    CLI11_PARSE(app, argc, argv);
    if (*demo) return runDemo(output, rate);
    if (params.selected()) return params.run();
    return 0;
}
