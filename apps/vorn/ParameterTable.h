#pragma once

#include <cstdio>
#include <string>
#include <vector>

class AbstractPluginParameter;
class GenericPlugin;

// A plug-in's parameters looked up by the names `vorn params` prints, and set from typed text
// through each parameter's own parser, as a user would type it into the editor.
class ParameterTable {
public:
    explicit ParameterTable(GenericPlugin& plugin);

    const std::vector<AbstractPluginParameter*>& all() const { return parameters_; }

    // Exact name first, then ignoring case; null when neither matches.
    AbstractPluginParameter* find(const std::string& name) const;
    // The few names nearest to a misspelt one.
    std::vector<std::string> closestNames(const std::string& name) const;

    // Applies one "NAME=TEXT". When it cannot, prints why to err, prefixed by the command's name
    // (for example "vorn render"), and returns false.
    bool assign(const std::string& assignment, const std::string& command, std::FILE* err) const;
    // Applies the assignments in order and stops at the first that fails.
    bool assignAll(const std::vector<std::string>& assignments, const std::string& command,
                   std::FILE* err) const;

    // The value names of a list parameter; empty for numbers.
    static std::vector<std::string> valueNames(const AbstractPluginParameter& p);

private:
    GenericPlugin& plugin_;
    std::vector<AbstractPluginParameter*> parameters_;
};
