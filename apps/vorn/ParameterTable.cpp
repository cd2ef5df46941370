#include "apps/vorn/ParameterTable.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <numeric>

#include "framework/FloatPluginParameter.h"
#include "framework/FloatPluginParameterUnit.h"
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

bool knownWord(const AbstractPluginParameter& p, const std::string& word) {
    if (word.empty()) return true;
    if (p.kind() == AbstractPluginParameter::kIndexed) return false;
    const FloatParameterDisplay& display = static_cast<const FloatPluginParameter&>(p).display();
    if (word == "%") return true;
    if (display.unit) return display.unit->findAlias(word) != nullptr;
    return equalsIgnoringCase(word, display.suffix);
}

// The command line is stricter than the editor's parser: all of the text must be meant, a
// listed name or one finite number with at most a unit the parameter knows. A number beyond
// the float range becomes the largest float, which the parser takes to the nearer end.
std::string strictProblem(const AbstractPluginParameter& p, std::string& text) {
    for (const std::string& name : ParameterTable::valueNames(p)) {
        if (equalsIgnoringCase(name, text)) return "";
    }
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    const double number = std::strtod(begin, &end);
    if (end == begin) return "is not a number";
    if (std::isnan(number) || (std::isinf(number) && errno != ERANGE)) {
        return "is not a finite number";
    }
    const std::string word = trim(end);
    if (!knownWord(p, word)) return "has \"" + word + "\" after the number";
    const bool indexed = p.kind() == AbstractPluginParameter::kIndexed;
    if (indexed && std::isinf(number)) {
        text = p.formatValue(number > 0 ? p.getMaximum() : p.getMinimum());
    } else if (indexed && number != std::floor(number)) {
        return "is not a whole number";
    } else if (std::isinf(number)) {
        text = (number > 0 ? "3.4e38 " : "-3.4e38 ") + word;
    }
    return "";
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
    std::string typed = text;
    if (const std::string problem = strictProblem(*p, typed); !problem.empty()) {
        std::fprintf(err, "%s: \"%s\" %s; \"%s\" takes %s\n", command.c_str(), text.c_str(),
                     problem.c_str(), p->name().c_str(), acceptedInput(*p).c_str());
        return false;
    }
    float plain = 0.0f;
    if (!p->parseText(typed, &plain)) {
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
