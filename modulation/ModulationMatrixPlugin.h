#pragma once

#include <array>

#include "framework/GenericPlugin.h"

class AbstractPluginParameter;

// How modulation objects hold their owning plug-in.
class ModulationMatrixOwner {
public:
    virtual ~ModulationMatrixOwner() = default;
};

// The plug-in base of a product with a modulation matrix. It keeps the base value of every
// target (the engine value of the parameter behind it) and which parameter that is.
class ModulationMatrixPlugin : public GenericPlugin, public ModulationMatrixOwner {
public:
    static constexpr int kSourceCount = 34;
    static constexpr int kTargetCount = 157;
    static constexpr int kSlotCount = 50;
    static constexpr int kFirstSlotLevelTarget = 107;
    // Ramp time that asks for the automatic glide.
    static constexpr float kAutomaticRamp = -1.0f;

    ModulationMatrixPlugin();

    // The current value of a modulation source for the editor's indicators.
    virtual float modulationDisplayValue(int /*source*/) { return 0.0f; }

    // Audio thread: the engine value a target starts from before modulation, reached over
    // rampMs (kAutomaticRamp: automatic glide; 0: at once).
    virtual void setTargetBaseValue(int target, float value, float rampMs);
    float targetBaseValue(int target) const;

    // Building: the parameter whose engine value is the target's base value.
    void registerTargetParameter(int target, AbstractPluginParameter* parameter);
    // Null for a number outside 0..156 or before the parameter exists.
    AbstractPluginParameter* targetParameter(int target) const;
    // The target a parameter is the base of, -1 when none.
    int targetOfParameter(const AbstractPluginParameter* parameter) const;

private:
    std::array<float, kTargetCount> baseValues_{};
    std::array<AbstractPluginParameter*, kTargetCount> targetParameters_{};
};
