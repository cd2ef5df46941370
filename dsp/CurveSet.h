#pragma once

#include "dsp/FunctionTable.h"

// The four stage curves of the envelope generators, tabulated over 0..1: attack (rising), decay
// (falling), rise to sustain (rising) and release (falling). Shared read-only by every envelope.
class CurveSet {
public:
    static constexpr uint32_t kTableCount = 4096;

    // Control points (y0, x1, y1, x2, y2, y3) of the shaped curves.
    struct Shape {
        double y0, x1, y1, x2, y2, y3;
    };
    static constexpr Shape kRisingShape{0.0, 0.2, 0.0, 0.4, 0.75, 1.0};
    static constexpr Shape kFallingShape{1.0, 0.19, 0.55, 0.42, 0.0, 0.0};

    // The shaped curves: splines of the rising and falling shapes.
    CurveSet();
    // up for the attack and rise tables, down for the decay and release tables.
    CurveSet(const FunctionTableFunction& up, const FunctionTableFunction& down);

    const FunctionTable& attack() const { return attack_; }
    const FunctionTable& decay() const { return decay_; }
    const FunctionTable& rise() const { return rise_; }
    const FunctionTable& release() const { return release_; }

private:
    FunctionTable attack_;
    FunctionTable decay_;
    FunctionTable rise_;
    FunctionTable release_;
};
