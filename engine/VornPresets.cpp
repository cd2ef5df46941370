#include "engine/VornPresets.h"

#include <array>
#include <filesystem>
#include <memory>
#include <system_error>

#include "engine/VornPlugin.h"
#include "framework/PluginSettings.h"
#include "midi/DefaultChannelEventReceiver.h"
#include "midi/DefaultEventReceiver.h"
#include "persistence/FactoryArchive.h"
#include "persistence/ParameterRecord.h"
#include "persistence/VersionRecord.h"

namespace {

using Parameters = std::vector<AbstractPluginParameter*>;

struct Managers {
    std::unique_ptr<PresetManager> main;
    std::array<std::unique_ptr<PresetManager>, ComponentPresets::kTypeCount> components;
    // The first instance checks once whether the factory presets are to be installed.
    bool factoryChecked = false;
};

std::unique_ptr<Managers> managers;
bool startupPresetsOn = true;

void append(Parameters& out, PluginParameterSet& set) {
    out.insert(out.end(), set.parameters().begin(), set.parameters().end());
}

// Sections of a type: the oscillators, filters and delay come as one section each, with the
// parameters that join their parts; the modulation sources have one section per list entry.
Parameters sectionParameters(VornPlugin::Parameters& p, int type, int instance) {
    Parameters out;
    switch (type) {
        case ComponentPresets::kOscillator:
            for (int k = 0; k < p.oscillators.getCount(); ++k) append(out, p.oscillators[k]);
            break;
        case ComponentPresets::kFilters:
            for (int k = 0; k < p.filters.getCount(); ++k) append(out, p.filters[k]);
            out.push_back(&p.filterRouting);
            break;
        case ComponentPresets::kDelays:
            for (int k = 0; k < p.delays.getCount(); ++k) append(out, p.delays[k]);
            out.push_back(&p.delayFilterRouting);
            for (int k = 0; k < p.delayFilters.getCount(); ++k) append(out, p.delayFilters[k]);
            break;
        case ComponentPresets::kXLFO:
            append(out, p.xlfos[instance]);
            break;
        case ComponentPresets::kEG:
            append(out, p.envelopes[instance]);
            break;
        case ComponentPresets::kEF:
            append(out, p.followers[instance]);
            break;
        case ComponentPresets::kMidi:
            append(out, p.midiSources[instance]);
            break;
        default:
            break;
    }
    return out;
}

std::string fileStem(const std::string& path) {
    return PresetEntry::fromPath(path).name;
}

std::string presetFolderSetting() {
    const std::string& folder = GenericPlugin::presetFolder();
    return folder.empty() ? VersionRecord().defaultPresetFolder() : folder;
}

std::string withSeparator(std::string folder) {
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder;
}

}  // namespace

VornPresets::VornPresets(VornPlugin& plugin) : plugin_(plugin) {
    attachManagers();
    if (auto* receiver = dynamic_cast<DefaultEventReceiver*>(plugin_.eventReceiver())) {
        if (auto* channel = dynamic_cast<DefaultChannelEventReceiver*>(receiver->receiver())) {
            channel->setProgramChangeHandler(
                [this](int bank, int program) { programChange(bank, program); });
        }
    }
    if (startupPresetsOn) loadDefaultPreset();
}

VornPresets::~VornPresets() = default;

void VornPresets::attachManagers() {
    if (!managers) {
        managers = std::make_unique<Managers>();
        const std::string userData = VersionRecord().userDataFolder();
        for (int t = 0; t < ComponentPresets::kTypeCount; ++t) {
            const std::string folder = ComponentPresets::folderOf(t, userData);
            std::error_code error;
            std::filesystem::create_directories(folder, error);
            managers->components[static_cast<size_t>(t)] = std::make_unique<PresetManager>(
                folder, ComponentPresets::kTypes[static_cast<size_t>(t)].extension);
        }
    }
    const std::string folder = withSeparator(presetFolderSetting());
    // Like the component folders, the preset folder exists once an instance runs, so that "Save
    // As Default" has somewhere to go before any factory install.
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (!managers->main) {
        managers->main = std::make_unique<PresetManager>(folder, kPresetExtension);
    } else if (managers->main->path() != folder) {
        managers->main->setFolder(folder);
    }
    if (managers->factoryChecked || !startupPresetsOn) return;
    managers->factoryChecked = true;
    if (managers->main->isEmpty() || GenericPlugin::isFirstRunOfVersion()) {
        ::restoreFactoryPresets(false, folder, VersionRecord().userDataFolder());
        managers->main->rescan();
        for (auto& manager : managers->components) manager->rescan();
    }
}

PresetManager* VornPresets::presetManager(int index) {
    if (!managers) return nullptr;
    if (index == -1) return managers->main.get();
    if (index < 0 || index >= ComponentPresets::kTypeCount) return nullptr;
    return managers->components[static_cast<size_t>(index)].get();
}

void VornPresets::destroyGlobals() {
    managers.reset();
}

void VornPresets::setStartupPresets(bool on) {
    startupPresetsOn = on;
}

bool VornPresets::startupPresets() {
    return startupPresetsOn;
}

void VornPresets::showMessage(const char* text) const {
    if (messages_) messages_(text);
}

// --- Whole presets -----------------------------------------------------------------------------

bool VornPresets::loadPreset(const PresetEntry& entry) {
    plugin_.beginUpdate();
    plugin_.setLoading(true);
    const bool loaded = plugin_.loadPresetFile(entry.path);
    plugin_.setLoading(false);
    resetProgramChange();
    plugin_.endUpdate();
    if (!loaded) {
        showMessage(PresetTexts::kOpenFailed);
        return false;
    }
    CurrentPreset& current = plugin_.currentPreset();
    current.name = entry.name;
    current.path = entry.path;
    current.clearModified();
    plugin_.notifyPresetChanged();
    return true;
}

bool VornPresets::savePreset(const std::string& path) {
    const bool saved = ParameterRecord::writeCollection(ParameterCollection::of(plugin_), path,
                                                        VornPlugin::kStateVersion);
    if (PresetManager* main = presetManager(-1)) main->rescan();
    if (!saved) return false;
    CurrentPreset& current = plugin_.currentPreset();
    current.name = fileStem(path);
    current.path = path;
    current.clearModified();
    plugin_.notifyPresetChanged();
    return true;
}

bool VornPresets::loadDefaultPreset() {
    const PresetManager* main = presetManager(-1);
    if (!main) return false;
    const auto entry = main->findByName(plugin_.defaultPresetName());
    return entry && loadPreset(*entry);
}

// --- Menu commands -----------------------------------------------------------------------------

std::vector<PresetMenuItem> VornPresets::menu() const {
    const PresetManager* main = presetManager(-1);
    if (!main) return {};
    PresetMenuOptions options;
    options.currentPath = plugin_.currentPreset().path;
    if (const auto* shared = GenericPlugin::sharedSettings()) {
        options.programChanges = shared->enableMidiProgramChanges;
        options.saveItem = shared->savePresetItemEnabled;
    }
    return presetMenu(*main, options);
}

bool VornPresets::saveCurrent() {
    const std::string path = plugin_.currentPreset().path;
    return !path.empty() && savePreset(path);
}

bool VornPresets::saveAsDefault() {
    const PresetManager* main = presetManager(-1);
    if (!main) return false;
    return savePreset(main->path() + plugin_.defaultPresetName() + kPresetExtension);
}

bool VornPresets::openOther(const std::string& path) {
    return loadPreset(PresetEntry::fromPath(path));
}

void VornPresets::changePresetFolder(const std::string& path) {
    PresetManager* main = presetManager(-1);
    if (!main) return;
    main->setFolder(path);
    GenericPlugin::setPresetFolder(main->path());
    plugin_.writeSettings();
}

bool VornPresets::restoreFactoryPresets() {
    PresetManager* main = presetManager(-1);
    if (!main) return false;
    const bool restored =
        ::restoreFactoryPresets(true, main->path(), VersionRecord().userDataFolder());
    main->rescan();
    for (auto& manager : managers->components) manager->rescan();
    if (!restored) showMessage(PresetTexts::kRestoreFailed);
    return restored;
}

bool VornPresets::stepPreset(int direction) {
    const PresetManager* main = presetManager(-1);
    if (!main) return false;
    const auto entry = main->stepFrom(plugin_.currentPreset().path, direction);
    return entry && loadPreset(*entry);
}

// --- Program changes ---------------------------------------------------------------------------

void VornPresets::programChange(int bank, int program) {
    const auto* shared = GenericPlugin::sharedSettings();
    if (!shared || !shared->enableMidiProgramChanges) return;
    if (bank < 0 || program < 0 || program >= PresetManager::kProgramsPerBank) return;
    pendingProgram_.store(bank * PresetManager::kProgramsPerBank + program,
                          std::memory_order_release);
}

bool VornPresets::loadPendingProgram() {
    const int flat = pendingProgram_.exchange(kNoProgram, std::memory_order_acq_rel);
    const PresetManager* main = presetManager(-1);
    if (flat == kNoProgram || !main) return false;
    const auto entry = main->presetAt(flat / PresetManager::kProgramsPerBank,
                                      flat % PresetManager::kProgramsPerBank);
    return entry && loadPreset(*entry);
}

// --- Component presets -------------------------------------------------------------------------

int VornPresets::componentInstanceCount(int type) const {
    VornPlugin::Parameters& p = plugin_.parameters();
    switch (type) {
        case ComponentPresets::kOscillator:
        case ComponentPresets::kFilters:
        case ComponentPresets::kDelays:
            return 1;
        case ComponentPresets::kXLFO:
            return p.xlfos.getCount();
        case ComponentPresets::kEG:
            return p.envelopes.getCount();
        case ComponentPresets::kEF:
            return p.followers.getCount();
        case ComponentPresets::kMidi:
            return p.midiSources.getCount();
        default:
            return 0;
    }
}

ParameterCollection VornPresets::componentCollection(int type, int instance) const {
    ParameterCollection collection;
    collection.owner = &plugin_;
    collection.identifier = plugin_.pluginId();
    if (instance >= 0 && instance < componentInstanceCount(type)) {
        collection.parameters = sectionParameters(plugin_.parameters(), type, instance);
    }
    return collection;
}

int VornPresets::componentInstanceOf(int type, int parameterId) const {
    for (int k = 0; k < componentInstanceCount(type); ++k) {
        for (const AbstractPluginParameter* p : componentCollection(type, k).parameters) {
            if (static_cast<int>(p->id()) == parameterId) return k;
        }
    }
    return -1;
}

bool VornPresets::loadComponentPreset(const PresetEntry& entry, int version, int type,
                                      int instance) {
    const ParameterCollection collection = componentCollection(type, instance);
    if (collection.parameters.empty()) return false;
    return ParameterRecord::loadCollection(collection, entry.path, version);
}

bool VornPresets::saveComponentPreset(int type, int instance, const std::string& path) {
    const ParameterCollection collection = componentCollection(type, instance);
    if (collection.parameters.empty()) return false;
    return ParameterRecord::writeCollection(collection, path, componentPresetVersion(type));
}

PresetManager* VornPresets::componentPresetManager(int type) {
    if (type < 0) return nullptr;
    return presetManager(type);
}

bool writeComponentPreset(VornPlugin& plugin, int type, int instance, const std::string& path) {
    return plugin.presets().saveComponentPreset(type, instance, path);
}
