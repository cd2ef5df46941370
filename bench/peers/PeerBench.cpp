// Times one instrument plug-in as a host runs it: an LV2 plug-in by URI (lilv, LV2_PATH honoured)
// or a DSSI plug-in from its shared object. N held notes, note-off and note-on for all every
// --retrigger seconds; only run() is timed, with the process CPU clock. Prints one CSV line:
// name,voices,seconds,cpu_seconds,rtf,ns_per_sample,peak_db
#include <alsa/seq_event.h>
#include <dlfcn.h>
#include <dssi.h>
#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/atom/util.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/core/lv2.h>
#include <lv2/midi/midi.h>
#include <lv2/options/options.h>
#include <lv2/parameters/parameters.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>
#include <time.h>
#include <unistd.h>
#ifdef __SSE__
#include <xmmintrin.h>
#endif

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Options {
    std::string uri, dssiPath;
    int voices = 1;
    double seconds = 10.0, rate = 48000.0, preroll = 0.25, retrigger = 2.0;
    uint32_t block = 256;
};

struct Note {
    bool on;
    uint8_t key;
};

class Instrument {
public:
    virtual ~Instrument() = default;
    virtual std::string name() const = 0;
    // Untimed: the notes for the next run.
    virtual void queue(const std::vector<Note>& notes) = 0;
    // Timed.
    virtual void run(uint32_t frames) = 0;
    // Untimed: deferred work a host does off the audio thread.
    virtual void afterRun() {}
    const std::vector<std::vector<float>>& outputs() const { return outputs_; }

protected:
    std::vector<std::vector<float>> outputs_;
};

// ---------------------------------------------------------------------------------------- LV2

class UridMap {
public:
    UridMap() {
        map_.handle = this;
        map_.map = [](LV2_URID_Map_Handle h, const char* uri) {
            return static_cast<UridMap*>(h)->map(uri);
        };
        unmap_.handle = this;
        unmap_.unmap = [](LV2_URID_Unmap_Handle h, LV2_URID id) {
            auto* self = static_cast<UridMap*>(h);
            return id > 0 && id <= self->names_.size() ? self->names_[id - 1].c_str() : nullptr;
        };
    }
    LV2_URID map(const char* uri) {
        auto [it, added] = ids_.try_emplace(uri, static_cast<LV2_URID>(names_.size() + 1));
        if (added) names_.emplace_back(uri);
        return it->second;
    }
    LV2_URID_Map map_{};
    LV2_URID_Unmap unmap_{};

private:
    std::map<std::string, LV2_URID> ids_;
    std::vector<std::string> names_;
};

class Lv2Instrument : public Instrument {
public:
    Lv2Instrument(const Options& options);
    ~Lv2Instrument() override;
    std::string name() const override { return name_; }
    void queue(const std::vector<Note>& notes) override;
    void run(uint32_t frames) override;
    void afterRun() override;

private:
    static constexpr uint32_t kAtomCapacity = 1 << 16;
    struct AtomPort {
        uint32_t index;
        bool output;
        std::vector<uint64_t> storage;
        LV2_Atom_Sequence* sequence() {
            return reinterpret_cast<LV2_Atom_Sequence*>(storage.data());
        }
    };
    void checkFeatures(const std::vector<const LV2_Feature*>& offered);
    std::vector<const LV2_Feature*> features();
    void connectPorts();
    void connectPort(uint32_t index, const LilvPort* port, float fallback);
    void clearSequence(AtomPort& port);
    LilvNode* node(const char* uri) { return nodes_.emplace_back(lilv_new_uri(world_, uri)); }

    Options options_;
    LilvWorld* world_;
    std::vector<LilvNode*> nodes_;
    const LilvPlugin* plugin_ = nullptr;
    LilvInstance* instance_ = nullptr;
    std::string name_;
    UridMap urids_;
    std::vector<float> controls_, silence_;
    std::vector<AtomPort> atoms_;
    AtomPort* midiIn_ = nullptr;
    std::vector<uint64_t> spare_;

    std::vector<LV2_Options_Option> lv2Options_;
    int32_t minBlock_ = 1, maxBlock_ = 0, sequenceSize_ = kAtomCapacity;
    float sampleRate_ = 0.0f;
    LV2_Worker_Schedule schedule_{};
    const LV2_Worker_Interface* worker_ = nullptr;
    std::vector<std::vector<uint8_t>> requests_, responses_;
    std::vector<LV2_Feature> featureStore_;
};

Lv2Instrument::Lv2Instrument(const Options& options) : options_(options), world_(lilv_world_new()) {
    lilv_world_load_all(world_);
    LilvNode* uri = node(options.uri.c_str());
    plugin_ = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world_), uri);
    if (!plugin_) throw std::runtime_error("no LV2 plug-in <" + options.uri + "> on LV2_PATH");
    LilvNode* name = lilv_plugin_get_name(plugin_);
    name_ = name ? lilv_node_as_string(name) : options.uri;
    lilv_node_free(name);
    std::vector<const LV2_Feature*> offered = features();
    checkFeatures(offered);
    instance_ = lilv_plugin_instantiate(plugin_, options.rate, offered.data());
    if (!instance_) throw std::runtime_error("<" + options.uri + "> failed to instantiate");
    worker_ = static_cast<const LV2_Worker_Interface*>(
        lilv_instance_get_extension_data(instance_, LV2_WORKER__interface));
    connectPorts();
    lilv_instance_activate(instance_);
}

Lv2Instrument::~Lv2Instrument() {
    if (instance_) {
        lilv_instance_deactivate(instance_);
        lilv_instance_free(instance_);
    }
    for (LilvNode* n : nodes_) lilv_node_free(n);
    lilv_world_free(world_);
}

std::vector<const LV2_Feature*> Lv2Instrument::features() {
    maxBlock_ = static_cast<int32_t>(options_.block);
    sampleRate_ = static_cast<float>(options_.rate);
    auto option = [&](const char* key, const char* type, const void* value, uint32_t size) {
        lv2Options_.push_back(
            {LV2_OPTIONS_INSTANCE, 0, urids_.map(key), size, urids_.map(type), value});
    };
    option(LV2_BUF_SIZE__minBlockLength, LV2_ATOM__Int, &minBlock_, sizeof(int32_t));
    option(LV2_BUF_SIZE__maxBlockLength, LV2_ATOM__Int, &maxBlock_, sizeof(int32_t));
    option(LV2_BUF_SIZE__nominalBlockLength, LV2_ATOM__Int, &maxBlock_, sizeof(int32_t));
    option(LV2_BUF_SIZE__sequenceSize, LV2_ATOM__Int, &sequenceSize_, sizeof(int32_t));
    option(LV2_PARAMETERS__sampleRate, LV2_ATOM__Float, &sampleRate_, sizeof(float));
    lv2Options_.push_back({LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr});

    schedule_.handle = this;
    schedule_.schedule_work = [](LV2_Worker_Schedule_Handle h, uint32_t size, const void* data) {
        auto* bytes = static_cast<const uint8_t*>(data);
        static_cast<Lv2Instrument*>(h)->requests_.emplace_back(bytes, bytes + size);
        return LV2_WORKER_SUCCESS;
    };
    featureStore_ = {{LV2_URID__map, &urids_.map_},
                     {LV2_URID__unmap, &urids_.unmap_},
                     {LV2_OPTIONS__options, lv2Options_.data()},
                     {LV2_WORKER__schedule, &schedule_},
                     {LV2_BUF_SIZE__boundedBlockLength, nullptr},
                     {LV2_CORE__isLive, nullptr},
                     {LV2_CORE__hardRTCapable, nullptr}};
    std::vector<const LV2_Feature*> offered;
    for (const LV2_Feature& f : featureStore_) offered.push_back(&f);
    offered.push_back(nullptr);
    return offered;
}

void Lv2Instrument::checkFeatures(const std::vector<const LV2_Feature*>& offered) {
    LilvNodes* required = lilv_plugin_get_required_features(plugin_);
    LILV_FOREACH(nodes, i, required) {
        const char* uri = lilv_node_as_uri(lilv_nodes_get(required, i));
        bool found = std::any_of(offered.begin(), offered.end() - 1, [&](const LV2_Feature* f) {
            return std::strcmp(f->URI, uri) == 0;
        });
        if (!found) {
            std::string message =
                "<" + options_.uri + "> requires unsupported feature <" + uri + ">";
            lilv_nodes_free(required);
            throw std::runtime_error(message);
        }
    }
    lilv_nodes_free(required);
}

void Lv2Instrument::connectPorts() {
    const uint32_t count = lilv_plugin_get_num_ports(plugin_);
    std::vector<float> mins(count), maxs(count), defaults(count);
    lilv_plugin_get_port_ranges_float(plugin_, mins.data(), maxs.data(), defaults.data());
    controls_.assign(count, 0.0f);
    silence_.assign(options_.block, 0.0f);
    spare_.assign(kAtomCapacity / sizeof(uint64_t), 0);
    atoms_.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        float fallback =
            std::isnan(defaults[i]) ? (std::isnan(mins[i]) ? 0.0f : mins[i]) : defaults[i];
        connectPort(i, lilv_plugin_get_port_by_index(plugin_, i), fallback);
    }
    if (!midiIn_) throw std::runtime_error("<" + options_.uri + "> has no MIDI atom input");
}

void Lv2Instrument::connectPort(uint32_t index, const LilvPort* port, float fallback) {
    const bool input = lilv_port_is_a(plugin_, port, node(LV2_CORE__InputPort));
    if (lilv_port_is_a(plugin_, port, node(LV2_CORE__ControlPort))) {
        controls_[index] = fallback;
        lilv_instance_connect_port(instance_, index, &controls_[index]);
    } else if (lilv_port_is_a(plugin_, port, node(LV2_CORE__AudioPort)) ||
               lilv_port_is_a(plugin_, port, node(LV2_CORE__CVPort))) {
        if (input) {
            lilv_instance_connect_port(instance_, index, silence_.data());
        } else {
            outputs_.emplace_back(options_.block, 0.0f);
            lilv_instance_connect_port(instance_, index, outputs_.back().data());
        }
    } else if (lilv_port_is_a(plugin_, port, node(LV2_ATOM__AtomPort))) {
        AtomPort& atom = atoms_.emplace_back(
            AtomPort{index, !input, std::vector<uint64_t>(kAtomCapacity / sizeof(uint64_t), 0)});
        clearSequence(atom);
        if (input && !midiIn_ && lilv_port_supports_event(plugin_, port, node(LV2_MIDI__MidiEvent)))
            midiIn_ = &atom;
        lilv_instance_connect_port(instance_, index, atom.storage.data());
    } else {
        // A port of a kind this host does not know: zeroed memory rather than a null pointer.
        lilv_instance_connect_port(instance_, index, spare_.data());
    }
}

void Lv2Instrument::clearSequence(AtomPort& port) {
    LV2_Atom_Sequence* seq = port.sequence();
    if (port.output) {
        // Outputs get the whole capacity as an empty chunk, as the atom extension asks.
        seq->atom.size = kAtomCapacity - sizeof(LV2_Atom);
        seq->atom.type = urids_.map(LV2_ATOM__Chunk);
    } else {
        seq->atom.size = sizeof(LV2_Atom_Sequence_Body);
        seq->atom.type = urids_.map(LV2_ATOM__Sequence);
        seq->body.unit = 0;
        seq->body.pad = 0;
    }
}

void Lv2Instrument::queue(const std::vector<Note>& notes) {
    for (AtomPort& port : atoms_) clearSequence(port);
    struct {
        LV2_Atom_Event head;
        uint8_t bytes[3];
    } event{};
    event.head.body = {3, urids_.map(LV2_MIDI__MidiEvent)};
    for (const Note& note : notes) {
        event.bytes[0] = note.on ? 0x90 : 0x80;
        event.bytes[1] = note.key;
        event.bytes[2] = note.on ? 100 : 0;
        lv2_atom_sequence_append_event(midiIn_->sequence(), kAtomCapacity, &event.head);
    }
}

void Lv2Instrument::run(uint32_t frames) {
    if (worker_ && worker_->work_response) {
        for (const auto& response : responses_)
            worker_->work_response(lilv_instance_get_handle(instance_),
                                   static_cast<uint32_t>(response.size()), response.data());
    }
    responses_.clear();
    lilv_instance_run(instance_, frames);
    if (worker_ && worker_->end_run) worker_->end_run(lilv_instance_get_handle(instance_));
}

void Lv2Instrument::afterRun() {
    if (!worker_ || !worker_->work) return requests_.clear();
    auto respond = [](LV2_Worker_Respond_Handle h, uint32_t size, const void* data) {
        auto* bytes = static_cast<const uint8_t*>(data);
        static_cast<Lv2Instrument*>(h)->responses_.emplace_back(bytes, bytes + size);
        return LV2_WORKER_SUCCESS;
    };
    for (const auto& request : requests_)
        worker_->work(lilv_instance_get_handle(instance_), respond, this,
                      static_cast<uint32_t>(request.size()), request.data());
    requests_.clear();
}

// --------------------------------------------------------------------------------------- DSSI

// The value a LADSPA host starts a control input at, from its range hint.
float ladspaDefault(const LADSPA_PortRangeHint& range, double rate) {
    const LADSPA_PortRangeHintDescriptor hint = range.HintDescriptor;
    float low = range.LowerBound, high = range.UpperBound;
    if (LADSPA_IS_HINT_SAMPLE_RATE(hint)) {
        low *= static_cast<float>(rate);
        high *= static_cast<float>(rate);
    }
    const bool logarithmic = LADSPA_IS_HINT_LOGARITHMIC(hint) && low > 0.0f && high > 0.0f;
    auto between = [&](float share) {
        return logarithmic ? std::exp(std::log(low) * (1 - share) + std::log(high) * share)
                           : low * (1 - share) + high * share;
    };
    switch (hint & LADSPA_HINT_DEFAULT_MASK) {
        case LADSPA_HINT_DEFAULT_MINIMUM:
            return low;
        case LADSPA_HINT_DEFAULT_LOW:
            return between(0.25f);
        case LADSPA_HINT_DEFAULT_MIDDLE:
            return between(0.5f);
        case LADSPA_HINT_DEFAULT_HIGH:
            return between(0.75f);
        case LADSPA_HINT_DEFAULT_MAXIMUM:
            return high;
        case LADSPA_HINT_DEFAULT_0:
            return 0.0f;
        case LADSPA_HINT_DEFAULT_1:
            return 1.0f;
        case LADSPA_HINT_DEFAULT_100:
            return 100.0f;
        case LADSPA_HINT_DEFAULT_440:
            return 440.0f;
        default:
            return LADSPA_IS_HINT_BOUNDED_BELOW(hint) ? low : 0.0f;
    }
}

class DssiInstrument : public Instrument {
public:
    DssiInstrument(const Options& options);
    ~DssiInstrument() override;
    std::string name() const override { return ladspa_->Name; }
    void queue(const std::vector<Note>& notes) override;
    void run(uint32_t frames) override {
        dssi_->run_synth(handle_, frames, events_.data(), events_.size());
    }

private:
    void connectPorts(double rate, uint32_t block);

    void* library_;
    const DSSI_Descriptor* dssi_ = nullptr;
    const LADSPA_Descriptor* ladspa_ = nullptr;
    LADSPA_Handle handle_ = nullptr;
    std::vector<LADSPA_Data> controls_, silence_;
    std::vector<snd_seq_event_t> events_;
};

DssiInstrument::DssiInstrument(const Options& options)
    : library_(dlopen(options.dssiPath.c_str(), RTLD_NOW | RTLD_LOCAL)) {
    if (!library_)
        throw std::runtime_error(std::string("cannot load ") + options.dssiPath + ": " + dlerror());
    auto entry = reinterpret_cast<DSSI_Descriptor_Function>(dlsym(library_, "dssi_descriptor"));
    if (entry) dssi_ = entry(0);
    if (!dssi_ || !dssi_->LADSPA_Plugin || !dssi_->run_synth)
        throw std::runtime_error(options.dssiPath + " has no DSSI instrument with run_synth");
    ladspa_ = dssi_->LADSPA_Plugin;
    handle_ = ladspa_->instantiate(ladspa_, static_cast<unsigned long>(options.rate));
    if (!handle_) throw std::runtime_error(options.dssiPath + " failed to instantiate");
    connectPorts(options.rate, options.block);
    if (ladspa_->activate) ladspa_->activate(handle_);
}

DssiInstrument::~DssiInstrument() {
    if (handle_) {
        if (ladspa_->deactivate) ladspa_->deactivate(handle_);
        ladspa_->cleanup(handle_);
    }
    // The library stays loaded: some plug-ins leave threads or atexit handlers behind.
}

void DssiInstrument::connectPorts(double rate, uint32_t block) {
    controls_.assign(ladspa_->PortCount, 0.0f);
    silence_.assign(block, 0.0f);
    for (unsigned long i = 0; i < ladspa_->PortCount; ++i) {
        const LADSPA_PortDescriptor kind = ladspa_->PortDescriptors[i];
        if (LADSPA_IS_PORT_CONTROL(kind)) {
            if (LADSPA_IS_PORT_INPUT(kind))
                controls_[i] = ladspaDefault(ladspa_->PortRangeHints[i], rate);
            ladspa_->connect_port(handle_, i, &controls_[i]);
        } else if (LADSPA_IS_PORT_INPUT(kind)) {
            ladspa_->connect_port(handle_, i, silence_.data());
        } else {
            outputs_.emplace_back(block, 0.0f);
            ladspa_->connect_port(handle_, i, outputs_.back().data());
        }
    }
}

void DssiInstrument::queue(const std::vector<Note>& notes) {
    events_.clear();
    for (const Note& note : notes) {
        snd_seq_event_t event{};
        event.type = note.on ? SND_SEQ_EVENT_NOTEON : SND_SEQ_EVENT_NOTEOFF;
        event.time.tick = 0;
        event.data.note.channel = 0;
        event.data.note.note = note.key;
        event.data.note.velocity = note.on ? 100 : 0;
        events_.push_back(event);
    }
}

// ------------------------------------------------------------------------------------ the run

double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// What reading the clock twice costs, subtracted once per timed window (a system call of about
// a microsecond, a few ns per sample at 256 frames).
double clockOverhead() {
    std::vector<double> windows(1001);
    for (double& w : windows) {
        const double t0 = cpuSeconds();
        w = cpuSeconds() - t0;
    }
    std::nth_element(windows.begin(), windows.begin() + 500, windows.end());
    return windows[500];
}

std::vector<Note> notesAt(uint64_t block, uint64_t retriggerBlocks, int voices) {
    std::vector<Note> notes;
    const bool retrigger = block > 0 && retriggerBlocks > 0 && block % retriggerBlocks == 0;
    if (block > 0 && !retrigger) return notes;
    for (int pass = retrigger ? 0 : 1; pass < 2; ++pass)
        for (int i = 0; i < voices; ++i)
            notes.push_back({pass == 1, static_cast<uint8_t>(36 + (5 * i) % 48)});
    return notes;
}

struct Result {
    double audioSeconds = 0, cpu = 0, peak = 0;
    bool finite = true;
};

// Silent blocks paced at real time, untimed: plug-ins that build tables on their own threads
// after instantiation get the time a host would give them.
void preroll(Instrument& synth, const Options& o) {
    const auto blocks = static_cast<uint64_t>(o.preroll * o.rate / o.block);
    const auto pause = std::chrono::duration<double>(o.block / o.rate);
    for (uint64_t b = 0; b < blocks; ++b) {
        synth.queue({});
        synth.run(o.block);
        synth.afterRun();
        std::this_thread::sleep_for(pause);
    }
}

Result play(Instrument& synth, const Options& o) {
    preroll(synth, o);
    const auto blocks = static_cast<uint64_t>(std::ceil(o.seconds * o.rate / o.block));
    const auto retriggerBlocks =
        static_cast<uint64_t>(std::llround(o.retrigger * o.rate / o.block));
    const double overhead = clockOverhead();
    Result result;
    for (uint64_t b = 0; b < blocks; ++b) {
        synth.queue(notesAt(b, retriggerBlocks, o.voices));
        const double t0 = cpuSeconds();
        synth.run(o.block);
        result.cpu += cpuSeconds() - t0 - overhead;
        synth.afterRun();
        for (const auto& channel : synth.outputs())
            for (float x : channel) {
                result.finite = result.finite && std::isfinite(x);
                result.peak = std::max(result.peak, static_cast<double>(std::fabs(x)));
            }
    }
    result.audioSeconds = static_cast<double>(blocks * o.block) / o.rate;
    return result;
}

[[noreturn]] void usage(const char* message) {
    std::fprintf(stderr,
                 "vorn_peer_bench: %s\n"
                 "usage: vorn_peer_bench [options] (PLUGIN_URI | --dssi FILE.so)\n"
                 "  --voices N  --seconds S  --block B  --rate R  --preroll S  --retrigger S\n",
                 message);
    std::exit(2);
}

Options parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--", 0) != 0) {
            o.uri = arg;
            continue;
        }
        if (i + 1 >= argc) usage(("missing value after " + arg).c_str());
        const char* value = argv[++i];
        char* end = nullptr;
        const double number = std::strtod(value, &end);
        const bool numeric = end != value && *end == '\0' && std::isfinite(number) && number >= 0;
        if (arg == "--dssi")
            o.dssiPath = value;
        else if (!numeric)
            usage(("not a number: " + arg + " " + value).c_str());
        else if (arg == "--voices" && number >= 1 && number <= 128)
            o.voices = static_cast<int>(number);
        else if (arg == "--seconds" && number > 0)
            o.seconds = number;
        else if (arg == "--block" && number >= 1 && number <= 8192)
            o.block = static_cast<uint32_t>(number);
        else if (arg == "--rate" && number >= 8000)
            o.rate = number;
        else if (arg == "--preroll")
            o.preroll = number;
        else if (arg == "--retrigger")
            o.retrigger = number;
        else
            usage(("unknown option or value out of range: " + arg + " " + value).c_str());
    }
    if (o.uri.empty() == o.dssiPath.empty()) usage("give one plug-in URI or one --dssi FILE.so");
    return o;
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = parse(argc, argv);
    // Plug-ins print banners on stdout: the result line keeps its own descriptor.
    std::fflush(stdout);
    FILE* results = fdopen(dup(STDOUT_FILENO), "w");
    dup2(STDERR_FILENO, STDOUT_FILENO);
#ifdef __SSE__
    _mm_setcsr(_mm_getcsr() | 0x8040);  // flush-to-zero and denormals-are-zero, as hosts do
#endif
    try {
        std::unique_ptr<Instrument> synth;
        if (options.dssiPath.empty())
            synth = std::make_unique<Lv2Instrument>(options);
        else
            synth = std::make_unique<DssiInstrument>(options);
        const Result r = play(*synth, options);
        std::string name = synth->name();
        std::replace(name.begin(), name.end(), ',', ' ');
        const double peakDb = r.peak > 0 ? 20.0 * std::log10(r.peak) : -INFINITY;
        const double samples = r.audioSeconds * options.rate;
        std::fprintf(results, "%s,%d,%.3f,%.6f,%.2f,%.2f,%.2f\n", name.c_str(), options.voices,
                     r.audioSeconds, r.cpu, r.audioSeconds / r.cpu, 1e9 * r.cpu / samples, peakDb);
        std::fclose(results);
        if (!r.finite || r.peak <= 0.0) {
            std::fprintf(stderr, "warning: %s: the output is %s\n", name.c_str(),
                         r.finite ? "silent" : "not finite");
            return 1;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "error: %s\n", e.what());
        return 3;
    }
    return 0;
}
