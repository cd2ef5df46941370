// LV2 state restore with any stored bytes: the record of any content and type, the preset name of
// any bytes or missing, and optionally a sample rate of any eight bytes. A state that restores
// saves as a state that restores to the same saved bytes; a rate that is not finite and above 0
// as a float gets no instance and is refused as an option, any other is taken; the instance then
// plays a chord with every sample finite and below +24 dBFS.
#include <lv2/atom/forge.h>
#include <lv2/midi/midi.h>
#include <lv2/options/options.h>
#include <lv2/parameters/parameters.h>

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "fuzz/FuzzInput.h"
#include "fuzz/FuzzSynth.h"
#include "host/lv2/Lv2Plugin.h"
#include "host/lv2/Lv2PortTable.h"

namespace {

constexpr double kSampleRate = 48000.0;
constexpr uint32_t kBlockFrames = 256;
constexpr int kBlocks = 3;
constexpr size_t kControlBytes = 1024;
constexpr uint8_t kRecordIsChunk = 1;
constexpr uint8_t kNamePresent = 2;
constexpr uint8_t kNameIsString = 4;
constexpr uint8_t kRateFollows = 8;  // eight bytes of a little-endian double after the flags
constexpr uint8_t kChord[] = {48, 55, 60, 64, 67, 72};

void check(bool condition) {
    if (!condition) std::abort();
}

LV2_URID mapUri(LV2_URID_Map_Handle handle, const char* uri) {
    auto& ids = *static_cast<std::map<std::string, LV2_URID>*>(handle);
    const auto [it, added] = ids.try_emplace(uri, static_cast<LV2_URID>(ids.size() + 1));
    return it->second;
}

// What the host stored: property URID -> bytes and type.
struct Stored {
    std::vector<uint8_t> bytes;
    LV2_URID type = 0;
};
using StateStore = std::map<LV2_URID, Stored>;

const void* retrieve(LV2_State_Handle handle, uint32_t key, size_t* size, uint32_t* type,
                     uint32_t* flags) {
    auto& store = *static_cast<StateStore*>(handle);
    const auto it = store.find(key);
    if (it == store.end()) return nullptr;
    *size = it->second.bytes.size();
    *type = it->second.type;
    *flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
    return it->second.bytes.data();
}

LV2_State_Status storeValue(LV2_State_Handle handle, uint32_t key, const void* value, size_t size,
                            uint32_t type, uint32_t /*flags*/) {
    const auto* bytes = static_cast<const uint8_t*>(value);
    (*static_cast<StateStore*>(handle))[key] = Stored{{bytes, bytes + size}, type};
    return LV2_STATE_SUCCESS;
}

// A host with urid:map only, its ports connected once: every parameter port at its default,
// stereo out, no side chain.
struct Host {
    std::map<std::string, LV2_URID> ids;
    LV2_URID_Map map{&ids, mapUri};
    LV2_Feature mapFeature{LV2_URID__map, &map};
    std::array<const LV2_Feature*, 2> features{&mapFeature, nullptr};
    std::unique_ptr<Lv2Plugin> plugin;
    std::vector<float> ports;
    alignas(8) std::array<uint8_t, kControlBytes> control{};
    std::array<std::vector<float>, 2> outputs;
    float latency = 0.0f;

    Host() {
        // No factory install and no "Default Sound": the built-in sound is the starting point.
        VornPresets::setStartupPresets(false);
        plugin = Lv2Plugin::create(kSampleRate, features.data());
        ports.resize(Lv2Ports::kParameterCount);
        // The ports hold their described defaults, as a host starts them.
        for (uint32_t port = 0; port < Lv2Ports::kParameterCount; ++port) {
            ports[port] = Lv2Ports::kDefaultOfParameter[Lv2Ports::kParameterOfPort[port]];
            plugin->connectPort(port, &ports[port]);
        }
        for (auto& channel : outputs) channel.resize(kBlockFrames);
        plugin->connectPort(Lv2Ports::kControlIn, control.data());
        plugin->connectPort(Lv2Ports::kOutLeft, outputs[0].data());
        plugin->connectPort(Lv2Ports::kOutRight, outputs[1].data());
        plugin->connectPort(Lv2Ports::kLatency, &latency);
        plugin->activate();
    }

    LV2_URID uri(const char* text) { return map.map(map.handle, text); }

    // param:sampleRate through the options interface, as a double; true when taken.
    bool setRate(double rate) {
        const LV2_Options_Option options[] = {
            {LV2_OPTIONS_INSTANCE, 0, uri(LV2_PARAMETERS__sampleRate), uint32_t{sizeof rate},
             uri(LV2_ATOM__Double), &rate},
            {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
        return plugin->setOptions(options) == LV2_OPTIONS_SUCCESS;
    }

    // A new instance at a rate that cannot play is refused; the options say the same.
    void changeRate(double rate) {
        const float single = static_cast<float>(rate);
        const bool playable = std::isfinite(single) && single > 0.0f;
        if (!playable) check(Lv2Plugin::create(rate, features.data()) == nullptr);
        check(setRate(rate) == playable);
    }

    // The control port's sequence for the next block: the chord's note-ons, or nothing.
    void writeControl(bool chord) {
        LV2_Atom_Forge forge;
        lv2_atom_forge_init(&forge, &map);
        lv2_atom_forge_set_buffer(&forge, control.data(), control.size());
        LV2_Atom_Forge_Frame frame;
        lv2_atom_forge_sequence_head(&forge, &frame, 0);
        for (size_t i = 0; chord && i < std::size(kChord); ++i) {
            const uint8_t noteOn[] = {LV2_MIDI_MSG_NOTE_ON, kChord[i], 127};
            lv2_atom_forge_frame_time(&forge, 0);
            lv2_atom_forge_atom(&forge, sizeof noteOn, uri(LV2_MIDI__MidiEvent));
            lv2_atom_forge_write(&forge, noteOn, sizeof noteOn);
        }
        lv2_atom_forge_pop(&forge, &frame);
    }

    void play(bool chord) {
        writeControl(chord);
        plugin->run(kBlockFrames);
        for (const auto& channel : outputs) checkOutput(channel.data(), kBlockFrames);
    }

    StateStore save() {
        StateStore saved;
        check(plugin->save(storeValue, &saved) == LV2_STATE_SUCCESS);
        return saved;
    }
};

bool sameState(const StateStore& a, const StateStore& b) {
    if (a.size() != b.size()) return false;
    for (const auto& [key, value] : a) {
        const auto it = b.find(key);
        if (it == b.end() || it->second.bytes != value.bytes || it->second.type != value.type)
            return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Host* host = new Host();
    FuzzInput input(data, size);
    const uint8_t flags = input.byte();
    double rate = kSampleRate;
    if (flags & kRateFollows) {
        const std::span<const uint8_t> bytes = input.take(sizeof rate);
        if (!bytes.empty()) std::memcpy(&rate, bytes.data(), bytes.size());
    }
    const std::span<const uint8_t> name = input.take(input.byte());
    const std::span<const uint8_t> record = input.take(input.remaining());

    StateStore state;
    state[host->uri(Lv2Ports::kStateRecordUri)] =
        Stored{{record.begin(), record.end()},
               host->uri((flags & kRecordIsChunk) ? LV2_ATOM__Chunk : LV2_ATOM__String)};
    if (flags & kNamePresent) {
        state[host->uri(Lv2Ports::kStatePresetNameUri)] =
            Stored{{name.begin(), name.end()},
                   host->uri((flags & kNameIsString) ? LV2_ATOM__String : LV2_ATOM__Chunk)};
    }
    if (host->plugin->restore(retrieve, &state) != LV2_STATE_SUCCESS) return 0;

    StateStore saved = host->save();
    check(host->plugin->restore(retrieve, &saved) == LV2_STATE_SUCCESS);
    check(sameState(host->save(), saved));

    if (flags & kRateFollows) host->changeRate(rate);
    for (int block = 0; block < kBlocks; ++block) host->play(block == 0);
    // The chord ends and the next input starts from the built-in sound again.
    check(host->setRate(kSampleRate));
    startOver(host->plugin->synth(), static_cast<float>(kSampleRate));
    return 0;
}
