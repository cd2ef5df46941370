#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace CLI {
class App;
}

// "vorn render IN.mid -o OUT.wav [options]": plays a Standard MIDI File through the synthesizer
// with sample-exact event positions and writes the result as a stereo WAV file.
class RenderCommand {
public:
    static constexpr int kDefaultRate = 48000;

    explicit RenderCommand(CLI::App& app);

    bool selected() const;
    // Prints the summary line to out, errors and the progress bar to err; returns the exit status.
    int run(std::FILE* out = stdout, std::FILE* err = stderr) const;

private:
    CLI::App* command_;
    std::string input_;
    std::string output_;
    int rate_ = kDefaultRate;
    int blockFrames_;
    std::vector<std::string> assignments_;
    std::string preset_;
    double tailSeconds_ = -1.0;  // negative: until silent
    std::string sideChain_;
    std::string format_ = "float";
    std::string tuning_;
    std::string keymap_;
};
