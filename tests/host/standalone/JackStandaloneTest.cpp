#include <fcntl.h>
#include <gtest/gtest.h>
#include <jack/midiport.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "engine/VornPlugin.h"
#include "host/standalone/JackStandalone.h"

namespace {

constexpr uint32_t kRate = 48000;
constexpr uint32_t kPeriod = 256;

// Polls until done() or a generous deadline; the deadline only stops a broken run from hanging.
bool eventually(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

void quiet(const char*) {}

// A jackd of its own (dummy driver, no sound card, no real-time rights) under a name no other
// test process uses; clients of this process find it through JACK_DEFAULT_SERVER. Synchronous,
// so that a loaded machine delays cycles instead of skipping late clients.
class PrivateJackServer {
public:
    ~PrivateJackServer() { stop(); }

    // False when jackd cannot be run here.
    bool start() {
        jack_set_error_function(quiet);
        jack_set_info_function(quiet);
        name_ = "vorn-gtest-" + std::to_string(getpid());
        setenv("JACK_DEFAULT_SERVER", name_.c_str(), 1);
        const std::string rate = std::to_string(kRate);
        const std::string period = std::to_string(kPeriod);
        pid_ = fork();
        if (pid_ == 0) {
            const int null = ::open("/dev/null", O_WRONLY);
            dup2(null, STDOUT_FILENO);
            dup2(null, STDERR_FILENO);
            execlp("jackd", "jackd", "--no-realtime", "-S", "-d", "dummy", "-r", rate.c_str(), "-p",
                   period.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        return pid_ > 0 && eventually([this] {
                   if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
                       pid_ = -1;
                       return true;
                   }
                   jack_client_t* probe = jack_client_open("probe", JackNoStartServer, nullptr);
                   if (probe) jack_client_close(probe);
                   return probe != nullptr;
               }) &&
               pid_ > 0;
    }

    void stop() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    std::string name_;
    pid_t pid_ = -1;
};

// A plain JACK client of the test: sends one MIDI message when armed, records two audio inputs
// with the frame time of every recorded cycle.
class TestClient {
public:
    static constexpr size_t kCapacity = kRate * 4;

    TestClient() {
        for (std::vector<float>& channel : recorded_) channel.assign(kCapacity, 0.0f);
        cycleTimes_.assign(kCapacity / kPeriod, 0);
    }
    ~TestClient() {
        if (client_) jack_client_close(client_);
    }

    bool open(const char* name) {
        client_ = jack_client_open(name, JackNoStartServer, nullptr);
        if (!client_) return false;
        midiOut_ =
            jack_port_register(client_, "midi_out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        inputs_[0] =
            jack_port_register(client_, "in_left", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
        inputs_[1] =
            jack_port_register(client_, "in_right", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
        return jack_set_process_callback(
                   client_,
                   [](jack_nframes_t frames, void* self) {
                       return static_cast<TestClient*>(self)->process(frames);
                   },
                   this) == 0 &&
               jack_activate(client_) == 0;
    }

    // Its MIDI output to the input of the client under test.
    bool sendTo(const std::string& other) {
        const std::string self = jack_get_client_name(client_);
        return jack_connect(client_, (self + ":midi_out").c_str(),
                            (other + ":" + JackStandalone::kMidiInPort).c_str()) == 0;
    }
    // The outputs of the client under test to its inputs.
    bool recordFrom(const std::string& other) {
        const std::string self = jack_get_client_name(client_);
        return jack_connect(client_, (other + ":" + JackStandalone::kOutPorts[0]).c_str(),
                            (self + ":in_left").c_str()) == 0 &&
               jack_connect(client_, (other + ":" + JackStandalone::kOutPorts[1]).c_str(),
                            (self + ":in_right").c_str()) == 0;
    }

    void send(std::array<uint8_t, 3> message, uint32_t offset) {
        message_ = message;
        offset_ = offset;
        armed_.store(true, std::memory_order_release);
    }
    bool sent() const { return sentAt_.load(std::memory_order_acquire) != kNotYet; }
    // Frame time of the cycle that sent the message.
    jack_nframes_t sentAt() const { return sentAt_.load(std::memory_order_acquire); }
    // Frame time of the cycle recorded at this frame of the recording.
    jack_nframes_t cycleTimeAt(size_t frame) const { return cycleTimes_[frame / kPeriod]; }
    // The first recorded frame that is not silent on either channel; SIZE_MAX if none.
    size_t firstSound() const {
        const size_t n = recordedFrames();
        for (size_t i = 0; i < n; ++i) {
            if (recorded_[0][i] != 0.0f || recorded_[1][i] != 0.0f) return i;
        }
        return SIZE_MAX;
    }
    size_t recordedFrames() const { return written_.load(std::memory_order_acquire); }
    const std::vector<float>& recorded(int channel) const { return recorded_[channel]; }
    jack_client_t* client() const { return client_; }

private:
    static constexpr jack_nframes_t kNotYet = 0xFFFFFFFFu;

    int process(jack_nframes_t frames) {
        const jack_nframes_t now = jack_last_frame_time(client_);
        void* midi = jack_port_get_buffer(midiOut_, frames);
        jack_midi_clear_buffer(midi);
        if (armed_.exchange(false, std::memory_order_acq_rel)) {
            jack_midi_event_write(midi, offset_, message_.data(), message_.size());
            sentAt_.store(now, std::memory_order_release);
        }
        size_t at = written_.load(std::memory_order_relaxed);
        // Frame times tell where each cycle went, even when the server skipped some.
        if (frames == kPeriod && at + frames <= kCapacity) {
            cycleTimes_[at / kPeriod] = now;
            for (int k = 0; k < 2; ++k) {
                const auto* in =
                    static_cast<const float*>(jack_port_get_buffer(inputs_[k], frames));
                std::copy_n(in, frames, recorded_[k].data() + at);
            }
            written_.store(at + frames, std::memory_order_release);
        }
        return 0;
    }

    jack_client_t* client_ = nullptr;
    jack_port_t* midiOut_ = nullptr;
    jack_port_t* inputs_[2] = {nullptr, nullptr};
    std::array<uint8_t, 3> message_{};
    uint32_t offset_ = 0;
    std::atomic<bool> armed_{false};
    std::atomic<jack_nframes_t> sentAt_{kNotYet};
    std::atomic<size_t> written_{0};
    std::vector<float> recorded_[2];
    std::vector<jack_nframes_t> cycleTimes_;
};

class JackStandaloneServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!server_.start()) GTEST_SKIP() << "jackd with the dummy driver cannot run here";
    }

    PrivateJackServer server_;
    VornPlugin plugin_;
};

bool isConnected(jack_client_t* client, const std::string& port, const char* other) {
    jack_port_t* p = jack_port_by_name(client, port.c_str());
    return p && jack_port_connected_to(p, other);
}

}  // namespace

TEST(JackStandaloneMidi, KeepsThreeByteMessagesAndDropsWhatCannotTravelAsOne) {
    struct Case {
        std::vector<uint8_t> bytes;
        bool kept;
        MidiEvent expected;
    };
    const Case cases[] = {
        {{0x90, 60, 100}, true, {0x90, 60, 100, 0, 17}},  // note on
        {{0x8F, 127, 0}, true, {0x8F, 127, 0, 0, 17}},    // note off, channel 16
        {{0xC3, 5}, true, {0xC3, 5, 0, 0, 17}},           // program change: second data byte 0
        {{0xE0, 0, 64}, true, {0xE0, 0, 64, 0, 17}},      // pitch bend centre
        {{0xF8}, true, {0xF8, 0, 0, 0, 17}},              // clock: both data bytes 0
        {{}, false, {}},                                  // empty
        {{60, 100}, false, {}},                           // data without status
        {{0xF0, 0x7E, 0xF7}, false, {}},                  // system exclusive, however short
        {{0xF7}, false, {}},                              // end of exclusive alone
        {{0x90, 0x80, 10}, false, {}},                    // status byte where data belongs
        {{0x90, 60, 100, 0}, false, {}},                  // longer than any channel message
    };
    for (const Case& c : cases) {
        MidiEvent event{0xAA, 0xAA, 0xAA, 0xAA, -1};
        const bool kept = JackStandalone::toMidiEvent(c.bytes.data(), c.bytes.size(), 17, &event);
        ASSERT_EQ(kept, c.kept) << "first byte " << (c.bytes.empty() ? -1 : c.bytes[0]);
        if (!kept) continue;
        EXPECT_EQ(event.status, c.expected.status);
        EXPECT_EQ(event.data1, c.expected.data1);
        EXPECT_EQ(event.data2, c.expected.data2);
        EXPECT_EQ(event.reserved, 0);
        EXPECT_EQ(event.offset, 17);
    }
    MidiEvent event;
    ASSERT_TRUE(
        JackStandalone::toMidiEvent(std::array<uint8_t, 3>{0x90, 1, 2}.data(), 3, 4095, &event));
    EXPECT_EQ(event.offset, 4095);
}

TEST(JackStandaloneTransport, BeatsFromBarBeatTickOrFromTheFrameClock) {
    jack_position_t bbt{};
    bbt.valid = JackPositionBBT;
    bbt.frame_rate = kRate;
    bbt.beats_per_minute = 140.0;
    bbt.beats_per_bar = 4.0f;
    bbt.ticks_per_beat = 1920.0;
    bbt.bar = 3;
    bbt.beat = 2;
    bbt.tick = 960;
    JackStandalone::Transport t = JackStandalone::transportOf(bbt);
    EXPECT_DOUBLE_EQ(t.tempo, 140.0);
    EXPECT_FLOAT_EQ(t.beat, 9.5f);  // two bars of four, one beat, half a beat

    bbt.beats_per_bar = 6.0f;  // 6/8: meter beats are eighths
    bbt.bar = 2;
    bbt.beat = 1;
    bbt.tick = 0;
    EXPECT_FLOAT_EQ(JackStandalone::transportOf(bbt).beat, 6.0f);

    // No timebase master: two seconds of frames are four beats at the default tempo.
    jack_position_t frames{};
    frames.frame_rate = kRate;
    frames.frame = 2 * kRate;
    t = JackStandalone::transportOf(frames);
    EXPECT_DOUBLE_EQ(t.tempo, JackStandalone::kDefaultTempo);
    EXPECT_FLOAT_EQ(t.beat, 4.0f);

    // Bar, beat and tick that cannot be read fall back to the frame clock.
    frames.valid = JackPositionBBT;
    frames.beats_per_minute = 90.0;
    frames.ticks_per_beat = 0.0;
    t = JackStandalone::transportOf(frames);
    EXPECT_DOUBLE_EQ(t.tempo, JackStandalone::kDefaultTempo);
    EXPECT_FLOAT_EQ(t.beat, 4.0f);

    // A position without any rate stands at beat 0.
    t = JackStandalone::transportOf(jack_position_t{});
    EXPECT_FLOAT_EQ(t.beat, 0.0f);
}

TEST(JackStandaloneNoServer, OpenFailsWithAReasonAndLeavesNothingOpen) {
    jack_set_error_function(quiet);
    jack_set_info_function(quiet);
    setenv("JACK_DEFAULT_SERVER", ("vorn-gtest-absent-" + std::to_string(getpid())).c_str(), 1);
    VornPlugin plugin;
    JackStandalone host(plugin);
    std::string error;
    EXPECT_FALSE(host.open({}, &error));
    EXPECT_EQ(error, "no JACK server is running");
    EXPECT_FALSE(host.isOpen());
    EXPECT_FALSE(host.start(&error));
    EXPECT_EQ(error, "the JACK client is not open");
    host.close();
}

// The default ports and --connect are checked against `vorn play` by jack-session-test.sh.
TEST_F(JackStandaloneServerTest, TakesTheServerRateAndLeavesOutTheSideChainOnRequest) {
    plugin_.setSampleRate(22050.0f);
    JackStandalone host(plugin_);
    JackStandalone::Options options;
    options.clientName = "synth";
    options.sideChain = false;
    std::string error;
    ASSERT_TRUE(host.open(options, &error)) << error;
    EXPECT_EQ(host.clientName(), "synth");
    EXPECT_EQ(host.sampleRate(), kRate);
    EXPECT_EQ(host.bufferSize(), kPeriod);
    EXPECT_FLOAT_EQ(plugin_.environment().sampleRate(), static_cast<float>(kRate));
    ASSERT_TRUE(host.start(&error)) << error;

    TestClient probe;
    ASSERT_TRUE(probe.open("probe"));
    jack_client_t* c = probe.client();
    EXPECT_NE(jack_port_by_name(c, "synth:midi_in"), nullptr);
    EXPECT_EQ(jack_port_by_name(c, "synth:sidechain_left"), nullptr);
    EXPECT_FALSE(isConnected(c, "synth:out_left", "system:playback_1"));
    EXPECT_TRUE(eventually([&] { return host.cycleCount() > 4; }));
    host.close();
    EXPECT_EQ(jack_port_by_name(c, "synth:out_left"), nullptr);
}

TEST_F(JackStandaloneServerTest, ANoteSoundsFromItsFrameInsideTheCycle) {
    constexpr uint32_t kOffset = 100;
    JackStandalone host(plugin_);
    std::string error;
    ASSERT_TRUE(host.open({}, &error)) << error;
    ASSERT_TRUE(host.start(&error)) << error;
    // Two clients, so that the graph runs sender, synthesizer, recorder within one cycle.
    TestClient sender, recorder;
    ASSERT_TRUE(sender.open("sender"));
    ASSERT_TRUE(recorder.open("recorder"));
    ASSERT_TRUE(sender.sendTo(host.clientName()));
    ASSERT_TRUE(recorder.recordFrom(host.clientName()));

    ASSERT_TRUE(eventually([&] { return recorder.recordedFrames() >= 8 * kPeriod; }));
    sender.send({0x90, 69, 127}, kOffset);
    ASSERT_TRUE(eventually([&] { return sender.sent(); }));
    size_t onset = SIZE_MAX;
    ASSERT_TRUE(eventually([&] {
        onset = recorder.firstSound();
        return onset != SIZE_MAX && recorder.recordedFrames() >= onset + kPeriod;
    }));
    // Silent up to the note's frame inside its cycle, on both channels, and sounding after it.
    // A cycle the loaded machine delayed may hold it; one before the message cannot.
    EXPECT_EQ(onset % kPeriod, kOffset);
    EXPECT_GE(recorder.cycleTimeAt(onset), sender.sentAt());
    for (int k = 0; k < 2; ++k) {
        const std::vector<float>& out = recorder.recorded(k);
        float peak = 0.0f;
        for (size_t i = onset; i < onset + kPeriod; ++i) peak = std::max(peak, std::fabs(out[i]));
        EXPECT_GT(peak, 1.0e-4f) << "channel " << k;
    }
}

TEST_F(JackStandaloneServerTest, RateChangeWaitsForTheCallbackToStandAside) {
    JackStandalone host(plugin_);
    std::string error;
    ASSERT_TRUE(host.open({}, &error)) << error;
    EXPECT_TRUE(host.service());  // nothing pending
    // Before activation the owner applies it at once.
    host.requestSampleRate(96000);
    EXPECT_TRUE(host.service());
    EXPECT_FLOAT_EQ(plugin_.environment().sampleRate(), 96000.0f);

    ASSERT_TRUE(host.start(&error)) << error;
    ASSERT_TRUE(eventually([&] { return host.cycleCount() > 2; }));
    host.requestSampleRate(44100);
    EXPECT_FALSE(host.service());  // the first call only asks the callback to pause
    EXPECT_FLOAT_EQ(plugin_.environment().sampleRate(), 96000.0f);
    ASSERT_TRUE(eventually([&] { return host.service(); }));
    EXPECT_FLOAT_EQ(plugin_.environment().sampleRate(), 44100.0f);
    EXPECT_EQ(host.sampleRate(), 44100u);

    // Rendering resumes.
    const uint64_t cycles = host.cycleCount();
    EXPECT_TRUE(eventually([&] { return host.cycleCount() > cycles + 4; }));
    EXPECT_TRUE(host.service());
}

TEST_F(JackStandaloneServerTest, AServerThatGoesAwayIsNoticedAndCloseStillReturns) {
    JackStandalone host(plugin_);
    std::string error;
    ASSERT_TRUE(host.open({}, &error)) << error;
    ASSERT_TRUE(host.start(&error)) << error;
    EXPECT_FALSE(host.serverGone());
    EXPECT_EQ(host.serverGoneReason(), "");
    server_.stop();
    ASSERT_TRUE(eventually([&] { return host.serverGone(); }));
    host.close();
    EXPECT_FALSE(host.isOpen());
    EXPECT_FALSE(host.isActive());
}
