#pragma once

#include <string>

#include "engine/VornPlugin.h"
#include "framework/AbstractPluginParameter.h"

// The host parameter of that exact name, null when there is none.
inline AbstractPluginParameter* findParameter(VornPlugin& plugin, const std::string& name) {
    for (int id = 0; id < plugin.getParameterCount(); ++id) {
        AbstractPluginParameter* p = plugin.getParameter(id);
        if (p->name() == name) return p;
    }
    return nullptr;
}
