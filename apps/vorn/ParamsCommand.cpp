#include "apps/vorn/ParamsCommand.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <numeric>

#include "engine/VornPlugin.h"
#include "framework/FloatPluginParameter.h"
#include "framework/IndexedPluginParameter.h"
#include "framework/ParameterFormat.h"

namespace {

constexpr int kVersionMajor = VORN_VERSION_MAJOR;
constexpr int kVersionMinor = VORN_VERSION_MINOR;
constexpr int kVersionPatch = VORN_VERSION_PATCH;
constexpr int kVersionBeta = 0;
constexpr size_t kSuggestions = 3;

std::string lowercase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

size_t editDistance(const std::string& a, const std::string& b) {
    std::vector<size_t> row(b.size() + 1);
    std::iota(row.begin(), row.end(), size_t{0});
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                    out += escaped;
                } else {
                    out += ch;
                }
        }
    }
    return out + "\"";
}

// Shortest text that reads back as the same float.
std::string number(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
    return text;
}

std::string joined(const std::vector<std::string>& items, const std::string& separator) {
    std::string out;
    for (size_t i = 0; i < items.size(); ++i) out += (i ? separator : "") + items[i];
    return out;
}

class ParameterTable {
public:
    explicit ParameterTable(VornPlugin& plugin) : plugin_(plugin) {
        for (int id = 0; id < plugin.getParameterCount(); ++id) {
            parameters_.push_back(plugin.getParameter(id));
        }
    }

    const std::vector<AbstractPluginParameter*>& all() const { return parameters_; }

    // Exact name first, then ignoring case.
    AbstractPluginParameter* find(const std::string& name) const {
        for (AbstractPluginParameter* p : parameters_) {
            if (p->name() == name) return p;
        }
        for (AbstractPluginParameter* p : parameters_) {
            if (equalsIgnoringCase(p->name(), name)) return p;
        }
        return nullptr;
    }

    std::vector<std::string> closestNames(const std::string& name) const {
        std::vector<std::pair<size_t, std::string>> ranked;
        const std::string key = lowercase(name);
        for (const AbstractPluginParameter* p : parameters_) {
            ranked.emplace_back(editDistance(key, lowercase(p->name())), p->name());
        }
        const size_t count = std::min(kSuggestions, ranked.size());
        std::partial_sort(ranked.begin(), ranked.begin() + static_cast<long>(count), ranked.end());
        std::vector<std::string> names;
        for (size_t i = 0; i < count; ++i) names.push_back(ranked[i].second);
        return names;
    }

    int target(const AbstractPluginParameter* p) const { return plugin_.targetOfParameter(p); }

private:
    VornPlugin& plugin_;
    std::vector<AbstractPluginParameter*> parameters_;
};

// The value names of a list parameter; empty for numbers.
std::vector<std::string> valueNames(const AbstractPluginParameter& p) {
    std::vector<std::string> names;
    if (p.kind() != AbstractPluginParameter::kIndexed || p.isNumeric()) return names;
    for (int i = static_cast<int>(p.getMinimum()); i <= static_cast<int>(p.getMaximum()); ++i) {
        names.push_back(p.formatValue(static_cast<float>(i)));
    }
    return names;
}

// What the parameter accepts as typed text, for error messages.
std::string acceptedInput(const AbstractPluginParameter& p) {
    if (p.kind() == AbstractPluginParameter::kIndexed) {
        if (!p.isNumeric()) return "one of: " + joined(valueNames(p), ", ");
        std::vector<std::string> values;
        for (int i = static_cast<int>(p.getMinimum()); i <= static_cast<int>(p.getMaximum()); ++i) {
            values.push_back(p.formatValue(static_cast<float>(i)));
        }
        if (values.size() <= 16) return "one of: " + joined(values, ", ");
        return "a whole number from " + values.front() + " to " + values.back();
    }
    const auto& continuous = static_cast<const FloatPluginParameter&>(p);
    std::string text =
        "a number from " + p.formatValue(p.getMinimum()) + " to " + p.formatValue(p.getMaximum());
    std::vector<std::string> words;
    if (const FloatPluginParameterUnit* unit = continuous.display().unit) {
        for (const UnitAlias& alias : unit->aliases()) words.push_back("\"" + alias.name + "\"");
    } else if (!continuous.display().suffix.empty()) {
        words.push_back("\"" + continuous.display().suffix + "\"");
    }
    if (std::find(words.begin(), words.end(), "\"%\"") == words.end()) words.push_back("\"%\"");
    return text + ", optionally followed by " + joined(words, ", ") + " (% of the range)";
}

const char* kindName(const AbstractPluginParameter& p) {
    return p.kind() == AbstractPluginParameter::kIndexed ? "list" : "continuous";
}

void printJson(std::FILE* out, const ParameterTable& table) {
    std::fputs("[\n", out);
    const auto& all = table.all();
    for (size_t i = 0; i < all.size(); ++i) {
        const AbstractPluginParameter& p = *all[i];
        const int target = table.target(&p);
        const std::vector<std::string> names = valueNames(p);
        std::string namesJson = "null";
        if (!names.empty()) {
            std::vector<std::string> quoted;
            for (const std::string& n : names) quoted.push_back(jsonString(n));
            namesJson = "[" + joined(quoted, ", ") + "]";
        }
        std::fprintf(out,
                     "  {\"id\": %u, \"name\": %s, \"kind\": \"%s\", \"min\": %s, \"max\": %s, "
                     "\"default\": %s, \"value\": %s, \"text\": %s, \"automatable\": %s, "
                     "\"target\": %s, \"names\": %s}%s\n",
                     p.id(), jsonString(p.name()).c_str(), kindName(p),
                     number(p.getMinimum()).c_str(), number(p.getMaximum()).c_str(),
                     number(p.getDefault()).c_str(), number(p.getValue()).c_str(),
                     jsonString(p.formatValue(p.getValue())).c_str(),
                     p.isAutomatable() ? "true" : "false",
                     target < 0 ? "null" : std::to_string(target).c_str(), namesJson.c_str(),
                     i + 1 < all.size() ? "," : "");
    }
    std::fputs("]\n", out);
}

void printTable(std::FILE* out, const ParameterTable& table) {
    std::fprintf(out, "%4s  %-34s %-10s %8s %8s %9s %9s  %-22s %-4s %s\n", "id", "name", "kind",
                 "min", "max", "default", "value", "text", "auto", "target");
    for (const AbstractPluginParameter* p : table.all()) {
        const int target = table.target(p);
        std::fprintf(out, "%4u  %-34s %-10s %8.4g %8.4g %9.6g %9.6g  %-22s %-4s %s\n", p->id(),
                     p->name().c_str(), kindName(*p), static_cast<double>(p->getMinimum()),
                     static_cast<double>(p->getMaximum()), static_cast<double>(p->getDefault()),
                     static_cast<double>(p->getValue()), p->formatValue(p->getValue()).c_str(),
                     p->isAutomatable() ? "yes" : "no",
                     target < 0 ? "-" : std::to_string(target).c_str());
    }
}

// Applies one "NAME=TEXT"; prints the reason and returns false when it cannot.
bool assign(const ParameterTable& table, const std::string& assignment, std::FILE* err) {
    const size_t equals = assignment.find('=');
    if (equals == std::string::npos) {
        std::fprintf(err, "vorn params: --set \"%s\" needs the form NAME=TEXT\n",
                     assignment.c_str());
        return false;
    }
    const std::string name = trim(assignment.substr(0, equals));
    const std::string text = trim(assignment.substr(equals + 1));
    AbstractPluginParameter* p = table.find(name);
    if (!p) {
        std::fprintf(err, "vorn params: no parameter is named \"%s\"; closest: %s\n", name.c_str(),
                     joined(table.closestNames(name), ", ").c_str());
        return false;
    }
    float plain = 0.0f;
    if (!p->parseText(text, &plain)) {
        std::fprintf(err, "vorn params: \"%s\" does not accept \"%s\"; it takes %s\n",
                     p->name().c_str(), text.c_str(), acceptedInput(*p).c_str());
        return false;
    }
    p->setValue(plain, 0);
    return true;
}

}  // namespace

ParamsCommand::ParamsCommand(CLI::App& app)
    : command_(app.add_subcommand("params", "List the synthesizer's parameters")) {
    command_->add_flag("--json", json_, "Print a JSON array instead of a table");
    command_->add_option("--set", assignments_,
                         "Set a parameter first, as NAME=TEXT (for example \"Filter 1 Freq=2 "
                         "kHz\"); may be repeated");
}

bool ParamsCommand::selected() const {
    return command_->parsed();
}

int ParamsCommand::run(std::FILE* out, std::FILE* err) const {
    VornPlugin plugin;
    const ParameterTable table(plugin);
    for (const std::string& assignment : assignments_) {
        if (!assign(table, assignment, err)) return kUsageError;
    }
    if (json_) {
        printJson(out, table);
    } else {
        printTable(out, table);
    }
    return 0;
}

std::string vornVersionString() {
    std::string text = std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) +
                       std::to_string(kVersionPatch);
    if (kVersionBeta > 0) text += " beta " + std::to_string(kVersionBeta);
    return text;
}
