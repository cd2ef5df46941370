#include "framework/GenericPlugin.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <cmath>
#include <filesystem>

#include "framework/AbstractPluginParameter.h"
#include "framework/BypassProcessor.h"
#include "framework/CompareStates.h"
#include "framework/FloatingPointGuard.h"
#include "framework/MidiVirtualPluginParameter.h"
#include "framework/PluginSettings.h"
#include "framework/SettingSerializer.h"
#include "framework/UndoHistory.h"
#include "wave/Assert.h"

namespace {
constexpr float kEpsilon = 1.1920929e-7f;
constexpr double kTransportWrapBeats = 256.0;
// Far beyond any host's tempo; keeps the free-running clock finite.
constexpr double kMaxTempo = 10000.0;
constexpr auto kListenerPollInterval = std::chrono::milliseconds(50);
// Settings kept outside the two settings objects.
constexpr const char* kGraphicsAccelerationSetting = "GraphicsAcceleration";
constexpr int kNoGraphicsOverride = -1;
constexpr const char* kNoSideChainSetting = "VST2_DefaultToNoSideChain";
constexpr const char* kPresetFolderSetting = "PresetFolder";
constexpr const char* kCurrentVersionSetting = "CurrentVersion";

// Pending bits of the editor notifications that coalesce; 0 for those delivered one by one.
constexpr uint32_t kPendingAllParameters = 1;
constexpr uint32_t kPendingPreset = 2;
constexpr uint32_t kPendingMidi = 4;

uint32_t pendingBit(int code, int value) {
    switch (code) {
        case GenericPlugin::kNotifyParameterChanged:
            return value == -1 ? kPendingAllParameters : 0;
        case GenericPlugin::kNotifyPresetChanged:
            return kPendingPreset;
        case GenericPlugin::kNotifyMidiDispatched:
            return kPendingMidi;
        default:
            return 0;
    }
}

// Whether the first `channels` channels hold only finite samples (absent ones count as finite).
[[maybe_unused]] bool allFinite(const float* const* channels, int count, int frames) {
    for (int c = 0; channels && c < count; ++c) {
        for (int i = 0; channels[c] && i < frames; ++i) {
            if (!std::isfinite(channels[c][i])) return false;
        }
    }
    return true;
}
}  // namespace

int GenericPlugin::instanceCount_ = 0;
std::unique_ptr<GenericPlugin::SharedSettings> GenericPlugin::sharedSettings_;
int GenericPlugin::graphicsAcceleration_ =
    GenericPlugin::SharedSettings::kDefaultGraphicsAcceleration;
std::thread::id GenericPlugin::windowThread_;
std::unique_ptr<GenericPlugin::Storage> GenericPlugin::storage_;
bool GenericPlugin::firstRunOfVersion_ = false;
bool GenericPlugin::firstRunDecided_ = false;
std::string GenericPlugin::presetFolder_;
std::string GenericPlugin::missingPresetFolder_;
int GenericPlugin::optionFlags_ = 0;

uint32_t GenericPlugin::blockSizeFor(int conserveMemory) {
    conserveMemory = std::clamp(conserveMemory, 0, SharedSettings::kMaxConserveMemory);
    return std::max(kMinBlockSize, kMaxBlockSize >> conserveMemory);
}

GenericPlugin::GenericPlugin() : ownerThread_(std::this_thread::get_id()) {
    // Hosts on Linux give no way to ask whether a thread owns windows: the first thread that makes
    // an instance becomes the window thread; other threads get their queue from setEditorListener.
    if (windowThread_ == std::thread::id() || windowThread_ == ownerThread_) createAsyncQueue();
    groupNames_.emplace_back();
}

GenericPlugin::~GenericPlugin() {
    finalize();
}

void GenericPlugin::initialize() {
    ++instanceCount_;
    if (instanceCount_ == 1) {
        createGlobals();
        settings_ = createSettings();
        if (!loadMidiControllerMap()) resetMidiControllerMap();
    } else {
        settings_ = createSettings();
    }
    readSettings();
    settings_->markDirty();
    sharedSettings_->markDirty();

    environment_ =
        std::make_unique<wave::Environment>(blockSizeFor(sharedSettings_->conserveMemory));
    environment_->setListener([this](wave::Environment&) { environmentChanged(); });

    midiDecoder_ = createMidiDecoder();
    bypassProcessor_ = std::make_unique<BypassProcessor>(*this);
    undoHistory_ = std::make_unique<UndoHistory>(*this, kUndoDepth);
    compareStates_ = std::make_unique<CompareStates>(*this);
}

void GenericPlugin::finalize() {
    if (finalized_ || !environment_) return;
    finalized_ = true;
    if (--instanceCount_ == 0) destroyGlobals();
}

void GenericPlugin::createGlobals() {
    storage_ = createStorage();
    sharedSettings_ = createSharedSettings();
    graphicsAcceleration_ = sharedSettings_->graphicsAcceleration;
}

void GenericPlugin::destroyGlobals() {
    writeSettings();
    saveMidiControllerMap();
    sharedSettings_.reset();
    storage_.reset();
    firstRunDecided_ = false;
    firstRunOfVersion_ = false;
}

std::unique_ptr<GenericPlugin::Storage> GenericPlugin::createStorage() {
    return nullptr;
}

// --- Settings ----------------------------------------------------------------------------------

void GenericPlugin::readSettings() {
    if (!storage_) return;
    if (auto reader = storage_->openSettings(Storage::SettingsKey::Product, false))
        serializeSettings(*reader);
    if (auto common = storage_->openSettings(Storage::SettingsKey::Common, false)) {
        const int graphics = common->serializeInt(kGraphicsAccelerationSetting, kNoGraphicsOverride,
                                                  kNoGraphicsOverride);
        if (graphics != kNoGraphicsOverride) graphicsAcceleration_ = graphics;
    }
}

void GenericPlugin::writeSettings() {
    if (!storage_ || !settings_) return;
    auto writer = storage_->openSettings(Storage::SettingsKey::Product, true);
    if (!writer) return;
    serializeSettings(*writer);
    sharedSettings_->clearDirty();
    settings_->clearDirty();
}

void GenericPlugin::serializeSettings(SettingSerializer& serializer) {
    const bool reading = !serializer.isWriting();
    sharedSettings_->serialize(serializer);
    settings_->serialize(serializer);
    graphicsAcceleration_ = sharedSettings_->graphicsAcceleration;
    if (reading && serializer.serializeBool(kNoSideChainSetting, false, false))
        optionFlags_ |= kOptionNoSideChainByDefault;

    // A preset folder that is not there (an unmounted drive) is replaced by the default for this
    // run only: the setting keeps it until another folder is chosen.
    const std::string defaultFolder = storage_ ? storage_->defaultPresetFolder() : std::string();
    const bool keep = !missingPresetFolder_.empty() && presetFolder_ == defaultFolder;
    std::string folder = serializer.serializeString(
        kPresetFolderSetting, keep ? missingPresetFolder_ : presetFolder_, defaultFolder);
    if (folder != presetFolder_ && !std::filesystem::is_directory(folder)) {
        if (reading) missingPresetFolder_ = folder;
        folder = defaultFolder;
    }
    presetFolder_ = folder;

    const std::string running = storage_ ? storage_->versionString() : std::string();
    const std::string stored = serializer.serializeString(kCurrentVersionSetting, running, "");
    if (reading && !firstRunDecided_) {
        firstRunDecided_ = true;
        firstRunOfVersion_ = stored != running;
    }
    if (reading && firstRunOfVersion_) sharedSettings_->showWelcomeHint = true;
}

// --- Controller map ----------------------------------------------------------------------------

void GenericPlugin::resetMidiControllerMap() {
    if (storage_) storage_->resetControllerMap();
}

bool GenericPlugin::loadMidiControllerMap() {
    return storage_ && storage_->loadControllerMap();
}

bool GenericPlugin::saveMidiControllerMap() {
    return storage_ && storage_->saveControllerMap();
}

std::unique_ptr<GenericPlugin::Settings> GenericPlugin::createSettings() {
    return std::make_unique<Settings>();
}

std::unique_ptr<GenericPlugin::SharedSettings> GenericPlugin::createSharedSettings() {
    return std::make_unique<SharedSettings>();
}

void GenericPlugin::createAsyncQueue() {
    asyncQueue_ = createAsyncEventQueue();
    asyncQueue_->setPrimaryHandler(this);
    if (windowThread_ == std::thread::id()) windowThread_ = std::this_thread::get_id();
}

// --- Parameter owner ---------------------------------------------------------------------------

void GenericPlugin::beginUpdate() {
    updateNesting_.fetch_add(1, std::memory_order_acq_rel);
}

void GenericPlugin::endUpdate() {
    if (updateNesting_.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
    if (!updatePending_.exchange(false, std::memory_order_acq_rel)) return;
    if (adapter_) adapter_->onParameterChanged(-1);
    notifyEditor(kNotifyParameterChanged, -1);
}

AbstractPluginParameter* GenericPlugin::getParameter(int id) {
    if (id < 0 || id >= static_cast<int>(parameters_.size())) return nullptr;
    return parameters_[id];
}

int GenericPlugin::getParameterCount() {
    return static_cast<int>(parameters_.size());
}

uint32_t GenericPlugin::registerParameter(AbstractPluginParameter* parameter) {
    parameters_.push_back(parameter);
    return static_cast<uint32_t>(parameters_.size() - 1);
}

int GenericPlugin::registerGroup(const std::string& name) {
    auto it = std::find(groupNames_.begin(), groupNames_.end(), name);
    if (it != groupNames_.end()) return static_cast<int>(it - groupNames_.begin());
    groupNames_.push_back(name);
    return static_cast<int>(groupNames_.size() - 1);
}

void GenericPlugin::parameterChanged(uint32_t id, float value, int flags) {
    willChangeParameter(static_cast<int>(id));
    if (!parameterQueue_.push(ParameterChange{id, value}))
        parameterQueueOverflow_.store(true, std::memory_order_release);
    currentPreset_.markModified();
    if (updateNesting_.load(std::memory_order_acquire) != 0) {
        updatePending_.store(true, std::memory_order_release);
        // A batch that closed between the two loads has not seen the flag: report it here.
        if (updateNesting_.load(std::memory_order_acquire) != 0) return;
    }
    if (!(flags & kFlagFromHost) && adapter_) adapter_->onParameterChanged(static_cast<int>(id));
    notifyEditor(kNotifyParameterChanged, static_cast<int>(id));
}

void GenericPlugin::queueResetMarker() {
    parameterQueue_.push(ParameterChange{kResetMarker, 0.0f});
}

bool GenericPlugin::renameCurrentPreset(const std::string& name) {
    size_t length = std::min(name.size(), kMaxPresetName);
    // A UTF-8 character cut at the limit goes whole.
    if (length < name.size())
        while (length > 0 && (static_cast<unsigned char>(name[length]) & 0xC0) == 0x80) --length;
    currentPreset_.name = name.substr(0, length);
    notifyPresetChanged();
    return true;
}

void GenericPlugin::notifyPresetChanged() {
    if (adapter_) adapter_->onPresetChanged();
    notifyEditor(kNotifyPresetChanged, 0);
}

void GenericPlugin::setParameterFromMidi(int id, float normalized) {
    if (MidiVirtualPluginParameter* v = virtualParameter(static_cast<uint32_t>(id))) {
        v->applyNormalized(normalized);
    } else if (AbstractPluginParameter* p = getParameter(id)) {
        p->setValue(p->normalizedToPlain(normalized), 0);
    } else {
        return;
    }
    changedByMidi_.set(true);
}

MidiVirtualPluginParameter* GenericPlugin::virtualParameter(uint32_t id) const {
    if (id < MidiVirtualPluginParameter::kFirstId) return nullptr;
    const uint32_t index = id - MidiVirtualPluginParameter::kFirstId;
    return index < virtualParameters_.size() ? virtualParameters_[index] : nullptr;
}

std::string GenericPlugin::learnableParameterName(int32_t id) {
    if (const MidiVirtualPluginParameter* v = virtualParameter(static_cast<uint32_t>(id)))
        return v->name();
    const AbstractPluginParameter* p = getParameter(id);
    return p ? p->name() : std::string();
}

// --- Audio thread ------------------------------------------------------------------------------

void GenericPlugin::applyParameterChanges() {
    ParameterChange change;
    while (parameterQueue_.pop(change)) {
        if (change.id == kResetMarker) {
            environment_->markReset();
            continue;
        }
        AbstractPluginParameter* p = getParameter(static_cast<int>(change.id));
        if (!p) continue;
        p->applyValue(change.value);
        audioParameterChanged(static_cast<int>(change.id));
    }
    // Without the dropped changes the engine would keep stale values, unseen once the
    // parameters are set back to them; the stored values are at least as new as any change.
    if (parameterQueueOverflow_.exchange(false, std::memory_order_acq_rel)) {
        for (int id = 0; id < getParameterCount(); ++id) {
            AbstractPluginParameter* p = getParameter(id);
            VORN_ASSERT(p);
            p->applyValue(p->getValue());
            audioParameterChanged(id);
        }
    }
}

void GenericPlugin::audioParameterChanged(int id) {
    if (midiBlockParameter_ && static_cast<int>(midiBlockParameter_->id()) == id) {
        midiBlocked_ = static_cast<int32_t>(midiBlockParameter_->getValue());
        if (midiBlocked_ == 1) releaseNotes(0, 1.0f);
    }
    if (bypassParameter_ && static_cast<int>(bypassParameter_->id()) == id)
        setBypass(1, bypassParameter_->getValue() != 0.0f);
}

void GenericPlugin::receiveMidi(const MidiEvent& event) {
    if (midiBlocked_ != 0) return;
    const uint8_t type = event.status & midi::kTypeMask;
    const bool noteOff = type == midi::kNoteOff || (type == midi::kNoteOn && event.data2 == 0);
    const uint32_t room =
        noteOff || type == midi::kNoteOn ? kMaxQueuedEvents : kMaxQueuedEvents - kNoteReserve;
    if (queuedEvents_.load(std::memory_order_relaxed) < room && eventQueue_.push(event)) {
        queuedEvents_.fetch_add(1, std::memory_order_relaxed);
    } else if (noteOff) {
        const size_t bit =
            static_cast<size_t>(event.status & midi::kChannelMask) * (midi::kMaxDataValue + 1) +
            (event.data1 & midi::kDataMask);
        pendingNoteOffs_[bit / 64].fetch_or(uint64_t{1} << (bit % 64), std::memory_order_relaxed);
    } else {
        droppedEvents_.fetch_add(1, std::memory_order_relaxed);
    }
}

bool GenericPlugin::popEvent(MidiEvent& event) {
    if (!eventQueue_.pop(event)) return false;
    queuedEvents_.fetch_sub(1, std::memory_order_relaxed);
    return true;
}

void GenericPlugin::dispatchPendingNoteOffs() {
    for (size_t word = 0; word < kNoteOffWords; ++word) {
        // A plain load first: an exchange is a locked instruction, and words are nearly always 0.
        if (pendingNoteOffs_[word].load(std::memory_order_relaxed) == 0) continue;
        uint64_t bits = pendingNoteOffs_[word].exchange(0, std::memory_order_relaxed);
        while (bits != 0) {
            const size_t bit = word * 64 + static_cast<size_t>(std::countr_zero(bits));
            bits &= bits - 1;
            MidiEvent off;
            off.status = static_cast<uint8_t>(midi::kNoteOff | (bit / (midi::kMaxDataValue + 1)));
            off.data1 = static_cast<uint8_t>(bit % (midi::kMaxDataValue + 1));
            dispatchMidi(off);
        }
    }
}

void GenericPlugin::dispatchMidi(const MidiEvent& event) {
    if (midiDecoder_) midiDecoder_->receiveMidi(event);
}

void GenericPlugin::processBlock(const float* const* inputs, int inputCount, float* const* outputs,
                                 int outputChannels, int frames) VORN_NONBLOCKING {
    // A host may run zero frames with no buffers connected.
    VORN_ASSERT(frames >= 0 && (frames == 0 || outputChannels <= 0 || outputs));
    const FloatingPointGuard audioMode;
    lastBlockFrames_ = frames;
    if (updateNesting_.load(std::memory_order_acquire) == 0) applyParameterChanges();

    const int channels = std::min(outputChannels, 2);
    const int chunk = static_cast<int>(blockSize());
    prepareInputs(inputs, inputCount, frames);

    uint32_t silenceFlags = 0;
    bool dispatched = false;
    int pos = 0;
    while (pos < frames) {
        MidiEvent event;
        const bool popped = popEvent(event);
        const int end = popped ? std::clamp(event.offset, 0, frames) : frames;
        while (pos < end) {
            const int n = std::min(chunk, end - pos);
            bypassProcessor_->process(inputs, inputCount, outputs, channels, pos, n, silenceFlags);
            pos += n;
        }
        if (popped) {
            dispatchMidi(event);
            dispatched = true;
            // Changes caused by the event (controllers, MIDI learn) apply from the next chunk on.
            if (updateNesting_.load(std::memory_order_acquire) == 0) applyParameterChanges();
        }
    }
    if (dispatched) notifyEditor(kNotifyMidiDispatched, 0);
    dispatchQueuedMidi();
    dispatchPendingNoteOffs();
    // The engine never makes a sample that is not finite; a bypassed effect only passes on the
    // host's own.
    VORN_ASSERT(allFinite(outputs, channels, frames) ||
                (hasAudioInput() && !allFinite(inputs, inputCount, frames)));
}

void GenericPlugin::dispatchQueuedMidi() {
    MidiEvent event;
    bool dispatched = false;
    while (popEvent(event)) {
        dispatchMidi(event);
        dispatched = true;
    }
    if (dispatched) notifyEditor(kNotifyMidiDispatched, 0);
}

void GenericPlugin::render(const float** channelData, int channels, int /*frames*/) {
    for (int c = 0; c < channels; ++c) channelData[c] = environment_->silentBuffer().data();
}

void GenericPlugin::setBypass(int source, bool on) {
    bool& flag = source == 0 ? hostBypass_ : parameterBypass_;
    if (flag == on) return;
    flag = on;
    const bool bypassed = hostBypass_ || parameterBypass_;
    if (bypassed != bypassProcessor_->isBypassed())
        bypassProcessor_->changeState(bypassed, latencySamples_);
}

void GenericPlugin::updateTransport(double tempo, float hostBeat) {
    // A tempo that is not finite reads as unknown (0); a beat that is not finite as standing.
    tempo = std::isfinite(tempo) ? std::clamp(tempo, -kMaxTempo, kMaxTempo) : 0.0;
    if (!std::isfinite(hostBeat)) hostBeat = lastHostBeat_;
    if (std::fabs(hostBeat - lastHostBeat_) > kEpsilon) {
        beatPosition_ = hostBeat;
    } else {
        // A standing host position: keep a free-running clock at the host tempo.
        beatPosition_ += lastBlockFrames_ * tempo / (environment_->sampleRate() * 60.0);
        const double wraps = beatPosition_ / kTransportWrapBeats;
        beatPosition_ = kTransportWrapBeats * (wraps - std::trunc(wraps));
    }
    lastHostBeat_ = hostBeat;
    setTransport(tempo, beatPosition_);
}

void GenericPlugin::setSampleRate(float rate) {
    if (std::fabs(rate - environment_->sampleRate()) > kEpsilon) environment_->setSampleRate(rate);
}

void GenericPlugin::reset() {
    environment_->reset();
    bypassProcessor_->requestReset();
    bypassProcessor_->syncDelayLines(latencySamples_);
    beatPosition_ = 0.0;
    lastBlockFrames_ = 0;
    if (updateNesting_.load(std::memory_order_acquire) == 0) {
        applyParameterChanges();
        // Values that were waiting take effect at once, as everything else after a reset.
        environment_->markReset();
    }
}

void GenericPlugin::setLatencySamples(int samples) {
    if (samples == latencySamples_) return;
    latencySamples_ = samples;
    if (adapter_) adapter_->onLatencyChanged();
}

// --- Editor ------------------------------------------------------------------------------------

void GenericPlugin::notifyEditor(int code, int value) {
    editorListenerBusy_.fetch_add(1, std::memory_order_seq_cst);
    // Without a listener the queue may be being replaced; an editor that opens reads everything.
    if (editorListener_.load(std::memory_order_seq_cst) && asyncQueue_) {
        const uint32_t bit = pendingBit(code, value);
        if (bit == 0) {
            // Too many single changes wait: the editor rereads every parameter instead.
            if (!asyncQueue_->post(code, value))
                pendingNotifications_.fetch_or(kPendingAllParameters, std::memory_order_acq_rel);
        } else if ((pendingNotifications_.fetch_or(bit, std::memory_order_acq_rel) & bit) == 0) {
            // Only the first of a kind is posted; if the queue is full, pump's sweep finds the bit.
            asyncQueue_->post(code, value);
        }
    }
    editorListenerBusy_.fetch_sub(1, std::memory_order_seq_cst);
}

int GenericPlugin::pump() {
    editorListenerBusy_.fetch_add(1, std::memory_order_seq_cst);
    deliveredToEditor_ = 0;
    if (editorListener_.load(std::memory_order_seq_cst) && asyncQueue_ &&
        std::this_thread::get_id() == ownerThread_) {
        asyncQueue_->pump();
        for (const int code :
             {kNotifyParameterChanged, kNotifyPresetChanged, kNotifyMidiDispatched})
            deliverToEditor(code, code == kNotifyParameterChanged ? -1 : 0);
    }
    editorListenerBusy_.fetch_sub(1, std::memory_order_seq_cst);
    return deliveredToEditor_;
}

void GenericPlugin::handleEvent(AsyncEventQueue& queue) {
    deliverToEditor(queue.currentCode(), static_cast<int>(queue.currentValue()));
}

void GenericPlugin::deliverToEditor(int code, int value) {
    const uint32_t bit = pendingBit(code, value);
    // A coalescing kind goes out only while its bit is set, so once per burst.
    if (bit != 0 && (pendingNotifications_.fetch_and(~bit, std::memory_order_acq_rel) & bit) == 0)
        return;
    editorListenerBusy_.fetch_add(1, std::memory_order_seq_cst);
    if (Listener* listener = editorListener_.load(std::memory_order_seq_cst)) {
        listener->notify(code, value);
        ++deliveredToEditor_;
    }
    editorListenerBusy_.fetch_sub(1, std::memory_order_seq_cst);
}

void GenericPlugin::waitForEditorCalls() {
    while (editorListenerBusy_.load(std::memory_order_seq_cst) != 0)
        std::this_thread::sleep_for(kListenerPollInterval);
}

void GenericPlugin::setEditorListener(Listener* listener) {
    // With no listener set nothing posts to or pumps the queue once the calls in flight are done,
    // so the queue can be replaced and the pending bits cleared safely.
    editorListener_.store(nullptr, std::memory_order_seq_cst);
    waitForEditorCalls();
    pendingNotifications_.store(0, std::memory_order_relaxed);
    if (listener && (std::this_thread::get_id() != ownerThread_ || !asyncQueue_)) {
        ownerThread_ = std::this_thread::get_id();
        createAsyncQueue();
    }
    editorListener_.store(listener, std::memory_order_seq_cst);
}
