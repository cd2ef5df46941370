#pragma once

#include <cstdint>
#include <string>
#include <vector>

class AbstractPluginParameter;

// A parameter that only MIDI learn sees: it moves real parameters. Virtual parameters take ids
// from 0x100000 on, in the order they are made, so they never collide with host parameters.
class MidiVirtualPluginParameter {
public:
    static constexpr uint32_t kFirstId = 0x100000;

    // Appends itself to registry (the plug-in's list) and takes the id that position gives.
    MidiVirtualPluginParameter(std::vector<MidiVirtualPluginParameter*>& registry,
                               std::string name);
    virtual ~MidiVirtualPluginParameter() = default;
    MidiVirtualPluginParameter(const MidiVirtualPluginParameter&) = delete;
    MidiVirtualPluginParameter& operator=(const MidiVirtualPluginParameter&) = delete;

    // Sets the parameter from a normalised controller value.
    virtual void applyNormalized(float normalized) = 0;

    const std::string& name() const { return name_; }
    uint32_t id() const { return id_; }

private:
    std::string name_;
    uint32_t id_;
};

// Moves several parameters together while keeping their distances: a parameter the user moved
// on its own keeps its new distance from the others, and a distance squeezed at an end of the
// range comes back when the controller moves away from it.
class MidiMultiVirtualPluginParameter : public MidiVirtualPluginParameter {
public:
    using MidiVirtualPluginParameter::MidiVirtualPluginParameter;

    // Appends the parameter (moving it to the end when it is already linked); clears the offsets.
    void addParameter(AbstractPluginParameter* parameter);
    void applyNormalized(float normalized) override;

    const std::vector<AbstractPluginParameter*>& linkedParameters() const { return linked_; }

private:
    float meanNormalized() const;

    std::vector<AbstractPluginParameter*> linked_;
    std::vector<float> seenOffsets_;
    std::vector<float> offsetsInForce_;
};
