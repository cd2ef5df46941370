#include "editor/ModulationMatrixPluginInterface.h"

#include "editor/DepthRings.h"
#include "editor/ModulationSection.h"
#include "modulation/ModulationMatrixPlugin.h"

ModulationMatrixPluginInterface::ModulationMatrixPluginInterface(ModulationMatrixPlugin& plugin,
                                                                 HostEdits* host)
    : QuorvalisPluginInterface(plugin, host), matrix_(plugin) {
    slots_ = &add<SourceSlotController>(*this);
    indicators_ = std::make_unique<ModulationIndicatorManager>(*slots_);
    modulation_ = &add<ModulationSection>(*this);
    modulation_->setVisible(false);
    rings_ = std::make_unique<DepthRings>(*this);
    slots_->onChange = [this] { slotsChanged(); };
}

ModulationMatrixPluginInterface::~ModulationMatrixPluginInterface() = default;

void ModulationMatrixPluginInterface::showModulators(int first, int count) {
    if (!showingModulation()) setShowModulation(true);
    modulation_->highlight(indicators_->slotsOf(first, count));
}

void ModulationMatrixPluginInterface::slotsChanged() {
    modulation_->refresh();
}

void ModulationMatrixPluginInterface::idle() {
    QuorvalisPluginInterface::idle();
    rings_->refresh();
}
