#include "host/aax/sdk/AaxChunkDataParser.h"

#include <cstring>
#include <type_traits>

namespace {

constexpr size_t kMaxIdentifierLength = 255;

size_t valueSize(const AAX_ParameterValue& value) {
    return std::visit([](auto v) { return sizeof(v); }, value);
}

// Values are stored in the machine's byte order, which the host platforms share (little-endian).
template <typename T>
bool readValue(const uint8_t* data, size_t size, size_t* pos, AAX_ParameterValue* value) {
    static_assert(!std::is_same_v<T, bool>);
    if (size - *pos < sizeof(T)) return false;
    T v;
    std::memcpy(&v, data + *pos, sizeof(T));
    *pos += sizeof(T);
    *value = v;
    return true;
}

}  // namespace

void AAX_CChunkDataParser::Clear() {
    entries_.clear();
    index_.clear();
}

void AAX_CChunkDataParser::AddValue(const std::string& identifier,
                                    const AAX_ParameterValue& value) {
    if (identifier.size() > kMaxIdentifierLength || index_.count(identifier)) return;
    index_[identifier] = entries_.size();
    entries_.emplace_back(identifier, value);
}

const AAX_ParameterValue* AAX_CChunkDataParser::FindValue(AAX_CParamID identifier) const {
    const auto it = index_.find(identifier);
    return it == index_.end() ? nullptr : &entries_[it->second].second;
}

int32_t AAX_CChunkDataParser::GetChunkDataSize() const {
    size_t size = sizeof(int32_t);
    for (const auto& [identifier, value] : entries_)
        size += 2 + identifier.size() + valueSize(value);
    return static_cast<int32_t>(size);
}

void AAX_CChunkDataParser::GetChunkData(uint8_t* data) const {
    const int32_t count = NumValues();
    std::memcpy(data, &count, sizeof(count));
    size_t pos = sizeof(count);
    for (const auto& [identifier, value] : entries_) {
        data[pos++] = static_cast<uint8_t>(value.index());
        data[pos++] = static_cast<uint8_t>(identifier.size());
        std::memcpy(data + pos, identifier.data(), identifier.size());
        pos += identifier.size();
        std::visit([&](auto v) { std::memcpy(data + pos, &v, sizeof(v)); }, value);
        pos += valueSize(value);
    }
}

bool AAX_CChunkDataParser::LoadChunkData(const uint8_t* data, int32_t size) {
    Clear();
    const size_t total = size > 0 ? static_cast<size_t>(size) : 0;
    int32_t count = 0;
    if (total < sizeof(count)) return false;
    std::memcpy(&count, data, sizeof(count));
    size_t pos = sizeof(count);
    for (int32_t k = 0; k < count; ++k) {
        if (total - pos < 2) break;
        const uint8_t type = data[pos];
        const size_t length = data[pos + 1];
        pos += 2;
        if (total - pos < length) break;
        std::string identifier(reinterpret_cast<const char*>(data + pos), length);
        pos += length;
        AAX_ParameterValue value;
        bool read = false;
        switch (type) {
            case 0:
                read = readValue<float>(data, total, &pos, &value);
                break;
            case 1:
                read = readValue<int32_t>(data, total, &pos, &value);
                break;
            case 2:
                // Any non-zero byte is true.
                if ((read = pos < total)) value = data[pos++] != 0;
                break;
            case 3:
                read = readValue<double>(data, total, &pos, &value);
                break;
            default:
                break;
        }
        if (!read) break;
        AddValue(identifier, value);
    }
    if (NumValues() == count) return true;
    Clear();
    return false;
}
