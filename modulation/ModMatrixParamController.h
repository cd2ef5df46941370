#pragma once

#include <vector>

#include "modulation/ModulationMatrix.h"

class AbstractPluginParameter;
class GenericParameterOwner;

// Edits slots through their parameters, so that the edits are automated and undone like any
// other change. Source and Target parameters hold the number plus one (0: none).
class ModMatrixParamController : public ModulationMatrix::Controller {
public:
    struct SlotParameters {
        AbstractPluginParameter* source = nullptr;
        AbstractPluginParameter* target = nullptr;
        AbstractPluginParameter* inverted = nullptr;
        AbstractPluginParameter* bypassed = nullptr;
        AbstractPluginParameter* level = nullptr;
    };

    // matrix (may be null) answers what parameters cannot: validity, source keys and groups.
    ModMatrixParamController(GenericParameterOwner& owner, std::vector<SlotParameters> slots,
                             const ModulationMatrix* matrix, int firstLevelTarget);

    int firstLevelTarget() const override { return firstLevelTarget_; }
    void beginEdit() override;
    int findFreeSlot() const override;
    void endEdit() override;
    bool isInverted(int slot) const override;
    bool isBypassed(int slot) const override;
    float getSlotLevel(int slot) const override;
    int getSlotSource(int slot) const override;
    int getSlotTarget(int slot) const override;
    void findSlotsBySourceRange(int first, int count, std::vector<int>& out) const override;
    void findSlotsBySource(int source, std::vector<int>& out) const override;
    void findSlotsForSourceKey(int key, int group, std::vector<int>& out) const override;
    void findSlotsByTargets(const std::vector<int>& targets, std::vector<int>& out) const override;
    void findSlotsByTargetRange(int first, int count, std::vector<int>& out) const override;
    void findSlotsByTarget(int target, std::vector<int>& out) const override;
    void setInverted(int slot, bool inverted) override;
    void setBypassed(int slot, bool bypassed) override;
    void setSlotLevel(int slot, float level) override;
    void setSlotSource(int slot, int source) override;
    void setSlotTarget(int slot, int target) override;
    void collectDependentTargets(int target) override;

    // Marks of collectDependentTargets, by target number.
    const std::vector<bool>& marks() const { return marks_; }
    void clearMarks();

private:
    const SlotParameters& at(int slot) const { return slots_[static_cast<size_t>(slot)]; }
    int slotCount() const { return static_cast<int>(slots_.size()); }

    GenericParameterOwner& owner_;
    std::vector<SlotParameters> slots_;
    const ModulationMatrix* matrix_;
    int firstLevelTarget_;
    std::vector<bool> marks_;
};
