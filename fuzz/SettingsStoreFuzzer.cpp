// libFuzzer target: the settings store's text parser. Whatever parses must format and parse back
// to the same values.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "persistence/SettingsStore.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const SettingsStore::Values values = SettingsStore::parse(text);
    if (SettingsStore::parse(SettingsStore::format(values)) != values) std::abort();
    return 0;
}
