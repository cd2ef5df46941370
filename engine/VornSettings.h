#pragma once

#include <atomic>
#include <string>

#include "engine/VornPlugin.h"
#include "framework/PluginSettings.h"

// The synthesizer's own settings, one object per instance: the editor's layout.
class VornPlugin::VornSettings : public GenericPlugin::Settings {
public:
    static constexpr int kNoExpandedSection = -1;
    static constexpr int kMaxInterfaceLayout = 1;

    Property<int> expandedSection{this, kNoExpandedSection};
    LimitedProperty<int> interfaceLayout{this, 0, kMaxInterfaceLayout, 0};
    Property<bool> showModulation{this, false};
    // "SustainPedal": controller 64 holds notes; off for controller maps that use 64 otherwise.
    // Read on the audio thread.
    std::atomic<bool> sustainPedal{true};
    // Member channels of the MPE lower zone a new instance starts with; 0: no MPE until a
    // controller sends its configuration message.
    LimitedProperty<int> mpeMembers{this, 0, MpeZones::kMaxMembers, 0};
    // Scala .scl and .kbm texts that `vorn play` tunes to; empty: equal temperament. Other hosts
    // keep the tuning in their own state instead.
    std::string tuningScale;
    std::string tuningKeymap;

    void serialize(SettingSerializer& serializer) override;
};
