#include "engine/VornSettings.h"

#include "framework/SettingSerializer.h"

namespace {

// Multi-line text as a binary value, byte for byte.
void serializeText(SettingSerializer& s, const std::string& name, std::string& text) {
    std::vector<uint8_t> bytes(text.begin(), text.end());
    s.serializeBinary(name, bytes);
    if (!s.isWriting()) text.assign(bytes.begin(), bytes.end());
}

}  // namespace

void VornPlugin::VornSettings::serialize(SettingSerializer& s) {
    expandedSection = s.serializeInt("ExpandedSection", expandedSection, kNoExpandedSection);
    // A stored value out of range is clamped by the property.
    interfaceLayout = s.serializeInt("InterfaceLayout", interfaceLayout, 0);
    showModulation = s.serializeBool("ShowModulation", showModulation, false);
    sustainPedal = s.serializeBool("SustainPedal", sustainPedal, true);
    mpeMembers = s.serializeInt("MpeMembers", mpeMembers, 0);
    serializeText(s, "TuningScale", tuningScale);
    serializeText(s, "TuningKeymap", tuningKeymap);
}
