#pragma once

#include <clap/entry.h>
#include <clap/events.h>
#include <clap/ext/params.h>
#include <clap/ext/state.h>
#include <clap/ext/thread-check.h>
#include <clap/ext/timer-support.h>
#include <clap/host.h>
#include <clap/plugin-factory.h>
#include <clap/plugin.h>

#include <array>
#include <cstdint>
#include <initializer_list>
#include <set>
#include <string>
#include <vector>

// A small CLAP host: it opens the module, makes an instance through the entry and factory,
// activates it and runs blocks with note, MIDI and parameter events, watching each process call
// for allocations and locks. Parameter events the plug-in sends back are kept.
class ClapTestInstance {
public:
    static constexpr uint32_t kMaxBlock = 4096;

    ClapTestInstance(const std::string& modulePath, double rate);
    ~ClapTestInstance();
    ClapTestInstance(const ClapTestInstance&) = delete;
    ClapTestInstance& operator=(const ClapTestInstance&) = delete;

    const clap_plugin_t* plugin() const { return plugin_; }
    template <typename T>
    const T* extension(const char* id) const {
        return static_cast<const T*>(plugin_->get_extension(plugin_, id));
    }

    // Events for the next block, at frames within it.
    void note(uint32_t frame, uint16_t type, int16_t key, double velocity, int32_t noteId = -1);
    void midi(uint32_t frame, std::initializer_list<uint8_t> bytes);
    void param(uint32_t frame, clap_id id, double value);
    void expression(uint32_t frame, clap_note_expression id, int16_t key, double value);

    // One block into left and right (the events are sorted by frame first).
    void process(uint32_t frames, float* left, float* right);
    // Blocks of the given sizes, cycling, until frames are rendered; events queued before go
    // into the first block. Returns left and right.
    std::array<std::vector<float>, 2> render(uint32_t frames, const std::vector<uint32_t>& blocks);

    double value(clap_id id) const;
    std::vector<uint8_t> save() const;
    bool load(const std::vector<uint8_t>& bytes);
    // Runs the main-thread callback the plug-in asked for, if it did.
    void idle();

    // The plug-in's timers (its editor's) fire once each.
    void tick();
    size_t timers() const { return timers_.size(); }

    // What the plug-in sent in the last block, in order: parameter values and gestures (id: the
    // parameter), note ends (id: the note id, value: the key).
    struct Report {
        uint16_t type;
        clap_id id;
        double value;
    };
    size_t blockingCalls() const { return blockingCalls_; }
    // How often the plug-in said its state changed beyond the parameters.
    int dirtyMarks() const { return dirtyMarks_; }
    const std::vector<Report>& reported() const { return reported_; }

private:
    struct Event {
        union {
            clap_event_header_t header;
            clap_event_note_t note;
            clap_event_midi_t midi;
            clap_event_param_value_t param;
            clap_event_note_expression_t expression;
        };
    };

    void* module_ = nullptr;
    const clap_plugin_entry_t* entry_ = nullptr;
    const clap_plugin_t* plugin_ = nullptr;
    clap_host_t host_{};
    clap_host_thread_check_t threadCheck_{};
    clap_host_params_t params_{};
    clap_host_state_t state_{};
    int dirtyMarks_ = 0;
    std::vector<Event> events_;
    clap_host_timer_support_t timerSupport_{};
    std::set<clap_id> timers_;
    clap_id nextTimer_ = 1;
    std::vector<Report> reported_;
    size_t blockingCalls_ = 0;
    bool callbackRequested_ = false;
    bool inProcess_ = false;
};
