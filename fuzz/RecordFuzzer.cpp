// Parameter collection records of any content: after a selector byte, the synthesizer's preset load
// (current and old versions) or, when the selector is odd, a preset map for an old record. The
// selector is not part of the record, so that seeds of real records reach either path.
#include <cstddef>
#include <cstdint>
#include <span>

#include "engine/VornPlugin.h"
#include "fuzz/FuzzSynth.h"
#include "persistence/BinaryDataReader.h"
#include "persistence/ParameterRecord.h"
#include "persistence/PresetLoader.h"
#include "persistence/ResourceOpener.h"
#include "persistence/VersionPresetLoader.h"

namespace {

constexpr const char* kMapName = "PresetMap_QV2i_7.qvpresetmap";
// A version-7 record of three values that the map places.
constexpr uint8_t kOldRecord[] = {'Q', 'V', '2',  'i',  7, 0, 0, 0, 3, 0, 0, 0,
                                  0,   0,   0x80, 0x3F, 0, 0, 0, 0, 0, 0, 0, 0xBF};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    VornPlugin& synth = sharedSynth();
    if (size == 0) return 0;
    const std::span<const uint8_t> bytes(data + 1, size - 1);
    if (data[0] & 1) {
        registerResource(kMapName, bytes);
        CustomPresetLoader loader(synth, synth.pluginId(), VornPlugin::kStateVersion);
        BinaryMemoryReader reader(kOldRecord);
        ParameterRecord::readRecord(loader, reader);
        unregisterResource(kMapName);
    } else {
        loadSynthPreset(synth, bytes);
    }
    // The queue of changes for the audio side would otherwise fill up.
    synth.applyParameterChanges();
    return 0;
}
