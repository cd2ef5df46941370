#pragma once

#include <cstdio>
#include <functional>
#include <string>

namespace CLI {
class App;
}
class JackStandalone;
class PlayEditor;
class StopSignals;
class VornPlugin;

// "vorn play [--preset NAME|FILE] [--jack-name NAME] [--seconds S] [--connect] [--no-editor]
// [--tuning SCL [--keymap KBM] | --no-tuning]":
// the synthesizer as a JACK client until Ctrl-C, S seconds or the editor window's closing, with a
// clean shutdown and the xrun count. The editor opens when there is a display.
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
    // Plays until a stop signal, the end of the time or the editor's closing; returns why.
    std::string playUntilStopped(JackStandalone& host, VornPlugin& plugin, StopSignals& signals,
                                 PlayEditor* editor, const std::function<double()>& elapsed) const;

    // --tuning replaces the stored tuning, --no-tuning clears it, neither plays the stored one.
    bool applyTuning(VornPlugin& plugin, std::FILE* out, std::FILE* err) const;

    CLI::App* command_;
    std::string preset_;
    std::string clientName_ = kDefaultClientName;
    double seconds_ = 0.0;  // 0: until a stop signal
    bool connect_ = false;
    bool noSideChain_ = false;
    bool noEditor_ = false;
    std::string tuning_;
    std::string keymap_;
    bool noTuning_ = false;
};
