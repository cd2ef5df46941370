// Writes the description of the LV2 bundle from the synthesizer itself: manifest.ttl, vorn.ttl
// (one control port per parameter in port order, with ranges, units, groups, value names and the
// factory "Default Sound" as defaults), presets.ttl (the banks), one file per factory preset
// under presets/ with its port values and state record, and the plug-in's port table source.
//
// Usage: vorn_lv2_make_ttl BUNDLE_FOLDER PORT_TABLE_SOURCE

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "engine/VornPlugin.h"
#include "engine/VornPresets.h"
#include "framework/AbstractPluginParameter.h"
#include "framework/FloatPluginParameter.h"
#include "host/lv2/Lv2Ports.h"
#include "host/lv2/Lv2Symbols.h"
#include "persistence/FactoryArchive.h"
#include "persistence/ParameterCollection.h"
#include "persistence/ParameterRecord.h"
#include "persistence/VersionPresetLoader.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kPrefixes =
    "@prefix atom: <http://lv2plug.in/ns/ext/atom#> .\n"
    "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
    "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
    "@prefix midi: <http://lv2plug.in/ns/ext/midi#> .\n"
    "@prefix opts: <http://lv2plug.in/ns/ext/options#> .\n"
    "@prefix param: <http://lv2plug.in/ns/ext/parameters#> .\n"
    "@prefix pg: <http://lv2plug.in/ns/ext/port-groups#> .\n"
    "@prefix pprops: <http://lv2plug.in/ns/ext/port-props#> .\n"
    "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
    "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
    "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
    "@prefix rsz: <http://lv2plug.in/ns/ext/resize-port#> .\n"
    "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
    "@prefix time: <http://lv2plug.in/ns/ext/time#> .\n"
    "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n"
    "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n"
    "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n"
    "@prefix work: <http://lv2plug.in/ns/ext/worker#> .\n"
    "@prefix xsd: <http://www.w3.org/2001/XMLSchema#> .\n";

constexpr const char* kPresetExtension = ".qvp";
constexpr int kMaxLatencyFrames = 192000;

// A Turtle decimal or double that reads back as the same float.
std::string number(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
    std::string s = text;
    if (s.find_first_of(".e") == std::string::npos) s += ".0";
    return s;
}

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string base64(const std::vector<uint8_t>& bytes) {
    static constexpr char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const size_t n = std::min<size_t>(3, bytes.size() - i);
        uint32_t word = static_cast<uint32_t>(bytes[i]) << 16;
        if (n > 1) word |= static_cast<uint32_t>(bytes[i + 1]) << 8;
        if (n > 2) word |= bytes[i + 2];
        out += kDigits[(word >> 18) & 63];
        out += kDigits[(word >> 12) & 63];
        out += n > 1 ? kDigits[(word >> 6) & 63] : '=';
        out += n > 2 ? kDigits[word & 63] : '=';
    }
    return out;
}

// Lower case, every run of other characters as one "-".
std::string slug(const std::string& text) {
    std::string out;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (std::isalnum(u)) {
            out += static_cast<char>(std::tolower(u));
        } else if (!out.empty() && out.back() != '-') {
            out += '-';
        }
    }
    while (!out.empty() && out.back() == '-') out.pop_back();
    return out;
}

bool writeFile(const fs::path& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary);
    file << text;
    file.close();
    if (!file) std::fprintf(stderr, "vorn_lv2_make_ttl: cannot write %s\n", path.c_str());
    return static_cast<bool>(file);
}

struct Group {
    const char* symbol;
    const char* name;
};

constexpr std::array<Group, 11> kGroups = {{{"voice", "Voice and Output"},
                                            {"oscillators", "Oscillators"},
                                            {"filters", "Filters"},
                                            {"delay", "Delay"},
                                            {"xy", "XY Pads"},
                                            {"xlfos", "XLFOs"},
                                            {"steps", "XLFO Steps"},
                                            {"envelopes", "Envelopes"},
                                            {"followers", "Envelope Followers"},
                                            {"midi", "MIDI Sources"},
                                            {"slots", "Modulation Slots"}}};

bool startsWith(const std::string& s, const char* prefix) {
    return s.rfind(prefix, 0) == 0;
}

// The section a parameter belongs to, by its symbol; the voice and output group takes the rest.
size_t groupOf(const std::string& symbol) {
    static constexpr std::array<std::pair<const char*, size_t>, 18> kSections = {{
        {"osc_", 1},
        {"ring_", 1},
        {"portamento", 1},
        {"filter_", 2},
        {"delay_", 3},
        {"wet_", 3},
        {"dry_", 3},
        {"xy_", 4},
        {"num_active_xy", 4},
        {"num_active_xlfo_", 6},
        {"num_active_xlfos", 5},
        {"eg_", 7},
        {"num_active_egs", 7},
        {"ef_", 8},
        {"num_active_efs", 8},
        {"midi_", 9},
        {"num_active_midi", 9},
        {"slot", 10},
    }};
    if (startsWith(symbol, "xlfo_")) return symbol.find("_step_") != std::string::npos ? 6 : 5;
    if (startsWith(symbol, "num_active_slots")) return 10;
    for (const auto& [prefix, group] : kSections) {
        if (startsWith(symbol, prefix)) return group;
    }
    return 0;
}

// The unit of a continuous parameter's shown number, by its suffix; null for none.
const char* unitOf(const AbstractPluginParameter& p) {
    static constexpr std::array<std::pair<const char*, const char*>, 8> kUnits = {{
        {"Hz", "units:hz"},
        {"dB", "units:db"},
        {"ms", "units:ms"},
        {"sec", "units:s"},
        {"semitones", "units:semitone12TET"},
        {"%", "units:pc"},
        {"octaves", "units:oct"},
        {"cents", "units:cent"},
    }};
    const auto* f = dynamic_cast<const FloatPluginParameter*>(&p);
    if (!f) return nullptr;
    for (const auto& [suffix, unit] : kUnits) {
        if (f->display().suffix == suffix) return unit;
    }
    return nullptr;
}

// A port holds the shown number (Hz, semitones) where the host can draw the parameter's own
// scale: a unit, and a display linear or exponential in the plain value, read back exactly.
// The rest hold plain values, as the state does.
enum class PortScale { kPlain, kLinear, kLogarithmic };

PortScale portScaleOf(const AbstractPluginParameter& p) {
    constexpr int kPoints = 256;
    constexpr double kTolerance = 1e-4;
    if (!unitOf(p)) return PortScale::kPlain;
    const double lo = p.getMinimum();
    const double hi = p.getMaximum();
    const double d0 = p.plainToDisplay(static_cast<float>(lo));
    const double d1 = p.plainToDisplay(static_cast<float>(hi));
    const bool positive = d0 > 0.0 && d1 > 0.0;
    double linearError = 0.0;
    double logError = positive ? 0.0 : 1.0;
    for (int i = 0; i <= kPoints; ++i) {
        const double t = static_cast<double>(i) / kPoints;
        const auto plain = static_cast<float>(lo + t * (hi - lo));
        const double d = p.plainToDisplay(plain);
        if (!std::isfinite(d) ||
            std::fabs(p.displayToPlain(static_cast<float>(d)) - plain) > kTolerance * (hi - lo))
            return PortScale::kPlain;
        linearError = std::fmax(linearError, std::fabs(d - (d0 + t * (d1 - d0))) / (d1 - d0));
        if (positive) {
            const double expected = std::log(d0) + t * std::log(d1 / d0);
            logError = std::fmax(logError, std::fabs(std::log(d) - expected) / std::log(d1 / d0));
        }
    }
    if (d1 <= d0) return PortScale::kPlain;
    if (linearError < kTolerance) return PortScale::kLinear;
    return logError < kTolerance ? PortScale::kLogarithmic : PortScale::kPlain;
}

class Description {
public:
    explicit Description(VornPlugin& plugin)
        : plugin_(plugin),
          symbols_(parameterSymbols(plugin)),
          order_(parameterPortOrder(symbols_)) {
        for (int id = 0; id < plugin_.getParameterCount(); ++id)
            scales_.push_back(portScaleOf(*plugin_.getParameter(id)));
    }

    bool valid() const {
        const std::set<std::string> unique(symbols_.begin(), symbols_.end());
        return plugin_.getParameterCount() == static_cast<int>(Lv2Ports::kParameterCount) &&
               unique.size() == symbols_.size();
    }

    // Takes the plug-in's present values as the ports' defaults.
    void takeDefaults() {
        defaults_.clear();
        for (int id = 0; id < plugin_.getParameterCount(); ++id)
            defaults_.push_back(plugin_.getParameter(id)->getValue());
    }

    std::string pluginTtl() const {
        std::ostringstream out;
        out << kPrefixes << "@prefix foaf: <http://xmlns.com/foaf/0.1/> .\n"
            << "@prefix vorn: <" << Lv2Ports::kNamespace << "> .\n\n";
        writeStateKeys(out);
        writeGroups(out);
        writeProject(out);
        out << "<" << Lv2Ports::kPluginUri << ">\n"
            << "    a lv2:InstrumentPlugin , lv2:Plugin ;\n"
            << "    doap:name \"Vorn\" ;\n"
            << "    lv2:project <" << kProjectUri << "> ;\n"
            << "    doap:license <" << kLicenseUri << "> ;\n"
            << "    doap:shortdesc \"Polyphonic subtractive synthesizer\" ;\n"
            << "    rdfs:comment \"Polyphonic subtractive synthesizer: three oscillators, two "
               "multi-mode filters, six envelopes, six step LFOs, side-chain followers, a "
               "stereo delay and a 50-slot modulation matrix.\" ;\n"
            << "    lv2:minorVersion " << VORN_VERSION_MINOR << " ;\n"
            << "    lv2:microVersion " << VORN_VERSION_PATCH << " ;\n"
            << "    lv2:requiredFeature urid:map ;\n"
            << "    lv2:optionalFeature lv2:hardRTCapable , lv2:isLive , work:schedule , "
               "opts:options ;\n"
            << "    lv2:extensionData state:interface , work:interface , opts:interface ;\n"
            << "    opts:supportedOption param:sampleRate ;\n"
            << "    ui:ui <" << Lv2Ports::kUiUri << "> ;\n"
            << "    lv2:port\n";
        for (uint32_t port = 0; port < Lv2Ports::kParameterCount; ++port)
            writeControlPort(out, port);
        writeOtherPorts(out);
        return out.str();
    }

    // Port values and the state record of the plug-in's current values.
    std::string presetTtl(const std::string& uri, const std::string& name,
                          const std::string& bankUri) const {
        std::ostringstream out;
        out << kPrefixes << "@prefix vorn: <" << Lv2Ports::kNamespace << "> .\n\n"
            << "<" << uri << ">\n"
            << "    a pset:Preset ;\n"
            << "    lv2:appliesTo <" << Lv2Ports::kPluginUri << "> ;\n"
            << "    rdfs:label " << quoted(name) << " ;\n";
        if (!bankUri.empty()) out << "    pset:bank <" << bankUri << "> ;\n";
        out << "    lv2:port\n";
        for (uint32_t port = 0; port < Lv2Ports::kParameterCount; ++port) {
            const int id = order_[port];
            const AbstractPluginParameter& p = *plugin_.getParameter(id);
            out << (port ? " ,\n" : "") << "        [ lv2:symbol \""
                << symbols_[static_cast<size_t>(id)] << "\" ; pset:value "
                << number(portValue(id, p.getValue())) << " ]";
        }
        const auto record =
            ParameterRecord::encode(ParameterCollection::of(plugin_), VornPlugin::kStateVersion);
        out << " ;\n    state:state [\n"
            << "        <" << Lv2Ports::kStateRecordUri << "> \"" << base64(record)
            << "\"^^xsd:base64Binary ;\n"
            << "        <" << Lv2Ports::kStatePresetNameUri << "> " << quoted(name) << "\n"
            << "    ] .\n";
        return out.str();
    }

    // The plug-in's side of the port layout: which parameter each port drives, and its default.
    std::string portTableSource() const {
        std::ostringstream out;
        out << "// Written by vorn_lv2_make_ttl with vorn.ttl; do not edit.\n"
            << "#include \"host/lv2/Lv2PortTable.h\"\n\n"
            << "namespace Lv2Ports {\n\n"
            << "const std::array<uint16_t, kParameterCount> kParameterOfPort = {";
        for (uint32_t port = 0; port < Lv2Ports::kParameterCount; ++port)
            out << (port % 16 ? " " : "\n    ") << order_[port] << ",";
        out << "\n};\n\nconst std::array<float, kParameterCount> kDefaultOfParameter = {";
        for (size_t id = 0; id < defaults_.size(); ++id)
            out << (id % 8 ? " " : "\n    ")
                << number(portValue(static_cast<int>(id), defaults_[id])) << "f,";
        out << "\n};\n\nconst std::array<bool, kParameterCount> kInDisplayUnits = {";
        for (size_t id = 0; id < scales_.size(); ++id)
            out << (id % 8 ? " " : "\n    ")
                << (scales_[id] == PortScale::kPlain ? "false" : "true") << ",";
        out << "\n};\n\n}  // namespace Lv2Ports\n";
        return out.str();
    }

private:
    static constexpr const char* kProjectUri = "urn:vorn";
    static constexpr const char* kLicenseUri = "urn:vorn:license";

    // A plain value as its port holds it, for the description: integer ports as integers,
    // continuous ones as numbers that read back as the same float. Preset values stay floats,
    // which every host reads.
    float portValue(int id, float plain) const {
        if (scales_[static_cast<size_t>(id)] == PortScale::kPlain) return plain;
        return plugin_.getParameter(id)->plainToDisplay(plain);
    }
    std::string portText(int id, float plain) const {
        if (plugin_.getParameter(id)->kind() == AbstractPluginParameter::kIndexed)
            return std::to_string(static_cast<int>(std::lround(plain)));
        return number(portValue(id, plain));
    }

    // The help text; for a plain port with a unit, what its ends stand for.
    static std::string commentOf(const AbstractPluginParameter& p, PortScale scale) {
        std::string comment = p.helpText();
        if (scale != PortScale::kPlain || !unitOf(p)) return comment;
        if (!comment.empty()) comment += ' ';
        char range[64];
        std::snprintf(range, sizeof range, "Port values %g to %g stand for ",
                      static_cast<double>(p.getMinimum()), static_cast<double>(p.getMaximum()));
        return comment + range + p.formatValue(p.getMinimum()) + " to " +
               p.formatValue(p.getMaximum()) + ".";
    }

    static void writeStateKeys(std::ostringstream& out) {
        out << "<" << Lv2Ports::kStateRecordUri << ">\n"
            << "    a rdf:Property ;\n"
            << "    rdfs:label \"state record\" ;\n"
            << "    rdfs:comment \"Every parameter's value as a QV2i parameter record.\" .\n\n"
            << "<" << Lv2Ports::kStatePresetNameUri << ">\n"
            << "    a rdf:Property ;\n"
            << "    rdfs:label \"preset name\" ;\n"
            << "    rdfs:comment \"The name of the current preset.\" .\n\n";
    }

    static void writeGroups(std::ostringstream& out) {
        for (const Group& group : kGroups) {
            out << "vorn:group_" << group.symbol << "\n    a pg:Group ;\n    lv2:symbol \""
                << group.symbol << "\" ;\n    lv2:name " << quoted(group.name) << " .\n\n";
        }
        out << "vorn:group_out\n    a pg:StereoGroup , pg:OutputGroup ;\n    lv2:symbol \"out\" ;\n"
            << "    lv2:name \"Output\" .\n\n"
            << "vorn:group_sidechain\n    a pg:StereoGroup , pg:InputGroup ;\n"
            << "    lv2:symbol \"sidechain\" ;\n    lv2:name \"Side Chain\" ;\n"
            << "    pg:sideChainOf vorn:group_out .\n\n";
    }

    static void writeProject(std::ostringstream& out) {
        out << "<" << kProjectUri << ">\n"
            << "    a doap:Project ;\n"
            << "    doap:name \"Vorn\" ;\n"
            << "    doap:shortdesc \"Polyphonic subtractive synthesizer\" ;\n"
            << "    doap:license <" << kLicenseUri << "> ;\n"
            << "    doap:maintainer [\n"
            << "        a foaf:Person ;\n"
            << "        foaf:name \"The Vorn developers\"\n"
            << "    ] .\n\n"
            << "<" << kLicenseUri << ">\n"
            << "    rdfs:label \"All rights reserved by the Vorn developers\" .\n\n";
    }

    // Value names go with the ports: hosts show them in their menus.
    void writeRange(std::ostringstream& out, int id, float def) const {
        const AbstractPluginParameter& p = *plugin_.getParameter(id);
        out << "            lv2:default " << portText(id, def) << " ;\n"
            << "            lv2:minimum " << portText(id, p.getMinimum()) << " ;\n"
            << "            lv2:maximum " << portText(id, p.getMaximum());
        if (!hasValueNames(p)) return;
        const int lo = static_cast<int>(p.getMinimum());
        const int hi = static_cast<int>(p.getMaximum());
        out << " ;\n            lv2:scalePoint";
        for (int v = lo; v <= hi; ++v) {
            out << (v == lo ? " " : " , ") << "[ rdfs:label "
                << quoted(p.formatValue(static_cast<float>(v))) << " ; rdf:value " << v << " ]";
        }
    }

    // Named choices, or indices that stand for other numbers (a voice count, a step count):
    // either way the host shows the parameter's own text for each index.
    static bool hasValueNames(const AbstractPluginParameter& p) {
        if (p.kind() != AbstractPluginParameter::kIndexed) return false;
        if (!p.isNumeric()) return true;
        for (int v = static_cast<int>(p.getMinimum()); v <= static_cast<int>(p.getMaximum()); ++v) {
            if (p.formatValue(static_cast<float>(v)) != std::to_string(v)) return true;
        }
        return false;
    }

    void writeControlPort(std::ostringstream& out, uint32_t port) const {
        const int id = order_[port];
        const auto k = static_cast<size_t>(id);
        const AbstractPluginParameter& p = *plugin_.getParameter(id);
        out << "        [\n"
            << "            a lv2:InputPort , lv2:ControlPort ;\n"
            << "            lv2:index " << port << " ;\n"
            << "            lv2:symbol \"" << symbols_[k] << "\" ;\n"
            << "            lv2:name " << quoted(p.name()) << " ;\n"
            << "            pg:group vorn:group_" << kGroups[groupOf(symbols_[k])].symbol << " ;\n";
        const PortScale scale = scales_[k];
        const std::string comment = commentOf(p, scale);
        if (!comment.empty()) out << "            rdfs:comment " << quoted(comment) << " ;\n";
        if (scale != PortScale::kPlain) out << "            units:unit " << unitOf(p) << " ;\n";
        std::vector<std::string> properties;
        if (scale == PortScale::kLogarithmic) properties.push_back("pprops:logarithmic");
        if (p.kind() == AbstractPluginParameter::kIndexed) {
            properties.push_back("lv2:integer");
            if (!p.isNumeric()) properties.push_back("lv2:enumeration");
        }
        if (!p.isAutomatable()) properties.push_back("pprops:notAutomatic");
        if (!properties.empty()) {
            out << "            lv2:portProperty ";
            for (size_t i = 0; i < properties.size(); ++i) out << (i ? " , " : "") << properties[i];
            out << " ;\n";
        }
        writeRange(out, id, defaults_.empty() ? p.getDefault() : defaults_[k]);
        out << "\n        ] ,\n";
    }

    static void writeAudioPort(std::ostringstream& out, bool input, uint32_t index,
                               const char* symbol, const char* name, const char* comment,
                               const char* group, const char* designation) {
        out << "        [\n"
            << "            a " << (input ? "lv2:InputPort" : "lv2:OutputPort")
            << " , lv2:AudioPort ;\n";
        if (input)
            out << "            lv2:portProperty lv2:isSideChain , lv2:connectionOptional ;\n";
        out << "            lv2:index " << index << " ;\n"
            << "            lv2:symbol \"" << symbol << "\" ;\n"
            << "            lv2:name \"" << name << "\" ;\n"
            << "            rdfs:comment \"" << comment << "\" ;\n"
            << "            pg:group vorn:group_" << group << " ;\n"
            << "            lv2:designation pg:" << designation << "\n"
            << "        ] , ";
    }

    static void writeOtherPorts(std::ostringstream& out) {
        out << "        [\n"
            << "            a lv2:InputPort , atom:AtomPort ;\n"
            << "            atom:bufferType atom:Sequence ;\n"
            << "            atom:supports midi:MidiEvent , time:Position ;\n"
            << "            lv2:designation lv2:control ;\n"
            << "            lv2:index " << Lv2Ports::kControlIn << " ;\n"
            << "            lv2:symbol \"control\" ;\n"
            << "            lv2:name \"Control\" ;\n"
            << "            rdfs:comment \"MIDI and the host's transport.\" ;\n"
            << "            pg:group vorn:group_voice\n"
            << "        ] , ";
        writeAudioPort(out, false, Lv2Ports::kOutLeft, "out_left", "Out Left",
                       "Left channel of the sound.", "out", "left");
        writeAudioPort(out, false, Lv2Ports::kOutRight, "out_right", "Out Right",
                       "Right channel of the sound.", "out", "right");
        writeAudioPort(out, true, Lv2Ports::kSideChainLeft, "sidechain_left", "Side-Chain Left",
                       "Left channel the envelope followers listen to.", "sidechain", "left");
        writeAudioPort(out, true, Lv2Ports::kSideChainRight, "sidechain_right", "Side-Chain Right",
                       "Right channel the envelope followers listen to.", "sidechain", "right");
        out << "[\n"
            << "            a lv2:OutputPort , lv2:ControlPort ;\n"
            << "            lv2:designation lv2:latency ;\n"
            << "            lv2:portProperty lv2:integer , pprops:notOnGUI , lv2:reportsLatency ;\n"
            << "            lv2:index " << Lv2Ports::kLatency << " ;\n"
            << "            lv2:symbol \"latency\" ;\n"
            << "            lv2:name \"Latency\" ;\n"
            << "            rdfs:comment \"Frames the sound comes late by.\" ;\n"
            << "            pg:group vorn:group_voice ;\n"
            << "            units:unit units:frame ;\n"
            << "            lv2:minimum 0 ;\n"
            << "            lv2:maximum " << kMaxLatencyFrames << "\n"
            << "        ] .\n";
    }

    VornPlugin& plugin_;
    std::vector<std::string> symbols_;
    std::vector<int> order_;
    std::vector<PortScale> scales_;
    std::vector<float> defaults_;
};

// The editor edits the instance itself and tells the host through its ports.
std::string uiTtl() {
    std::ostringstream out;
    out << "\n<" << Lv2Ports::kUiUri << ">\n"
        << "    a ui:X11UI ;\n"
        << "    ui:binary <" << Lv2Ports::kBinaryName << "> ;\n"
        << "    lv2:requiredFeature ui:parent , <http://lv2plug.in/ns/ext/instance-access> ;\n"
        << "    lv2:optionalFeature ui:idleInterface , ui:resize , ui:touch , urid:map , "
           "opts:options ;\n"
        << "    lv2:extensionData ui:idleInterface ;\n"
        << "    opts:supportedOption ui:scaleFactor .\n";
    return out.str();
}

struct FactoryPreset {
    fs::path file;
    std::string name;
    std::string bank;  // the folder inside the factory tree; empty at its top
};

std::vector<FactoryPreset> factoryPresets(const fs::path& root) {
    std::vector<FactoryPreset> presets;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file() || entry.path().extension() != kPresetExtension) continue;
        const fs::path relative = entry.path().lexically_relative(root);
        presets.push_back({entry.path(), entry.path().stem().string(),
                           relative.has_parent_path() ? relative.parent_path().string() : ""});
    }
    std::sort(presets.begin(), presets.end(),
              [](const FactoryPreset& a, const FactoryPreset& b) { return a.file < b.file; });
    return presets;
}

// The ports start where a new instance starts: at the factory "Default Sound".
bool takeDefaultSound(VornPlugin& plugin, Description& description,
                      const std::vector<FactoryPreset>& presets) {
    const std::string name = plugin.defaultPresetName();
    for (const FactoryPreset& preset : presets) {
        if (preset.name != name) continue;
        if (!loadSynthPresetFile(plugin, preset.file.string())) break;
        description.takeDefaults();
        return true;
    }
    std::fprintf(stderr, "vorn_lv2_make_ttl: no factory preset \"%s\"\n", name.c_str());
    return false;
}

bool writeBundle(const fs::path& bundle, const fs::path& scratch, const fs::path& tableSource) {
    VornPlugin plugin;
    Description description(plugin);
    if (!description.valid()) {
        std::fprintf(stderr,
                     "vorn_lv2_make_ttl: parameter count or symbols do not fit the ports\n");
        return false;
    }
    if (!extractFactoryFolder(FactoryArchive::kFactoryPresetsFolder, scratch.string(), true)) {
        std::fprintf(stderr, "vorn_lv2_make_ttl: the factory presets cannot be extracted\n");
        return false;
    }
    const std::vector<FactoryPreset> presets = factoryPresets(scratch);
    if (!takeDefaultSound(plugin, description, presets)) return false;
    // Files of presets renamed or gone since the last build must not linger in the bundle.
    std::error_code ignored;
    fs::remove_all(bundle / "presets", ignored);
    fs::create_directories(bundle / "presets");
    bool ok = writeFile(bundle / "vorn.ttl", description.pluginTtl());
    ok = writeFile(tableSource, description.portTableSource()) && ok;

    std::ostringstream manifest;
    manifest << kPrefixes << "\n<" << Lv2Ports::kPluginUri << ">\n"
             << "    a lv2:InstrumentPlugin , lv2:Plugin ;\n"
             << "    lv2:binary <" << Lv2Ports::kBinaryName << "> ;\n"
             << "    rdfs:seeAlso <vorn.ttl> , <presets.ttl> .\n";
    manifest << uiTtl();
    std::ostringstream banks;
    banks << kPrefixes << "\n";
    std::map<std::string, std::string> bankUris;
    std::set<std::string> fileNames;
    for (const FactoryPreset& preset : presets) {
        if (!loadSynthPresetFile(plugin, preset.file.string())) {
            std::fprintf(stderr, "vorn_lv2_make_ttl: cannot read %s\n", preset.file.c_str());
            ok = false;
            continue;
        }
        std::string bankUri;
        if (!preset.bank.empty()) {
            auto [it, added] =
                bankUris.emplace(preset.bank, Lv2Ports::kBankPrefix + slug(preset.bank));
            if (added) {
                banks << "<" << it->second << ">\n    a pset:Bank ;\n    rdfs:label "
                      << quoted(preset.bank) << " .\n\n";
            }
            bankUri = it->second;
        }
        std::string stem =
            slug(preset.bank.empty() ? preset.name : preset.bank + "-" + preset.name);
        for (int n = 2; !fileNames.insert(stem).second; ++n) stem += "-" + std::to_string(n);
        const std::string uri = Lv2Ports::kPresetPrefix + stem;
        const std::string file = "presets/" + stem + ".ttl";
        ok = writeFile(bundle / file, description.presetTtl(uri, preset.name, bankUri)) && ok;
        manifest << "\n<" << uri << ">\n    a pset:Preset ;\n    lv2:appliesTo <"
                 << Lv2Ports::kPluginUri << "> ;\n    rdfs:seeAlso <" << file << "> .\n";
    }
    ok = writeFile(bundle / "presets.ttl", banks.str()) && ok;
    return writeFile(bundle / "manifest.ttl", manifest.str()) && ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: vorn_lv2_make_ttl BUNDLE_FOLDER PORT_TABLE_SOURCE\n");
        return 2;
    }
    // The factory presets come from the archive, never from a user's folder.
    VornPresets::setStartupPresets(false);
    const fs::path bundle = argv[1];
    const fs::path scratch = bundle / "factory-presets.tmp";
    fs::remove_all(scratch);
    const bool ok = writeBundle(bundle, scratch, argv[2]);
    fs::remove_all(scratch);
    return ok ? 0 : 1;
}
