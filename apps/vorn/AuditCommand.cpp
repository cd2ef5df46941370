#include "apps/vorn/AuditCommand.h"

#include <CLI/CLI.hpp>
#include <filesystem>

#include "apps/vorn/ContactSheet.h"
#include "apps/vorn/ExitStatus.h"
#include "apps/vorn/LibraryAudit.h"
#include "engine/VornPlugin.h"
#include "engine/VornPresets.h"
#include "persistence/PresetManager.h"

namespace {

constexpr const char* kCommand = "vorn audit";

}  // namespace

AuditCommand::AuditCommand(CLI::App& app)
    : command_(app.add_subcommand("audit", "Play every preset and measure how it sounds")) {
    command_->add_option("--preset", preset_, "Only the presets whose name contains this");
    command_->add_flag("--check", check_, "End with status 1 when a preset misses a window");
    command_->add_option("--sheet", sheet_, "Also draw every preset's spectrogram into this PNG");
}

bool AuditCommand::selected() const {
    return command_->parsed();
}

int AuditCommand::run(std::FILE* out, std::FILE* err) const {
    // As a new instance: an empty preset folder is filled from the factory presets first.
    VornPresets::setStartupPresets(true);
    VornPlugin instance;  // keeps the preset manager
    VornPresets::setStartupPresets(false);
    const PresetManager& manager = *VornPresets::presetManager(-1);
    const LibraryAudit audit;
    std::vector<LibraryAudit::Row> rows;
    for (const PresetEntry& entry : manager.allPresets()) {
        if (entry.name.find(preset_) == std::string::npos) continue;
        const std::filesystem::path relative =
            std::filesystem::path(entry.path).lexically_relative(manager.path());
        const std::string folder =
            relative.has_parent_path() ? relative.parent_path().string() : std::string();
        rows.push_back(audit.measure(entry, folder));
    }
    if (rows.empty()) {
        std::fprintf(err, "%s: no preset in %s matches \"%s\"\n", kCommand, manager.path().c_str(),
                     preset_.c_str());
        return kExitUsageError;
    }
    LibraryAudit::compare(rows);
    LibraryAudit::print(rows, out);
    if (!sheet_.empty() && !writeContactSheet(rows, sheet_, LibraryAudit().rate())) {
        std::fprintf(err, "%s: cannot write %s\n", kCommand, sheet_.c_str());
        return kExitUsageError;
    }
    if (!check_) return kExitSuccess;
    int missing = 0;
    for (const auto& row : rows) missing += row.faults().empty() ? 0 : 1;
    std::fprintf(out, "%d of %zu presets miss a window\n", missing, rows.size());
    return missing == 0 ? kExitSuccess : kExitFailure;
}
