#pragma once

#include <vector>

#include "modulation/ModulationMatrix.h"

// Edits the matrix's engine records directly, without parameters or undo.
class InternalController : public ModulationMatrix::Controller {
public:
    explicit InternalController(ModulationMatrix& matrix) : matrix_(matrix) {}

    int firstLevelTarget() const override { return matrix_.firstLevelTarget(); }
    void beginEdit() override { matrix_.beginEdit(); }
    int findFreeSlot() const override;
    void endEdit() override { matrix_.endEdit(); }
    bool isInverted(int slot) const override { return matrix_.slot(slot).inverted; }
    bool isBypassed(int slot) const override { return matrix_.slot(slot).bypassed; }
    float getSlotLevel(int slot) const override;
    int getSlotSource(int slot) const override { return matrix_.slot(slot).source; }
    int getSlotTarget(int slot) const override { return matrix_.slot(slot).target; }
    void findSlotsBySourceRange(int first, int count, std::vector<int>& out) const override;
    void findSlotsBySource(int source, std::vector<int>& out) const override;
    void findSlotsForSourceKey(int key, int group, std::vector<int>& out) const override;
    void findSlotsByTargets(const std::vector<int>& targets, std::vector<int>& out) const override;
    void findSlotsByTargetRange(int first, int count, std::vector<int>& out) const override;
    void findSlotsByTarget(int target, std::vector<int>& out) const override;
    void setInverted(int slot, bool inverted) override { matrix_.setSlotInverted(slot, inverted); }
    void setBypassed(int slot, bool bypassed) override { matrix_.setSlotBypassed(slot, bypassed); }
    void setSlotLevel(int slot, float level) override { matrix_.setSlotLevel(slot, level); }
    void setSlotSource(int slot, int source) override { matrix_.setSlotSource(slot, source); }
    void setSlotTarget(int slot, int target) override { matrix_.setSlotTarget(slot, target); }
    void collectDependentTargets(int target) override { matrix_.collectDependentTargets(target); }

private:
    ModulationMatrix& matrix_;
};
