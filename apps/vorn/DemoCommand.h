#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace CLI {
class App;
}

// "vorn demo [-o FILE]": plays the built-in demo song with one synthesizer per part, each playing
// a factory preset taken from the compiled-in archive (never the user's copy), and writes the mix
// as a stereo WAV file with the loudness of each section of the song.
class DemoCommand {
public:
    static constexpr int kDefaultRate = 48000;

    // One instrument of the song: the channel it listens to, the factory preset it plays (its
    // path below the factory preset folder, without extension) and its level in the mix.
    struct Part {
        std::string name;
        std::string preset;
        int channel;
        float gain;
    };
    static const std::vector<Part>& parts();

    // A stretch of the song from its first bar to the next section's (the last one to the end).
    struct Section {
        std::string name;
        int firstBar;
    };
    static const std::vector<Section>& sections();

    explicit DemoCommand(CLI::App& app);

    bool selected() const;
    int run(std::FILE* out = stdout, std::FILE* err = stderr) const;

private:
    CLI::App* command_;
    std::string output_ = "vorn-demo.wav";
    int rate_ = kDefaultRate;
};
