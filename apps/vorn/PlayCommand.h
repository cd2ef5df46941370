#pragma once

#include <cstdio>
#include <string>

namespace CLI {
class App;
}

// "vorn play [--preset NAME|FILE] [--jack-name NAME] [--seconds S] [--connect]": the synthesizer
// as a JACK client until Ctrl-C (or for S seconds), with a clean shutdown and the xrun count.
class PlayCommand {
public:
    // The JACK server is missing, refused the client or went away while playing.
    static constexpr int kExitHostFailure = 1;
    static constexpr const char* kDefaultClientName = "vorn";

    explicit PlayCommand(CLI::App& app);

    bool selected() const;
    // Prints the start and shutdown lines to out, errors to err; returns the exit status.
    int run(std::FILE* out = stdout, std::FILE* err = stderr) const;

private:
    CLI::App* command_;
    std::string preset_;
    std::string clientName_ = kDefaultClientName;
    double seconds_ = 0.0;  // 0: until a stop signal
    bool connect_ = false;
    bool noSideChain_ = false;
};
