#include "apps/vorn/PresetsCommand.h"

#include <dirent.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "apps/vorn/ExitStatus.h"
#include "engine/VornPlugin.h"
#include "engine/VornPresets.h"
#include "framework/AbstractPluginParameter.h"
#include "persistence/BinaryDataReader.h"
#include "persistence/ComponentPresetTypes.h"
#include "persistence/FactoryArchive.h"
#include "persistence/VersionRecord.h"

namespace {

constexpr const char* kCommand = "vorn presets";

// A path names a file; anything else is a preset's name.
bool looksLikePath(const std::string& text) {
    return text.find('/') != std::string::npos ||
           std::filesystem::path(text).extension() == VornPresets::kPresetExtension ||
           std::filesystem::is_regular_file(text);
}

// The component type whose extension the file has; -1 for whole presets and anything else.
int componentTypeOf(const std::string& path) {
    const std::string extension = std::filesystem::path(path).extension().string();
    for (int t = 0; t < ComponentPresets::kTypeCount; ++t) {
        if (extension == ComponentPresets::kTypes[t].extension) return t;
    }
    return -1;
}

}  // namespace

bool loadNamedPreset(VornPlugin& plugin, const std::string& nameOrFile, const std::string& command,
                     std::FILE* err) {
    plugin.presets().setMessageSink([&](const std::string& text) {
        std::fprintf(err, "%s: %s: %s\n", command.c_str(), nameOrFile.c_str(), text.c_str());
    });
    bool loaded = false;
    PresetManager& manager = *VornPresets::presetManager(-1);
    // On a new machine the name is a factory preset's: install them as a new instance would.
    if (!looksLikePath(nameOrFile) && manager.isEmpty()) plugin.presets().restoreFactoryPresets();
    if (looksLikePath(nameOrFile)) {
        loaded = plugin.presets().openOther(nameOrFile);
    } else if (const auto entry = VornPresets::presetManager(-1)->findByName(nameOrFile)) {
        loaded = plugin.presets().loadPreset(*entry);
    } else {
        std::fprintf(err, "%s: no preset is named \"%s\" in %s\n", command.c_str(),
                     nameOrFile.c_str(), VornPresets::presetManager(-1)->path().c_str());
    }
    plugin.presets().setMessageSink({});
    return loaded;
}

PresetsCommand::PresetsCommand(CLI::App& app)
    : command_(app.add_subcommand("presets", "List, inspect and restore presets")) {
    command_->require_subcommand(1);
    list_ = command_->add_subcommand(
        "list", "List the presets of the preset folder with their program numbers");
    info_ = command_->add_subcommand("info", "Show what a preset or component preset file sets");
    info_->add_option("file", file_, "Preset (.qvp) or component preset file")->required();
    restore_ =
        command_->add_subcommand("restore", "Put the factory presets into the preset folder");
    restore_->add_flag("--overwrite", overwrite_,
                       "Rewrite factory presets the user has changed as well");
}

bool PresetsCommand::selected() const {
    return command_->parsed();
}

int PresetsCommand::run(std::FILE* out, std::FILE* err) const {
    if (list_->parsed()) return list(out, err);
    if (info_->parsed()) return info(out, err);
    return restore(out, err);
}

int PresetsCommand::list(std::FILE* out, std::FILE* err) const {
    // As a new instance: an empty preset folder is filled from the factory presets first.
    VornPresets::setStartupPresets(true);
    VornPlugin plugin;
    const PresetManager& manager = *VornPresets::presetManager(-1);
    // An empty list must not hide a folder that cannot be listed.
    if (DIR* folder = opendir(manager.path().c_str())) {
        closedir(folder);
    } else {
        std::fprintf(err, "%s: the preset folder %s cannot be listed: %s\n", kCommand,
                     manager.path().c_str(), std::strerror(errno));
        return kExitUsageError;
    }
    std::fprintf(out, "# %s\n", manager.path().c_str());
    for (const PresetEntry& entry : manager.allPresets()) {
        const std::string relative =
            std::filesystem::path(entry.path).lexically_relative(manager.path()).string();
        std::fprintf(out, "%s\t%s\n", entry.displayName.c_str(), relative.c_str());
    }
    return kExitSuccess;
}

int PresetsCommand::info(std::FILE* out, std::FILE* err) const {
    // Differences are shown against the built-in defaults (no "Default Sound" at start).
    VornPlugin plugin;
    BinaryFileReader reader(file_);
    const std::string identifier = reader.readHeader();
    int32_t count = 0;
    if (identifier.empty() || !reader.readInt32(count)) {
        std::fprintf(err, "%s: %s: cannot be read\n", kCommand, file_.c_str());
        return kExitUsageError;
    }
    const int type = componentTypeOf(file_);
    std::vector<AbstractPluginParameter*> parameters;
    bool loaded = false;
    if (type >= 0) {
        VornPresets& presets = plugin.presets();
        loaded = presets.loadComponentPreset(PresetEntry::fromPath(file_),
                                             presets.componentPresetVersion(type), type, 0);
        parameters = presets.componentCollection(type, 0).parameters;
    } else {
        loaded = plugin.loadPresetFile(file_);
        for (int id = 0; id < plugin.getParameterCount(); ++id) {
            parameters.push_back(plugin.getParameter(id));
        }
    }
    std::string shown = identifier;
    for (char& c : shown) c = c == '\0' ? ' ' : c;
    std::fprintf(
        out, "# %s: \"%s\" version %d, %d values%s\n", file_.c_str(), shown.c_str(),
        reader.version(), count,
        type >= 0
            ? (std::string(", ") + ComponentPresets::kTypes[type].folder + " component").c_str()
            : "");
    if (!loaded) {
        std::fprintf(err, "%s: %s: %s\n", kCommand, file_.c_str(), PresetTexts::kOpenFailed);
        return kExitUsageError;
    }
    // The lines of a text preset that sets the same values.
    for (const AbstractPluginParameter* p : parameters) {
        if (p->getValue() == p->getDefault()) continue;
        std::fprintf(out, "%s=%s\n", p->name().c_str(), p->formatValue(p->getValue()).c_str());
    }
    return kExitSuccess;
}

int PresetsCommand::restore(std::FILE* out, std::FILE* err) const {
    // The instance installs nothing itself (main.cpp): this command decides about overwriting.
    VornPlugin plugin;
    PresetManager& manager = *VornPresets::presetManager(-1);
    const bool restored =
        ::restoreFactoryPresets(overwrite_, manager.path(), VersionRecord().userDataFolder());
    manager.rescan();
    if (!restored) {
        std::fprintf(err, "%s: %s\n", kCommand, PresetTexts::kRestoreFailed);
        return kExitUsageError;
    }
    std::fprintf(out, "%s: %d presets\n", manager.path().c_str(),
                 static_cast<int>(manager.allPresets().size()));
    return kExitSuccess;
}
