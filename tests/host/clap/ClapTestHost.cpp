#include "tests/host/clap/ClapTestHost.h"

#include <clap/ext/state.h>
#include <dlfcn.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "tests/support/AllocationCounter.h"
#include "tests/support/BlockingCounter.h"

namespace {

ClapTestInstance& of(const clap_host_t* host) {
    return *static_cast<ClapTestInstance*>(host->host_data);
}

}  // namespace

ClapTestInstance::ClapTestInstance(const std::string& modulePath, double rate) {
    module_ = dlopen(modulePath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module_) throw std::runtime_error(dlerror());
    entry_ = static_cast<const clap_plugin_entry_t*>(dlsym(module_, "clap_entry"));
    if (!entry_ || !entry_->init(modulePath.c_str())) throw std::runtime_error("no clap_entry");
    const auto* factory =
        static_cast<const clap_plugin_factory_t*>(entry_->get_factory(CLAP_PLUGIN_FACTORY_ID));
    if (!factory || factory->get_plugin_count(factory) != 1)
        throw std::runtime_error("no plug-in factory");

    threadCheck_.is_main_thread = [](const clap_host_t* h) { return !of(h).inProcess_; };
    threadCheck_.is_audio_thread = [](const clap_host_t* h) { return of(h).inProcess_; };
    params_.rescan = [](const clap_host_t*, clap_param_rescan_flags) {};
    params_.clear = [](const clap_host_t*, clap_id, clap_param_clear_flags) {};
    params_.request_flush = [](const clap_host_t*) {};
    state_.mark_dirty = [](const clap_host_t* h) { ++of(h).dirtyMarks_; };
    timerSupport_.register_timer = [](const clap_host_t* h, uint32_t, clap_id* id) {
        *id = of(h).nextTimer_++;
        of(h).timers_.insert(*id);
        return true;
    };
    timerSupport_.unregister_timer = [](const clap_host_t* h, clap_id id) {
        return of(h).timers_.erase(id) == 1;
    };
    host_.clap_version = CLAP_VERSION;
    host_.host_data = this;
    host_.name = "Vorn test host";
    host_.vendor = host_.url = host_.version = "";
    host_.get_extension = [](const clap_host_t* h, const char* id) -> const void* {
        if (std::strcmp(id, CLAP_EXT_THREAD_CHECK) == 0) return &of(h).threadCheck_;
        if (std::strcmp(id, CLAP_EXT_PARAMS) == 0) return &of(h).params_;
        if (std::strcmp(id, CLAP_EXT_STATE) == 0) return &of(h).state_;
        if (std::strcmp(id, CLAP_EXT_TIMER_SUPPORT) == 0) return &of(h).timerSupport_;
        return nullptr;
    };
    host_.request_restart = [](const clap_host_t*) {};
    host_.request_process = [](const clap_host_t*) {};
    host_.request_callback = [](const clap_host_t* h) { of(h).callbackRequested_ = true; };

    const clap_plugin_descriptor_t* d = factory->get_plugin_descriptor(factory, 0);
    plugin_ = factory->create_plugin(factory, &host_, d->id);
    if (!plugin_ || !plugin_->init(plugin_) || !plugin_->activate(plugin_, rate, 1, kMaxBlock))
        throw std::runtime_error("the plug-in did not start");
    plugin_->start_processing(plugin_);
}

ClapTestInstance::~ClapTestInstance() {
    if (plugin_) {
        plugin_->stop_processing(plugin_);
        plugin_->deactivate(plugin_);
        plugin_->destroy(plugin_);
    }
    if (entry_) entry_->deinit();
    if (module_) dlclose(module_);
}

void ClapTestInstance::note(uint32_t frame, uint16_t type, int16_t key, double velocity,
                            int32_t noteId) {
    Event e{};
    e.note = {{sizeof(clap_event_note_t), frame, CLAP_CORE_EVENT_SPACE_ID, type, 0},
              noteId,
              0,
              0,
              key,
              velocity};
    events_.push_back(e);
}

void ClapTestInstance::midi(uint32_t frame, std::initializer_list<uint8_t> bytes) {
    Event e{};
    e.midi.header = {sizeof(clap_event_midi_t), frame, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_MIDI,
                     0};
    std::copy(bytes.begin(), bytes.begin() + std::min<size_t>(bytes.size(), 3), e.midi.data);
    events_.push_back(e);
}

void ClapTestInstance::param(uint32_t frame, clap_id id, double value) {
    Event e{};
    e.param.header = {sizeof(clap_event_param_value_t), frame, CLAP_CORE_EVENT_SPACE_ID,
                      CLAP_EVENT_PARAM_VALUE, 0};
    e.param.param_id = id;
    e.param.note_id = -1;
    e.param.port_index = e.param.channel = e.param.key = -1;
    e.param.value = value;
    events_.push_back(e);
}

void ClapTestInstance::expression(uint32_t frame, clap_note_expression id, int16_t key,
                                  double value) {
    Event e{};
    e.expression.header = {sizeof(clap_event_note_expression_t), frame, CLAP_CORE_EVENT_SPACE_ID,
                           CLAP_EVENT_NOTE_EXPRESSION, 0};
    e.expression.expression_id = id;
    e.expression.note_id = -1;
    e.expression.port_index = e.expression.channel = -1;
    e.expression.key = key;
    e.expression.value = value;
    events_.push_back(e);
}

void ClapTestInstance::process(uint32_t frames, float* left, float* right) {
    std::stable_sort(events_.begin(), events_.end(),
                     [](const Event& a, const Event& b) { return a.header.time < b.header.time; });
    clap_input_events_t in{
        &events_,
        [](const clap_input_events_t* l) {
            return static_cast<uint32_t>(static_cast<std::vector<Event>*>(l->ctx)->size());
        },
        [](const clap_input_events_t* l, uint32_t i) -> const clap_event_header_t* {
            return &(*static_cast<std::vector<Event>*>(l->ctx))[i].header;
        }};
    // Room for every report of a block, so that keeping them does not allocate inside.
    reported_.clear();
    reported_.reserve(1024);
    clap_output_events_t out{
        this, [](const clap_output_events_t* l, const clap_event_header_t* e) {
            auto* self = static_cast<ClapTestInstance*>(l->ctx);
            if (self->reported_.size() == self->reported_.capacity()) return false;
            if (e->type == CLAP_EVENT_PARAM_VALUE) {
                const auto& v = *reinterpret_cast<const clap_event_param_value_t*>(e);
                self->reported_.push_back({e->type, v.param_id, v.value});
            } else if (e->type == CLAP_EVENT_NOTE_END) {
                const auto& n = *reinterpret_cast<const clap_event_note_t*>(e);
                self->reported_.push_back(
                    {e->type, static_cast<clap_id>(n.note_id), double(n.key)});
            } else if (e->type == CLAP_EVENT_PARAM_GESTURE_BEGIN ||
                       e->type == CLAP_EVENT_PARAM_GESTURE_END) {
                const auto& g = *reinterpret_cast<const clap_event_param_gesture_t*>(e);
                self->reported_.push_back({e->type, g.param_id, 0.0});
            }
            return true;
        }};
    float* channels[2] = {left, right};
    clap_audio_buffer_t output{channels, nullptr, 2, 0, 0};
    clap_process_t process{-1, frames, nullptr, nullptr, &output, 0, 1, &in, &out};
    {
        inProcess_ = true;
        BlockingCounter blocking;
        AllocationGuard allocations;
        plugin_->process(plugin_, &process);
        blockingCalls_ +=
            allocations.allocations() + allocations.frees() + blocking.locks() + blocking.sleeps();
        inProcess_ = false;
    }
    events_.clear();
}

std::array<std::vector<float>, 2> ClapTestInstance::render(uint32_t frames,
                                                           const std::vector<uint32_t>& blocks) {
    std::array<std::vector<float>, 2> out{std::vector<float>(frames), std::vector<float>(frames)};
    uint32_t done = 0;
    for (size_t b = 0; done < frames; ++b) {
        const uint32_t n = std::min(blocks[b % blocks.size()], frames - done);
        process(n, out[0].data() + done, out[1].data() + done);
        done += n;
    }
    return out;
}

double ClapTestInstance::value(clap_id id) const {
    const auto* params = extension<clap_plugin_params_t>(CLAP_EXT_PARAMS);
    double v = 0.0;
    params->get_value(plugin_, id, &v);
    return v;
}

std::vector<uint8_t> ClapTestInstance::save() const {
    std::vector<uint8_t> bytes;
    clap_ostream_t stream{&bytes, [](const clap_ostream_t* s, const void* data, uint64_t size) {
                              const auto* b = static_cast<const uint8_t*>(data);
                              static_cast<std::vector<uint8_t>*>(s->ctx)->insert(
                                  static_cast<std::vector<uint8_t>*>(s->ctx)->end(), b, b + size);
                              return static_cast<int64_t>(size);
                          }};
    const auto* state = extension<clap_plugin_state_t>(CLAP_EXT_STATE);
    if (!state->save(plugin_, &stream)) bytes.clear();
    return bytes;
}

bool ClapTestInstance::load(const std::vector<uint8_t>& bytes) {
    struct Reader {
        const std::vector<uint8_t>* bytes;
        size_t at = 0;
    } reader{&bytes};
    // Small reads, as hosts may hand the state over in pieces.
    clap_istream_t stream{
        &reader, [](const clap_istream_t* s, void* data, uint64_t size) {
            auto* r = static_cast<Reader*>(s->ctx);
            const size_t n = std::min<size_t>({size, 1000, r->bytes->size() - r->at});
            if (n > 0) std::memcpy(data, r->bytes->data() + r->at, n);
            r->at += n;
            return static_cast<int64_t>(n);
        }};
    return extension<clap_plugin_state_t>(CLAP_EXT_STATE)->load(plugin_, &stream);
}

void ClapTestInstance::tick() {
    const auto* timer = extension<clap_plugin_timer_support_t>(CLAP_EXT_TIMER_SUPPORT);
    for (const clap_id id : std::set<clap_id>(timers_)) timer->on_timer(plugin_, id);
}

void ClapTestInstance::idle() {
    if (!callbackRequested_) return;
    callbackRequested_ = false;
    plugin_->on_main_thread(plugin_);
}
