#pragma once

#include <memory>

#include "editor/ModulationIndicator.h"
#include "editor/QuorvalisPluginInterface.h"
#include "editor/SourceSlotController.h"

class ComponentPresetOwner;
class DepthRings;
class ModulationMatrixPlugin;
class ModulationSection;

// The editor of a plug-in with a modulation matrix: the modulation column with its sources and
// slots ("ShowModulation"), connections made by dragging a source onto a target knob, the
// indicators on modulated controls and the depth rings on target knobs.
class ModulationMatrixPluginInterface : public QuorvalisPluginInterface {
public:
    ModulationMatrixPluginInterface(ModulationMatrixPlugin& plugin, HostEdits* host);
    ~ModulationMatrixPluginInterface() override;

    ModulationMatrixPlugin& matrixPlugin() { return matrix_; }
    SourceSlotController& slots() { return *slots_; }
    const ModulationIndicatorManager* indicators() const { return indicators_.get(); }
    ModulationSection& modulation() { return *modulation_; }
    DepthRings& depthRings() { return *rings_; }
    // Where the component presets of the sources are found.
    virtual ComponentPresetOwner& componentPresets() = 0;
    virtual bool showingModulation() const = 0;
    // Shows or hides the modulation column; false when the host could not resize.
    virtual bool setShowModulation(bool show) = 0;
    // Opens the modulation column with the slots that drive targets [first, first + count)
    // and their sources marked.
    void showModulators(int first, int count);
    void idle() override;

protected:
    // A slot's source or target, or the active count, changed.
    virtual void slotsChanged();

private:
    ModulationMatrixPlugin& matrix_;
    SourceSlotController* slots_ = nullptr;
    std::unique_ptr<ModulationIndicatorManager> indicators_;
    ModulationSection* modulation_ = nullptr;
    std::unique_ptr<DepthRings> rings_;
};
