#pragma once

#include <cstdint>

// Byte values of the MIDI messages the plug-in decodes and encodes.
namespace midi {

inline constexpr uint8_t kNoteOff = 0x80;
inline constexpr uint8_t kNoteOn = 0x90;
inline constexpr uint8_t kPolyPressure = 0xA0;
inline constexpr uint8_t kControlChange = 0xB0;
inline constexpr uint8_t kProgramChange = 0xC0;
inline constexpr uint8_t kChannelPressure = 0xD0;
inline constexpr uint8_t kPitchBend = 0xE0;
inline constexpr uint8_t kFirstSystemMessage = 0xF0;
inline constexpr uint8_t kSystemReset = 0xFF;
inline constexpr uint8_t kTypeMask = 0xF0;
inline constexpr uint8_t kChannelMask = 0x0F;
inline constexpr uint8_t kDataMask = 0x7F;

inline constexpr int kBankSelectMsb = 0;
inline constexpr int kModWheel = 1;
inline constexpr int kBankSelectLsb = 32;
// Down at 64 and above.
inline constexpr int kSustainPedal = 64;
inline constexpr int kPedalDown = 64;
inline constexpr int kAllNotesOff = 123;
// Registered parameter numbers: selected by 101 (MSB) and 100 (LSB), set by data entry 6 and 38.
inline constexpr int kDataEntryMsb = 6;
inline constexpr int kDataEntryLsb = 38;
inline constexpr int kRpnLsb = 100;
inline constexpr int kRpnMsb = 101;
inline constexpr int kRpnPitchBendRange = 0;
inline constexpr int kRpnMpeConfiguration = 6;
inline constexpr int kRpnNull = 0x3FFF;
// Controller 74, the slide (timbre) dimension of MPE controllers.
inline constexpr int kSlide = 74;

inline constexpr int kChannels = 16;
inline constexpr int kDataBits = 7;
inline constexpr int kMaxDataValue = 127;
inline constexpr int kMaxPitchBendValue = 16383;
// Pitch bend is carried as -0.5..+0.5.
inline constexpr float kPitchBendOffset = 0.5f;
// Note number 0 in a note-off releases every held note.
inline constexpr int kAllNotes = 0;

}  // namespace midi
