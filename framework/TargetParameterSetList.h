#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "framework/ModulationController.h"
#include "framework/ParameterSetList.h"

using ModulationControllerFactory = std::function<std::unique_ptr<ModulationController>()>;

// Slot edits of the lists whose entries are modulation targets or sources.
// Clears the slots (source, target, inverted, bypassed, level) and, in a cascade, every slot
// aimed at the level of a cleared one. The cascade is found before anything is cleared; the
// slots are then cleared from the highest number down, so that a controller which closes the
// gap a deleted slot leaves keeps the lower numbers valid. Returns the cleared slots.
std::vector<int> deleteModulationSlots(ModulationController& controller, std::vector<int> slots);
// Every slot aimed at [first, first + count) is re-aimed at its target + delta.
void shiftSlotTargets(ModulationController& controller, int first, int count, int delta);
// Every slot fed by [first, first + count) is fed by its source + delta instead.
void shiftSlotSources(ModulationController& controller, int first, int count, int delta);

// A list whose entry k owns the modulation targets [firstTarget + k·perEntry,
// firstTarget + (k+1)·perEntry). Removing an entry deletes the slots aimed at its targets and
// re-aims the slots of the entries that move down.
template <typename S>
class TargetParameterSetList : public ParameterSetList<S> {
public:
    template <typename Make>
    TargetParameterSetList(GenericParameterOwner* owner, const std::string& name, int count,
                           int firstTarget, int targetsPerEntry, Make&& make)
        : ParameterSetList<S>(owner, name, count, std::forward<Make>(make)),
          firstTarget_(firstTarget),
          targetsPerEntry_(targetsPerEntry) {}

    // The controller is made by the factory on first use.
    void setControllerFactory(ModulationControllerFactory factory) {
        controllerFactory_ = std::move(factory);
    }
    // Null while no factory is set.
    ModulationController* controller() {
        if (!controller_ && controllerFactory_) controller_ = controllerFactory_();
        return controller_.get();
    }
    int firstTarget() const { return firstTarget_; }
    int targetsPerEntry() const { return targetsPerEntry_; }

    // One update batch and one edit batch around the slot edits and the list removal.
    void removeAt(int index) override {
        if (!this->canRemove(index)) return;
        this->owner()->beginUpdate();
        ModulationController* c = controller();
        if (c) c->beginEdit();
        removeWithTargets(index, c);
        if (c) c->endEdit();
        this->owner()->endUpdate();
    }

protected:
    void removeWithTargets(int index, ModulationController* c) {
        const int oldCount = this->activeCount();
        const int per = targetsPerEntry_;
        if (c && per > 0) {
            std::vector<int> slots;
            c->findSlotsByTargetRange(firstTarget_ + index * per, per, slots);
            deleteModulationSlots(*c, std::move(slots));
        }
        this->removeEntry(index);
        if (c && per > 0) {
            shiftSlotTargets(*c, firstTarget_ + (index + 1) * per, (oldCount - index - 1) * per,
                             -per);
        }
    }

private:
    int firstTarget_;
    int targetsPerEntry_;
    ModulationControllerFactory controllerFactory_;
    std::unique_ptr<ModulationController> controller_;
};

// A target list whose entry k also is the modulation sources [firstSource + k·perEntry,
// firstSource + (k+1)·perEntry). Removing an entry first deletes the slots it feeds, and
// afterwards renumbers the sources of the entries that moved down.
template <typename S>
class SourceParameterSetList : public TargetParameterSetList<S> {
public:
    template <typename Make>
    SourceParameterSetList(GenericParameterOwner* owner, const std::string& name, int count,
                           int firstTarget, int targetsPerEntry, int firstSource,
                           int sourcesPerEntry, Make&& make)
        : TargetParameterSetList<S>(owner, name, count, firstTarget, targetsPerEntry,
                                    std::forward<Make>(make)),
          firstSource_(firstSource),
          sourcesPerEntry_(sourcesPerEntry) {}

    int firstSource() const { return firstSource_; }
    int sourcesPerEntry() const { return sourcesPerEntry_; }

    void removeAt(int index) override {
        if (!this->canRemove(index)) return;
        this->owner()->beginUpdate();
        ModulationController* c = this->controller();
        const int oldCount = this->activeCount();
        const int per = sourcesPerEntry_;
        if (c) {
            c->beginEdit();
            if (per > 0) {
                std::vector<int> slots;
                c->findSlotsBySourceRange(firstSource_ + index * per, per, slots);
                deleteModulationSlots(*c, std::move(slots));
            }
        }
        this->removeWithTargets(index, c);
        if (c) {
            if (per > 0) {
                shiftSlotSources(*c, firstSource_ + (index + 1) * per, (oldCount - index - 1) * per,
                                 -per);
            }
            c->endEdit();
        }
        this->owner()->endUpdate();
    }

private:
    int firstSource_;
    int sourcesPerEntry_;
};
