// libFuzzer target: the controller map reader. A map that reads must write back the bytes it read.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "midi/MidiControllerMap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MidiControllerMap map;
    const std::span<const uint8_t> bytes(data, size);
    if (!map.readMap(bytes)) return 0;
    const MidiControllerMap::FileBytes written = map.writeMap();
    // The version field is not kept: it is written as 1 whatever was read.
    if (!std::equal(written.begin(), written.begin() + 4, bytes.begin()) ||
        !std::equal(written.begin() + 8, written.end(), bytes.begin() + 8)) {
        std::abort();
    }
    return 0;
}
