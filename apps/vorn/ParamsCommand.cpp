#include "apps/vorn/ParamsCommand.h"

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstring>

#include "apps/vorn/ExitStatus.h"
#include "apps/vorn/ParameterTable.h"
#include "engine/VornPlugin.h"
#include "framework/posix/RegularFile.h"

namespace {

constexpr int kVersionMajor = VORN_VERSION_MAJOR;
constexpr int kVersionMinor = VORN_VERSION_MINOR;
constexpr int kVersionPatch = VORN_VERSION_PATCH;
constexpr int kVersionBeta = 0;

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

const char* kindName(const AbstractPluginParameter& p) {
    return p.kind() == AbstractPluginParameter::kIndexed ? "list" : "continuous";
}

void printJson(std::FILE* out, const ParameterTable& table, VornPlugin& plugin) {
    std::fputs("[\n", out);
    const auto& all = table.all();
    for (size_t i = 0; i < all.size(); ++i) {
        const AbstractPluginParameter& p = *all[i];
        const int target = plugin.targetOfParameter(&p);
        const std::vector<std::string> names = ParameterTable::valueNames(p);
        std::string namesJson = "null";
        if (!names.empty()) {
            namesJson = "[";
            for (size_t n = 0; n < names.size(); ++n) {
                namesJson += (n ? ", " : "") + jsonString(names[n]);
            }
            namesJson += "]";
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

void printTable(std::FILE* out, const ParameterTable& table, VornPlugin& plugin) {
    std::fprintf(out, "%4s  %-34s %-10s %8s %8s %9s %9s  %-22s %-4s %s\n", "id", "name", "kind",
                 "min", "max", "default", "value", "text", "auto", "target");
    for (const AbstractPluginParameter* p : table.all()) {
        const int target = plugin.targetOfParameter(p);
        std::fprintf(out, "%4u  %-34s %-10s %8.4g %8.4g %9.6g %9.6g  %-22s %-4s %s\n", p->id(),
                     p->name().c_str(), kindName(*p), static_cast<double>(p->getMinimum()),
                     static_cast<double>(p->getMaximum()), static_cast<double>(p->getDefault()),
                     static_cast<double>(p->getValue()), p->formatValue(p->getValue()).c_str(),
                     p->isAutomatable() ? "yes" : "no",
                     target < 0 ? "-" : std::to_string(target).c_str());
    }
}

}  // namespace

ParamsCommand::ParamsCommand(CLI::App& app)
    : command_(app.add_subcommand("params", "List the synthesizer's parameters")) {
    command_->add_flag("--json", json_, "Print a JSON array instead of a table");
    command_->add_option("--set", assignments_,
                         "Set a parameter first, as NAME=TEXT (for example \"Filter 1 Freq=2 "
                         "kHz\"); may be repeated");
    command_->add_option("--save", save_,
                         "Save the parameters as a preset file instead of listing them");
}

bool ParamsCommand::selected() const {
    return command_->parsed();
}

int ParamsCommand::run(std::FILE* out, std::FILE* err) const {
    VornPlugin plugin;
    const ParameterTable table(plugin);
    if (!table.assignAll(assignments_, "vorn params", err)) return kExitUsageError;
    if (!save_.empty()) {
        if (!plugin.savePreset(save_)) {
            const bool special = isSpecialFile(resolveLinks(save_));
            std::fprintf(err, "vorn params: cannot write %s: %s\n", save_.c_str(),
                         special ? "not a regular file" : std::strerror(errno));
            return kExitUsageError;
        }
        std::fprintf(out, "%s: %d parameters\n", save_.c_str(), plugin.getParameterCount());
        return kExitSuccess;
    }
    if (json_) {
        printJson(out, table, plugin);
    } else {
        printTable(out, table, plugin);
    }
    return kExitSuccess;
}

std::string vornVersionString() {
    std::string text = std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) +
                       std::to_string(kVersionPatch);
    if (kVersionBeta > 0) text += " beta " + std::to_string(kVersionBeta);
    return text;
}
