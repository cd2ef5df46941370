#include "persistence/PresetLoader.h"

#include <cstdint>
#include <exception>

#include "framework/AbstractPluginParameter.h"
#include "framework/GenericParameterOwner.h"
#include "persistence/BinaryDataReader.h"
#include "persistence/ResourceOpener.h"
#include "wave/Assert.h"

namespace {
constexpr const char* kPresetMapIdentifier = "PMap";
constexpr int32_t kDroppedValue = -1;

void setToDefault(AbstractPluginParameter* parameter) {
    if (parameter) parameter->setValue(parameter->getDefault(), 0);
}
}  // namespace

PresetLoader::PresetLoader(GenericParameterOwner& owner, std::string identifier)
    : owner_(owner), identifier_(std::move(identifier)) {}

CollectionPresetLoader::CollectionPresetLoader(const ParameterCollection& collection)
    : PresetLoader(*collection.owner, collection.identifier), collection_(collection) {}

void CollectionPresetLoader::useDefault(int position) {
    VORN_ASSERT(position >= 0 && position < collection_.size());
    setToDefault(collection_.parameters[static_cast<size_t>(position)]);
}

void CollectionPresetLoader::useValue(int position, float value) {
    VORN_ASSERT(position >= 0 && position < collection_.size());
    collection_.parameters[static_cast<size_t>(position)]->setValue(value, 0);
}

CustomPresetLoader::CustomPresetLoader(GenericParameterOwner& owner, std::string identifier,
                                       int currentVersion)
    : PresetLoader(owner, std::move(identifier)), currentVersion_(currentVersion) {}

std::string CustomPresetLoader::presetMapName(const std::string& identifier, int version) {
    return "PresetMap_" + identifier + "_" + std::to_string(version) + ".qvpresetmap";
}

bool CustomPresetLoader::acceptVersion(int version) {
    if (currentVersion_ > 0 && version == preparedVersion_) return true;
    if (version < 1 || version > currentVersion_) return false;
    slots_.clear();
    if (version == currentVersion_) {
        const int count = owner().getParameterCount();
        slots_.resize(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i)
            slots_[static_cast<size_t>(i)].parameter = owner().getParameter(i);
        resetList_.clear();
    } else if (!readPresetMap(version)) {
        slots_.clear();
        return false;
    }
    preparedVersion_ = version;
    return true;
}

bool CustomPresetLoader::readPresetMap(int version) {
    const std::string name = presetMapName(identifier(version), version);
    if (!resourceExists(name)) return false;
    try {
        BinaryResourceReader reader(name);
        if (reader.readHeader() != kPresetMapIdentifier) return false;
        int32_t currentCount = 0;
        int32_t storedCount = 0;
        if (!reader.readInt32(currentCount) || !reader.readInt32(storedCount)) return false;
        if (currentCount < 1 || storedCount < 1) return false;
        const int parameterCount = owner().getParameterCount();
        // Grown entry by entry: a damaged count cannot ask for more than the map holds.
        std::vector<Slot> slots;
        int dropped = 0;
        for (int32_t i = 0; i < storedCount; ++i) {
            int32_t index = 0;
            if (!reader.readInt32(index)) return false;
            Slot& slot = slots.emplace_back();
            if (index == kDroppedValue) {
                ++dropped;
            } else if (index >= 0 && index < parameterCount) {
                slot.parameter = owner().getParameter(index);
            } else {
                return false;
            }
        }
        const int64_t resetCount = int64_t{currentCount} - storedCount + dropped;
        if (resetCount < 0 || resetCount > parameterCount) return false;
        std::vector<int> resets(static_cast<size_t>(resetCount));
        for (int& index : resets) {
            int32_t value = 0;
            if (!reader.readInt32(value) || value < 0 || value >= parameterCount) return false;
            index = value;
        }
        if (!reader.good()) return false;
        if (resetCount - dropped + storedCount != parameterCount) return false;
        slots_ = std::move(slots);
        resetList_ = std::move(resets);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

void CustomPresetLoader::prepare(int /*version*/) {
    if (currentVersion_ <= 0) return;
    for (int index : resetList_) setToDefault(owner().getParameter(index));
}

void CustomPresetLoader::useDefault(int position) {
    VORN_ASSERT(position >= 0 && position < count());
    setToDefault(slots_[static_cast<size_t>(position)].parameter);
}

void CustomPresetLoader::useValue(int position, float value) {
    VORN_ASSERT(position >= 0 && position < count());
    Slot& slot = slots_[static_cast<size_t>(position)];
    if (slot.parameter) slot.parameter->setValue(value, 0);
    if (slot.mirror) *slot.mirror = value;
    slot.last = value;
}
