#pragma once

#include <memory>
#include <string>
#include <vector>

#include "framework/GenericPlugin.h"

// A plugin core owning test parameters of type P; they go before finalize() tears the core down.
// Derived constructors call initialize(), so that it reaches their overrides.
template <typename P>
class TestPluginCore : public GenericPlugin {
public:
    ~TestPluginCore() override {
        parameters.clear();
        finalize();
    }
    std::string pluginId() override { return "TEST"; }
    int editorDefaultWidth() override { return 554; }
    int editorDefaultHeight() override { return 1066; }

    std::vector<std::unique_ptr<P>> parameters;
};

// Records what the core tells its host adapter.
struct RecordingAdapter : GenericPlugin::Adapter {
    void onLatencyChanged() override {}
    void onParameterChanged(int id) override { changed.push_back(id); }
    void onPresetChanged() override { ++presetChanges; }
    std::vector<int> changed;
    int presetChanges = 0;
};
