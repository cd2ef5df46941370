#pragma once

#include <gtest/gtest.h>

#include <memory>
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

// One synthesizer for a whole suite: building one is slow.
class SharedPluginTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { plugin_ = std::make_unique<VornPlugin>(); }
    static void TearDownTestSuite() { plugin_.reset(); }
    static VornPlugin& plugin() { return *plugin_; }
    static AbstractPluginParameter& p(const std::string& name) {
        AbstractPluginParameter* q = findParameter(plugin(), name);
        if (!q) ADD_FAILURE() << "no parameter " << name;
        return q ? *q : *plugin().getParameter(0);
    }

    static inline std::unique_ptr<VornPlugin> plugin_;
};
