// libFuzzer target: Scala scale and keyboard map reading. The input is the .scl text, then a zero
// byte and the .kbm text. A refused pair must say why; an accepted one gives every key a finite
// note number in the engine's range.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "dsp/TuningTable.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const size_t split = input.find('\0');
    const std::string_view scale = input.substr(0, split);
    const std::string_view keymap =
        split == std::string_view::npos ? std::string_view() : input.substr(split + 1);
    std::string error;
    const auto table = TuningTable::create(scale, keymap, error);
    if (!table) {
        if (error.empty()) std::abort();
        return 0;
    }
    for (int key = 0; key < TuningTable::kKeys; ++key) {
        const float note = table->note(key);
        if (!std::isfinite(note) || note < -36.0f || note > 160.0f) std::abort();
    }
    return 0;
}
