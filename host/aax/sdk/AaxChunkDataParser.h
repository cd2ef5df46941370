#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "host/aax/sdk/AaxParameter.h"
#include "host/aax/sdk/AaxTypes.h"

// A chunk as the host stores it: this 60-byte header, then the data area. fSize is the whole
// chunk's size in bytes, header included; fName is NUL-terminated.
struct AAX_SPlugInChunk {
    static constexpr size_t kNameSize = 48;

    int32_t fSize = 0;
    int32_t fVersion = 0;
    AAX_CTypeID fChunkID = 0;
    char fName[kNameSize] = {};
};
static_assert(sizeof(AAX_SPlugInChunk) == 60);

constexpr int32_t AAX_CHUNK_HEADER_SIZE = static_cast<int32_t>(sizeof(AAX_SPlugInChunk));

inline uint8_t* AAX_ChunkData(AAX_SPlugInChunk* chunk) {
    return reinterpret_cast<uint8_t*>(chunk) + sizeof(AAX_SPlugInChunk);
}
inline const uint8_t* AAX_ChunkData(const AAX_SPlugInChunk* chunk) {
    return reinterpret_cast<const uint8_t*>(chunk) + sizeof(AAX_SPlugInChunk);
}

// The controls chunk's data: typed values by parameter identifier. Layout, little-endian: entry
// count (int32), then per entry a type byte (0 float, 1 int32, 2 bool, 3 double), the identifier's
// length (one byte) and characters, and the value (4, 4, 1 or 8 bytes).
class AAX_CChunkDataParser {
public:
    static constexpr int32_t kVersion = 1;

    void Clear();
    // An identifier added twice keeps its first value.
    void AddValue(const std::string& identifier, const AAX_ParameterValue& value);
    // Null when the chunk holds no value for the identifier.
    const AAX_ParameterValue* FindValue(AAX_CParamID identifier) const;
    int32_t NumValues() const { return static_cast<int32_t>(entries_.size()); }

    int32_t GetChunkDataSize() const;
    // Writes GetChunkDataSize() bytes.
    void GetChunkData(uint8_t* data) const;
    // Replaces the contents; false (and empty) when the data is cut short or malformed.
    bool LoadChunkData(const uint8_t* data, int32_t size);

private:
    std::vector<std::pair<std::string, AAX_ParameterValue>> entries_;
    std::map<std::string, size_t, std::less<>> index_;
};
