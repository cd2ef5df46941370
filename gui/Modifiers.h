#pragma once

#include <cstdint>

namespace gui {

// Flags carried with every mouse event.
namespace modifier {
inline constexpr uint32_t kShift = 1;
inline constexpr uint32_t kAlt = 2;
inline constexpr uint32_t kCtrl = 4;
inline constexpr uint32_t kLeftButton = 8;
inline constexpr uint32_t kRightButton = 16;
inline constexpr uint32_t kMiddleButton = 32;
inline constexpr uint32_t kDoubleClick = 64;
inline constexpr uint32_t kHostModifier = 128;  // supplied by the host's message hook
inline constexpr uint32_t kSystemKey = 256;     // the Super key
// The bits the translation table looks at: Shift, Alt, Ctrl and the host's modifier.
inline constexpr uint32_t kTranslationMask = 135;
}  // namespace modifier

// Function bits the translation table answers with.
namespace function {
inline constexpr uint32_t kFirst = 1;  // second parameter pair and reset on component buttons
inline constexpr uint32_t kFine = 2;   // fine adjustment of value controls
inline constexpr uint32_t kThird = 4;
}  // namespace function

// The process-wide list of (modifier combination -> function bits) pairs. Used on the editor's
// thread only.
class ModifierTable {
public:
    // The function bits of an event's modifiers; 0 when the combination is not listed.
    static uint32_t functionsOf(uint32_t modifiers);
    // Replaces the pair for the same combination or appends one.
    static void set(uint32_t combination, uint32_t functions);
    // Back to the starting table: 1 -> 4, 2 -> 1, 4 -> 2, 6 -> 3 (Ctrl is fine adjustment).
    static void reset();
    // The host adapter's alternative, in which Shift is fine adjustment: 1 -> 2, 2 -> 4, 4 -> 1,
    // 6 -> 5.
    static void useShiftForFine();
};

}  // namespace gui
