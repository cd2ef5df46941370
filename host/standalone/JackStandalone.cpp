#include "host/standalone/JackStandalone.h"

#include <jack/midiport.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "framework/GenericPlugin.h"

namespace {

constexpr int kChannels = 2;
constexpr double kSecondsPerMinute = 60.0;
constexpr uint8_t kStatusBit = 0x80;
constexpr uint8_t kSysExStart = 0xF0;
constexpr uint8_t kSysExEnd = 0xF7;
constexpr size_t kMaxMessageSize = 3;

std::string statusText(jack_status_t status) {
    if (status & JackServerFailed) return "no JACK server is running";
    if (status & JackVersionError) return "the JACK server speaks another protocol version";
    if (status & JackShmFailure) return "JACK could not map its shared memory";
    char text[64];
    std::snprintf(text, sizeof text, "the JACK server refused the client (status 0x%x)",
                  static_cast<unsigned>(status));
    return text;
}

}  // namespace

JackStandalone::JackStandalone(GenericPlugin& plugin) : plugin_(plugin) {}

JackStandalone::~JackStandalone() {
    close();
}

bool JackStandalone::open(const Options& options, std::string* error) {
    close();
    jack_status_t status{};
    client_ = jack_client_open(options.clientName.c_str(), JackNoStartServer, &status);
    if (!client_) {
        *error = statusText(status);
        return false;
    }
    midiIn_ = jack_port_register(client_, kMidiInPort, JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    bool registered = midiIn_ != nullptr;
    for (int k = 0; k < kChannels; ++k) {
        outputs_[k] = jack_port_register(client_, kOutPorts[k], JACK_DEFAULT_AUDIO_TYPE,
                                         JackPortIsOutput | JackPortIsTerminal, 0);
        registered = registered && outputs_[k];
        if (options.sideChain) {
            sideChain_[k] = jack_port_register(client_, kSideChainPorts[k], JACK_DEFAULT_AUDIO_TYPE,
                                               JackPortIsInput, 0);
            registered = registered && sideChain_[k];
        }
    }
    if (!registered) {
        *error = "the JACK server refused to register the ports";
        close();
        return false;
    }
    // Callbacks must be in place before activation.
    if (jack_set_process_callback(client_, processCallback, this) != 0 ||
        jack_set_sample_rate_callback(client_, sampleRateCallback, this) != 0 ||
        jack_set_buffer_size_callback(client_, bufferSizeCallback, this) != 0 ||
        jack_set_xrun_callback(client_, xrunCallback, this) != 0) {
        *error = "the JACK server refused the callbacks";
        close();
        return false;
    }
    jack_on_info_shutdown(client_, shutdownCallback, this);

    const uint32_t rate = jack_get_sample_rate(client_);
    sampleRate_.store(rate, std::memory_order_release);
    bufferSize_.store(jack_get_buffer_size(client_), std::memory_order_relaxed);
    plugin_.setSampleRate(static_cast<float>(rate));
    pluginRate_ = rate;
    connectPhysical_ = options.connectPhysical;
    return true;
}

bool JackStandalone::start(std::string* error) {
    if (!client_) {
        *error = "the JACK client is not open";
        return false;
    }
    if (active_) return true;
    if (jack_activate(client_) != 0) {
        *error = "the JACK server could not activate the client";
        return false;
    }
    active_ = true;
    return !connectPhysical_ || connectPhysical(error);
}

bool JackStandalone::connectPhysical(std::string* error) {
    const char** playback = jack_get_ports(client_, nullptr, JACK_DEFAULT_AUDIO_TYPE,
                                           JackPortIsPhysical | JackPortIsInput);
    int count = 0;
    while (playback && playback[count]) ++count;
    bool connected = count > 0;
    for (int k = 0; k < kChannels && count > 0; ++k) {
        // A single playback port takes both channels.
        const char* target = playback[std::min(k, count - 1)];
        connected = jack_connect(client_, jack_port_name(outputs_[k]), target) == 0 && connected;
    }
    jack_free(playback);
    if (!connected) {
        *error = count > 0 ? "could not connect to the physical playback ports"
                           : "the JACK server has no physical playback ports";
        return false;
    }
    const char** sources = jack_get_ports(client_, nullptr, JACK_DEFAULT_MIDI_TYPE,
                                          JackPortIsPhysical | JackPortIsOutput);
    // A MIDI device that refuses is not worth stopping for: notes can still be connected by hand.
    for (int k = 0; sources && sources[k]; ++k) {
        jack_connect(client_, sources[k], jack_port_name(midiIn_));
    }
    jack_free(sources);
    return true;
}

void JackStandalone::close() {
    if (!client_) return;
    if (active_) jack_deactivate(client_);
    active_ = false;
    jack_client_close(client_);
    client_ = nullptr;
    midiIn_ = nullptr;
    std::fill(std::begin(outputs_), std::end(outputs_), nullptr);
    std::fill(std::begin(sideChain_), std::end(sideChain_), nullptr);
    pauseRequested_.store(false, std::memory_order_relaxed);
    paused_.store(false, std::memory_order_relaxed);
}

bool JackStandalone::service() {
    const uint32_t wanted = sampleRate_.load(std::memory_order_acquire);
    if (!client_ || wanted == 0 || wanted == pluginRate_) return true;
    if (active_ && !pauseRequested_.load(std::memory_order_relaxed)) {
        paused_.store(false, std::memory_order_relaxed);
        pauseRequested_.store(true, std::memory_order_seq_cst);
        return false;
    }
    // A cycle that saw the request has finished and every later one stays away from the plug-in.
    if (active_ && !paused_.load(std::memory_order_acquire)) return false;
    plugin_.setSampleRate(static_cast<float>(wanted));
    pluginRate_ = wanted;
    pauseRequested_.store(false, std::memory_order_release);
    return true;
}

void JackStandalone::requestSampleRate(uint32_t rate) {
    sampleRate_.store(rate, std::memory_order_release);
}

std::string JackStandalone::clientName() const {
    return client_ ? jack_get_client_name(client_) : std::string();
}

std::string JackStandalone::serverGoneReason() const {
    return serverGone() ? serverGoneReason_ : std::string();
}

bool JackStandalone::toMidiEvent(const uint8_t* data, size_t size, uint32_t time,
                                 MidiEvent* event) {
    if (!data || size == 0 || size > kMaxMessageSize) return false;
    const uint8_t status = data[0];
    if (!(status & kStatusBit) || status == kSysExStart || status == kSysExEnd) return false;
    for (size_t i = 1; i < size; ++i) {
        if (data[i] & kStatusBit) return false;
    }
    *event = MidiEvent{};
    event->status = status;
    event->data1 = size > 1 ? data[1] : 0;
    event->data2 = size > 2 ? data[2] : 0;
    event->offset = static_cast<int32_t>(time);
    return true;
}

JackStandalone::Transport JackStandalone::transportOf(const jack_position_t& position) {
    Transport transport;
    if ((position.valid & JackPositionBBT) && position.beats_per_minute > 0.0 &&
        position.ticks_per_beat > 0.0) {
        transport.tempo = position.beats_per_minute;
        const double beat = static_cast<double>(position.bar - 1) * position.beats_per_bar +
                            static_cast<double>(position.beat - 1) +
                            static_cast<double>(position.tick) / position.ticks_per_beat;
        transport.beat = static_cast<float>(beat);
    } else if (position.frame_rate > 0) {
        transport.beat = static_cast<float>(static_cast<double>(position.frame) * kDefaultTempo /
                                            (kSecondsPerMinute * position.frame_rate));
    }
    return transport;
}

int JackStandalone::processCallback(jack_nframes_t frames, void* self) {
    return static_cast<JackStandalone*>(self)->process(frames);
}

int JackStandalone::sampleRateCallback(jack_nframes_t rate, void* self) {
    static_cast<JackStandalone*>(self)->requestSampleRate(rate);
    return 0;
}

int JackStandalone::bufferSizeCallback(jack_nframes_t frames, void* self) {
    // processBlock takes any number of frames, so the size is only reported.
    static_cast<JackStandalone*>(self)->bufferSize_.store(frames, std::memory_order_relaxed);
    return 0;
}

int JackStandalone::xrunCallback(void* self) {
    static_cast<JackStandalone*>(self)->xruns_.fetch_add(1, std::memory_order_relaxed);
    return 0;
}

void JackStandalone::shutdownCallback(jack_status_t /*code*/, const char* reason, void* self) {
    auto* host = static_cast<JackStandalone*>(self);
    std::snprintf(host->serverGoneReason_, kReasonLength, "%s", reason ? reason : "");
    host->serverGone_.store(true, std::memory_order_release);
}

int JackStandalone::process(jack_nframes_t frames) {
    cycles_.fetch_add(1, std::memory_order_relaxed);
    float* outputs[kChannels];
    for (int k = 0; k < kChannels; ++k) {
        outputs[k] = static_cast<float*>(jack_port_get_buffer(outputs_[k], frames));
    }
    // Queued even during a rate change, so that no note-off is lost.
    void* midi = jack_port_get_buffer(midiIn_, frames);
    const uint32_t count = jack_midi_get_event_count(midi);
    for (uint32_t i = 0; i < count; ++i) {
        jack_midi_event_t raw;
        MidiEvent event;
        if (jack_midi_event_get(&raw, midi, i) == 0 &&
            toMidiEvent(raw.buffer, raw.size, raw.time, &event)) {
            plugin_.receiveMidi(event);
        }
    }
    if (pauseRequested_.load(std::memory_order_acquire)) {
        for (float* output : outputs) std::fill_n(output, frames, 0.0f);
        paused_.store(true, std::memory_order_release);
        return 0;
    }

    jack_position_t position;
    jack_transport_query(client_, &position);
    const Transport transport = transportOf(position);
    plugin_.updateTransport(transport.tempo, transport.beat);

    const float* inputs[kChannels] = {nullptr, nullptr};
    int inputCount = 0;
    if (sideChain_[0]) {
        for (int k = 0; k < kChannels; ++k) {
            inputs[k] = static_cast<const float*>(jack_port_get_buffer(sideChain_[k], frames));
        }
        inputCount = kChannels;
    }
    plugin_.processBlock(inputs, inputCount, outputs, kChannels, static_cast<int>(frames));
    return 0;
}
