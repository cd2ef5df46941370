#pragma once

// Our own stand-in for the host SDK: only the values, structures and calls that the adapter
// passes to and expects from the host. Names keep the SDK's AAX_ prefix so that the adapter
// reads like code written against it.

#include <array>
#include <cstdint>
#include <string_view>

using AAX_Result = int32_t;
using AAX_CTypeID = uint32_t;
// Host parameter identifiers are short texts ("0", "882", "MasterBypassID").
using AAX_CParamID = std::string_view;

constexpr AAX_Result AAX_SUCCESS = 0;
constexpr AAX_Result AAX_ERROR_INVALID_PARAMETER_ID = -20001;
constexpr AAX_Result AAX_ERROR_INVALID_ARGUMENT = -20002;
constexpr AAX_Result AAX_ERROR_NULL_OBJECT = -20004;
constexpr AAX_Result AAX_ERROR_INVALID_CHUNK_INDEX = -20006;
constexpr AAX_Result AAX_ERROR_INVALID_CHUNK_ID = -20007;
constexpr AAX_Result AAX_ERROR_INCORRECT_CHUNK_SIZE = -20008;
constexpr AAX_Result AAX_ERROR_UNIMPLEMENTED = -20009;

// Four characters packed first-character-highest, as the host shows them.
constexpr AAX_CTypeID AAX_FourChar(const char (&text)[5]) {
    return (static_cast<AAX_CTypeID>(static_cast<uint8_t>(text[0])) << 24) |
           (static_cast<AAX_CTypeID>(static_cast<uint8_t>(text[1])) << 16) |
           (static_cast<AAX_CTypeID>(static_cast<uint8_t>(text[2])) << 8) |
           static_cast<AAX_CTypeID>(static_cast<uint8_t>(text[3]));
}

// Stem formats: the channel count sits in the low 16 bits.
constexpr int32_t AAX_STEM_MONO = 1;
constexpr int32_t AAX_STEM_STEREO = 0x10002;
constexpr int AAX_StemChannelCount(int32_t stem) {
    return stem & 0xFFFF;
}

// Description properties by number. The meaning of 58, 60, 108 and 301 is the host's own; the
// adapter sets them to the values the host expects.
enum AAX_EProperty : int32_t {
    AAX_PROPERTY_MANUFACTURER_ID = 11,
    AAX_PROPERTY_PRODUCT_ID = 12,
    AAX_PROPERTY_PLUGIN_ID_NATIVE = 13,
    AAX_PROPERTY_PLUGIN_ID_AUDIOSUITE = 14,
    AAX_PROPERTY_INPUT_STEM_FORMAT = 51,
    AAX_PROPERTY_OUTPUT_STEM_FORMAT = 52,
    AAX_PROPERTY_HOST_58 = 58,
    AAX_PROPERTY_HOST_60 = 60,
    AAX_PROPERTY_HOST_108 = 108,
    AAX_PROPERTY_HOST_301 = 301,
};

enum class AAX_EParameterType { Continuous, Discrete };
enum class AAX_EUpdateSource { Unspecified, Automation, Chunk };
enum class AAX_EMidiNodeType { LocalInput, Transport };
enum class AAX_EResourceType { PageTable };

// One MIDI message as the host delivers it: the frame offset in the block, the number of valid
// data bytes and whether it bypassed the host's scheduling.
struct AAX_CMidiPacket {
    uint32_t timestamp = 0;
    uint32_t length = 0;
    std::array<uint8_t, 4> data{};
    bool immediate = false;
};
static_assert(sizeof(AAX_CMidiPacket) == 16);

struct AAX_CMidiStream {
    uint32_t packetCount = 0;
    const AAX_CMidiPacket* packets = nullptr;
};

class AAX_ITransport {
public:
    virtual ~AAX_ITransport() = default;
    virtual AAX_Result GetCurrentTempo(double* bpm) const = 0;
    virtual AAX_Result GetCurrentMeter(int32_t* numerator, int32_t* denominator) const = 0;
    // Bars and beats count from 1; ticks run at 960000 per quarter note.
    virtual AAX_Result GetCurrentBarBeat(int32_t* bars, int32_t* beats,
                                         int64_t* displayTicks) const = 0;
};

class AAX_IMidiNode {
public:
    virtual ~AAX_IMidiNode() = default;
    virtual const AAX_CMidiStream* GetNodeBuffer() const = 0;
    virtual const AAX_ITransport* GetTransport() const = 0;
};

// One instance's real-time context: the host points every described field at its data.
constexpr int AAX_MAX_CONTEXT_FIELDS = 16;
struct AAX_Context {
    std::array<void*, AAX_MAX_CONTEXT_FIELDS> fields{};
};

// The native processing procedure, called with the contexts of a range of instances.
using AAX_ProcessProc = void (*)(AAX_Context* const* instancesBegin,
                                 AAX_Context* const* instancesEnd);
