#include "host/clap/ClapPlugin.h"

#include <clap/ext/audio-ports.h>
#include <clap/ext/note-ports.h>
#include <clap/plugin-features.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "engine/NoteExpressions.h"
#include "engine/VornPlugin.h"
#include "engine/VornPresets.h"
#include "framework/AbstractPluginParameter.h"
#include "framework/MidiConstants.h"
#include "wave/Assert.h"

namespace {

const char* kFeatures[] = {CLAP_PLUGIN_FEATURE_INSTRUMENT, CLAP_PLUGIN_FEATURE_SYNTHESIZER,
                           CLAP_PLUGIN_FEATURE_STEREO, nullptr};
constexpr uint32_t kFirstStatus = 0x80;
// A note's tuning expression, in semitones each way.
constexpr float kMaxNoteTuning = 120.0f;
constexpr uint32_t kStatusMask = 0xF0;
// The state: "VCLS", a format number, then the record, the preset name and the tuning's .scl and
// .kbm texts, each as a 32-bit size and its bytes; all little-endian.
constexpr char kStateMagic[4] = {'V', 'C', 'L', 'S'};
constexpr uint32_t kStateFormat = 1;
constexpr uint64_t kMaxStateBytes = 1 << 20;

ClapPlugin::EditorExtensions editorExtensions;

// Creation and destruction take turns: the plug-in core counts its instances in a plain counter.
std::mutex& instanceLock() {
    static std::mutex lock;
    return lock;
}

template <typename T>
const T* hostExtension(const clap_host_t* host, const char* id) {
    return static_cast<const T*>(host->get_extension ? host->get_extension(host, id) : nullptr);
}

void copyText(char* to, size_t size, const std::string& text) {
    if (size == 0) return;
    const size_t n = std::min(text.size(), size - 1);
    std::memcpy(to, text.data(), n);
    to[n] = '\0';
}

bool writeAll(const clap_ostream_t& stream, const void* data, uint64_t size) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    while (size > 0) {
        const int64_t written = stream.write(&stream, bytes, size);
        if (written <= 0) return false;
        bytes += written;
        size -= static_cast<uint64_t>(written);
    }
    return true;
}

uint32_t readU32(const std::vector<uint8_t>& bytes, size_t at) {
    uint32_t v = 0;
    for (int k = 3; k >= 0; --k) v = (v << 8) | bytes[at + static_cast<size_t>(k)];
    return v;
}

void appendU32(std::vector<uint8_t>& bytes, uint32_t v) {
    for (int k = 0; k < 4; ++k) bytes.push_back(static_cast<uint8_t>(v >> (8 * k)));
}

}  // namespace

const clap_plugin_descriptor_t ClapPlugin::kDescriptor = {
    CLAP_VERSION_INIT,
    "org.vorn.synth",
    "Vorn",
    "The Vorn developers",
    "",
    "",
    "",
    "0.1.0",
    "Polyphonic subtractive synthesizer",
    kFeatures,
};

ClapPlugin* ClapPlugin::create(const clap_host_t* host) {
    std::lock_guard<std::mutex> guard(instanceLock());
    return new ClapPlugin(host);
}

ClapPlugin::ClapPlugin(const clap_host_t* host)
    : host_(host), synth_(std::make_unique<VornPlugin>()) {
    plugin_.desc = &kDescriptor;
    plugin_.plugin_data = this;
    plugin_.init = [](const clap_plugin_t* p) { return self(p).init(); };
    plugin_.destroy = [](const clap_plugin_t* p) { delete &self(p); };
    plugin_.activate = [](const clap_plugin_t* p, double rate, uint32_t, uint32_t) {
        return self(p).activate(rate);
    };
    plugin_.deactivate = [](const clap_plugin_t*) {};
    plugin_.start_processing = [](const clap_plugin_t*) { return true; };
    plugin_.stop_processing = [](const clap_plugin_t*) {};
    plugin_.reset = [](const clap_plugin_t* p) { self(p).synth_->reset(); };
    plugin_.process = [](const clap_plugin_t* p, const clap_process_t* process) {
        return self(p).process(*process);
    };
    plugin_.get_extension = [](const clap_plugin_t* p, const char* id) {
        return self(p).extension(id);
    };
    plugin_.on_main_thread = [](const clap_plugin_t* p) { self(p).onMainThread(); };
}

void ClapPlugin::setEditorExtensions(const EditorExtensions& extensions) {
    editorExtensions = extensions;
}

ClapPlugin::~ClapPlugin() {
    // The editor refers to the synthesizer: it closes first.
    editor_.reset();
    std::lock_guard<std::mutex> guard(instanceLock());
    synth_->setAdapter(nullptr);
    synth_.reset();
}

ClapPlugin& ClapPlugin::self(const clap_plugin_t* plugin) {
    return *static_cast<ClapPlugin*>(plugin->plugin_data);
}

bool ClapPlugin::init() {
    hostParams_ = hostExtension<clap_host_params_t>(host_, CLAP_EXT_PARAMS);
    hostLatency_ = hostExtension<clap_host_latency_t>(host_, CLAP_EXT_LATENCY);
    threadCheck_ = hostExtension<clap_host_thread_check_t>(host_, CLAP_EXT_THREAD_CHECK);
    hostState_ = hostExtension<clap_host_state_t>(host_, CLAP_EXT_STATE);
    synth_->setAdapter(this);
    // The instance may have started from "Default Sound": the host learns every value.
    insideChanges_.mark(-1);
    return true;
}

bool ClapPlugin::activate(double sampleRate) {
    const auto rate = static_cast<float>(sampleRate);
    if (!std::isfinite(rate) || rate <= 0.0f) return false;
    sampleRate_ = sampleRate;
    synth_->setSampleRate(rate);
    transport_.setSampleRate(sampleRate);
    synth_->reset();
    return true;
}

// --- Audio thread ------------------------------------------------------------------------------

clap_process_status ClapPlugin::process(const clap_process_t& process) VORN_NONBLOCKING {
    VORN_ASSERT(onAudioThread());
    readTransport(process.transport);
    synth_->updateTransport(transport_.tempo(), static_cast<float>(transport_.beat()));
    const uint32_t frames = process.frames_count;
    const uint32_t count = process.in_events ? process.in_events->size(process.in_events) : 0;
    uint32_t done = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const clap_event_header_t* event = process.in_events->get(process.in_events, i);
        if (!event || event->space_id != CLAP_CORE_EVENT_SPACE_ID) continue;
        // A parameter change takes effect at its sample: what comes before it is rendered first.
        const uint32_t at = std::min(event->time, frames);
        const bool timed =
            event->type == CLAP_EVENT_PARAM_VALUE || event->type == CLAP_EVENT_NOTE_EXPRESSION;
        if (timed && at > done) {
            render(process, done, at);
            done = at;
        }
        handleEvent(*event, done);
    }
    render(process, done, frames);
    transport_.advance(frames);
    reportInsideChanges(process.out_events);
    reportEndedNotes(process.out_events);
    if (programPending_.load(std::memory_order_relaxed) || latencyChanged_.load())
        host_->request_callback(host_);
    return CLAP_PROCESS_CONTINUE;
}

void ClapPlugin::render(const clap_process_t& process, uint32_t from, uint32_t to) {
    if (to <= from || process.audio_outputs_count == 0) return;
    const clap_audio_buffer_t& out = process.audio_outputs[0];
    if (!out.data32 || out.channel_count == 0) return;
    std::array<float*, 2> outputs{};
    for (uint32_t c = 0; c < 2; ++c)
        outputs[c] = out.data32[std::min(c, out.channel_count - 1)] + from;
    std::array<const float*, 2> side{};
    int sideCount = 0;
    if (process.audio_inputs_count > 0 && process.audio_inputs[0].data32 &&
        process.audio_inputs[0].channel_count > 0) {
        const clap_audio_buffer_t& in = process.audio_inputs[0];
        for (uint32_t c = 0; c < 2; ++c)
            side[c] = in.data32[std::min(c, in.channel_count - 1)] + from;
        sideCount = 2;
    }
    synth_->processBlock(sideCount ? side.data() : nullptr, sideCount, outputs.data(),
                         out.channel_count > 1 ? 2 : 1, static_cast<int>(to - from));
}

void ClapPlugin::handleEvent(const clap_event_header_t& event, uint32_t blockStart) {
    MidiEvent midi;
    midi.offset = static_cast<int32_t>(event.time > blockStart ? event.time - blockStart : 0);
    switch (event.type) {
        case CLAP_EVENT_NOTE_ON:
        case CLAP_EVENT_NOTE_OFF:
        case CLAP_EVENT_NOTE_CHOKE: {
            const auto& note = reinterpret_cast<const clap_event_note_t&>(event);
            if (note.key < 0 || note.key > 127) return;
            const bool on = event.type == CLAP_EVENT_NOTE_ON;
            if (on) noteStarted(note);
            const int channel = note.channel >= 0 && note.channel < 16 ? note.channel : 0;
            const double velocity = std::clamp(note.velocity, 0.0, 1.0);
            midi.status = static_cast<uint8_t>((on ? midi::kNoteOn : midi::kNoteOff) | channel);
            midi.data1 = static_cast<uint8_t>(note.key);
            // A note-on needs a velocity above 0, or it would be a note-off.
            midi.data2 = static_cast<uint8_t>(on ? std::max(1L, std::lround(velocity * 127.0))
                                                 : std::lround(velocity * 127.0));
            synth_->receiveMidi(midi);
            return;
        }
        case CLAP_EVENT_MIDI: {
            const auto& raw = reinterpret_cast<const clap_event_midi_t&>(event);
            if (raw.data[0] < kFirstStatus) return;
            if ((raw.data[0] & kStatusMask) == midi::kNoteOn && raw.data[2] > 0 &&
                raw.data[1] < 128) {
                clap_event_note_t note{};
                note.note_id = -1;
                note.port_index = static_cast<int16_t>(raw.port_index);
                note.channel = static_cast<int16_t>(raw.data[0] & 0x0F);
                note.key = raw.data[1];
                noteStarted(note);
            }
            midi.status = raw.data[0];
            midi.data1 = raw.data[1];
            midi.data2 = raw.data[2];
            synth_->receiveMidi(midi);
            if ((raw.data[0] & kStatusMask) == midi::kProgramChange)
                programPending_.store(true, std::memory_order_relaxed);
            return;
        }
        case CLAP_EVENT_PARAM_VALUE: {
            const auto& change = reinterpret_cast<const clap_event_param_value_t&>(event);
            if (change.param_id >= HostState::kParameterCount || !std::isfinite(change.value))
                return;
            synth_->getParameter(static_cast<int>(change.param_id))
                ->setValue(static_cast<float>(change.value), GenericPlugin::kFlagFromHost);
            return;
        }
        case CLAP_EVENT_NOTE_EXPRESSION:
            noteExpression(reinterpret_cast<const clap_event_note_expression_t&>(event));
            return;
        case CLAP_EVENT_TRANSPORT:
            readTransport(&reinterpret_cast<const clap_event_transport_t&>(event));
            return;
        default:
            return;
    }
}

void ClapPlugin::noteExpression(const clap_event_note_expression_t& expression) {
    if (!std::isfinite(expression.value) || expression.key < -1 || expression.key > 127) return;
    // The note it changes may still wait in the MIDI queue.
    synth_->dispatchQueuedMidi();
    VornPlugin::NoteExpressions& notes = synth_->noteExpressions();
    const float value = static_cast<float>(expression.value);
    switch (expression.expression_id) {
        case CLAP_NOTE_EXPRESSION_TUNING:
            notes.keyBend(expression.key, std::clamp(value, -kMaxNoteTuning, kMaxNoteTuning));
            return;
        case CLAP_NOTE_EXPRESSION_PRESSURE:
            notes.keyPressure(expression.key, std::clamp(value, 0.0f, 1.0f));
            return;
        case CLAP_NOTE_EXPRESSION_BRIGHTNESS:
            notes.keyController(expression.key, midi::kSlide, std::clamp(value, 0.0f, 1.0f));
            return;
        default:
            return;
    }
}

void ClapPlugin::readTransport(const clap_event_transport_t* transport) {
    if (!transport) return;
    HostTransport::Position position;
    if (transport->flags & CLAP_TRANSPORT_HAS_TEMPO) position.tempo = transport->tempo;
    position.speed = (transport->flags & CLAP_TRANSPORT_IS_PLAYING) ? 1.0 : 0.0;
    if (transport->flags & CLAP_TRANSPORT_HAS_BEATS_TIMELINE)
        position.beat = static_cast<double>(transport->song_pos_beats) / CLAP_BEATTIME_FACTOR;
    transport_.receive(position, 0);
}

void ClapPlugin::reportInsideChanges(const clap_output_events_t* out) {
    if (!out) return;
    // The gestures of this block: begins first, then the values edited, then the ends.
    std::array<Gesture, kGestureNodes> gestures;
    size_t count = 0;
    while (count < gestures.size() && gestures_.pop(gestures[count])) ++count;
    const auto pushGestures = [&](bool begins) {
        for (size_t i = 0; i < count; ++i) {
            if (gestures[i].begin != begins) continue;
            clap_event_param_gesture_t event{};
            event.header = {sizeof event, 0, CLAP_CORE_EVENT_SPACE_ID,
                            static_cast<uint16_t>(begins ? CLAP_EVENT_PARAM_GESTURE_BEGIN
                                                         : CLAP_EVENT_PARAM_GESTURE_END),
                            0};
            event.param_id = static_cast<clap_id>(gestures[i].id);
            out->try_push(out, &event.header);
        }
    };
    pushGestures(true);
    insideChanges_.take([&](int id) {
        clap_event_param_value_t event{};
        event.header = {sizeof event, 0, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0};
        event.param_id = static_cast<clap_id>(id);
        event.note_id = -1;
        event.port_index = event.channel = event.key = -1;
        event.value = synth_->getParameter(id)->getValue();
        return out->try_push(out, &event.header);
    });
    pushGestures(false);
}

void ClapPlugin::noteStarted(const clap_event_note_t& note) {
    notes_[static_cast<size_t>(note.key)] = {true, note.note_id, note.port_index, note.channel};
}

void ClapPlugin::reportEndedNotes(const clap_output_events_t* out) {
    if (!out) return;
    for (size_t key = 0; key < notes_.size(); ++key) {
        SoundingNote& n = notes_[key];
        if (!n.sounding || synth_->noteSounding(static_cast<int>(key))) continue;
        clap_event_note_t event{};
        event.header = {sizeof event, 0, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_NOTE_END, 0};
        event.note_id = n.noteId;
        event.port_index = n.port;
        event.channel = n.channel;
        event.key = static_cast<int16_t>(key);
        if (out->try_push(out, &event.header)) n.sounding = false;
    }
}

void ClapPlugin::gesture(int id, bool begin) {
    if (id < 0 || static_cast<uint32_t>(id) >= HostState::kParameterCount) return;
    gestures_.push({id, begin});
    requestFlush();
}

void ClapPlugin::requestFlush() const {
    if (hostParams_ && hostParams_->request_flush) hostParams_->request_flush(host_);
}

void ClapPlugin::markDirty() const {
    if (hostState_ && hostState_->mark_dirty) hostState_->mark_dirty(host_);
}

// --- Any thread --------------------------------------------------------------------------------

void ClapPlugin::onLatencyChanged() {
    latencyChanged_.store(true);
}

// --- Main thread -------------------------------------------------------------------------------

bool ClapPlugin::onAudioThread() const {
    return !threadCheck_ || !threadCheck_->is_audio_thread || threadCheck_->is_audio_thread(host_);
}

bool ClapPlugin::onMainThreadOrUnknown() const {
    return !threadCheck_ || !threadCheck_->is_main_thread || threadCheck_->is_main_thread(host_);
}

void ClapPlugin::onMainThread() {
    VORN_ASSERT(onMainThreadOrUnknown());
    if (programPending_.exchange(false)) synth_->presets().loadPendingProgram();
    if (latencyChanged_.exchange(false) && hostLatency_ && hostLatency_->changed)
        hostLatency_->changed(host_);
}

void ClapPlugin::flush(const clap_input_events_t* in, const clap_output_events_t* out) {
    const uint32_t count = in ? in->size(in) : 0;
    for (uint32_t i = 0; i < count; ++i) {
        const clap_event_header_t* event = in->get(in, i);
        if (event && event->space_id == CLAP_CORE_EVENT_SPACE_ID &&
            event->type == CLAP_EVENT_PARAM_VALUE)
            handleEvent(*event, 0);
    }
    reportInsideChanges(out);
}

bool ClapPlugin::paramInfo(uint32_t index, clap_param_info_t& info) const {
    if (index >= HostState::kParameterCount) return false;
    const AbstractPluginParameter& p = *synth_->getParameter(static_cast<int>(index));
    info = {};
    info.id = index;
    info.flags = p.isAutomatable() ? CLAP_PARAM_IS_AUTOMATABLE : 0;
    if (p.kind() == AbstractPluginParameter::kIndexed) {
        info.flags |= CLAP_PARAM_IS_STEPPED;
    }
    copyText(info.name, sizeof info.name, p.name());
    info.min_value = p.getMinimum();
    info.max_value = p.getMaximum();
    info.default_value = p.getDefault();
    return true;
}

bool ClapPlugin::paramText(clap_id id, double value, char* display, uint32_t size) const {
    if (id >= HostState::kParameterCount || !display) return false;
    copyText(display, size,
             synth_->getParameter(static_cast<int>(id))->formatValue(static_cast<float>(value)));
    return true;
}

bool ClapPlugin::paramValue(clap_id id, const char* text, double& value) const {
    if (id >= HostState::kParameterCount || !text) return false;
    float plain = 0.0f;
    if (!synth_->getParameter(static_cast<int>(id))->parseText(text, &plain)) return false;
    value = plain;
    return true;
}

bool ClapPlugin::save(const clap_ostream_t& stream) {
    VORN_ASSERT(onMainThreadOrUnknown());
    const std::vector<uint8_t> record = HostState::record(*synth_);
    const HostState::TuningTexts tuning = HostState::tuning(*synth_);
    std::vector<uint8_t> bytes(kStateMagic, kStateMagic + sizeof kStateMagic);
    appendU32(bytes, kStateFormat);
    const auto field = [&](const auto& data) {
        appendU32(bytes, static_cast<uint32_t>(data.size()));
        bytes.insert(bytes.end(), data.begin(), data.end());
    };
    field(record);
    field(synth_->currentPreset().name);
    field(tuning.scale);
    field(tuning.keymap);
    return writeAll(stream, bytes.data(), bytes.size());
}

bool ClapPlugin::load(const clap_istream_t& stream) {
    VORN_ASSERT(onMainThreadOrUnknown());
    std::vector<uint8_t> bytes;
    uint8_t chunk[4096];
    for (;;) {
        const int64_t n = stream.read(&stream, chunk, sizeof chunk);
        if (n < 0) return false;
        if (n == 0) break;
        bytes.insert(bytes.end(), chunk, chunk + n);
        if (bytes.size() > kMaxStateBytes) return false;
    }
    if (bytes.size() < sizeof kStateMagic + 4 ||
        std::memcmp(bytes.data(), kStateMagic, sizeof kStateMagic) != 0 ||
        readU32(bytes, 4) != kStateFormat)
        return false;
    size_t at = sizeof kStateMagic + 4;
    std::array<std::span<const uint8_t>, 4> fields;
    for (auto& f : fields) {
        if (bytes.size() - at < 4) return false;
        const size_t size = readU32(bytes, at);
        at += 4;
        if (size > bytes.size() - at) return false;
        f = {bytes.data() + at, size};
        at += size;
    }
    const auto text = [](std::span<const uint8_t> f) { return std::string(f.begin(), f.end()); };
    if (!HostState::restore(*synth_, fields[0], text(fields[1]))) return false;
    HostState::restoreTuning(*synth_, {text(fields[2]), text(fields[3])});
    if (hostParams_ && hostParams_->rescan) hostParams_->rescan(host_, CLAP_PARAM_RESCAN_VALUES);
    return true;
}

const void* ClapPlugin::extension(const char* name) const {
    static const clap_plugin_audio_ports_t audioPorts = {
        [](const clap_plugin_t*, bool) -> uint32_t { return 1; },
        [](const clap_plugin_t*, uint32_t index, bool input, clap_audio_port_info_t* info) {
            if (index != 0 || !info) return false;
            *info = {};
            info->id = input ? 1 : 0;
            copyText(info->name, sizeof info->name, input ? "Side Chain" : "Output");
            info->flags = input ? 0u : static_cast<uint32_t>(CLAP_AUDIO_PORT_IS_MAIN);
            info->channel_count = 2;
            info->port_type = CLAP_PORT_STEREO;
            info->in_place_pair = CLAP_INVALID_ID;
            return true;
        }};
    static const clap_plugin_note_ports_t notePorts = {
        [](const clap_plugin_t*, bool input) -> uint32_t { return input ? 1 : 0; },
        [](const clap_plugin_t*, uint32_t index, bool input, clap_note_port_info_t* info) {
            if (index != 0 || !input || !info) return false;
            *info = {};
            info->id = 0;
            info->supported_dialects = CLAP_NOTE_DIALECT_CLAP | CLAP_NOTE_DIALECT_MIDI;
            info->preferred_dialect = CLAP_NOTE_DIALECT_MIDI;
            copyText(info->name, sizeof info->name, "Notes");
            return true;
        }};
    static const clap_plugin_params_t params = {
        [](const clap_plugin_t*) { return HostState::kParameterCount; },
        [](const clap_plugin_t* p, uint32_t index, clap_param_info_t* info) {
            return info && self(p).paramInfo(index, *info);
        },
        [](const clap_plugin_t* p, clap_id id, double* value) {
            if (id >= HostState::kParameterCount || !value) return false;
            *value = self(p).synth_->getParameter(static_cast<int>(id))->getValue();
            return true;
        },
        [](const clap_plugin_t* p, clap_id id, double value, char* display, uint32_t size) {
            return self(p).paramText(id, value, display, size);
        },
        [](const clap_plugin_t* p, clap_id id, const char* text, double* value) {
            return value && self(p).paramValue(id, text, *value);
        },
        [](const clap_plugin_t* p, const clap_input_events_t* in, const clap_output_events_t* out) {
            self(p).flush(in, out);
        }};
    static const clap_plugin_state_t state = {
        [](const clap_plugin_t* p, const clap_ostream_t* stream) {
            return stream && self(p).save(*stream);
        },
        [](const clap_plugin_t* p, const clap_istream_t* stream) {
            return stream && self(p).load(*stream);
        }};
    static const clap_plugin_latency_t latency = {[](const clap_plugin_t* p) -> uint32_t {
        return static_cast<uint32_t>(std::max(0, self(p).synth_->latencySamples()));
    }};
    if (!name) return nullptr;
    if (std::strcmp(name, CLAP_EXT_AUDIO_PORTS) == 0) return &audioPorts;
    if (std::strcmp(name, CLAP_EXT_NOTE_PORTS) == 0) return &notePorts;
    if (std::strcmp(name, CLAP_EXT_PARAMS) == 0) return &params;
    if (std::strcmp(name, CLAP_EXT_STATE) == 0) return &state;
    if (std::strcmp(name, CLAP_EXT_LATENCY) == 0) return &latency;
    if (std::strcmp(name, CLAP_EXT_GUI) == 0) return editorExtensions.gui;
    if (std::strcmp(name, CLAP_EXT_TIMER_SUPPORT) == 0) return editorExtensions.timer;
    return nullptr;
}
