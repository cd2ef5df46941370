#pragma once

#include "dsp/FunctionTable.h"

// The functions behind the state-variable filter's tables.

// atan(c x) / c for x >= 0 and plain atan(x) below: only the positive half depends on the shape.
class ClipFunction : public FunctionTableFunction {
public:
    static constexpr float kDomain = 40.0f;  // the table covers -kDomain..kDomain
    static constexpr uint32_t kTableCount = 8192;

    explicit ClipFunction(double shape) : shape_(shape) {}
    double evaluate(double x) const override;

private:
    double shape_;
};

// Coefficient F of the three-updates-per-sample filter from x = log2(cutoff / rate).
class FreqFunction : public FunctionTableFunction {
public:
    static constexpr float kMin = -30.0f;
    static constexpr float kMax = 20.0f;
    static constexpr uint32_t kTableCount = 8192;
    static constexpr double kMaxCoefficient = 0.95;

    double evaluate(double x) const override;
};

// Largest damping that keeps the recursion stable at coefficient F.
class DampLimitFunction : public FunctionTableFunction {
public:
    static constexpr uint32_t kTableCount = 4906;  // rounds up to 8192 entries
    static constexpr double kMinCoefficient = 0.01;
    static constexpr double kMaxDamping = 2.0;

    double evaluate(double f) const override;
};

// Damping from a resonance value: 2 (1 - r^(1/4)).
class DampFunction : public FunctionTableFunction {
public:
    static constexpr float kMax = 5.0f;
    static constexpr uint32_t kTableCount = 4096;

    double evaluate(double r) const override;
};

// The tables every state-variable filter shares; built on first use, read-only afterwards.
struct FilterTables {
    static constexpr float kDefaultClipShape = 1.0f;

    FunctionTable defaultClip;
    FunctionTable dampLimit;
    FunctionTable damp;
    FunctionTable frequency;

    static const FilterTables& shared();

private:
    FilterTables();
};
