#pragma once

#include <string>
#include <vector>

class AbstractPluginParameter;
class GenericParameterOwner;
class GenericPlugin;

// An ordered list of parameters whose values form one record: all parameters of a plug-in (a
// whole-synth preset or state) or the parameters of one component (a component preset). The
// identifier names the record's owner.
struct ParameterCollection {
    GenericParameterOwner* owner = nullptr;
    std::string identifier;
    std::vector<AbstractPluginParameter*> parameters;

    // Every parameter of the plug-in in id order, under the plug-in's identifier.
    static ParameterCollection of(GenericPlugin& plugin);

    int size() const { return static_cast<int>(parameters.size()); }
};
