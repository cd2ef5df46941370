#include "apps/vorn/PlayCommand.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "apps/vorn/ExitStatus.h"
#include "apps/vorn/NumberOption.h"
#include "apps/vorn/PlayEditor.h"
#include "apps/vorn/PresetsCommand.h"
#include "apps/vorn/TuningFiles.h"
#include "engine/VornPlugin.h"
#include "engine/VornPresets.h"
#include "engine/VornSettings.h"
#include "host/standalone/JackStandalone.h"
#include "host/standalone/StopSignals.h"

namespace {

constexpr const char* kCommand = "vorn play";
// How often the main thread looks after rate changes and program changes.
constexpr int kPollMilliseconds = 50;
// With the editor open the loop also draws it, some 30 times a second.
constexpr int kEditorPollMilliseconds = 33;
constexpr double kMaxSeconds = 7.0 * 24.0 * 3600.0;

}  // namespace

PlayCommand::PlayCommand(CLI::App& app)
    : command_(app.add_subcommand("play", "Play the synthesizer as a JACK client")) {
    command_->add_option("--preset", preset_,
                         "Preset to load first: a name in the preset folder (see `vorn presets "
                         "list`) or a file");
    command_->add_option("--jack-name", clientName_, "JACK client name")->capture_default_str();
    command_->add_option("--seconds", seconds_, "Stop after this many seconds (default: on Ctrl-C)")
        ->check(numberIn(0.0, kMaxSeconds, false));
    command_->add_flag("--connect", connect_,
                       "Connect the outputs to the physical playback ports and every physical "
                       "MIDI source to the MIDI input");
    command_->add_flag("--no-sidechain", noSideChain_, "Register no side-chain input ports");
    command_->add_flag("--no-editor", noEditor_,
                       "Open no editor window (without DISPLAY none is opened anyway)");
    CLI::Option* tuning = command_->add_option(
        "--tuning", tuning_, "Scala scale (.scl) to tune to, kept for the next runs");
    command_->add_option("--keymap", keymap_, "Scala keyboard map (.kbm) for --tuning")
        ->needs(tuning);
    command_->add_flag("--no-tuning", noTuning_, "Play and keep equal temperament")
        ->excludes(tuning);
}

bool PlayCommand::selected() const {
    return command_->parsed();
}

int PlayCommand::run(std::FILE* out, std::FILE* err) const {
    // First, so that every thread started from here on (JACK's among them) leaves the stop
    // signals to this one.
    StopSignals signals;

    VornPlugin plugin;
    if (!preset_.empty() && !loadNamedPreset(plugin, preset_, kCommand, err)) {
        return kExitUsageError;
    }
    if (!applyTuning(plugin, out, err)) return kExitUsageError;

    JackStandalone host(plugin);
    JackStandalone::Options options;
    options.clientName = clientName_;
    options.sideChain = !noSideChain_;
    options.connectPhysical = connect_;
    std::string error;
    if (!host.open(options, &error) || !host.start(&error)) {
        std::fprintf(err, "%s: %s\n", kCommand, error.c_str());
        return kExitHostFailure;
    }
    std::fprintf(out, "%s: JACK client \"%s\" at %u Hz, %u frames per cycle%s\n", kCommand,
                 host.clientName().c_str(), host.sampleRate(), host.bufferSize(),
                 seconds_ > 0.0 ? "" : "; Ctrl-C stops");
    std::fflush(out);

    std::unique_ptr<PlayEditor> editor;
    const char* display = std::getenv("DISPLAY");
    if (!noEditor_ && display && *display) editor = PlayEditor::open(plugin, err);

    const auto started = std::chrono::steady_clock::now();
    const auto elapsed = [&] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    };
    const std::string why = playUntilStopped(host, plugin, signals, editor.get(), elapsed);
    editor.reset();
    const bool gone = host.serverGone();
    const std::string reason = host.serverGoneReason();
    host.close();

    const unsigned long long xruns = host.xrunCount();
    if (gone) {
        std::fprintf(err, "%s: the JACK server shut down%s%s; %llu xruns\n", kCommand,
                     reason.empty() ? "" : ": ", reason.c_str(), xruns);
        return kExitHostFailure;
    }
    std::fprintf(out, "%s: clean shutdown after %.1f s (%s), %llu xruns\n", kCommand, elapsed(),
                 why.c_str(), xruns);
    return kExitSuccess;
}

bool PlayCommand::applyTuning(VornPlugin& plugin, std::FILE* out, std::FILE* err) const {
    auto& settings = static_cast<VornPlugin::VornSettings&>(plugin.settings());
    if (noTuning_ || !tuning_.empty()) {
        TuningFiles texts;
        if (!tuning_.empty() && !tuneFromFiles(plugin, tuning_, keymap_, kCommand, err, &texts)) {
            return false;
        }
        // Written with the other settings when the plug-in goes.
        settings.tuningScale = texts.scale;
        settings.tuningKeymap = texts.keymap;
    } else if (!settings.tuningScale.empty()) {
        std::string error;
        if (!plugin.setTuning(settings.tuningScale, settings.tuningKeymap, error,
                              "stored tuning scale", "stored tuning keyboard map")) {
            std::fprintf(err, "%s: %s; playing in equal temperament\n", kCommand, error.c_str());
        }
    }
    if (const TuningTable* table = plugin.tuning().current()) {
        std::fprintf(out, "%s: tuned to \"%s\"%s\n", kCommand, table->description().c_str(),
                     tuning_.empty() ? " (stored; --no-tuning clears it)" : "");
    }
    return true;
}

std::string PlayCommand::playUntilStopped(JackStandalone& host, VornPlugin& plugin,
                                          StopSignals& signals, PlayEditor* editor,
                                          const std::function<double()>& elapsed) const {
    while (!host.serverGone()) {
        int wait = editor ? kEditorPollMilliseconds : kPollMilliseconds;
        if (seconds_ > 0.0) {
            const double left = seconds_ - elapsed();
            if (left <= 0.0) break;
            wait = std::min(wait, static_cast<int>(left * 1000.0) + 1);
        }
        // Closing the window ends the program as Ctrl-C does.
        if (editor && !editor->run(wait)) return "editor closed";
        if (const int signal = signals.wait(editor ? 0 : wait)) return strsignal(signal);
        host.service();
        plugin.presets().loadPendingProgram();
    }
    return "time is up";
}
