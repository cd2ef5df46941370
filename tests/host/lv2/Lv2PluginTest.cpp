// The LV2 instrument through lilv: description, port order, sample-exact MIDI, block sizes,
// control ports, state, presets and real-time safety of run().

#include <gtest/gtest.h>
#include <lv2/parameters/parameters.h>
#include <lv2/presets/presets.h>
#include <lv2/state/state.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/VornPlugin.h"
#include "engine/VornPresets.h"
#include "framework/AbstractPluginParameter.h"
#include "host/lv2/Lv2PortTable.h"
#include "host/lv2/Lv2Symbols.h"
#include "tests/host/common/HostTestSupport.h"
#include "tests/host/lv2/Lv2TestHost.h"
#include "tests/support/ScalaTexts.h"

namespace {

constexpr const char* kUri = "urn:vorn:synth";
constexpr uint8_t kNoteOn = 0x90;
constexpr uint8_t kNoteOff = 0x80;
constexpr uint32_t kRate = 48000;

Lv2TestWorld& world() {
    // The LV2 vocabularies first, for the plug-in classes; then the built bundle.
    static Lv2TestWorld w(std::string(VORN_LV2_PATH) + ":/usr/lib/lv2");
    return w;
}

const LilvPlugin* plugin() {
    const LilvPlugin* p = world().plugin(kUri);
    EXPECT_NE(p, nullptr);
    return p;
}

double rms(const std::vector<float>& samples, size_t from, size_t to) {
    double sum = 0.0;
    for (size_t i = from; i < to; ++i) sum += static_cast<double>(samples[i]) * samples[i];
    return std::sqrt(sum / static_cast<double>(to - from));
}

// The plug-in's state through its own interface, as key → (type, bytes).
struct StoredState {
    std::map<std::string, std::pair<std::string, std::vector<uint8_t>>> values;

    static LV2_State_Status store(LV2_State_Handle handle, uint32_t key, const void* value,
                                  size_t size, uint32_t type, uint32_t /*flags*/) {
        auto* self = static_cast<StoredState*>(handle);
        const auto* bytes = static_cast<const uint8_t*>(value);
        self->values[world().unmap(key)] = {world().unmap(type),
                                            std::vector<uint8_t>(bytes, bytes + size)};
        return LV2_STATE_SUCCESS;
    }
    static const void* retrieve(LV2_State_Handle handle, uint32_t key, size_t* size, uint32_t* type,
                                uint32_t* flags) {
        auto* self = static_cast<StoredState*>(handle);
        const auto it = self->values.find(world().unmap(key));
        if (it == self->values.end()) return nullptr;
        *size = it->second.second.size();
        *type = world().map(it->second.first.c_str());
        *flags = LV2_STATE_IS_POD;
        return it->second.second.data();
    }
};

const LV2_State_Interface& stateInterface(Lv2TestInstance& instance) {
    return *static_cast<const LV2_State_Interface*>(
        lilv_instance_get_extension_data(instance.instance(), LV2_STATE__interface));
}

StoredState saveDirect(Lv2TestInstance& instance) {
    StoredState state;
    stateInterface(instance).save(lilv_instance_get_handle(instance.instance()), StoredState::store,
                                  &state, LV2_STATE_IS_POD, nullptr);
    return state;
}

LV2_State_Status restoreDirect(Lv2TestInstance& instance, StoredState& state) {
    return stateInterface(instance).restore(lilv_instance_get_handle(instance.instance()),
                                            StoredState::retrieve, &state, 0, nullptr);
}

// A little-endian field of the state record; values follow the 12-byte header.
template <typename T = float>
T recordAt(const std::vector<uint8_t>& record, size_t offset) {
    T v{};
    std::memcpy(&v, record.data() + offset, sizeof v);
    return v;
}
float recordValue(const std::vector<uint8_t>& record, size_t id) {
    return recordAt(record, 12 + 4 * id);
}

// A short phrase at odd frames: a chord, a bass, releases, a controller and pitch bend.
const std::vector<Lv2TestInstance::MidiAt>& phrase() {
    static const std::vector<Lv2TestInstance::MidiAt> score = {
        {3, {kNoteOn, 60, 100}},    {3, {kNoteOn, 64, 90}},     {777, {kNoteOn, 36, 120}},
        {5000, {0xB0, 1, 90}},      {9001, {kNoteOff, 64, 0}},  {12345, {0xE0, 0, 80}},
        {15000, {kNoteOn, 67, 70}}, {20000, {kNoteOff, 60, 0}}, {22050, {kNoteOff, 36, 0}},
    };
    return score;
}

// Every sample finite and below +24 dBFS.
bool finiteAndBounded(const std::array<std::vector<float>, 2>& out) {
    const auto bounded = [](float s) { return std::fabs(s) < 15.848932f; };
    return std::all_of(out[0].begin(), out[0].end(), bounded) &&
           std::all_of(out[1].begin(), out[1].end(), bounded);
}

const LV2_Options_Interface& options(Lv2TestInstance& instance) {
    return *static_cast<const LV2_Options_Interface*>(
        lilv_instance_get_extension_data(instance.instance(), LV2_OPTIONS__interface));
}

// param:sampleRate through the options interface, as a float or a double; returns the status.
uint32_t setRateOption(Lv2TestInstance& instance, double rate, bool asDouble) {
    const float single = static_cast<float>(rate);
    const LV2_Options_Option set[] = {
        {LV2_OPTIONS_INSTANCE, 0, world().map(LV2_PARAMETERS__sampleRate),
         static_cast<uint32_t>(asDouble ? sizeof(double) : sizeof(float)),
         world().map(asDouble ? LV2_ATOM__Double : LV2_ATOM__Float),
         asDouble ? static_cast<const void*>(&rate) : static_cast<const void*>(&single)},
        {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
    return options(instance).set(lilv_instance_get_handle(instance.instance()), set);
}

float rateOption(Lv2TestInstance& instance) {
    LV2_Options_Option get[] = {
        {LV2_OPTIONS_INSTANCE, 0, world().map(LV2_PARAMETERS__sampleRate), 0, 0, nullptr},
        {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
    options(instance).get(lilv_instance_get_handle(instance.instance()), get);
    return get[0].value ? *static_cast<const float*>(get[0].value) : 0.0f;
}

}  // namespace

TEST(Lv2Description, PortsDescribeEveryParameter) {
    const LilvPlugin* p = plugin();
    ASSERT_NE(p, nullptr);
    Lv2TestWorld& w = world();
    VornPlugin& synth = reference();
    ASSERT_EQ(lilv_plugin_get_num_ports(p), Lv2Ports::kPortCount);
    EXPECT_STREQ(lilv_node_as_uri(lilv_plugin_class_get_uri(lilv_plugin_get_class(p))),
                 LV2_CORE__InstrumentPlugin);

    LilvNodes* required = lilv_plugin_get_required_features(p);
    ASSERT_EQ(lilv_nodes_size(required), 1u);
    EXPECT_STREQ(lilv_node_as_uri(lilv_nodes_get(required, lilv_nodes_begin(required))),
                 LV2_URID__map);
    lilv_nodes_free(required);

    const std::vector<std::string> symbols = parameterSymbols(synth);
    std::vector<float> minimum(Lv2Ports::kPortCount), maximum(Lv2Ports::kPortCount),
        defaults(Lv2Ports::kPortCount);
    lilv_plugin_get_port_ranges_float(p, minimum.data(), maximum.data(), defaults.data());
    LilvNode* integer = w.uri(LV2_CORE__integer);
    LilvNode* enumeration = w.uri(LV2_CORE__enumeration);
    LilvNode* notAutomatic = w.uri("http://lv2plug.in/ns/ext/port-props#notAutomatic");
    LilvNode* group = w.uri("http://lv2plug.in/ns/ext/port-groups#group");
    LilvNode* unit = w.uri("http://lv2plug.in/ns/extensions/units#unit");
    LilvNode* comment = w.uri(LILV_NS_RDFS "comment");
    std::map<std::string, std::string> units;
    int enumerations = 0;
    for (uint32_t index = 0; index < Lv2Ports::kParameterCount; ++index) {
        const int id = Lv2Ports::kParameterOfPort[index];
        const AbstractPluginParameter& parameter = *synth.getParameter(id);
        const LilvPort* port = lilv_plugin_get_port_by_index(p, index);
        SCOPED_TRACE(parameter.name());
        EXPECT_EQ(lilv_node_as_string(lilv_port_get_symbol(p, port)), symbols[id]);
        LilvNode* name = lilv_port_get_name(p, port);
        EXPECT_EQ(lilv_node_as_string(name), parameter.name());
        lilv_node_free(name);
        const auto portValue = [&](float plain) {
            return Lv2Ports::portValueOfPlain(parameter, id, plain);
        };
        EXPECT_EQ(minimum[index], portValue(parameter.getMinimum()));
        EXPECT_EQ(maximum[index], portValue(parameter.getMaximum()));
        EXPECT_EQ(defaults[index], Lv2Ports::kDefaultOfParameter[id]);
        for (LilvNode* key : {group, comment}) {
            LilvNodes* found = lilv_port_get_value(p, port, key);
            EXPECT_EQ(lilv_nodes_size(found), 1u);
            lilv_nodes_free(found);
        }
        if (LilvNodes* found = lilv_port_get_value(p, port, unit)) {
            units[symbols[id]] = lilv_node_as_uri(lilv_nodes_get(found, lilv_nodes_begin(found)));
            lilv_nodes_free(found);
        }
        const bool indexed = parameter.kind() == AbstractPluginParameter::kIndexed;
        EXPECT_EQ(lilv_port_has_property(p, port, integer), indexed);
        EXPECT_EQ(lilv_port_has_property(p, port, notAutomatic), !parameter.isAutomatable());
        LilvScalePoints* points = lilv_port_get_scale_points(p, port);
        EXPECT_EQ(lilv_port_has_property(p, port, enumeration), indexed && !parameter.isNumeric());
        if (!points) continue;
        enumerations += lilv_port_has_property(p, port, enumeration) ? 1 : 0;
        // One point per index, labelled with the parameter's own text.
        std::map<float, std::string> labels;
        LILV_FOREACH(scale_points, i, points) {
            const LilvScalePoint* point = lilv_scale_points_get(points, i);
            labels[lilv_node_as_float(lilv_scale_point_get_value(point))] =
                lilv_node_as_string(lilv_scale_point_get_label(point));
        }
        lilv_scale_points_free(points);
        ASSERT_EQ(labels.size(),
                  static_cast<size_t>(parameter.getMaximum() - parameter.getMinimum() + 1));
        for (const auto& [value, label] : labels) EXPECT_EQ(label, parameter.formatValue(value));
    }
    EXPECT_GT(enumerations, 100);
    // Each parameter appears once: as its port, never again as a property.
    LilvNodes* properties =
        lilv_world_find_nodes(w.world(), lilv_plugin_get_uri(p),
                              w.uri("http://lv2plug.in/ns/ext/patch#writable"), nullptr);
    EXPECT_EQ(lilv_nodes_size(properties), 0u);
    lilv_nodes_free(properties);
    // Ports hold the shown number where a host can draw the parameter's own scale.
    const std::string hz = "http://lv2plug.in/ns/extensions/units#hz";
    EXPECT_EQ(units, (std::map<std::string, std::string>{
                         {"delay_filter_1_freq", hz},
                         {"delay_filter_2_freq", hz},
                         {"filter_1_freq", hz},
                         {"filter_2_freq", hz},
                         {"master_tune", "http://lv2plug.in/ns/extensions/units#semitone12TET"}}));

    // The side chain is optional and marked as such; the latency port is designated.
    LilvNode* sideChain = w.uri("http://lv2plug.in/ns/lv2core#isSideChain");
    LilvNode* optional = w.uri(LV2_CORE__connectionOptional);
    for (uint32_t index : {Lv2Ports::kSideChainLeft, Lv2Ports::kSideChainRight}) {
        const LilvPort* port = lilv_plugin_get_port_by_index(p, index);
        EXPECT_TRUE(lilv_port_has_property(p, port, sideChain));
        EXPECT_TRUE(lilv_port_has_property(p, port, optional));
    }
    EXPECT_EQ(lilv_plugin_get_latency_port_index(p), Lv2Ports::kLatency);
}

// Hosts keep automation by port index: the order is frozen. A stock Ardour automates the first
// 512 ports, which hold every sound parameter, the slot levels and the step values.
TEST(Lv2Description, PortOrderIsFrozen) {
    const LilvPlugin* p = plugin();
    ASSERT_NE(p, nullptr);
    std::ifstream golden(std::string(VORN_SOURCE_DIR) + "/tests/host/lv2/port-order.txt");
    std::vector<std::string> expected;
    for (std::string line; std::getline(golden, line);) expected.push_back(line);
    std::vector<std::string> actual;
    for (uint32_t index = 0; index < Lv2Ports::kParameterCount; ++index) {
        const LilvPort* port = lilv_plugin_get_port_by_index(p, index);
        actual.push_back(lilv_node_as_string(lilv_port_get_symbol(p, port)));
    }
    EXPECT_EQ(actual, expected);
    const std::vector<std::string> first(actual.begin(), actual.begin() + 512);
    const auto within = [&](const std::string& symbol) {
        return std::find(first.begin(), first.end(), symbol) != first.end();
    };
    for (const char* symbol : {"output_volume", "output_pan", "eg_main_release", "ef_4_release",
                               "midi_source_10_response_curve", "slot_50_level",
                               "xlfo_6_step_16_value", "unison_spread"})
        EXPECT_TRUE(within(symbol)) << symbol;
}

TEST(Lv2Plugin, FirstSoundAtTheEventFrameAtEveryRate) {
    for (const double rate : {44100.0, 48000.0, 96000.0, 192000.0}) {
        SCOPED_TRACE(rate);
        Lv2TestInstance instance(world(), plugin(), rate);
        // Silence first, so that the first block's set-up is out of the way.
        instance.render(512, {512});
        instance.midi(300, {kNoteOn, 69, 127});
        auto first = instance.render(512, {512});
        EXPECT_EQ(firstNonZero(first[0]), 300u);
        EXPECT_EQ(firstNonZero(first[1]), 300u);
        EXPECT_EQ(instance.blockingCalls(), 0u);
    }
}

// jalv 1.6 hands over its event buffers aligned to 4 bytes: 64-bit frame times and doubles are
// read from an aligned copy, and the music is the same to the bit.
TEST(Lv2Plugin, BlockSizesAndBufferAlignmentPlayTheSamePhrase) {
    const uint32_t frames = kRate / 2;
    // With an offset, a position and a port change come first, in an aligned buffer or not.
    const auto play = [&](const std::vector<uint32_t>& blocks, int offset = -1) {
        Lv2TestInstance instance(world(), plugin(), kRate, std::max(offset, 0));
        if (offset >= 0) instance.position(0, 132.0, 8.0, 1.0);
        if (offset >= 0) instance.setControl("filter_1_freq", 500.0f);
        auto out = instance.render(frames, blocks, phrase());
        EXPECT_EQ(instance.blockingCalls(), 0u);
        return out;
    };
    const auto reference256 = play({256});
    ASSERT_EQ(firstNonZero(reference256[0]), 3u);
    ASSERT_GT(rms(reference256[0], 0, frames), 1e-3);
    const auto aligned = play({256}, 0);
    ASSERT_GT(rms(aligned[0], 0, frames), 1e-3);
    EXPECT_EQ(play({256}, 4), aligned);

    std::mt19937 random(7);
    std::vector<uint32_t> randomBlocks(200);
    for (uint32_t& n : randomBlocks) n = std::uniform_int_distribution<uint32_t>(1, 1500)(random);
    for (const auto& blocks : std::vector<std::vector<uint32_t>>{{1}, {64}, {4096}, randomBlocks}) {
        SCOPED_TRACE(blocks.size() == 1 ? std::to_string(blocks[0]) : "random");
        const auto out = play(blocks);
        EXPECT_EQ(firstNonZero(out[0]), 3u);
        EXPECT_GT(rms(out[0], 0, frames), 0.0);
        // Single-frame blocks run the engine's control rate per sample: onset only.
        if (blocks.size() == 1 && blocks[0] == 1) continue;
        double difference = 0.0;
        for (uint32_t i = 0; i < frames; ++i)
            difference = std::max(difference, std::fabs(double(out[0][i]) - reference256[0][i]));
        EXPECT_LT(difference, 5e-3);
        for (uint32_t w = 0; w + 4096 <= frames; w += 4096)
            EXPECT_NEAR(rms(out[0], w, w + 4096) / rms(reference256[0], w, w + 4096), 1.0, 1e-3);
    }
}

// A new instance sounds as its ports say (the factory "Default Sound"); a port the host moves is
// applied once, in its unit; a state restored inside wins over stale ports until the host moves
// them; a save right after a port move keeps the port's value, processed or not.
TEST(Lv2Plugin, PortsAndSoundAgree) {
    // A home of its own, where no "Default Sound" of a user's was saved (ctest runs each test in
    // a process of its own, so the module reads these first).
    std::filesystem::create_directories(VORN_FACTORY_SCRATCH);
    std::string home = std::string(VORN_FACTORY_SCRATCH) + "/home-XXXXXX";
    ASSERT_NE(mkdtemp(home.data()), nullptr);
    for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_DOCUMENTS_DIR"})
        setenv(name, (home + "/" + name).c_str(), 1);
    Lv2TestInstance instance(world(), plugin(), kRate);
    instance.render(256, {256});
    const std::vector<std::string> symbols = parameterSymbols(reference());
    const auto valueOf = [&](Lv2TestInstance& from, const std::string& symbol) {
        const auto id = std::find(symbols.begin(), symbols.end(), symbol) - symbols.begin();
        return recordValue(saveDirect(from).values.at(Lv2Ports::kStateRecordUri).second,
                           static_cast<size_t>(id));
    };
    const auto record = saveDirect(instance).values.at(Lv2Ports::kStateRecordUri).second;
    for (size_t id = 0; id < symbols.size(); ++id) {
        const auto& p = *reference().getParameter(static_cast<int>(id));
        EXPECT_FLOAT_EQ(
            Lv2Ports::portValueOfPlain(p, static_cast<int>(id), recordValue(record, id)),
            instance.control(symbols[id]))
            << symbols[id];
    }

    instance.setControl("output_volume", 0.25f);
    instance.setControl("filter_1_freq", 1000.0f);
    instance.render(256, {256});
    EXPECT_EQ(valueOf(instance, "output_volume"), 0.25f);
    const auto& freq = *reference().getParameter(static_cast<int>(
        std::find(symbols.begin(), symbols.end(), "filter_1_freq") - symbols.begin()));
    EXPECT_NEAR(freq.plainToDisplay(valueOf(instance, "filter_1_freq")), 1000.0f, 0.01f);

    Lv2TestInstance other(world(), plugin(), kRate);
    other.setControl("output_volume", 0.5f);
    other.setControl("osc_1_wave_form", 3.0f);
    other.render(256, {256});
    StoredState state = saveDirect(other);
    ASSERT_EQ(restoreDirect(instance, state), LV2_STATE_SUCCESS);
    for (int i = 0; i < 3; ++i) instance.render(256, {256});
    EXPECT_EQ(valueOf(instance, "output_volume"), 0.5f);
    EXPECT_EQ(valueOf(instance, "osc_1_wave_form"), 3.0f);
    instance.setControl("output_volume", 0.75f);
    instance.render(256, {256});
    EXPECT_EQ(valueOf(instance, "output_volume"), 0.75f);

    // Saved before any block saw the move, and reopened as a host does: state, then ports.
    instance.setControl("filter_1_peak", 0.533f);
    StoredState saved = saveDirect(instance);
    Lv2TestInstance reopened(world(), plugin(), kRate);
    ASSERT_EQ(restoreDirect(reopened, saved), LV2_STATE_SUCCESS);
    reopened.setControl("filter_1_peak", 0.533f);
    reopened.render(256, {256});
    EXPECT_EQ(valueOf(reopened, "filter_1_peak"), 0.533f);
    EXPECT_EQ(instance.blockingCalls(), 0u);
    std::filesystem::remove_all(home);
}

TEST(Lv2State, RecordLayoutAndBitIdenticalRestore) {
    Lv2TestInstance a(world(), plugin(), kRate);
    const std::map<std::string, float> values = {{"osc_1_wave_form", 2.0f},
                                                 {"filter_1_peak", 0.4f},
                                                 {"output_volume", 0.6f},
                                                 {"osc_2_level", 0.3f}};
    for (const auto& [symbol, value] : values) a.setControl(symbol, value);
    a.render(kRate / 2, {256});
    StoredState state = saveDirect(a);

    // "QV2i", version 8, 883 float values in parameter order, little-endian.
    const auto& [type, record] = state.values.at(Lv2Ports::kStateRecordUri);
    EXPECT_EQ(type, LV2_ATOM__Chunk);
    ASSERT_EQ(record.size(), 12u + 4u * Lv2Ports::kParameterCount);
    EXPECT_EQ(std::string(record.begin(), record.begin() + 4), "QV2i");
    EXPECT_EQ(recordAt<int32_t>(record, 4), 8);
    EXPECT_EQ(recordAt<int32_t>(record, 8), static_cast<int32_t>(Lv2Ports::kParameterCount));
    const std::vector<std::string> symbols = parameterSymbols(reference());
    for (const auto& [symbol, value] : values) {
        const auto id = std::find(symbols.begin(), symbols.end(), symbol) - symbols.begin();
        EXPECT_EQ(recordValue(record, static_cast<size_t>(id)), value) << symbol;
    }
    EXPECT_EQ(state.values.at(Lv2Ports::kStatePresetNameUri).first, LV2_ATOM__String);

    // Restored into a fresh instance, both settle and then play the same input identically.
    Lv2TestInstance b(world(), plugin(), kRate);
    ASSERT_EQ(restoreDirect(b, state), LV2_STATE_SUCCESS);
    // Identical history from here: both restore the same state, then play.
    ASSERT_EQ(restoreDirect(a, state), LV2_STATE_SUCCESS);
    a.render(kRate / 4, {256});
    b.render(kRate / 4, {256});
    const auto outA = a.render(kRate / 2, {256}, phrase());
    const auto outB = b.render(kRate / 2, {256}, phrase());
    EXPECT_GT(rms(outA[0], 0, kRate / 2), 1e-3);
    EXPECT_EQ(outA[0], outB[0]);
    EXPECT_EQ(outA[1], outB[1]);

    // A record of another product is refused and changes nothing.
    StoredState foreign = state;
    foreign.values.at(Lv2Ports::kStateRecordUri).second[0] = 'X';
    EXPECT_NE(restoreDirect(b, foreign), LV2_STATE_SUCCESS);
    EXPECT_EQ(a.blockingCalls(), 0u);
    EXPECT_EQ(b.blockingCalls(), 0u);
}

TEST(Lv2State, FactoryPresetsLoadWithTheirNames) {
    const LilvPlugin* p = plugin();
    LilvNodes* presets = lilv_plugin_get_related(p, world().uri(LV2_PRESETS__Preset));
    ASSERT_GE(lilv_nodes_size(presets), 50u);
    const LilvNode* first = lilv_nodes_get(presets, lilv_nodes_begin(presets));
    lilv_world_load_resource(world().world(), first);
    LilvNodes* labels =
        lilv_world_find_nodes(world().world(), first, world().uri(LILV_NS_RDFS "label"), nullptr);
    ASSERT_EQ(lilv_nodes_size(labels), 1u);
    const std::string label = lilv_node_as_string(lilv_nodes_get(labels, lilv_nodes_begin(labels)));
    lilv_nodes_free(labels);

    LilvState* state = lilv_state_new_from_world(world().world(), world().mapFeature(), first);
    ASSERT_NE(state, nullptr);
    Lv2TestInstance instance(world(), plugin(), kRate);
    instance.restoreState(state);
    instance.render(256, {256});
    // Port values and the record say the same.
    StoredState saved = saveDirect(instance);
    const auto& record = saved.values.at(Lv2Ports::kStateRecordUri).second;
    const std::vector<std::string> symbols = parameterSymbols(reference());
    for (size_t id = 0; id < symbols.size(); ++id) {
        const auto& p = *reference().getParameter(static_cast<int>(id));
        EXPECT_FLOAT_EQ(
            instance.control(symbols[id]),
            Lv2Ports::portValueOfPlain(p, static_cast<int>(id), recordValue(record, id)));
    }
    const auto& name = saved.values.at(Lv2Ports::kStatePresetNameUri).second;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(name.data())), label);
    lilv_state_free(state);
    lilv_nodes_free(presets);
    EXPECT_EQ(instance.blockingCalls(), 0u);
}

TEST(Lv2Plugin, RunStaysRealTimeSafeUnderEveryInput) {
    Lv2TestInstance instance(world(), plugin(), kRate);
    std::vector<float> side(4096);
    for (size_t i = 0; i < side.size(); ++i) side[i] = std::sin(0.01f * static_cast<float>(i));
    instance.setSideChain(side.data(), side.data());
    std::vector<float> left(4096), right(4096);
    std::mt19937 random(3);
    for (int block = 0; block < 400; ++block) {
        const uint32_t n = std::uniform_int_distribution<uint32_t>(1, 4096)(random);
        if (block % 7 == 0) instance.midi(0, {kNoteOn, static_cast<uint8_t>(40 + block % 40), 100});
        if (block % 11 == 0)
            instance.midi(n - 1, {kNoteOff, static_cast<uint8_t>(40 + block % 40), 0});
        if (block % 13 == 0) instance.midi(n / 2, {0xB0, 74, static_cast<uint8_t>(block % 128)});
        if (block % 17 == 0) instance.position(0, 90.0 + block % 50, block * 0.5, block % 2);
        if (block % 23 == 0) instance.setControl("filter_1_freq", 100.0f * (block % 10));
        if (block % 5 == 0) instance.setControl("osc_1_wave_form", static_cast<float>(block % 6));
        if (block % 29 == 0) instance.setControl("total_voices", static_cast<float>(block % 32));
        if (block % 31 == 0) instance.midi(0, {0xC0, 3});
        instance.run(n, left.data(), right.data());
        ASSERT_TRUE(
            std::all_of(left.begin(), left.begin() + n, [](float s) { return std::isfinite(s); }));
    }
    EXPECT_EQ(instance.blockingCalls(), 0u);
    // Program changes went to the worker, outside run().
    EXPECT_GT(instance.workerRequests(), 0u);
}

TEST(Lv2Install, InstalledBundleLoadsAndPlays) {
    std::filesystem::create_directories(VORN_FACTORY_SCRATCH);
    std::string pattern = std::string(VORN_FACTORY_SCRATCH) + "/prefix-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    const std::filesystem::path prefix = pattern;
    const std::string command = std::string(VORN_CMAKE_COMMAND) + " --install " + VORN_BINARY_DIR +
                                " --component lv2 --prefix " + prefix.string() + " > /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    // Found through the installed manifest, loaded from the installed library.
    const auto bundle = prefix / "lib" / "lv2" / "vorn.lv2";
    Lv2TestWorld installed((prefix / "lib" / "lv2").string());
    const LilvPlugin* p = installed.plugin(kUri);
    ASSERT_NE(p, nullptr);
    char* library = lilv_file_uri_parse(lilv_node_as_uri(lilv_plugin_get_library_uri(p)), nullptr);
    EXPECT_EQ(std::filesystem::path(library), bundle / "vorn.so");
    lilv_free(library);
    Lv2TestInstance instance(installed, p, kRate);
    instance.midi(10, {kNoteOn, 57, 100});
    const auto out = instance.render(4096, {512});
    EXPECT_EQ(firstNonZero(out[0]), 10u);
    EXPECT_EQ(instance.blockingCalls(), 0u);
    std::filesystem::remove_all(prefix);
}

// A rate that is not finite or not above 0 gets no instance and is refused as an option, which
// leaves the instance at its rate; any other rate plays, from 1 Hz to 1 GHz.
TEST(Lv2Plugin, SampleRatesThatCannotPlayAreRefused) {
    constexpr double kInf = std::numeric_limits<double>::infinity();
    const double refused[] = {0.0, -1.0, -0.0, kInf, -kInf, std::nan("")};
    for (const double rate : refused)
        EXPECT_THROW(Lv2TestInstance(world(), plugin(), rate), std::runtime_error) << rate;

    Lv2TestInstance instance(world(), plugin(), kRate);
    for (const double rate : refused) {
        for (const bool asDouble : {false, true}) {
            SCOPED_TRACE(std::to_string(rate) + (asDouble ? " as double" : " as float"));
            EXPECT_EQ(setRateOption(instance, rate, asDouble), LV2_OPTIONS_ERR_BAD_VALUE);
            EXPECT_EQ(rateOption(instance), static_cast<float>(kRate));
        }
    }
    instance.midi(0, {kNoteOn, 57, 100});
    EXPECT_TRUE(finiteAndBounded(instance.render(kRate / 10, {256})));
    EXPECT_EQ(setRateOption(instance, 96000.0, true), LV2_OPTIONS_SUCCESS);
    EXPECT_EQ(rateOption(instance), 96000.0f);

    for (const double rate : {1.0, 1e9}) {
        SCOPED_TRACE(rate);
        Lv2TestInstance extreme(world(), plugin(), rate);
        // The longest stages hold more samples at 1 GHz than an int32_t counts.
        for (const char* stage : {"eg_main_hold", "eg_main_delay", "eg_main_attack"})
            extreme.setControl(stage, 19.0f);
        extreme.midi(0, {kNoteOn, 57, 100});
        EXPECT_TRUE(finiteAndBounded(extreme.render(4096, {256})));
        EXPECT_EQ(setRateOption(extreme, 0.0, false), LV2_OPTIONS_ERR_BAD_VALUE);
    }
}

// The tuning travels as two optional string keys: restored, saved again byte for byte, heard;
// a state without them, or with a refused scale, plays equal temperament.
TEST(Lv2State, TuningKeysRoundTripAndAbsentKeysMeanEqualTemperament) {
    Lv2TestInstance plain(world(), plugin(), kRate);
    StoredState untuned = saveDirect(plain);
    const auto text = [](const std::string& s) {
        std::vector<uint8_t> bytes(s.c_str(), s.c_str() + s.size() + 1);
        return std::pair<std::string, std::vector<uint8_t>>(LV2_ATOM__String, bytes);
    };
    StoredState tuned = untuned;
    tuned.values[Lv2Ports::kStateTuningScaleUri] = text(equalScl(19));
    tuned.values[Lv2Ports::kStateTuningKeymapUri] = text("0\n0\n127\n60\n69\n432\n0\n");
    StoredState damaged = untuned;
    damaged.values[Lv2Ports::kStateTuningScaleUri] = text("bad\n2\n3/0\n2/1\n");

    // Each instance restores `first`, then `second`, saves, then plays the phrase.
    const auto play = [&](StoredState& first, StoredState& second) {
        Lv2TestInstance i(world(), plugin(), kRate);
        EXPECT_EQ(restoreDirect(i, first), LV2_STATE_SUCCESS);
        EXPECT_EQ(restoreDirect(i, second), LV2_STATE_SUCCESS);
        StoredState saved = saveDirect(i);
        i.render(kRate / 4, {256});
        EXPECT_EQ(i.blockingCalls(), 0u);
        return std::pair(saved, i.render(kRate / 2, {256}, phrase())[0]);
    };
    auto [again, heard] = play(untuned, tuned);
    EXPECT_EQ(again.values, tuned.values);
    EXPECT_EQ(play(untuned, again).second, heard);
    const auto equal = play(untuned, untuned).second;
    EXPECT_NE(heard, equal);
    for (StoredState* state : {&untuned, &damaged}) {
        const auto [saved, out] = play(tuned, *state);
        EXPECT_EQ(saved.values.count(Lv2Ports::kStateTuningScaleUri), 0u);
        EXPECT_EQ(out, equal);
    }
}
