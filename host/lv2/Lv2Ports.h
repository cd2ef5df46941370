#pragma once

#include <cstdint>

// The plug-in's identity and port layout, shared by the plug-in and the generator of its
// description. Parameter ports come first so that a port index equals the parameter id.
namespace Lv2Ports {

inline constexpr const char* kPluginUri = "urn:vorn:synth";
// Parameter properties (patch:writable) and state keys live under the plug-in's namespace.
inline constexpr const char* kNamespace = "urn:vorn:synth#";
inline constexpr const char* kStateRecordUri = "urn:vorn:synth#stateRecord";
inline constexpr const char* kStatePresetNameUri = "urn:vorn:synth#presetName";
inline constexpr const char* kPresetPrefix = "urn:vorn:synth:preset:";
inline constexpr const char* kBankPrefix = "urn:vorn:synth:bank:";
inline constexpr const char* kBinaryName = "vorn.so";
// The editor: an X11 UI in the plug-in's module (one copy of the process-wide state).
inline constexpr const char* kUiUri = "urn:vorn:synth:ui";

inline constexpr uint32_t kParameterCount = 883;
inline constexpr uint32_t kControlIn = kParameterCount;
inline constexpr uint32_t kNotifyOut = kParameterCount + 1;
inline constexpr uint32_t kOutLeft = kParameterCount + 2;
inline constexpr uint32_t kOutRight = kParameterCount + 3;
inline constexpr uint32_t kSideChainLeft = kParameterCount + 4;
inline constexpr uint32_t kSideChainRight = kParameterCount + 5;
inline constexpr uint32_t kLatency = kParameterCount + 6;
inline constexpr uint32_t kPortCount = kParameterCount + 7;

// Every parameter's patch:Set fits in one block of the notification port (72 bytes each).
inline constexpr uint32_t kNotifyMinimumSize = 65536;

}  // namespace Lv2Ports
