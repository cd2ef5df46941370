#include "engine/VornSettings.h"

#include "framework/SettingSerializer.h"

void VornPlugin::VornSettings::serialize(SettingSerializer& s) {
    expandedSection = s.serializeInt("ExpandedSection", expandedSection, kNoExpandedSection);
    // A stored value out of range is clamped by the property.
    interfaceLayout = s.serializeInt("InterfaceLayout", interfaceLayout, 0);
    showModulation = s.serializeBool("ShowModulation", showModulation, false);
    sustainPedal = s.serializeBool("SustainPedal", sustainPedal, true);
}
