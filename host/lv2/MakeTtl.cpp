// Writes the description of the LV2 bundle from the synthesizer itself: manifest.ttl, vorn.ttl
// (one control port and one patch property per parameter, with ranges, defaults and value
// names), presets.ttl (the banks) and one file per factory preset under presets/, each with its
// port values and its state record.
//
// Usage: vorn_lv2_make_ttl BUNDLE_FOLDER

#include <algorithm>
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
    "@prefix patch: <http://lv2plug.in/ns/ext/patch#> .\n"
    "@prefix pprops: <http://lv2plug.in/ns/ext/port-props#> .\n"
    "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
    "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
    "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
    "@prefix rsz: <http://lv2plug.in/ns/ext/resize-port#> .\n"
    "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
    "@prefix time: <http://lv2plug.in/ns/ext/time#> .\n"
    "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n"
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

class Description {
public:
    explicit Description(VornPlugin& plugin)
        : plugin_(plugin), symbols_(parameterSymbols(plugin)) {}

    bool valid() const {
        const std::set<std::string> unique(symbols_.begin(), symbols_.end());
        return plugin_.getParameterCount() == static_cast<int>(Lv2Ports::kParameterCount) &&
               unique.size() == symbols_.size();
    }

    std::string pluginTtl() const {
        std::ostringstream out;
        out << kPrefixes << "@prefix vorn: <" << Lv2Ports::kNamespace << "> .\n\n";
        out << "<" << Lv2Ports::kStateRecordUri << ">\n"
            << "    a rdf:Property ;\n"
            << "    rdfs:label \"state record\" ;\n"
            << "    rdfs:comment \"Every parameter's value as a QV2i parameter record.\" .\n\n"
            << "<" << Lv2Ports::kStatePresetNameUri << ">\n"
            << "    a rdf:Property ;\n"
            << "    rdfs:label \"preset name\" ;\n"
            << "    rdfs:comment \"The name of the current preset.\" .\n\n";
        for (int id = 0; id < plugin_.getParameterCount(); ++id) writeProperty(out, id);
        out << "<" << Lv2Ports::kPluginUri << ">\n"
            << "    a lv2:Plugin , lv2:InstrumentPlugin ;\n"
            << "    doap:name \"Vorn\" ;\n"
            << "    rdfs:comment \"Polyphonic subtractive synthesizer: three oscillators, two "
               "multi-mode filters, six envelopes, six step LFOs, side-chain followers, a "
               "stereo delay and a 50-slot modulation matrix.\" ;\n"
            << "    lv2:minorVersion " << VORN_VERSION_MINOR << " ;\n"
            << "    lv2:microVersion " << VORN_VERSION_PATCH << " ;\n"
            << "    lv2:requiredFeature urid:map ;\n"
            << "    lv2:optionalFeature lv2:hardRTCapable , work:schedule , opts:options ;\n"
            << "    lv2:extensionData state:interface , work:interface , opts:interface ;\n"
            << "    opts:supportedOption param:sampleRate ;\n"
            << "    ui:ui <" << Lv2Ports::kUiUri << "> ;\n"
            << "    patch:writable\n";
        for (size_t i = 0; i < symbols_.size(); ++i)
            out << "        vorn:" << symbols_[i] << (i + 1 < symbols_.size() ? " ,\n" : " ;\n");
        out << "    lv2:port\n";
        for (int id = 0; id < plugin_.getParameterCount(); ++id) writeControlPort(out, id);
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
        for (int id = 0; id < plugin_.getParameterCount(); ++id) {
            out << (id ? " ,\n" : "") << "        [ lv2:symbol \""
                << symbols_[static_cast<size_t>(id)] << "\" ; pset:value "
                << number(plugin_.getParameter(id)->getValue()) << " ]";
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

private:
    // Value names go with the ports only: hosts show them there, and once is enough text.
    void writeRange(std::ostringstream& out, const AbstractPluginParameter& p, const char* indent,
                    bool withNames) const {
        out << indent << "lv2:default " << number(p.getDefault()) << " ;\n"
            << indent << "lv2:minimum " << number(p.getMinimum()) << " ;\n"
            << indent << "lv2:maximum " << number(p.getMaximum());
        if (!withNames || !hasValueNames(p)) return;
        const int lo = static_cast<int>(p.getMinimum());
        const int hi = static_cast<int>(p.getMaximum());
        out << " ;\n" << indent << "lv2:scalePoint";
        for (int v = lo; v <= hi; ++v) {
            out << (v == lo ? " " : " , ") << "[ rdfs:label "
                << quoted(p.formatValue(static_cast<float>(v))) << " ; rdf:value "
                << number(static_cast<float>(v)) << " ]";
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

    void writeProperty(std::ostringstream& out, int id) const {
        const AbstractPluginParameter& p = *plugin_.getParameter(id);
        out << "vorn:" << symbols_[static_cast<size_t>(id)] << "\n"
            << "    a lv2:Parameter ;\n"
            << "    rdfs:label " << quoted(p.name()) << " ;\n"
            << "    rdfs:range atom:Float ;\n";
        writeRange(out, p, "    ", false);
        out << " .\n\n";
    }

    void writeControlPort(std::ostringstream& out, int id) const {
        const AbstractPluginParameter& p = *plugin_.getParameter(id);
        out << "        [\n"
            << "            a lv2:InputPort , lv2:ControlPort ;\n"
            << "            lv2:index " << id << " ;\n"
            << "            lv2:symbol \"" << symbols_[static_cast<size_t>(id)] << "\" ;\n"
            << "            lv2:name " << quoted(p.name()) << " ;\n";
        std::vector<std::string> properties;
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
        writeRange(out, p, "            ", true);
        out << "\n        ] ,\n";
    }

    static void writeOtherPorts(std::ostringstream& out) {
        out << "        [\n"
            << "            a lv2:InputPort , atom:AtomPort ;\n"
            << "            atom:bufferType atom:Sequence ;\n"
            << "            atom:supports midi:MidiEvent , time:Position , patch:Message ;\n"
            << "            lv2:designation lv2:control ;\n"
            << "            lv2:index " << Lv2Ports::kControlIn << " ;\n"
            << "            lv2:symbol \"control\" ;\n"
            << "            lv2:name \"Control\"\n"
            << "        ] , [\n"
            << "            a lv2:OutputPort , atom:AtomPort ;\n"
            << "            atom:bufferType atom:Sequence ;\n"
            << "            atom:supports patch:Message ;\n"
            << "            lv2:designation lv2:control ;\n"
            << "            rsz:minimumSize " << Lv2Ports::kNotifyMinimumSize << " ;\n"
            << "            lv2:index " << Lv2Ports::kNotifyOut << " ;\n"
            << "            lv2:symbol \"notify\" ;\n"
            << "            lv2:name \"Notify\"\n"
            << "        ] , [\n"
            << "            a lv2:OutputPort , lv2:AudioPort ;\n"
            << "            lv2:index " << Lv2Ports::kOutLeft << " ;\n"
            << "            lv2:symbol \"out_left\" ;\n"
            << "            lv2:name \"Out Left\"\n"
            << "        ] , [\n"
            << "            a lv2:OutputPort , lv2:AudioPort ;\n"
            << "            lv2:index " << Lv2Ports::kOutRight << " ;\n"
            << "            lv2:symbol \"out_right\" ;\n"
            << "            lv2:name \"Out Right\"\n"
            << "        ] , [\n"
            << "            a lv2:InputPort , lv2:AudioPort ;\n"
            << "            lv2:portProperty lv2:isSideChain , lv2:connectionOptional ;\n"
            << "            lv2:index " << Lv2Ports::kSideChainLeft << " ;\n"
            << "            lv2:symbol \"sidechain_left\" ;\n"
            << "            lv2:name \"Side-Chain Left\"\n"
            << "        ] , [\n"
            << "            a lv2:InputPort , lv2:AudioPort ;\n"
            << "            lv2:portProperty lv2:isSideChain , lv2:connectionOptional ;\n"
            << "            lv2:index " << Lv2Ports::kSideChainRight << " ;\n"
            << "            lv2:symbol \"sidechain_right\" ;\n"
            << "            lv2:name \"Side-Chain Right\"\n"
            << "        ] , [\n"
            << "            a lv2:OutputPort , lv2:ControlPort ;\n"
            << "            lv2:designation lv2:latency ;\n"
            << "            lv2:portProperty lv2:integer , pprops:notOnGUI ;\n"
            << "            lv2:index " << Lv2Ports::kLatency << " ;\n"
            << "            lv2:symbol \"latency\" ;\n"
            << "            lv2:name \"Latency\" ;\n"
            << "            lv2:minimum 0 ;\n"
            << "            lv2:maximum " << kMaxLatencyFrames << "\n"
            << "        ] .\n";
    }

    VornPlugin& plugin_;
    std::vector<std::string> symbols_;
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

bool writeBundle(const fs::path& bundle, const fs::path& scratch) {
    VornPlugin plugin;
    const Description description(plugin);
    if (!description.valid()) {
        std::fprintf(stderr,
                     "vorn_lv2_make_ttl: parameter count or symbols do not fit the ports\n");
        return false;
    }
    if (!extractFactoryFolder(FactoryArchive::kFactoryPresetsFolder, scratch.string(), true)) {
        std::fprintf(stderr, "vorn_lv2_make_ttl: the factory presets cannot be extracted\n");
        return false;
    }
    // Files of presets renamed or gone since the last build must not linger in the bundle.
    std::error_code ignored;
    fs::remove_all(bundle / "presets", ignored);
    fs::create_directories(bundle / "presets");
    bool ok = writeFile(bundle / "vorn.ttl", description.pluginTtl());

    std::ostringstream manifest;
    manifest << kPrefixes << "\n<" << Lv2Ports::kPluginUri << ">\n"
             << "    a lv2:Plugin , lv2:InstrumentPlugin ;\n"
             << "    lv2:binary <" << Lv2Ports::kBinaryName << "> ;\n"
             << "    rdfs:seeAlso <vorn.ttl> , <presets.ttl> .\n";
    manifest << uiTtl();
    std::ostringstream banks;
    banks << kPrefixes << "\n";
    std::map<std::string, std::string> bankUris;
    std::set<std::string> fileNames;
    for (const FactoryPreset& preset : factoryPresets(scratch)) {
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
    if (argc != 2) {
        std::fprintf(stderr, "usage: vorn_lv2_make_ttl BUNDLE_FOLDER\n");
        return 2;
    }
    // Ports describe the built-in defaults, not an installed "Default Sound".
    VornPresets::setStartupPresets(false);
    const fs::path bundle = argv[1];
    const fs::path scratch = bundle / "factory-presets.tmp";
    fs::remove_all(scratch);
    const bool ok = writeBundle(bundle, scratch);
    fs::remove_all(scratch);
    return ok ? 0 : 1;
}
