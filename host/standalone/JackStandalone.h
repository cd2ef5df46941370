#pragma once

#include <jack/jack.h>
#include <jack/transport.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "framework/MidiEvent.h"

class GenericPlugin;

// Runs a plug-in as a JACK client: one MIDI input, a stereo output and an optional stereo
// side-chain input. The process callback queues the cycle's MIDI events at their frame offsets
// and renders the cycle with processBlock; everything else (opening, connecting, rate changes,
// closing) happens on the thread that owns this object.
class JackStandalone {
public:
    static constexpr const char* kMidiInPort = "midi_in";
    static constexpr const char* kOutPorts[2] = {"out_left", "out_right"};
    static constexpr const char* kSideChainPorts[2] = {"sidechain_left", "sidechain_right"};
    // Without a timebase master the beat runs from the frame clock at this tempo.
    static constexpr double kDefaultTempo = 120.0;

    struct Options {
        std::string clientName = "vorn";
        bool sideChain = true;
        // Connects the outputs to the first two physical playback ports and every physical MIDI
        // source to the MIDI input.
        bool connectPhysical = false;
    };

    // Tempo and beat position handed to GenericPlugin::updateTransport.
    struct Transport {
        double tempo = kDefaultTempo;
        float beat = 0.0f;
    };

    explicit JackStandalone(GenericPlugin& plugin);
    ~JackStandalone();
    JackStandalone(const JackStandalone&) = delete;
    JackStandalone& operator=(const JackStandalone&) = delete;

    // Connects to the running server (never starts one), registers the ports and callbacks and
    // sets the plug-in to the server's sample rate. False with a reason in error.
    bool open(const Options& options, std::string* error);
    // Activates the client and makes the optional physical connections.
    bool start(std::string* error);
    // Deactivates and closes the client; safe to call again, and after the server went away.
    void close();

    // Owner thread, called regularly: applies a pending sample-rate change while the process
    // callback renders silence, without a lock on the audio thread. True once nothing is pending.
    bool service();
    // What the sample-rate callback does; public so that a rate change can be driven directly.
    void requestSampleRate(uint32_t rate);

    bool isOpen() const { return client_ != nullptr; }
    bool isActive() const { return active_; }
    // The name the server gave the client (it may add a suffix when the name is taken).
    std::string clientName() const;
    uint32_t sampleRate() const { return sampleRate_.load(std::memory_order_relaxed); }
    uint32_t bufferSize() const { return bufferSize_.load(std::memory_order_relaxed); }
    uint64_t xrunCount() const { return xruns_.load(std::memory_order_relaxed); }
    uint64_t cycleCount() const { return cycles_.load(std::memory_order_relaxed); }
    // The server shut down or threw the client out; only close remains.
    bool serverGone() const { return serverGone_.load(std::memory_order_acquire); }
    std::string serverGoneReason() const;

    // One JACK MIDI event as the three-byte message the plug-in queues, time = frame offset.
    // System exclusive, empty and malformed events give false.
    static bool toMidiEvent(const uint8_t* data, size_t size, uint32_t time, MidiEvent* event);
    // The host transport for GenericPlugin::updateTransport: bar, beat and tick when a timebase
    // master supplies them, else beats of kDefaultTempo counted from the frame position.
    static Transport transportOf(const jack_position_t& position);

private:
    static int processCallback(jack_nframes_t frames, void* self);
    static int sampleRateCallback(jack_nframes_t rate, void* self);
    static int bufferSizeCallback(jack_nframes_t frames, void* self);
    static int xrunCallback(void* self);
    static void shutdownCallback(jack_status_t code, const char* reason, void* self);

    int process(jack_nframes_t frames);
    bool connectPhysical(std::string* error);

    static constexpr size_t kReasonLength = 256;

    GenericPlugin& plugin_;
    jack_client_t* client_ = nullptr;
    jack_port_t* midiIn_ = nullptr;
    jack_port_t* outputs_[2] = {nullptr, nullptr};
    jack_port_t* sideChain_[2] = {nullptr, nullptr};
    bool connectPhysical_ = false;
    bool active_ = false;
    // The rate the plug-in runs at; changed only on the owner thread while the callback pauses.
    uint32_t pluginRate_ = 0;

    std::atomic<uint32_t> sampleRate_{0};
    std::atomic<uint32_t> bufferSize_{0};
    std::atomic<uint64_t> xruns_{0};
    std::atomic<uint64_t> cycles_{0};
    // Rate-change handshake: the owner asks, the callback answers from its next cycle on.
    std::atomic<bool> pauseRequested_{false};
    std::atomic<bool> paused_{false};
    std::atomic<bool> serverGone_{false};
    char serverGoneReason_[kReasonLength] = {};
};
