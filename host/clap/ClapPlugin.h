#pragma once

#include <clap/ext/gui.h>
#include <clap/ext/latency.h>
#include <clap/ext/params.h>
#include <clap/ext/state.h>
#include <clap/ext/thread-check.h>
#include <clap/ext/timer-support.h>
#include <clap/host.h>
#include <clap/plugin.h>
#include <clap/process.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

#include "framework/GenericPlugin.h"
#include "framework/LockFreeQueue.h"
#include "framework/Realtime.h"
#include "host/common/HostState.h"
#include "host/common/HostTransport.h"

class VornPlugin;

// One CLAP instance of the synthesizer. Parameter ids are the parameter ids, values plain. Host
// parameter events take effect at their sample (the block is split there); MIDI and CLAP note
// events arrive with their offsets. Changes made inside (preset loads, program changes, MIDI
// learn) go back to the host as parameter events from process or flush.
class ClapPlugin : private GenericPlugin::Adapter {
public:
    static const clap_plugin_descriptor_t kDescriptor;
    static constexpr uint32_t kMaxEventBytes = 3;

    // Null when the instance cannot be made.
    static ClapPlugin* create(const clap_host_t* host);
    ~ClapPlugin() override;
    ClapPlugin(const ClapPlugin&) = delete;
    ClapPlugin& operator=(const ClapPlugin&) = delete;

    const clap_plugin_t* clapPlugin() const { return &plugin_; }
    VornPlugin& synth() { return *synth_; }
    const clap_host_t* host() const { return host_; }
    static ClapPlugin& of(const clap_plugin_t* plugin) { return self(plugin); }

    // The editor lives in a layer above: a module that has one gives its extensions here, before
    // any instance is made.
    struct EditorExtensions {
        const clap_plugin_gui_t* gui = nullptr;
        const clap_plugin_timer_support_t* timer = nullptr;
    };
    static void setEditorExtensions(const EditorExtensions& extensions);
    // The instance's open editor, whatever it is to this layer.
    struct Editor {
        virtual ~Editor() = default;
    };
    std::unique_ptr<Editor>& editor() { return editor_; }

    // Editor thread: an edit gesture, told to the host with the next block or flush; the values
    // edited in between follow as inside changes.
    void gesture(int id, bool begin);
    // Editor thread: asks the host for a flush when it is not processing.
    void requestFlush() const;
    // Main thread: the state changed beyond the parameters (the tuning), so the host saves it.
    void markDirty() const;

private:
    explicit ClapPlugin(const clap_host_t* host);
    static ClapPlugin& self(const clap_plugin_t* plugin);

    // clap_plugin_t
    bool init();
    bool activate(double sampleRate);
    clap_process_status process(const clap_process_t& process) VORN_NONBLOCKING;
    const void* extension(const char* name) const;
    void onMainThread();

    // Extensions.
    bool paramInfo(uint32_t index, clap_param_info_t& info) const;
    bool paramText(clap_id id, double value, char* display, uint32_t size) const;
    bool paramValue(clap_id id, const char* text, double& value) const;
    void flush(const clap_input_events_t* in, const clap_output_events_t* out);
    bool save(const clap_ostream_t& stream);
    bool load(const clap_istream_t& stream);

    // One event of the block whose current part starts at blockStart.
    void handleEvent(const clap_event_header_t& event, uint32_t blockStart);
    void readTransport(const clap_event_transport_t* transport);
    // Tuning, pressure and brightness of the notes on a key; the others are ignored.
    void noteExpression(const clap_event_note_expression_t& expression);
    void render(const clap_process_t& process, uint32_t from, uint32_t to);
    void reportInsideChanges(const clap_output_events_t* out);
    // Notes whose last voice has fallen silent: note-end events, so that hosts can track voices.
    void reportEndedNotes(const clap_output_events_t* out);
    void noteStarted(const clap_event_note_t& note);
    // Where the host can tell, whether a call comes on the thread CLAP assigns to it.
    bool onAudioThread() const;
    bool onMainThreadOrUnknown() const;

    // GenericPlugin::Adapter: any thread.
    void onLatencyChanged() override;
    void onParameterChanged(int id) override { insideChanges_.mark(id); }
    void onPresetChanged() override {}

    struct Gesture {
        int32_t id;
        bool begin;
    };
    static constexpr uint32_t kGestureNodes = 256;

    const clap_host_t* host_;
    const clap_host_params_t* hostParams_ = nullptr;
    const clap_host_latency_t* hostLatency_ = nullptr;
    const clap_host_thread_check_t* threadCheck_ = nullptr;
    const clap_host_state_t* hostState_ = nullptr;
    clap_plugin_t plugin_{};
    std::unique_ptr<VornPlugin> synth_;
    HostTransport transport_;
    HostState::InsideChanges insideChanges_;
    std::atomic<bool> programPending_{false};
    std::atomic<bool> latencyChanged_{false};
    double sampleRate_ = 48000.0;
    // Fixed storage: pushing never allocates, a full queue drops the gesture.
    LockFreeQueue<Gesture> gestures_{kGestureNodes, kGestureNodes};
    std::unique_ptr<Editor> editor_;
    struct SoundingNote {
        bool sounding = false;
        int32_t noteId = -1;
        int16_t port = 0;
        int16_t channel = 0;
    };
    std::array<SoundingNote, 128> notes_{};
};
