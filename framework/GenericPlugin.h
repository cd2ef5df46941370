#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "framework/AsyncEventQueue.h"
#include "framework/CurrentPreset.h"
#include "framework/GenericParameterOwner.h"
#include "framework/LockFreeQueue.h"
#include "framework/MidiConstants.h"
#include "framework/MidiEvent.h"
#include "framework/MidiMessageReceiver.h"
#include "framework/Property.h"
#include "framework/Realtime.h"
#include "wave/Environment.h"

class AbstractPluginParameter;
class MidiVirtualPluginParameter;
class SettingSerializer;

// A parameter change on its way to the audio thread: id and new plain value. The id
// kResetMarker asks every ramped source to jump to its target (sent after a state load).
struct ParameterChange {
    uint32_t id = 0;
    float value = 0.0f;
};
static_assert(sizeof(ParameterChange) == 8);

// The product-independent core of a plug-in instance: parameters, the two lock-free queues from
// other threads to the audio thread, chunked and sample-exact processing, bypass, transport.
//
// Editor notifications (Listener::notify) may arise on any thread, the audio thread included;
// there they only set a pending bit or post to the asynchronous queue, with no lock, allocation
// or system call. The listener hears them only from pump(), on the editor's thread.
class GenericPlugin : public GenericParameterOwner,
                      public MidiMessageReceiver,
                      private AsyncEventQueue::Handler {
public:
    // Editor notification codes (Listener::notify).
    static constexpr int kNotifyParameterChanged = -1025;  // value: parameter id, -1 for all
    static constexpr int kNotifyPresetChanged = -1026;
    static constexpr int kNotifyMidiDispatched = -1027;

    static constexpr uint32_t kResetMarker = 0xFFFFFFFFu;
    static constexpr uint32_t kEventQueueNodes = 1024;
    static constexpr uint32_t kParameterQueueNodes = 8192;
    static constexpr int kUndoDepth = 100;
    static constexpr uint32_t kMaxBlockSize = 256;
    static constexpr uint32_t kMinBlockSize = 32;
    static constexpr int kFlagFromHost = 1;  // parameterChanged flag: the adapter made the change

    class Listener {
    public:
        virtual ~Listener() = default;
        virtual void notify(int code, int value) = 0;
    };

    class Adapter {
    public:
        virtual ~Adapter() = default;
        virtual void onLatencyChanged() = 0;
        virtual void onParameterChanged(int id) = 0;  // -1: all parameters
        virtual void onPresetChanged() = 0;
    };

    class SettingsBase;
    class Settings;
    class SharedSettings;
    class BypassProcessor;
    class Storage;
    class StateList;
    class UndoHistory;
    class CompareStates;

    GenericPlugin();
    ~GenericPlugin() override;
    GenericPlugin(const GenericPlugin&) = delete;
    GenericPlugin& operator=(const GenericPlugin&) = delete;

    // GenericParameterOwner
    void beginUpdate() override;
    void endUpdate() override;
    AbstractPluginParameter* getParameter(int id) override;
    int getGroup() override { return 0; }
    int getParameterCount() override;
    void parameterChanged(uint32_t id, float value, int flags) override;
    uint32_t registerParameter(AbstractPluginParameter* parameter) override;
    int registerGroup(const std::string& name) override;

    virtual int pluginCategory() { return hasAudioInput() ? 0 : 1; }
    virtual std::string defaultPresetName() {
        return hasAudioInput() ? "Default Setting" : "Default Sound";
    }
    virtual int tailSamples() { return tailLength(); }
    virtual std::string pluginId() = 0;
    virtual int editorDefaultWidth() = 0;
    virtual int editorDefaultHeight() = 0;
    virtual int tailLength() { return -1; }
    virtual int hasAudioInput() { return 0; }
    virtual int editorWidth() { return editorDefaultWidth(); }
    virtual int editorHeight() { return editorDefaultHeight(); }
    virtual bool hasPageTable() { return false; }
    // The controller map: built-in, from the user's file, to the user's file (Storage).
    virtual void resetMidiControllerMap();
    virtual bool loadMidiControllerMap();
    virtual void releaseNotes(int /*note*/, float /*velocity*/) {}
    virtual void triggerNote(int /*note*/, float /*velocity*/) {}
    // Audio thread: controller 64 went down or up.
    virtual void sustainPedal(bool /*down*/) {}
    virtual void willChangeParameter(int /*id*/) {}
    virtual void reset();
    virtual bool saveMidiControllerMap();
    virtual bool savePreset(const std::string& /*path*/) { return false; }
    // Names the current preset (the first kMaxPresetName bytes, whole characters only) without
    // touching any file, as a restored session does; the host and the editor hear of it.
    virtual bool renameCurrentPreset(const std::string& name);
    virtual void setTransport(double /*tempo*/, double /*beat*/) {}
    virtual void prepareInputs(const float* const* /*inputs*/, int /*count*/, int /*frames*/) {}
    // The MIDI decoder with its event receiver (midi/), which turns the queued messages into
    // calls on this plug-in; the product makes it. Without one, dispatched messages are dropped.
    virtual std::unique_ptr<MidiMessageReceiver> createMidiDecoder() { return nullptr; }
    virtual std::unique_ptr<Settings> createSettings();
    virtual void createGlobals();
    virtual std::unique_ptr<SharedSettings> createSharedSettings();
    virtual bool loadPresetFile(const std::string& /*path*/) { return false; }
    virtual uint32_t blockSize() { return environment_->blockSize(); }
    virtual std::string presetFileExtension() { return ".qvp"; }
    virtual bool acceptsSideChain() { return false; }
    virtual void audioParameterChanged(int id);
    virtual void applyParameterChanges();
    // Points channelData[0..channels) at the rendered samples of the current chunk.
    virtual void render(const float** channelData, int channels, int frames);
    virtual void destroyGlobals();
    virtual void environmentChanged() {}

    // MidiMessageReceiver: queues the event for the audio thread. Note-offs are never lost.
    void receiveMidi(const MidiEvent& event) override;
    // Audio thread, between blocks: decodes the queued MIDI now, so that a host's per-note
    // event that follows finds its note.
    void dispatchQueuedMidi();
    // Messages dropped because too many arrived before the audio thread took them.
    uint32_t droppedMidiEvents() const { return droppedEvents_.load(std::memory_order_relaxed); }

    // Audio thread: one host block. Events queued with receiveMidi take effect at their offsets.
    void processBlock(const float* const* inputs, int inputCount, float* const* outputs,
                      int outputChannels, int frames) VORN_NONBLOCKING;
    void setBypass(int source, bool on);
    void updateTransport(double tempo, float hostBeat);
    void setSampleRate(float rate);

    // Editor thread (one at a time; never from inside notify). Sets the listener, null for none,
    // and returns once no thread is inside notify of the old one. The calling thread becomes the
    // one pump() delivers on; notifications made while no listener is set are not kept.
    void setEditorListener(Listener* listener);
    // Editor thread, from its idle timer: hands the waiting notifications to the listener in the
    // order they were made. (-1025, -1), -1026 and -1027 are delivered once however often they
    // happened since the last pump; (-1025, id) once per change, and when too many changes wait,
    // the overflow becomes one (-1025, -1). Returns how many were delivered; 0 on other threads.
    int pump();

    // Any thread.
    void setAdapter(Adapter* adapter) { adapter_ = adapter; }
    // Audio thread (MIDI dispatch). Ids from MidiVirtualPluginParameter::kFirstId address the
    // virtual parameters; unknown ids are ignored.
    void setParameterFromMidi(int id, float normalized);
    void queueResetMarker();

    // MIDI learn's virtual parameters, in the order they were made (id kFirstId + index).
    const std::vector<MidiVirtualPluginParameter*>& virtualParameters() const {
        return virtualParameters_;
    }
    // Null when the id is not a virtual parameter's.
    MidiVirtualPluginParameter* virtualParameter(uint32_t id) const;
    // The name MIDI learn shows for a host or virtual parameter id; empty for any other id.
    std::string learnableParameterName(int32_t id);

    // Settings persistence through the product's storage. readSettings runs for every new
    // instance, writeSettings when the last one goes and whenever the editor changes a shared
    // setting or the preset folder; both go through serializeSettings.
    void readSettings();
    void writeSettings();
    void serializeSettings(SettingSerializer& serializer);
    // Another preset or state became current: tells the host adapter and the editor.
    void notifyPresetChanged();
    // A state restore drops whatever program change is still waiting.
    virtual void resetProgramChange() {}

    wave::Environment& environment() { return *environment_; }
    Settings& settings() { return *settings_; }
    CurrentPreset& currentPreset() { return currentPreset_; }
    static constexpr size_t kMaxPresetName = 63;
    AsyncEventQueue* asyncQueue() { return asyncQueue_.get(); }
    int latencySamples() const { return latencySamples_; }
    int outputChannels() const { return outputChannels_; }
    bool isLoading() const { return loading_; }
    double beatPosition() const { return beatPosition_; }
    Property<bool>& changedByMidi() { return changedByMidi_; }
    UndoHistory& undoHistory() { return *undoHistory_; }
    CompareStates& compareStates() { return *compareStates_; }
    const std::vector<std::string>& groupNames() const { return groupNames_; }

    static int instanceCount() { return instanceCount_; }
    // Process-wide; exists while at least one instance lives.
    static SharedSettings* sharedSettings() { return sharedSettings_.get(); }
    static int graphicsAcceleration() { return graphicsAcceleration_; }
    // Decided by the first settings read of the process-wide objects' lifetime.
    static bool isFirstRunOfVersion() { return firstRunOfVersion_; }
    // The "PresetFolder" setting: always a folder that exists, or the default preset folder.
    static const std::string& presetFolder() { return presetFolder_; }
    static void setPresetFolder(const std::string& folder) {
        presetFolder_ = folder;
        missingPresetFolder_.clear();
    }
    // Process-wide option bits read from the settings.
    static constexpr int kOptionNoSideChainByDefault = 1;
    static int optionFlags() { return optionFlags_; }
    // Block size for a "ConserveMemory" value: 256 >> value, at least 32.
    static uint32_t blockSizeFor(int conserveMemory);

protected:
    // The product's constructor calls this first: it creates the process-wide objects, the
    // settings, the environment (whose block size they decide) and the MIDI path.
    void initialize();
    // Releases this instance's share of the process-wide objects; the last one destroys them.
    // Products that override destroyGlobals call it from their own destructor.
    void finalize();
    // Where settings and the controller map are kept; null keeps nothing.
    virtual std::unique_ptr<Storage> createStorage();
    // Process-wide, made by createStorage; null while no instance lives.
    static Storage* storage() { return storage_.get(); }
    void setLatencySamples(int samples);
    void setLoading(bool on) { loading_ = on; }
    // Any thread: queues a notification for the editor (see pump).
    void notifyEditor(int code, int value);

    // Virtual parameters enter it as they are made; their ids follow from the positions.
    std::vector<MidiVirtualPluginParameter*> virtualParameters_;

    AbstractPluginParameter* midiBlockParameter_ = nullptr;
    AbstractPluginParameter* bypassParameter_ = nullptr;
    bool sideChainEnabled_ = true;

private:
    friend class BypassProcessor;
    void dispatchMidi(const MidiEvent& event);
    bool popEvent(MidiEvent& event);
    void createAsyncQueue();
    // The queue's primary handler: passes an event to the listener, on the editor's thread.
    void handleEvent(AsyncEventQueue& queue) override;
    void deliverToEditor(int code, int value);
    void waitForEditorCalls();
    bool finalized_ = false;

    // Declared first so that it outlives everything built on it.
    std::unique_ptr<wave::Environment> environment_;
    Adapter* adapter_ = nullptr;
    std::unique_ptr<AsyncEventQueue> asyncQueue_;
    std::unique_ptr<BypassProcessor> bypassProcessor_;
    std::unique_ptr<CompareStates> compareStates_;
    std::unique_ptr<UndoHistory> undoHistory_;
    bool hostBypass_ = false;
    bool parameterBypass_ = false;
    int lastBlockFrames_ = 0;
    int latencySamples_ = 0;
    std::atomic<Listener*> editorListener_{nullptr};
    // Threads inside notifyEditor or pump: while it is non-zero the queue and the listener may be
    // in use, so setEditorListener waits for 0 before it changes them.
    std::atomic<int32_t> editorListenerBusy_{0};
    // Notifications that coalesce: a bit per kind, set until pump delivers it.
    std::atomic<uint32_t> pendingNotifications_{0};
    int deliveredToEditor_ = 0;  // editor thread only
    bool loading_ = false;
    std::unique_ptr<MidiMessageReceiver> midiDecoder_;
    int32_t midiBlocked_ = 0;
    LockFreeQueue<MidiEvent> eventQueue_{kEventQueueNodes};
    // Past the queue's size, controllers and other messages are dropped (and counted) while notes
    // use the last kNoteReserve nodes; a note-off that still finds no room waits as one bit per
    // channel and key until the end of the block.
    static constexpr uint32_t kMaxQueuedEvents = 65000;
    static constexpr uint32_t kNoteReserve = 4096;
    static constexpr size_t kNoteOffWords = midi::kChannels * (midi::kMaxDataValue + 1) / 64;
    void dispatchPendingNoteOffs();
    std::atomic<uint32_t> queuedEvents_{0};
    std::array<std::atomic<uint64_t>, kNoteOffWords> pendingNoteOffs_{};
    std::atomic<uint32_t> droppedEvents_{0};
    int32_t outputChannels_ = 2;
    std::vector<std::string> groupNames_;
    LockFreeQueue<ParameterChange> parameterQueue_{kParameterQueueNodes};
    // A change the full queue dropped: the audio thread then applies every current value.
    std::atomic<bool> parameterQueueOverflow_{false};
    std::vector<AbstractPluginParameter*> parameters_;
    std::atomic<int32_t> updateNesting_{0};
    std::atomic<bool> updatePending_{false};
    CurrentPreset currentPreset_;
    std::unique_ptr<Settings> settings_;
    double beatPosition_ = 0.0;
    float lastHostBeat_ = 0.0f;
    std::thread::id ownerThread_;
    Property<bool> changedByMidi_;

    static int instanceCount_;
    static std::unique_ptr<SharedSettings> sharedSettings_;
    static int graphicsAcceleration_;
    static std::thread::id windowThread_;
    static std::unique_ptr<Storage> storage_;
    static bool firstRunOfVersion_;
    static bool firstRunDecided_;
    static std::string presetFolder_;
    static std::string missingPresetFolder_;  // the stored folder, while it is not there
    static int optionFlags_;
};
