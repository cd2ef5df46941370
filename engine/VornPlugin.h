#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dsp/TuningTable.h"
#include "engine/DelayParameterSet.h"
#include "engine/EnvelopeParameterSet.h"
#include "engine/FilterParameterSet.h"
#include "engine/FollowerParameterSet.h"
#include "engine/MidiSourceParameterSet.h"
#include "engine/ModulationSlotParameterSet.h"
#include "engine/OscillatorParameterSet.h"
#include "engine/XLFOParameterSet.h"
#include "engine/XYControllerParameterSet.h"
#include "framework/EditorMidiQueue.h"
#include "framework/MidiVirtualPluginParameter.h"
#include "framework/ParameterSetArray.h"
#include "framework/PropPluginParameter.h"
#include "framework/Property.h"
#include "framework/SynthNumbering.h"
#include "framework/TargetParameterSetList.h"
#include "framework/ToggleFloatPluginParameter.h"
#include "midi/MpeZones.h"
#include "modulation/ModulationMatrixPlugin.h"
#include "modulation/ModulationTargetParameter.h"

class AbstractMusicEventReceiver;
class MidiControllerMap;
class VornPresets;

// The synthesizer: its 883 host parameters (ids 0..882 in construction order), the four virtual
// MIDI parameters, and the processing graph of voices, modulation sources, delay and master
// section they drive.
class VornPlugin : public ModulationMatrixPlugin, private PropertyOwner {
public:
    static constexpr int kHostParameterCount = 883;
    static constexpr int kEditorWidth = 554;
    static constexpr int kEditorHeight = 1066;
    // Editor size without the modulation section / in the short layout.
    static constexpr int kNarrowEditorWidth = 449;
    static constexpr int kShortEditorHeight = 780;
    static constexpr int kVoiceCount = 32;
    static constexpr int kStateVersion = synth::kStateVersion;

    struct Parameters;
    struct Engine;
    struct Globals;
    class OscillatorVoice;
    class VornVoice;
    class VornSettings;
    class NoteExpressions;

    VornPlugin();
    ~VornPlugin() override;

    void releaseNotes(int note, float velocity) override;
    void triggerNote(int note, float velocity) override;
    void sustainPedal(bool down) override;
    void setTransport(double tempo, double beat) override;
    void prepareInputs(const float* const* inputs, int count, int frames) override;
    void render(const float** channelData, int channels, int frames) override;
    void audioParameterChanged(int id) override;
    void setTargetBaseValue(int target, float value, float rampMs) override;

    Engine& engine() { return *engine_; }
    // Audio thread, after a block: whether a voice still sounds the MIDI note.
    bool noteSounding(int note) const;
    // Scala microtuning of the note pitches; not part of presets. Any thread but the audio
    // thread may set it; null returns to equal temperament.
    TuningSlot& tuning() { return tuning_; }
    // Reads .scl and optional .kbm text; on error keeps the tuning in force and returns false.
    bool setTuning(std::string_view scale, std::string_view keymap, std::string& error,
                   std::string_view scaleName = "scale file",
                   std::string_view keymapName = "keyboard map");
    // MPE zones in force; a controller's configuration message changes them too.
    MpeZones& mpeZones() { return mpeZones_; }
    // Per-note expressions (MPE member channels, a host's note expressions). Audio thread.
    NoteExpressions& noteExpressions() { return *expressions_; }
    // "MpeMembers": the lower zone's member channels at start; 0 ends both zones.
    void setMpeMembers(int members);
    // The data every instance shares; valid while an instance lives.
    static Globals& globals();

    std::string pluginId() override { return "QV2i"; }
    int editorDefaultWidth() override { return kEditorWidth; }
    int editorDefaultHeight() override { return kEditorHeight; }
    // "ShowModulation" and "InterfaceLayout" of this instance's settings.
    int editorWidth() override;
    int editorHeight() override;
    bool acceptsSideChain() override { return true; }

    // Presets: engine/VornPresets.h.
    bool loadPresetFile(const std::string& path) override;
    bool savePreset(const std::string& path) override;
    void resetProgramChange() override;
    VornPresets& presets() { return *presets_; }

    Parameters& parameters() { return *parameters_; }

    // Host MIDI thread: queues the event for the audio thread (unless MIDI is blocked) and, in
    // every case, copies it for the editor.
    void receiveMidi(const MidiEvent& event) override;
    // Editor thread: the oldest MIDI event copied for the editor; false when none waits. At most
    // EditorMidiQueue::kCapacity wait; later ones are dropped and counted.
    bool popEditorMidi(MidiEvent& event) { return editorMidi_.pop(event); }
    uint32_t droppedEditorMidi() const { return editorMidi_.dropped(); }
    // Editor thread (MIDI learn): the host or virtual parameter id that the next controller
    // message is assigned to and then drives; -1 for none.
    void setLearnParameter(int32_t id);

    // The receiver of the decoded MIDI, owned by the core's decoder.
    AbstractMusicEventReceiver* eventReceiver() { return eventReceiver_; }
    // The learned assignments, kept by the storage; valid while an instance lives.
    static MidiControllerMap& controllerMap();

protected:
    void createGlobals() override;
    void destroyGlobals() override;
    std::unique_ptr<Settings> createSettings() override;
    // Final: controllerMap() relies on the storage being a PluginStorage.
    std::unique_ptr<Storage> createStorage() final;
    std::unique_ptr<MidiMessageReceiver> createMidiDecoder() override;

private:
    friend class VornPresets;  // loads presets with the core's loading flag set

    void propertyChanged(const void* property) override;
    // "Total Voices" / "Unison Voices": how many notes sound at once and with how many
    // oscillator voices each.
    void layoutUnison();
    void publishDisplayValues(uint32_t frames);
    // Bounds and slot scale of the targets outside the synthesizer's groups.
    void assignTargetRanges();
    // Sources of inactive list entries feed no slot; id -1: all lists.
    void updateSourceActivity(int id);
    void setupParameters();
    void applyAllParameters();
    // List removals delete and renumber the slots through the slot parameters.
    void connectModulationLists();

    AbstractMusicEventReceiver* eventReceiver_ = nullptr;
    EditorMidiQueue editorMidi_;
    std::unique_ptr<Parameters> parameters_;
    TuningSlot tuning_;
    MpeZones mpeZones_;
    std::unique_ptr<NoteExpressions> expressions_;
    std::unique_ptr<Engine> engine_;
    Property<int> totalVoices_{this, 0};
    Property<int> unisonVoices_{this, 0};
    std::unique_ptr<VornPresets> presets_;
};

// Every parameter of the synthesizer, as members in construction order: the order fixes the ids.
struct VornPlugin::Parameters {
    explicit Parameters(VornPlugin& plugin);

    ModulationTargetParameter masterTune;
    OscillatorParameterSet::MasterScaleParameter masterScale;
    ParameterSetArray<OscillatorParameterSet> oscillators;
    PropPluginParameter<bool> ringModulation;
    ModulationTargetParameter portamento;
    PropPluginParameter<int> portamentoMode;
    ParameterSetArray<FilterParameterSet> filters;
    PropPluginParameter<int> filterRouting;
    ParameterSetArray<DelayParameterSet> delays;
    PropPluginParameter<int> delayLink;
    PropPluginParameter<int> delayFilterRouting;
    ParameterSetArray<FilterParameterSet> delayFilters;
    ToggleFloatPluginParameter delayEnabled;
    ModulationTargetParameter delayLevel;
    ModulationTargetParameter delayPan;
    ToggleFloatPluginParameter wetEnabled;
    ModulationTargetParameter dryLevel;
    ModulationTargetParameter dryPan;
    SourceParameterSetList<XYControllerParameterSet> xyControllers;
    SourceParameterSetList<XLFOParameterSet> xlfos;
    SourceParameterSetList<EnvelopeParameterSet> envelopes;
    SourceParameterSetList<FollowerParameterSet> followers;
    SourceParameterSetList<MidiSourceParameterSet> midiSources;
    PropPluginParameter<int> auditionSignal;
    ModulationTargetParameter outputVolume;
    ModulationTargetParameter outputPan;
    ModulationTargetParameter stereo;
    PropPluginParameter<int> totalVoices;
    PropPluginParameter<int> unisonVoices;
    PropPluginParameter<int> polyphony;
    ModulationTargetParameter unisonSpread;
    TargetParameterSetList<ModulationSlotParameterSet> slots;

    // MIDI learn only; not host parameters.
    MidiMultiVirtualPluginParameter filterLinkFreq;
    MidiMultiVirtualPluginParameter filterLinkPeak;
    MidiMultiVirtualPluginParameter delayFilterLinkFreq;
    MidiMultiVirtualPluginParameter delayFilterLinkPeak;
};
