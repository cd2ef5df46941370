#pragma once

#include <cstdint>

#include "host/common/HostState.h"

// The plug-in's identity and port layout, shared by the plug-in and the generator of its
// description. The parameter ports come first, in the order of Lv2PortTable.h.
namespace Lv2Ports {

inline constexpr const char* kPluginUri = "urn:vorn:synth";
// State keys and port groups live under the plug-in's namespace.
inline constexpr const char* kNamespace = "urn:vorn:synth#";
inline constexpr const char* kStateRecordUri = "urn:vorn:synth#stateRecord";
inline constexpr const char* kStatePresetNameUri = "urn:vorn:synth#presetName";
// Scala .scl and .kbm texts of the tuning; absent: equal temperament.
inline constexpr const char* kStateTuningScaleUri = "urn:vorn:synth#tuningScale";
inline constexpr const char* kStateTuningKeymapUri = "urn:vorn:synth#tuningKeymap";
inline constexpr const char* kPresetPrefix = "urn:vorn:synth:preset:";
inline constexpr const char* kBankPrefix = "urn:vorn:synth:bank:";
inline constexpr const char* kBinaryName = "vorn.so";
// The editor: an X11 UI in the plug-in's module (one copy of the process-wide state).
inline constexpr const char* kUiUri = "urn:vorn:synth:ui";

inline constexpr uint32_t kParameterCount = HostState::kParameterCount;
inline constexpr uint32_t kControlIn = kParameterCount;
inline constexpr uint32_t kOutLeft = kParameterCount + 1;
inline constexpr uint32_t kOutRight = kParameterCount + 2;
inline constexpr uint32_t kSideChainLeft = kParameterCount + 3;
inline constexpr uint32_t kSideChainRight = kParameterCount + 4;
inline constexpr uint32_t kLatency = kParameterCount + 5;
inline constexpr uint32_t kPortCount = kParameterCount + 6;

}  // namespace Lv2Ports
