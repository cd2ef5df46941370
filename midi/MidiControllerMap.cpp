#include "midi/MidiControllerMap.h"

#include <algorithm>

namespace {

constexpr size_t kHeaderSize = 8;

uint32_t readUint32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void writeUint32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

MidiControllerMap::MidiControllerMap() {
    clear();
}

void MidiControllerMap::assign(int controller, int32_t parameterId) {
    const bool valid = controller >= 0 && controller < kControllers;
    if (!valid && controller != kNoController) return;
    if (valid && ids_[controller].load(std::memory_order_relaxed) == parameterId) return;
    for (auto& id : ids_) {
        if (id.load(std::memory_order_relaxed) == parameterId) {
            id.store(kUnmapped, std::memory_order_relaxed);
            break;
        }
    }
    if (valid) ids_[controller].store(parameterId, std::memory_order_relaxed);
}

int32_t MidiControllerMap::parameterFor(int controller) const {
    if (controller < 0 || controller >= kControllers) return kUnmapped;
    return ids_[controller].load(std::memory_order_relaxed);
}

void MidiControllerMap::clear() {
    for (auto& id : ids_) id.store(kUnmapped, std::memory_order_relaxed);
}

bool MidiControllerMap::readMap(std::span<const uint8_t> bytes) {
    if (bytes.size() < kMagic.size() || !std::equal(kMagic.begin(), kMagic.end(), bytes.begin()))
        return false;
    // The version field may be cut off as well; the ids then all read as 0.
    for (int c = 0; c < kControllers; ++c) {
        const size_t at = kHeaderSize + 4 * static_cast<size_t>(c);
        const int32_t id =
            at + 4 <= bytes.size() ? static_cast<int32_t>(readUint32(&bytes[at])) : 0;
        ids_[c].store(id, std::memory_order_relaxed);
    }
    return bytes.size() >= kFileSize;
}

MidiControllerMap::FileBytes MidiControllerMap::writeMap() const {
    FileBytes bytes{};
    std::copy(kMagic.begin(), kMagic.end(), bytes.begin());
    writeUint32(&bytes[4], kFileVersion);
    for (int c = 0; c < kControllers; ++c) {
        writeUint32(&bytes[kHeaderSize + 4 * static_cast<size_t>(c)],
                    static_cast<uint32_t>(ids_[c].load(std::memory_order_relaxed)));
    }
    return bytes;
}
