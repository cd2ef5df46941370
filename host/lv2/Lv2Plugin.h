#pragma once

#include <lv2/atom/atom.h>
#include <lv2/atom/forge.h>
#include <lv2/core/lv2.h>
#include <lv2/options/options.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "framework/GenericPlugin.h"
#include "host/common/HostState.h"
#include "host/common/HostTransport.h"
#include "host/lv2/Lv2Ports.h"

class VornPlugin;

// One LV2 instance of the synthesizer. Control ports are the host's automation: a port's value
// reaches the synthesizer only when the host changes it, so preset loads, MIDI learn and program
// changes made inside are not overwritten by stale port values; the editor tells the host of
// those inside changes through its port writes. MIDI and transport arrive on the control atom
// port with their frame offsets.
class Lv2Plugin : private GenericPlugin::Adapter {
public:
    // Null when the host lacks urid:map or the rate is not finite and above 0.
    static std::unique_ptr<Lv2Plugin> create(double sampleRate, const LV2_Feature* const* features);
    ~Lv2Plugin() override;
    Lv2Plugin(const Lv2Plugin&) = delete;
    Lv2Plugin& operator=(const Lv2Plugin&) = delete;

    void connectPort(uint32_t port, void* data);
    void activate();
    void run(uint32_t frames) VORN_NONBLOCKING;

    LV2_State_Status save(LV2_State_Store_Function store, LV2_State_Handle handle);
    LV2_State_Status restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle);

    LV2_Worker_Status work(LV2_Worker_Respond_Function respond, LV2_Worker_Respond_Handle handle,
                           uint32_t size, const void* data);

    // The one option the plug-in follows after instantiation: param:sampleRate.
    uint32_t getOptions(LV2_Options_Option* options);
    uint32_t setOptions(const LV2_Options_Option* options);

    VornPlugin& synth() { return *synth_; }

    // Editor thread: every parameter changed inside since the last call whose value differs
    // from its port, as (port, value) for the host's port writes.
    void takeInsideChanges(const std::function<void(uint32_t, float)>& writePort);

private:
    struct Uris {
        LV2_URID atomChunk, atomDouble, atomFloat, atomString, midiEvent, timePosition, timeBar,
            timeBarBeat, timeBeat, timeBeatsPerBar, timeBeatsPerMinute, timeSpeed, stateRecord,
            statePresetName, stateTuningScale, stateTuningKeymap, paramSampleRate;
        void map(LV2_URID_Map* map);
    };

    Lv2Plugin(double sampleRate, LV2_URID_Map* map, LV2_Worker_Schedule* schedule);

    // GenericPlugin::Adapter: any thread.
    void onLatencyChanged() override {}
    void onParameterChanged(int id) override;
    void onPresetChanged() override {}

    void applyChangedPorts();
    // Any thread: parameters whose port the host moved and no block has seen yet take its value.
    void takePendingPorts();
    void setFromPort(uint32_t id, float value);
    // The tuning keys of a state; absent or refused ones leave equal temperament.
    void restoreTuning(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle);
    // Returns whether a program change arrived (it is loaded by the worker).
    bool readControlEvents();
    // The control sequence where its events may be read in place, else an aligned copy.
    const LV2_Atom_Sequence* alignedControlIn();
    void readPosition(const LV2_Atom_Object* object, int64_t frame);

    std::unique_ptr<VornPlugin> synth_;
    LV2_URID_Map* map_;
    LV2_Worker_Schedule* schedule_;
    Uris uris_{};
    LV2_Atom_Forge forge_{};
    float sampleRate_;

    const LV2_Atom_Sequence* controlIn_ = nullptr;
    std::vector<uint64_t> alignedControl_;
    std::array<float*, 2> outputs_{};
    std::array<const float*, 2> sideChain_{};
    float* latencyPort_ = nullptr;

    // Parameter ports by parameter id, and their values as last seen; a port whose value
    // differs was moved by the host. The editor reads the values too.
    std::array<const float*, Lv2Ports::kParameterCount> parameterPorts_{};
    std::array<std::atomic<float>, Lv2Ports::kParameterCount> seenPorts_{};
    // After a state restore the ports are taken as they are (the host set them with the state).
    bool resyncPorts_ = false;

    // Inside changes the editor has yet to tell the host.
    HostState::InsideChanges insideChanges_;

    HostTransport transport_;
};
