#pragma once

#include <array>
#include <atomic>
#include <memory>

#include "framework/GenericPlugin.h"
#include "framework/SynthNumbering.h"
#include "modulation/ModulationMatrix.h"

class AbstractPluginParameter;

// How modulation objects hold their owning plug-in.
class ModulationMatrixOwner {
public:
    virtual ~ModulationMatrixOwner() = default;
};

// The plug-in base of a product with a modulation matrix. It owns the matrix and keeps the base
// value of every target (the engine value of the parameter behind it) and which parameter that
// is.
class ModulationMatrixPlugin : public GenericPlugin, public ModulationMatrixOwner {
public:
    static constexpr int kSourceCount = synth::kSourceCount;
    static constexpr int kTargetCount = synth::kTargetCount;
    static constexpr int kSlotCount = synth::kSlots;
    static constexpr int kFirstSlotLevelTarget = 107;
    static constexpr int kTargetGroupCount = 23;
    // Ramp time that asks for the automatic glide.
    static constexpr float kAutomaticRamp = -1.0f;

    // The slot parameters other than Level, which is a target.
    enum class SlotField { Source, Target, Inverted, Bypassed };

    ModulationMatrixPlugin();
    ~ModulationMatrixPlugin() override;

    // Null until the product creates it.
    ModulationMatrix* modulationMatrix() { return matrix_.get(); }
    const ModulationMatrix* modulationMatrix() const { return matrix_.get(); }

    // Audio thread: a slot parameter's plain value into the slot record (Source and Target hold
    // the number plus one).
    void applySlotField(int slot, SlotField field, float plain);

    // Any thread: the value a modulation source had at the end of the last block, in the voice
    // whose note started last for a per-voice source; NaN when it has none (no voice sounds, or
    // no slot uses the source).
    virtual float modulationDisplayValue(int source);

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

protected:
    // Needs the environment, so the product calls it after initialize() and before it makes
    // its parameters.
    ModulationMatrix& createModulationMatrix();
    // Audio thread, at the end of a block.
    void publishDisplayValue(int source, float value) {
        displayValues_[static_cast<size_t>(source)].store(value, std::memory_order_relaxed);
    }

private:
    std::unique_ptr<ModulationMatrix> matrix_;
    std::array<float, kTargetCount> baseValues_{};
    std::array<AbstractPluginParameter*, kTargetCount> targetParameters_{};
    std::array<std::atomic<float>, kSourceCount> displayValues_;
};
