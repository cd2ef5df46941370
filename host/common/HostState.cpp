#include "host/common/HostState.h"

#include "dsp/TuningTable.h"
#include "engine/VornPlugin.h"
#include "persistence/BinaryDataReader.h"
#include "persistence/ParameterCollection.h"
#include "persistence/ParameterRecord.h"
#include "persistence/VersionPresetLoader.h"

namespace HostState {

std::vector<uint8_t> record(VornPlugin& synth) {
    return ParameterRecord::encode(ParameterCollection::of(synth), VornPlugin::kStateVersion);
}

bool restore(VornPlugin& synth, std::span<const uint8_t> record, const std::string& presetName) {
    BinaryMemoryReader reader(record);
    bool loaded = ParameterRecord::loadCollection(ParameterCollection::of(synth), reader,
                                                  VornPlugin::kStateVersion);
    if (!loaded) loaded = loadSynthPreset(synth, record);
    if (!loaded) return false;
    synth.resetProgramChange();
    synth.queueResetMarker();
    CurrentPreset& preset = synth.currentPreset();
    preset.name = presetName;
    preset.path.clear();
    preset.clearModified();
    synth.notifyPresetChanged();
    return true;
}

TuningTexts tuning(VornPlugin& synth) {
    const TuningTable* table = synth.tuning().current();
    if (!table) return {};
    return {table->scaleText(), table->keymapText()};
}

void restoreTuning(VornPlugin& synth, const TuningTexts& texts) {
    std::string error;
    if (texts.scale.empty() || !synth.setTuning(texts.scale, texts.keymap, error))
        synth.tuning().set(nullptr);
}

}  // namespace HostState
