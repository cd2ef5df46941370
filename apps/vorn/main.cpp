#include <CLI/CLI.hpp>

#include "apps/vorn/AuditCommand.h"
#include "apps/vorn/BenchCommand.h"
#include "apps/vorn/DemoCommand.h"
#include "apps/vorn/ExitStatus.h"
#include "apps/vorn/ParamsCommand.h"
#include "apps/vorn/PlayCommand.h"
#include "apps/vorn/PresetsCommand.h"
#include "apps/vorn/RenderCommand.h"
#include "engine/VornPresets.h"
#include "framework/posix/TemporaryFiles.h"

int main(int argc, char** argv) {
    CLI::App app{"Vorn, a polyphonic subtractive synthesizer"};
    app.require_subcommand(1);
    app.set_version_flag("--version", vornVersionString());
    RenderCommand render(app);
    DemoCommand demo(app);
    BenchCommand bench(app);
    ParamsCommand params(app);
    PresetsCommand presets(app);
    PlayCommand play(app);
    AuditCommand audit(app);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // Help and version end with status 0; every misuse with the one usage status.
        return app.exit(e) == 0 ? kExitSuccess : kExitUsageError;
    }
    // The commands play the built-in sound; only `vorn presets list` sets up presets as a new
    // plug-in instance does, and `vorn render --preset` loads the one asked for.
    VornPresets::setStartupPresets(false);
    // Ctrl-C, TERM or HUP during a render or a save leave no temporary file behind.
    temporary_files::installSignalCleanup();
    if (render.selected()) return render.run();
    if (demo.selected()) return demo.run();
    if (bench.selected()) return bench.run();
    if (params.selected()) return params.run();
    if (presets.selected()) return presets.run();
    if (play.selected()) return play.run();
    if (audit.selected()) return audit.run();
    return kExitSuccess;
}
