#pragma once

#include "framework/FloatParamPluginParameter.h"
#include "framework/PluginParameterSet.h"
#include "framework/SynthNumbering.h"

// One XY pad, "XY Controller 1" to "XY Controller 4": two ramped axes, each a modulation source
// (XY n Hor is source 2(n-1), XY n Ver source 2(n-1)+1).
class XYControllerParameterSet : public PluginParameterSet {
public:
    static constexpr int kCount = synth::kXYControllers;
    static constexpr int kFirstSource = synth::kFirstXYSource;
    static constexpr int kSourcesPerController = synth::kSourcesPerXY;

    XYControllerParameterSet(GenericParameterOwner* owner, int index);
    void setup() override;

    FloatParamPluginParameter hor;
    FloatParamPluginParameter ver;

private:
    int index_;
};
