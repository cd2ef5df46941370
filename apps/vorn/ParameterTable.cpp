#include "apps/vorn/ParameterTable.h"

#include <algorithm>
#include <cctype>
#include <numeric>

#include "framework/FloatPluginParameter.h"
#include "framework/GenericPlugin.h"
#include "framework/IndexedPluginParameter.h"
#include "framework/ParameterFormat.h"

namespace {

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

std::string joined(const std::vector<std::string>& items, const std::string& separator) {
    std::string out;
    for (size_t i = 0; i < items.size(); ++i) out += (i ? separator : "") + items[i];
    return out;
}

// What the parameter accepts as typed text, for error messages.
std::string acceptedInput(const AbstractPluginParameter& p) {
    if (p.kind() == AbstractPluginParameter::kIndexed) {
        if (!p.isNumeric()) return "one of: " + joined(ParameterTable::valueNames(p), ", ");
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

}  // namespace

ParameterTable::ParameterTable(GenericPlugin& plugin) : plugin_(plugin) {
    for (int id = 0; id < plugin.getParameterCount(); ++id) {
        parameters_.push_back(plugin.getParameter(id));
    }
}

AbstractPluginParameter* ParameterTable::find(const std::string& name) const {
    for (AbstractPluginParameter* p : parameters_) {
        if (p->name() == name) return p;
    }
    for (AbstractPluginParameter* p : parameters_) {
        if (equalsIgnoringCase(p->name(), name)) return p;
    }
    return nullptr;
}

std::vector<std::string> ParameterTable::closestNames(const std::string& name) const {
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

bool ParameterTable::assign(const std::string& assignment, const std::string& command,
                            std::FILE* err) const {
    const size_t equals = assignment.find('=');
    if (equals == std::string::npos) {
        std::fprintf(err, "%s: --set \"%s\" needs the form NAME=TEXT\n", command.c_str(),
                     assignment.c_str());
        return false;
    }
    const std::string name = trim(assignment.substr(0, equals));
    const std::string text = trim(assignment.substr(equals + 1));
    AbstractPluginParameter* p = find(name);
    if (!p) {
        std::fprintf(err, "%s: no parameter is named \"%s\"; closest: %s\n", command.c_str(),
                     name.c_str(), joined(closestNames(name), ", ").c_str());
        return false;
    }
    float plain = 0.0f;
    if (!p->parseText(text, &plain)) {
        std::fprintf(err, "%s: \"%s\" does not accept \"%s\"; it takes %s\n", command.c_str(),
                     p->name().c_str(), text.c_str(), acceptedInput(*p).c_str());
        return false;
    }
    p->setValue(plain, 0);
    return true;
}

bool ParameterTable::assignAll(const std::vector<std::string>& assignments,
                               const std::string& command, std::FILE* err) const {
    for (const std::string& assignment : assignments) {
        if (!assign(assignment, command, err)) return false;
    }
    // A patch set up before playing is in place from the first sample, not glided into.
    if (!assignments.empty()) plugin_.queueResetMarker();
    return true;
}

std::vector<std::string> ParameterTable::valueNames(const AbstractPluginParameter& p) {
    std::vector<std::string> names;
    if (p.kind() != AbstractPluginParameter::kIndexed || p.isNumeric()) return names;
    for (int i = static_cast<int>(p.getMinimum()); i <= static_cast<int>(p.getMaximum()); ++i) {
        names.push_back(p.formatValue(static_cast<float>(i)));
    }
    return names;
}
