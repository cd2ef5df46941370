#pragma once

#include <vector>

// The slot edits a parameter list makes when an entry whose parameters are modulation targets or
// sources goes away (TargetParameterSetList). The modulation matrix's controllers implement it
// (ModulationMatrix::Controller). Slots, sources and targets are numbered from 0; -1 means none.
// The find operations append the slot numbers they find to `out`.
class ModulationController {
public:
    virtual ~ModulationController() = default;
    // The level target of slot 0 (slot k's is this + k), so that deleting a slot can also
    // delete the slots aimed at its level; -1 when slot levels are not targets.
    virtual int firstLevelTarget() const { return -1; }
    // Edits between beginEdit and endEdit are applied together when the batch closes.
    virtual void beginEdit() = 0;
    virtual void endEdit() = 0;
    virtual int getSlotSource(int slot) const = 0;
    virtual int getSlotTarget(int slot) const = 0;
    // Slots whose source lies in [first, first + count - 1].
    virtual void findSlotsBySourceRange(int first, int count, std::vector<int>& out) const = 0;
    // Slots whose target lies in [first, first + count - 1].
    virtual void findSlotsByTargetRange(int first, int count, std::vector<int>& out) const = 0;
    virtual void findSlotsByTarget(int target, std::vector<int>& out) const = 0;
    virtual void setInverted(int slot, bool inverted) = 0;
    virtual void setBypassed(int slot, bool bypassed) = 0;
    virtual void setSlotLevel(int slot, float level) = 0;
    virtual void setSlotSource(int slot, int source) = 0;
    virtual void setSlotTarget(int slot, int target) = 0;
};
