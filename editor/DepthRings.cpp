#include "editor/DepthRings.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "editor/ModulationMatrixPluginInterface.h"
#include "editor/ModulationSection.h"
#include "engine/ParameterCurves.h"
#include "framework/AbstractPluginParameter.h"
#include "gui/Knob.h"
#include "modulation/ModulationMatrixPlugin.h"

DepthRings::DepthRings(ModulationMatrixPluginInterface& editor) : editor_(editor) {
    for (size_t i = 0; i < synth::kSlots; ++i) {
        const std::string slot = "Slot " + std::to_string(i + 1);
        levels_[i] = editor.plugin().getParameter(editor.parameterId(slot + " Level"));
        inverted_[i] = editor.plugin().getParameter(editor.parameterId(slot + " Inverted"));
    }
}

void DepthRings::findKnobs() {
    found_ = true;
    ModulationMatrixPlugin& plugin = editor_.matrixPlugin();
    for (size_t i = 0; i < editor_.learnableCount(); ++i) {
        auto* knob =
            dynamic_cast<gui::Knob*>(const_cast<gui::ValueControl*>(editor_.learnableControl(i)));
        if (!knob) continue;
        const auto* p = plugin.getParameter(static_cast<int>(editor_.learnableParameter(i)));
        const int target = p ? plugin.targetOfParameter(p) : -1;
        if (target < 0) continue;
        knobs_.emplace_back(knob, target);
        knob->depthControl = [this, target]() -> gui::ValueControl* {
            const int slot = slotFor(target);
            return slot < 0 ? nullptr : &editor_.modulation().levelControl(slot);
        };
        knob->onDepthClick = [this, target] { editor_.showModulators(target, 1); };
    }
}

int DepthRings::slotFor(int target) const {
    const SourceSlotController& slots = editor_.slots();
    const int active = slots.activeSlots();
    for (int s : {editor_.modulation().selectedSlot(), slots.lastConnected()})
        if (s >= 0 && s < active && slots.target(s) == target) return s;
    const auto list = editor_.indicators()->slotsOf(target, 1);
    return list.empty() ? -1 : list.front();
}

void DepthRings::refresh() {
    if (!found_) findKnobs();
    const ModulationIndicatorManager& indicators = *editor_.indicators();
    ModulationMatrixPlugin& plugin = editor_.matrixPlugin();
    for (auto& [knob, target] : knobs_) {
        if (!knob->showing()) continue;
        float depth = 0, live = 0;
        bool bipolar = false, anyLive = false;
        for (int s : indicators.slotsOf(target, 1)) {
            // At full level a source sweeps the target's whole range.
            float amount = timeCurve(levels_[static_cast<size_t>(s)]->getValue());
            if (inverted_[static_cast<size_t>(s)]->getValue() != 0) amount = -amount;
            depth += amount;
            const int source = editor_.slots().source(s);
            // The XY axes and the XLFOs swing both ways; the others rise from zero.
            bipolar = bipolar || source < synth::kFirstEnvelopeSource;
            const float now = plugin.modulationDisplayValue(source);
            if (std::isnan(now)) continue;
            live += amount * now;
            anyLive = true;
        }
        knob->setModulation(depth, bipolar);
        knob->setModulationPosition(anyLive ? live : std::numeric_limits<float>::quiet_NaN());
    }
}
