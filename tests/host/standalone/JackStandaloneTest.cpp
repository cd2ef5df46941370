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
        pid_ = fork();
        if (pid_ == 0) {
            const int null = ::open("/dev/null", O_WRONLY);
            dup2(null, STDOUT_FILENO);
            dup2(null, STDERR_FILENO);
            execlp("jackd", "jackd", "--no-realtime", "-S", "-d", "dummy", "-r",
                   std::to_string(kRate).c_str(), "-p", std::to_string(kPeriod).c_str(),
                   static_cast<char*>(nullptr));
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

    ~TestClient() {
        if (client_) jack_client_close(client_);
    }

    bool open(const char* name) {
        client_ = jack_client_open(name, JackNoStartServer, nullptr);
        if (!client_) return false;
        midiOut_ =
            jack_port_register(client_, "midi_out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        for (int k = 0; k < 2; ++k)
            inputs_[k] = jack_port_register(client_, k ? "in_right" : "in_left",
                                            JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
        return jack_set_process_callback(
                   client_,
                   [](jack_nframes_t frames, void* self) {
                       return static_cast<TestClient*>(self)->process(frames);
                   },
                   this) == 0 &&
               jack_activate(client_) == 0;
    }

    // Its MIDI output to the input of the client under test; the outputs of that to its inputs.
    bool sendTo(const std::string& other) {
        return connect("midi_out", other + ":" + JackStandalone::kMidiInPort);
    }
    bool recordFrom(const std::string& other) {
        return connect(other + ":" + JackStandalone::kOutPorts[0], "in_left", true) &&
               connect(other + ":" + JackStandalone::kOutPorts[1], "in_right", true);
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
        for (size_t i = 0; i < n; ++i)
            if (recorded_[0][i] != 0.0f || recorded_[1][i] != 0.0f) return i;
        return SIZE_MAX;
    }
    size_t recordedFrames() const { return written_.load(std::memory_order_acquire); }
    const std::vector<float>& recorded(int channel) const { return recorded_[channel]; }
    jack_client_t* client() const { return client_; }

private:
    static constexpr jack_nframes_t kNotYet = 0xFFFFFFFFu;

    // Own ports are named without the client; `into` turns the direction round.
    bool connect(const std::string& from, const std::string& to, bool into = false) {
        const std::string self = std::string(jack_get_client_name(client_)) + ":";
        return into ? jack_connect(client_, from.c_str(), (self + to).c_str()) == 0
                    : jack_connect(client_, (self + from).c_str(), to.c_str()) == 0;
    }

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
            for (int k = 0; k < 2; ++k)
                std::copy_n(static_cast<const float*>(jack_port_get_buffer(inputs_[k], frames)),
                            frames, recorded_[k].data() + at);
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
    std::vector<float> recorded_[2] = {std::vector<float>(kCapacity),
                                       std::vector<float>(kCapacity)};
    std::vector<jack_nframes_t> cycleTimes_ = std::vector<jack_nframes_t>(kCapacity / kPeriod);
};

class JackStandaloneServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!server_.start()) GTEST_SKIP() << "jackd with the dummy driver cannot run here";
    }
    // Opens the host on the private server and, unless told otherwise, activates it.
    void open(JackStandalone& host, const JackStandalone::Options& options = {},
              bool start = true) {
        std::string error;
        ASSERT_TRUE(host.open(options, &error)) << error;
        ASSERT_TRUE(!start || host.start(&error)) << error;
    }

    PrivateJackServer server_;
    VornPlugin plugin_;
};

}  // namespace

TEST(JackStandaloneMidi, KeepsThreeByteMessagesAndDropsWhatCannotTravelAsOne) {
    struct Case {
        std::vector<uint8_t> bytes;
        int offset;
        std::array<int, 3> kept;  // status and data bytes; -1 when dropped
    };
    const Case cases[] = {
        {{0x90, 60, 100}, 17, {0x90, 60, 100}},  // note on
        {{0x8F, 127, 0}, 17, {0x8F, 127, 0}},    // note off, channel 16
        {{0xC3, 5}, 4095, {0xC3, 5, 0}},         // program change: second data byte 0
        {{0xE0, 0, 64}, 17, {0xE0, 0, 64}},      // pitch bend centre
        {{0xF8}, 17, {0xF8, 0, 0}},              // clock: both data bytes 0
        {{}, 17, {-1}},                          // empty
        {{60, 100}, 17, {-1}},                   // data without status
        {{0xF0, 0x7E, 0xF7}, 17, {-1}},          // system exclusive, however short
        {{0xF7}, 17, {-1}},                      // end of exclusive alone
        {{0x90, 0x80, 10}, 17, {-1}},            // status byte where data belongs
        {{0x90, 60, 100, 0}, 17, {-1}},          // longer than any channel message
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes.empty() ? -1 : c.bytes[0]);
        MidiEvent e{0xAA, 0xAA, 0xAA, 0xAA, -1};
        const bool kept = JackStandalone::toMidiEvent(c.bytes.data(), c.bytes.size(), c.offset, &e);
        ASSERT_EQ(kept, c.kept[0] >= 0);
        if (!kept) continue;
        EXPECT_EQ((std::array<int, 5>{e.status, e.data1, e.data2, e.reserved, e.offset}),
                  (std::array<int, 5>{c.kept[0], c.kept[1], c.kept[2], 0, c.offset}));
    }
}

TEST(JackStandaloneTransport, BeatsFromBarBeatTickOrFromTheFrameClock) {
    // Bar, beat, tick and meter when valid; else two seconds of frames at the default tempo.
    const auto bbt = [](double bpm, float beatsPerBar, int32_t bar, int32_t beat, int32_t tick,
                        double ticksPerBeat) {
        jack_position_t p{};
        p.valid = JackPositionBBT;
        p.frame_rate = kRate;
        p.frame = 2 * kRate;
        p.beats_per_minute = bpm;
        p.beats_per_bar = beatsPerBar;
        p.bar = bar;
        p.beat = beat;
        p.tick = tick;
        p.ticks_per_beat = ticksPerBeat;
        return p;
    };
    jack_position_t frames{};
    frames.frame_rate = kRate;
    frames.frame = 2 * kRate;
    const struct {
        jack_position_t position;
        double tempo;
        float beat;
    } cases[] = {
        {bbt(140.0, 4.0f, 3, 2, 960, 1920.0), 140.0, 9.5f},  // two bars of four, 1.5 beats
        {bbt(140.0, 6.0f, 2, 1, 0, 1920.0), 140.0, 6.0f},    // 6/8: meter beats are eighths
        {frames, JackStandalone::kDefaultTempo, 4.0f},       // no timebase master
        {bbt(90.0, 4.0f, 1, 1, 0, 0.0), JackStandalone::kDefaultTempo, 4.0f},  // unreadable
        {jack_position_t{}, JackStandalone::kDefaultTempo, 0.0f},              // no rate: beat 0
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        const JackStandalone::Transport t = JackStandalone::transportOf(c.position);
        EXPECT_DOUBLE_EQ(t.tempo, c.tempo);
        EXPECT_FLOAT_EQ(t.beat, c.beat);
    }
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
TEST_F(JackStandaloneServerTest, TakesTheServerRateAndANoteSoundsFromItsFrameInsideTheCycle) {
    constexpr uint32_t kOffset = 100;
    plugin_.setSampleRate(22050.0f);
    JackStandalone host(plugin_);
    JackStandalone::Options options;
    options.clientName = "synth";
    options.sideChain = false;
    ASSERT_NO_FATAL_FAILURE(open(host, options));
    EXPECT_EQ(host.clientName(), "synth");
    EXPECT_EQ(host.sampleRate(), kRate);
    EXPECT_EQ(host.bufferSize(), kPeriod);
    EXPECT_FLOAT_EQ(plugin_.environment().sampleRate(), static_cast<float>(kRate));

    // Two clients, so that the graph runs sender, synthesizer, recorder within one cycle.
    TestClient sender, recorder;
    ASSERT_TRUE(sender.open("sender"));
    ASSERT_TRUE(recorder.open("recorder"));
    jack_client_t* c = sender.client();
    EXPECT_NE(jack_port_by_name(c, "synth:midi_in"), nullptr);
    EXPECT_EQ(jack_port_by_name(c, "synth:sidechain_left"), nullptr);
    jack_port_t* out = jack_port_by_name(c, "synth:out_left");
    ASSERT_NE(out, nullptr);
    EXPECT_FALSE(jack_port_connected_to(out, "system:playback_1"));
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
    host.close();
    EXPECT_EQ(jack_port_by_name(c, "synth:out_left"), nullptr);
}

TEST_F(JackStandaloneServerTest, RateChangeWaitsForTheCallbackAndAServerGoneIsNoticed) {
    JackStandalone host(plugin_);
    ASSERT_NO_FATAL_FAILURE(open(host, {}, false));
    EXPECT_TRUE(host.service());  // nothing pending
    // Before activation the owner applies it at once.
    host.requestSampleRate(96000);
    EXPECT_TRUE(host.service());
    EXPECT_FLOAT_EQ(plugin_.environment().sampleRate(), 96000.0f);

    std::string error;
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

    // A server that goes away is noticed, and close still returns.
    EXPECT_FALSE(host.serverGone());
    EXPECT_EQ(host.serverGoneReason(), "");
    server_.stop();
    ASSERT_TRUE(eventually([&] { return host.serverGone(); }));
    host.close();
    EXPECT_FALSE(host.isOpen());
    EXPECT_FALSE(host.isActive());
}
