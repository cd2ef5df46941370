#pragma once

#include <string>
#include <vector>

#include "persistence/ParameterCollection.h"

class AbstractPluginParameter;
class GenericParameterOwner;

// Decides where each stored value of a record goes (ParameterRecord::readRecord drives it).
class PresetLoader {
public:
    PresetLoader(GenericParameterOwner& owner, std::string identifier);
    virtual ~PresetLoader() = default;
    PresetLoader(const PresetLoader&) = delete;
    PresetLoader& operator=(const PresetLoader&) = delete;

    // After every value is applied.
    virtual void finish(int /*version*/) {}
    // How many values this loader wants (valid after prepare).
    virtual int count() = 0;
    // The identifier a record of this version must carry.
    virtual std::string identifier(int /*version*/) { return identifier_; }
    // Before any value is applied.
    virtual void prepare(int /*version*/) {}
    virtual bool acceptVersion(int /*version*/) { return true; }
    // Position i got no stored value.
    virtual void useDefault(int position) = 0;
    virtual void useValue(int position, float value) = 0;

    GenericParameterOwner& owner() { return owner_; }

private:
    GenericParameterOwner& owner_;
    std::string identifier_;
};

// Value i goes to parameter i of the collection.
class CollectionPresetLoader : public PresetLoader {
public:
    explicit CollectionPresetLoader(const ParameterCollection& collection);

    int count() override { return collection_.size(); }
    void useDefault(int position) override;
    void useValue(int position, float value) override;

private:
    const ParameterCollection& collection_;
};

// A loader whose layout is a list of slots, one per stored value. The owner's own layout is the
// current version; other versions come from a preset map resource ("PresetMap_<id>_<V>").
class CustomPresetLoader : public PresetLoader {
public:
    // Where one stored value goes: a parameter, a float kept aside for finish(), or nowhere.
    struct Slot {
        AbstractPluginParameter* parameter = nullptr;
        float* mirror = nullptr;
        float last = 0.0f;  // the value last applied to this slot
    };

    CustomPresetLoader(GenericParameterOwner& owner, std::string identifier, int currentVersion);

    int count() override { return static_cast<int>(slots_.size()); }
    bool acceptVersion(int version) override;
    // Parameters that the prepared version lacks go to their defaults.
    void prepare(int version) override;
    void useDefault(int position) override;
    void useValue(int position, float value) override;

    static std::string presetMapName(const std::string& identifier, int version);

protected:
    std::vector<Slot>& slots() { return slots_; }
    std::vector<int>& resetList() { return resetList_; }
    int currentVersion() const { return currentVersion_; }
    void setPreparedVersion(int version) { preparedVersion_ = version; }

private:
    bool readPresetMap(int version);

    int currentVersion_;
    int preparedVersion_ = -1;
    std::vector<Slot> slots_;
    std::vector<int> resetList_;
};
