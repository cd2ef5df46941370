#include "tests/host/lv2/Lv2TestHost.h"

#include <lv2/atom/util.h>
#include <lv2/midi/midi.h>
#include <lv2/parameters/parameters.h>
#include <lv2/state/state.h>
#include <lv2/time/time.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "tests/support/AllocationCounter.h"
#include "tests/support/BlockingCounter.h"

Lv2TestWorld::Lv2TestWorld(const std::string& lv2Path) {
    setenv("LV2_PATH", lv2Path.c_str(), 1);
    world_ = lilv_world_new();
    lilv_world_load_all(world_);
    map_.handle = this;
    map_.map = [](LV2_URID_Map_Handle h, const char* uri) {
        return static_cast<Lv2TestWorld*>(h)->map(uri);
    };
    unmap_.handle = this;
    unmap_.unmap = [](LV2_URID_Unmap_Handle h, LV2_URID urid) {
        return static_cast<Lv2TestWorld*>(h)->unmap(urid);
    };
}

Lv2TestWorld::~Lv2TestWorld() {
    for (LilvNode* node : nodes_) lilv_node_free(node);
    lilv_world_free(world_);
}

LilvNode* Lv2TestWorld::uri(const char* text) {
    nodes_.push_back(lilv_new_uri(world_, text));
    return nodes_.back();
}

const LilvPlugin* Lv2TestWorld::plugin(const char* text) const {
    LilvNode* node = lilv_new_uri(world_, text);
    const LilvPlugin* p = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world_), node);
    lilv_node_free(node);
    return p;
}

LV2_URID Lv2TestWorld::map(const char* uri) {
    const auto it = ids_.find(uri);
    if (it != ids_.end()) return it->second;
    names_.emplace_back(uri);
    const auto id = static_cast<LV2_URID>(names_.size());
    ids_.emplace(uri, id);
    return id;
}

const char* Lv2TestWorld::unmap(LV2_URID urid) const {
    return urid >= 1 && urid <= names_.size() ? names_[urid - 1].c_str() : nullptr;
}

Lv2TestInstance::Lv2TestInstance(Lv2TestWorld& world, const LilvPlugin* plugin, double rate,
                                 uint32_t controlOffset)
    : world_(world),
      plugin_(plugin),
      controlStorage_(kAtomCapacity + controlOffset),
      controlIn_(controlStorage_.data() + controlOffset),
      sampleRate_(static_cast<float>(rate)) {
    const uint32_t count = lilv_plugin_get_num_ports(plugin);
    controls_.assign(count, 0.0f);
    std::vector<float> defaults(count);
    lilv_plugin_get_port_ranges_float(plugin, nullptr, nullptr, defaults.data());
    LilvNode* controlClass = world.uri(LV2_CORE__ControlPort);
    LilvNode* inputClass = world.uri(LV2_CORE__InputPort);
    for (uint32_t i = 0; i < count; ++i) {
        const LilvPort* port = lilv_plugin_get_port_by_index(plugin, i);
        const std::string symbol = lilv_node_as_string(lilv_port_get_symbol(plugin, port));
        portOfSymbol_[symbol] = i;
        if (lilv_port_is_a(plugin, port, controlClass) && lilv_port_is_a(plugin, port, inputClass))
            controls_[i] = defaults[i];
    }
    controlInPort_ = portOfSymbol_.at("control");
    outLeft_ = portOfSymbol_.at("out_left");
    outRight_ = portOfSymbol_.at("out_right");
    sideLeft_ = portOfSymbol_.at("sidechain_left");
    sideRight_ = portOfSymbol_.at("sidechain_right");
    latencyPort_ = portOfSymbol_.at("latency");

    schedule_.handle = this;
    schedule_.schedule_work = scheduleWork;
    const LV2_URID rateKey = world.map(LV2_PARAMETERS__sampleRate);
    const LV2_URID floatType = world.map(LV2_ATOM__Float);
    options_[0] = {LV2_OPTIONS_INSTANCE, 0, rateKey, sizeof(float), floatType, &sampleRate_};
    options_[1] = {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr};
    const LV2_Feature mapFeature = {LV2_URID__map, world.mapFeature()};
    const LV2_Feature unmapFeature = {LV2_URID__unmap, world.unmapFeature()};
    const LV2_Feature scheduleFeature = {LV2_WORKER__schedule, &schedule_};
    const LV2_Feature optionsFeature = {LV2_OPTIONS__options, options_.data()};
    const LV2_Feature* features[] = {&mapFeature, &unmapFeature, &scheduleFeature, &optionsFeature,
                                     nullptr};
    instance_ = lilv_plugin_instantiate(plugin, rate, features);
    if (!instance_) throw std::runtime_error("the plug-in did not instantiate");
    lv2_atom_forge_init(&forge_, world.mapFeature());

    // Control ports read the host's values; the others are connected below and in run().
    for (uint32_t i = 0; i < count; ++i) lilv_instance_connect_port(instance_, i, &controls_[i]);
    lilv_instance_connect_port(instance_, controlInPort_, controlIn_);
    lilv_instance_connect_port(instance_, sideLeft_, nullptr);
    lilv_instance_connect_port(instance_, sideRight_, nullptr);
    lilv_instance_connect_port(instance_, latencyPort_, &latency_);
    lilv_instance_activate(instance_);
}

Lv2TestInstance::~Lv2TestInstance() {
    lilv_instance_deactivate(instance_);
    lilv_instance_free(instance_);
}

void Lv2TestInstance::beginEvents() {
    if (eventsOpen_) return;
    lv2_atom_forge_set_buffer(&forge_, controlIn_, kAtomCapacity);
    lv2_atom_forge_sequence_head(&forge_, &sequence_, 0);
    eventsOpen_ = true;
}

void Lv2TestInstance::writeMidi(uint32_t frame, const uint8_t* bytes, size_t size) {
    beginEvents();
    lv2_atom_forge_frame_time(&forge_, frame);
    lv2_atom_forge_atom(&forge_, static_cast<uint32_t>(size), world_.map(LV2_MIDI__MidiEvent));
    lv2_atom_forge_write(&forge_, bytes, static_cast<uint32_t>(size));
}

void Lv2TestInstance::midi(uint32_t frame, std::initializer_list<uint8_t> bytes) {
    writeMidi(frame, bytes.begin(), bytes.size());
}

template <typename Body>
void Lv2TestInstance::object(uint32_t frame, const char* type, Body body) {
    beginEvents();
    LV2_Atom_Forge_Frame object;
    lv2_atom_forge_frame_time(&forge_, frame);
    lv2_atom_forge_object(&forge_, &object, 0, world_.map(type));
    body();
    lv2_atom_forge_pop(&forge_, &object);
}

void Lv2TestInstance::position(uint32_t frame, double tempo, double beat, double speed) {
    object(frame, LV2_TIME__Position, [&] {
        lv2_atom_forge_key(&forge_, world_.map(LV2_TIME__beatsPerMinute));
        lv2_atom_forge_float(&forge_, static_cast<float>(tempo));
        lv2_atom_forge_key(&forge_, world_.map(LV2_TIME__beat));
        lv2_atom_forge_double(&forge_, beat);
        lv2_atom_forge_key(&forge_, world_.map(LV2_TIME__speed));
        lv2_atom_forge_float(&forge_, static_cast<float>(speed));
    });
}

void Lv2TestInstance::setControl(const std::string& symbol, float value) {
    controls_.at(portOfSymbol_.at(symbol)) = value;
}

float Lv2TestInstance::control(const std::string& symbol) const {
    return controls_.at(portOfSymbol_.at(symbol));
}

void Lv2TestInstance::setSideChain(const float* left, const float* right) {
    lilv_instance_connect_port(instance_, sideLeft_, const_cast<float*>(left));
    lilv_instance_connect_port(instance_, sideRight_, const_cast<float*>(right));
}

void Lv2TestInstance::run(uint32_t frames, float* left, float* right) {
    beginEvents();
    lv2_atom_forge_pop(&forge_, &sequence_);
    eventsOpen_ = false;
    lilv_instance_connect_port(instance_, outLeft_, left);
    lilv_instance_connect_port(instance_, outRight_, right);

    {
        BlockingCounter blocking;
        AllocationGuard allocations;
        lilv_instance_run(instance_, frames);
        blockingCalls_ +=
            allocations.allocations() + allocations.frees() + blocking.locks() + blocking.sleeps();
    }
    // The empty input sequence for the next block.
    const uint32_t empty = sizeof(LV2_Atom_Sequence_Body);
    std::memcpy(controlIn_ + offsetof(LV2_Atom_Sequence, atom.size), &empty, sizeof(empty));
    if (workPending_) {
        workPending_ = false;
        const auto* worker = static_cast<const LV2_Worker_Interface*>(
            lilv_instance_get_extension_data(instance_, LV2_WORKER__interface));
        worker->work(
            lilv_instance_get_handle(instance_),
            [](LV2_Worker_Respond_Handle, uint32_t, const void*) { return LV2_WORKER_SUCCESS; },
            nullptr, workSize_, workData_.data());
    }
}

std::array<std::vector<float>, 2> Lv2TestInstance::render(uint32_t frames,
                                                          const std::vector<uint32_t>& blocks,
                                                          const std::vector<MidiAt>& score) {
    std::array<std::vector<float>, 2> out{std::vector<float>(frames), std::vector<float>(frames)};
    uint32_t done = 0;
    for (size_t b = 0; done < frames; ++b) {
        const uint32_t n = std::min(blocks[b % blocks.size()], frames - done);
        for (const MidiAt& m : score) {
            if (m.frame >= done && m.frame < done + n)
                writeMidi(m.frame - done, m.bytes.data(), m.bytes.size());
        }
        run(n, out[0].data() + done, out[1].data() + done);
        done += n;
    }
    return out;
}

LV2_Worker_Status Lv2TestInstance::scheduleWork(LV2_Worker_Schedule_Handle handle, uint32_t size,
                                                const void* data) {
    auto* self = static_cast<Lv2TestInstance*>(handle);
    if (size > self->workData_.size()) return LV2_WORKER_ERR_NO_SPACE;
    std::memcpy(self->workData_.data(), data, size);
    self->workSize_ = size;
    self->workPending_ = true;
    ++self->workerRequests_;
    return LV2_WORKER_SUCCESS;
}

void Lv2TestInstance::setPortValue(const char* symbol, void* user, const void* value, uint32_t size,
                                   uint32_t /*type*/) {
    auto* self = static_cast<Lv2TestInstance*>(user);
    const auto it = self->portOfSymbol_.find(symbol);
    if (it != self->portOfSymbol_.end() && size == sizeof(float))
        self->controls_[it->second] = *static_cast<const float*>(value);
}

void Lv2TestInstance::restoreState(const LilvState* state) {
    lilv_state_restore(state, instance_, setPortValue, this, 0, nullptr);
}
