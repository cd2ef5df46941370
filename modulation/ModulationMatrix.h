#pragma once

#include <vector>

class ModulationMatrix {
public:
    class Controller;
};

// The editing interface of the modulation matrix, used by parameter lists, the editor and
// presets. Slots, sources and targets are numbered from 0; -1 means none. The find operations
// append the slot numbers they find to `out`.
class ModulationMatrix::Controller {
public:
    virtual ~Controller() = default;
    // Edits between beginEdit and endEdit are applied together when the batch closes.
    virtual void beginEdit() = 0;
    // The first empty slot, else the first slot that is set but not valid, else -1.
    virtual int findFreeSlot() const = 0;
    virtual void endEdit() = 0;
    virtual bool isInverted(int slot) const = 0;
    virtual bool isBypassed(int slot) const = 0;
    virtual float getSlotLevel(int slot) const = 0;
    virtual int getSlotSource(int slot) const = 0;
    virtual int getSlotTarget(int slot) const = 0;
    // Slots whose source lies in [first, first + count - 1].
    virtual void findSlotsBySourceRange(int first, int count, std::vector<int>& out) const = 0;
    virtual void findSlotsBySource(int source, std::vector<int>& out) const = 0;
    // Slots that have a target, whose source carries key (-1: any) and whose target belongs to
    // group (-1: any).
    virtual void findSlotsForSourceKey(int key, int group, std::vector<int>& out) const = 0;
    virtual void findSlotsByTargets(const std::vector<int>& targets,
                                    std::vector<int>& out) const = 0;
    // Slots whose target lies in [first, first + count - 1].
    virtual void findSlotsByTargetRange(int first, int count, std::vector<int>& out) const = 0;
    virtual void findSlotsByTarget(int target, std::vector<int>& out) const = 0;
    virtual void setInverted(int slot, bool inverted) = 0;
    virtual void setBypassed(int slot, bool bypassed) = 0;
    virtual void setSlotLevel(int slot, float level) = 0;
    virtual void setSlotSource(int slot, int source) = 0;
    virtual void setSlotTarget(int slot, int target) = 0;
    // Marks the target once and, recursively, the level targets of the slots aimed at it and
    // the targets listed for those slots' sources.
    virtual void collectDependentTargets(int target) = 0;
};
