#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace CLI {
class App;
}

// "vorn demo [-o FILE]": plays the built-in demo song with one synthesizer per part (pad, bass,
// lead), each with its own patch, and writes the mix as a stereo WAV file.
class DemoCommand {
public:
    static constexpr int kDefaultRate = 48000;

    // One instrument of the song: the channel it listens to, its level in the mix and its patch
    // as "NAME=TEXT" assignments applied in order.
    struct Part {
        std::string name;
        int channel;
        float gain;
        std::vector<std::string> patch;
    };
    static const std::vector<Part>& parts();

    explicit DemoCommand(CLI::App& app);

    bool selected() const;
    int run(std::FILE* out = stdout, std::FILE* err = stderr) const;

private:
    CLI::App* command_;
    std::string output_ = "vorn-demo.wav";
    int rate_ = kDefaultRate;
};
