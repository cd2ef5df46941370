#include "host/lv2/Lv2Plugin.h"

#include <lv2/atom/util.h>
#include <lv2/midi/midi.h>
#include <lv2/parameters/parameters.h>
#include <lv2/time/time.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/VornPlugin.h"
#include "engine/VornPresets.h"
#include "framework/AbstractPluginParameter.h"
#include "host/common/HostState.h"
#include "host/lv2/Lv2PortTable.h"

namespace {

// The plug-in core counts its instances in a plain counter: creation and destruction take turns.
std::mutex& instanceLock() {
    static std::mutex lock;
    return lock;
}

constexpr uint8_t kStatusMask = 0xF0;
constexpr uint8_t kProgramChange = 0xC0;
constexpr uint8_t kFirstStatus = 0x80;
constexpr uint32_t kMaxMidiBytes = 3;
// The one job the worker has: load the program the last block asked for.
constexpr uint32_t kLoadProgramJob = 1;
// Control events read from a copy when the host's buffer is not 64-bit aligned; longer sequences
// are cut at this size.
constexpr size_t kAlignedControlBytes = 1 << 16;

std::optional<double> numberOf(const LV2_Atom* atom, const LV2_Atom_Forge& forge) {
    if (!atom) return std::nullopt;
    if (atom->type == forge.Double) return reinterpret_cast<const LV2_Atom_Double*>(atom)->body;
    if (atom->type == forge.Float) return reinterpret_cast<const LV2_Atom_Float*>(atom)->body;
    if (atom->type == forge.Long)
        return static_cast<double>(reinterpret_cast<const LV2_Atom_Long*>(atom)->body);
    if (atom->type == forge.Int)
        return static_cast<double>(reinterpret_cast<const LV2_Atom_Int*>(atom)->body);
    if (atom->type == forge.Bool)
        return static_cast<double>(reinterpret_cast<const LV2_Atom_Bool*>(atom)->body);
    return std::nullopt;
}

// The engine runs in float: the rate must be finite and above 0 as a float too.
bool playableRate(double rate) {
    const float single = static_cast<float>(rate);
    return std::isfinite(single) && single > 0.0f;
}

const void* featureData(const LV2_Feature* const* features, const char* uri) {
    for (const LV2_Feature* const* f = features; f && *f; ++f) {
        if (std::strcmp((*f)->URI, uri) == 0) return (*f)->data;
    }
    return nullptr;
}

}  // namespace

void Lv2Plugin::Uris::map(LV2_URID_Map* m) {
    const auto id = [m](const char* uri) { return m->map(m->handle, uri); };
    atomChunk = id(LV2_ATOM__Chunk);
    atomDouble = id(LV2_ATOM__Double);
    atomFloat = id(LV2_ATOM__Float);
    atomString = id(LV2_ATOM__String);
    midiEvent = id(LV2_MIDI__MidiEvent);
    timePosition = id(LV2_TIME__Position);
    timeBar = id(LV2_TIME__bar);
    timeBarBeat = id(LV2_TIME__barBeat);
    timeBeat = id(LV2_TIME__beat);
    timeBeatsPerBar = id(LV2_TIME__beatsPerBar);
    timeBeatsPerMinute = id(LV2_TIME__beatsPerMinute);
    timeSpeed = id(LV2_TIME__speed);
    stateRecord = id(Lv2Ports::kStateRecordUri);
    statePresetName = id(Lv2Ports::kStatePresetNameUri);
    stateTuningScale = id(Lv2Ports::kStateTuningScaleUri);
    stateTuningKeymap = id(Lv2Ports::kStateTuningKeymapUri);
    paramSampleRate = id(LV2_PARAMETERS__sampleRate);
}

std::unique_ptr<Lv2Plugin> Lv2Plugin::create(double sampleRate,
                                             const LV2_Feature* const* features) {
    if (!playableRate(sampleRate)) return nullptr;
    auto* map = static_cast<LV2_URID_Map*>(const_cast<void*>(featureData(features, LV2_URID__map)));
    if (!map) return nullptr;
    auto* schedule = static_cast<LV2_Worker_Schedule*>(
        const_cast<void*>(featureData(features, LV2_WORKER__schedule)));
    std::lock_guard<std::mutex> guard(instanceLock());
    return std::unique_ptr<Lv2Plugin>(new Lv2Plugin(sampleRate, map, schedule));
}

Lv2Plugin::Lv2Plugin(double sampleRate, LV2_URID_Map* map, LV2_Worker_Schedule* schedule)
    : synth_(std::make_unique<VornPlugin>()),
      map_(map),
      schedule_(schedule),
      sampleRate_(static_cast<float>(sampleRate)) {
    uris_.map(map_);
    lv2_atom_forge_init(&forge_, map_);
    alignedControl_.resize(kAlignedControlBytes / sizeof(uint64_t));
    synth_->setSampleRate(sampleRate_);
    transport_.setSampleRate(sampleRate);

    // The host starts the ports at the described defaults, the factory "Default Sound"; a port
    // set to anything else before the first block is applied.
    for (uint32_t id = 0; id < Lv2Ports::kParameterCount; ++id)
        seenPorts_[id].store(Lv2Ports::kDefaultOfParameter[id], std::memory_order_relaxed);
    synth_->setAdapter(this);
    // The instance may have started from a "Default Sound" of the user's: the editor, once
    // open, tells the host every value that differs from its port.
    onParameterChanged(-1);
}

Lv2Plugin::~Lv2Plugin() {
    std::lock_guard<std::mutex> guard(instanceLock());
    synth_->setAdapter(nullptr);
    synth_.reset();
}

void Lv2Plugin::connectPort(uint32_t port, void* data) {
    if (port < Lv2Ports::kParameterCount) {
        parameterPorts_[Lv2Ports::kParameterOfPort[port]] = static_cast<const float*>(data);
        return;
    }
    switch (port) {
        case Lv2Ports::kControlIn:
            controlIn_ = static_cast<const LV2_Atom_Sequence*>(data);
            break;
        case Lv2Ports::kOutLeft:
        case Lv2Ports::kOutRight:
            outputs_[port - Lv2Ports::kOutLeft] = static_cast<float*>(data);
            break;
        case Lv2Ports::kSideChainLeft:
        case Lv2Ports::kSideChainRight:
            sideChain_[port - Lv2Ports::kSideChainLeft] = static_cast<const float*>(data);
            break;
        case Lv2Ports::kLatency:
            latencyPort_ = static_cast<float*>(data);
            break;
        default:
            break;
    }
}

void Lv2Plugin::activate() {
    synth_->reset();
}

// --- Audio thread ------------------------------------------------------------------------------

void Lv2Plugin::run(uint32_t frames) VORN_NONBLOCKING {
    if (resyncPorts_) {
        for (uint32_t id = 0; id < Lv2Ports::kParameterCount; ++id) {
            if (parameterPorts_[id])
                seenPorts_[id].store(*parameterPorts_[id], std::memory_order_relaxed);
        }
        resyncPorts_ = false;
    }
    applyChangedPorts();
    const bool programChanged = readControlEvents();
    synth_->updateTransport(transport_.tempo(), static_cast<float>(transport_.beat()));
    if (outputs_[0] && outputs_[1]) {
        // An unconnected side-chain channel reads as silence.
        synth_->processBlock(sideChain_.data(), static_cast<int>(sideChain_.size()),
                             outputs_.data(), static_cast<int>(outputs_.size()),
                             static_cast<int>(frames));
    }
    transport_.advance(frames);
    if (latencyPort_) *latencyPort_ = static_cast<float>(synth_->latencySamples());
    if (programChanged && schedule_)
        schedule_->schedule_work(schedule_->handle, sizeof(kLoadProgramJob), &kLoadProgramJob);
}

void Lv2Plugin::applyChangedPorts() {
    for (uint32_t id = 0; id < Lv2Ports::kParameterCount; ++id) {
        const float* port = parameterPorts_[id];
        if (!port) continue;
        const float value = *port;
        if (value == seenPorts_[id].load(std::memory_order_relaxed)) continue;
        seenPorts_[id].store(value, std::memory_order_relaxed);
        setFromPort(id, value);
    }
}

const LV2_Atom_Sequence* Lv2Plugin::alignedControlIn() {
    // Events hold 64-bit frame times and doubles; some hosts (jalv 1.6) align the buffer to 4.
    if (reinterpret_cast<uintptr_t>(controlIn_) % alignof(LV2_Atom_Event) == 0) return controlIn_;
    const size_t bytes = std::min(sizeof(LV2_Atom) + controlIn_->atom.size, kAlignedControlBytes);
    std::memcpy(alignedControl_.data(), controlIn_, bytes);
    auto* copy = reinterpret_cast<LV2_Atom_Sequence*>(alignedControl_.data());
    copy->atom.size = static_cast<uint32_t>(bytes - sizeof(LV2_Atom));
    return copy;
}

bool Lv2Plugin::readControlEvents() {
    if (!controlIn_) return false;
    const LV2_Atom_Sequence* sequence = alignedControlIn();
    const auto* end = reinterpret_cast<const uint8_t*>(&sequence->body) + sequence->atom.size;
    bool programChanged = false;
    LV2_ATOM_SEQUENCE_FOREACH(sequence, event) {
        // A cut copy or a malformed sequence: no event reaches past the end.
        const auto* next = reinterpret_cast<const uint8_t*>(event) + sizeof(LV2_Atom_Event);
        if (next > end || event->body.size > static_cast<size_t>(end - next)) break;
        const int64_t frame = event->time.frames;
        if (event->body.type == uris_.midiEvent) {
            const auto* bytes = static_cast<const uint8_t*>(LV2_ATOM_BODY_CONST(&event->body));
            const uint32_t size = event->body.size;
            if (size == 0 || size > kMaxMidiBytes || bytes[0] < kFirstStatus) continue;
            MidiEvent midi;
            midi.status = bytes[0];
            midi.data1 = size > 1 ? bytes[1] : 0;
            midi.data2 = size > 2 ? bytes[2] : 0;
            midi.offset = static_cast<int32_t>(frame);
            synth_->receiveMidi(midi);
            if ((bytes[0] & kStatusMask) == kProgramChange) programChanged = true;
        } else if (lv2_atom_forge_is_object_type(&forge_, event->body.type)) {
            const auto* object = reinterpret_cast<const LV2_Atom_Object*>(&event->body);
            if (object->body.otype == uris_.timePosition) readPosition(object, frame);
        }
    }
    return programChanged;
}

void Lv2Plugin::readPosition(const LV2_Atom_Object* object, int64_t frame) {
    const LV2_Atom* tempo = nullptr;
    const LV2_Atom* speed = nullptr;
    const LV2_Atom* beat = nullptr;
    const LV2_Atom* bar = nullptr;
    const LV2_Atom* barBeat = nullptr;
    const LV2_Atom* beatsPerBar = nullptr;
    lv2_atom_object_get(object, uris_.timeBeatsPerMinute, &tempo, uris_.timeSpeed, &speed,
                        uris_.timeBeat, &beat, uris_.timeBar, &bar, uris_.timeBarBeat, &barBeat,
                        uris_.timeBeatsPerBar, &beatsPerBar, 0);
    HostTransport::Position position;
    position.tempo = numberOf(tempo, forge_);
    position.speed = numberOf(speed, forge_);
    position.beat = numberOf(beat, forge_);
    position.bar = numberOf(bar, forge_);
    position.barBeat = numberOf(barBeat, forge_);
    position.beatsPerBar = numberOf(beatsPerBar, forge_);
    transport_.receive(position, frame);
}

// --- Any thread --------------------------------------------------------------------------------

void Lv2Plugin::onParameterChanged(int id) {
    insideChanges_.mark(id);
}

void Lv2Plugin::takeInsideChanges(const std::function<void(uint32_t, float)>& writePort) {
    insideChanges_.take([&](int id) {
        const auto& p = *synth_->getParameter(id);
        const float value = Lv2Ports::portValueOfPlain(p, id, p.getValue());
        if (value != seenPorts_[static_cast<size_t>(id)].load(std::memory_order_relaxed))
            writePort(Lv2Ports::portOfParameter(id), value);
        return true;
    });
}

void Lv2Plugin::takePendingPorts() {
    for (uint32_t id = 0; id < Lv2Ports::kParameterCount; ++id) {
        const float* port = parameterPorts_[id];
        if (!port || *port == seenPorts_[id].load(std::memory_order_relaxed)) continue;
        setFromPort(id, *port);
    }
}

void Lv2Plugin::setFromPort(uint32_t id, float value) {
    AbstractPluginParameter& p = *synth_->getParameter(static_cast<int>(id));
    p.setValue(Lv2Ports::plainOfPortValue(p, static_cast<int>(id), value),
               GenericPlugin::kFlagFromHost);
}

// --- State, worker, options --------------------------------------------------------------------

LV2_State_Status Lv2Plugin::save(LV2_State_Store_Function store, LV2_State_Handle handle) {
    // A port the host moved just before saving counts, processed or not; the next block sets
    // the same value again.
    takePendingPorts();
    const std::vector<uint8_t> record = HostState::record(*synth_);
    const uint32_t flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
    LV2_State_Status status =
        store(handle, uris_.stateRecord, record.data(), record.size(), uris_.atomChunk, flags);
    if (status != LV2_STATE_SUCCESS) return status;
    const std::string& name = synth_->currentPreset().name;
    status = store(handle, uris_.statePresetName, name.c_str(), name.size() + 1, uris_.atomString,
                   flags);
    const HostState::TuningTexts tuning = HostState::tuning(*synth_);
    if (status != LV2_STATE_SUCCESS || tuning.scale.empty()) return status;
    const std::string& scale = tuning.scale;
    const std::string& keymap = tuning.keymap;
    status = store(handle, uris_.stateTuningScale, scale.c_str(), scale.size() + 1,
                   uris_.atomString, flags);
    if (status != LV2_STATE_SUCCESS || keymap.empty()) return status;
    return store(handle, uris_.stateTuningKeymap, keymap.c_str(), keymap.size() + 1,
                 uris_.atomString, flags);
}

void Lv2Plugin::restoreTuning(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle) {
    const auto text = [&](LV2_URID key) {
        size_t size = 0;
        uint32_t type = 0;
        uint32_t flags = 0;
        const auto* data = static_cast<const char*>(retrieve(handle, key, &size, &type, &flags));
        return data && type == uris_.atomString ? std::string(data, strnlen(data, size))
                                                : std::string();
    };
    // A damaged tuning leaves equal temperament, the rest of the state loads.
    HostState::restoreTuning(*synth_,
                             {text(uris_.stateTuningScale), text(uris_.stateTuningKeymap)});
}

LV2_State_Status Lv2Plugin::restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle) {
    size_t size = 0;
    uint32_t type = 0;
    uint32_t flags = 0;
    const void* name = retrieve(handle, uris_.statePresetName, &size, &type, &flags);
    const auto* text = static_cast<const char*>(name);
    const std::string presetName =
        text && type == uris_.atomString ? std::string(text, strnlen(text, size)) : "";
    const void* data = retrieve(handle, uris_.stateRecord, &size, &type, &flags);
    if (!data || type != uris_.atomChunk) return LV2_STATE_ERR_NO_PROPERTY;
    const std::span<const uint8_t> bytes(static_cast<const uint8_t*>(data), size);
    if (!HostState::restore(*synth_, bytes, presetName)) return LV2_STATE_ERR_UNKNOWN;
    restoreTuning(retrieve, handle);
    resyncPorts_ = true;
    return LV2_STATE_SUCCESS;
}

LV2_Worker_Status Lv2Plugin::work(LV2_Worker_Respond_Function /*respond*/,
                                  LV2_Worker_Respond_Handle /*handle*/, uint32_t size,
                                  const void* data) {
    if (size != sizeof(kLoadProgramJob) || std::memcmp(data, &kLoadProgramJob, size) != 0)
        return LV2_WORKER_ERR_UNKNOWN;
    synth_->presets().loadPendingProgram();
    return LV2_WORKER_SUCCESS;
}

uint32_t Lv2Plugin::getOptions(LV2_Options_Option* options) {
    uint32_t status = LV2_OPTIONS_SUCCESS;
    for (LV2_Options_Option* o = options; o && o->key; ++o) {
        if (o->key == uris_.paramSampleRate) {
            o->type = uris_.atomFloat;
            o->size = sizeof(float);
            o->value = &sampleRate_;
        } else {
            status |= LV2_OPTIONS_ERR_BAD_KEY;
        }
    }
    return status;
}

uint32_t Lv2Plugin::setOptions(const LV2_Options_Option* options) {
    uint32_t status = LV2_OPTIONS_SUCCESS;
    for (const LV2_Options_Option* o = options; o && o->key; ++o) {
        if (o->key != uris_.paramSampleRate) {
            status |= LV2_OPTIONS_ERR_BAD_KEY;
            continue;
        }
        double rate = 0.0;
        if (o->type == uris_.atomFloat && o->size == sizeof(float)) {
            rate = *static_cast<const float*>(o->value);
        } else if (o->type == uris_.atomDouble && o->size == sizeof(double)) {
            rate = *static_cast<const double*>(o->value);
        } else {
            status |= LV2_OPTIONS_ERR_BAD_VALUE;
            continue;
        }
        if (!playableRate(rate)) {
            status |= LV2_OPTIONS_ERR_BAD_VALUE;
            continue;
        }
        sampleRate_ = static_cast<float>(rate);
        synth_->setSampleRate(sampleRate_);
        transport_.setSampleRate(rate);
    }
    return status;
}
