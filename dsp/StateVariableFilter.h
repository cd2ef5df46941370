#pragma once

#include <cstdint>

#include "dsp/FunctionTable.h"
#include "dsp/GenericFilter.h"

// Chamberlin state-variable filter run with three updates per sample, cascading one, two or four
// sections (12, 24, 48 dB per octave), with a cubic band-pass saturation in the first section and
// an arctangent output saturator. Coefficients change only at control points: every 32 samples
// and whenever the cut-off moves by more than 0.1 octave. Processes four lanes at once. A lane
// that does not drive its band-pass state, or drives it weakly, runs each section's three
// updates folded into one map per sample (the cubic terms beside it): a shorter dependency chain.
class StateVariableFilter : public GenericFilter::ParallelFilterUnit {
public:
    class ClipTable;

    static constexpr int kMaxSections = 4;
    static constexpr uint32_t kControlInterval = 32;  // samples
    static constexpr float kControlMove = 0.1f;       // octaves
    // Added to the band-pass state against denormal numbers.
    static constexpr float kDenormalOffset = 1e-24f;
    static constexpr float kBandPassLimit = 1.0f;
    static constexpr float kLowPassLimit = 10.0f;
    // Sections 2, 3 and 4 resonate a little with the peak: 0.035 times these weights.
    static constexpr float kSectionResonance = 0.035f;
    static constexpr float kSectionWeights[kMaxSections - 1] = {3.0f, 2.0f, 1.0f};
    // What the plain filter uses without a characteristic.
    static constexpr float kPlainMaxResonance = 0.999f;
    static constexpr float kMinDrive = 0.1f;

    struct Coefficients {
        float resonance;   // Re
        float saturation;  // Sa
        float drive;       // Dr
    };

    explicit StateVariableFilter(wave::Environment& env);

    // Alone, as lane 0.
    void process(const float* input, float* output, const float* frequency, const float* peak,
                 const float* peakModulation, uint32_t count, bool constant) override;
    bool acceptsSlope(int code) const override { return code != 0; }
    void reset() override;
    void processLanes(const Lanes& lanes, uint32_t count, bool constant) override;
    // State-variable filters of the same response and slope run in one loop, eight or sixteen
    // lanes wide.
    bool canRunWith(const ParallelFilterUnit& other) const override;
    void processTogether(const Part* parts, int count, uint32_t frames) override;

    // frequency in octaves above 1 Hz, peak 0..1.
    virtual Coefficients lookup(float frequency, float peak);
    virtual float inputGain() const { return 1.0f; }
    virtual const FunctionTable& clipTable() const;

    // Slope code 1: one section, 2: two, anything else: four.
    int sectionCount() const;
    // Runs the lanes one after the other in plain scalar code: the reference for the four-wide
    // path, which must give the same samples.
    void setScalarPath(bool on) { scalarPath_ = on; }

protected:
    void resetLane(int lane) override;
    // Multiplies every lane's state, for a change of input gain.
    void scaleState(float factor);

private:
    struct ControlPoint {
        alignas(16) float f[kLanes];
        alignas(16) float damping[kMaxSections][kLanes];
        alignas(16) float saturation[kLanes];
        alignas(16) float drive[kLanes];
        alignas(16) float scale[kLanes];  // 1 / (input gain * drive)
        float frequency[kLanes];          // where the point was made, in octaves
    };

    // One unit's share of a run: its lanes, its control point, where the point's stretch ends
    // and where the current piece of at most kControlInterval samples ends.
    struct Job {
        Job() = default;
        Job(StateVariableFilter* u, const Lanes* l, bool c) : unit(u), lanes(l), constant(c) {}

        StateVariableFilter* unit = nullptr;
        const Lanes* lanes = nullptr;
        bool constant = false;
        float gain = 1.0f;
        const FunctionTable* clip = nullptr;
        uint32_t end = 0;
        uint32_t pieceEnd = 0;
        ControlPoint p;
    };

    void updateRate();
    void makeControlPoint(ControlPoint& p, const Lanes& lanes, uint32_t i, float gain);
    static uint32_t nextControlPoint(const Lanes& lanes, const ControlPoint& p, uint32_t start,
                                     uint32_t count);
    // Makes the job's control point when one is due at pos; returns where its piece ends.
    static uint32_t advance(Job& job, uint32_t pos, uint32_t count);
    // The units of the jobs in one loop, Units * 4 lanes wide.
    // The jobs' units in one loop, Units * 4 lanes wide, with this unit's response.
    template <int Units>
    void runUnits(Job* jobs, uint32_t count) const;
    template <int Response, int Units>
    static void runTogether(Job* jobs, uint32_t count);
    template <int Response, typename V, int Units>
    static void runPiece(Job* jobs, uint32_t s, uint32_t n, int sections);
    template <int Response>
    static void runPieceScalar(Job& job, uint32_t s, uint32_t n, int sections);

    float rate_ = 0.0f;
    float log2Rate_ = 0.0f;
    alignas(16) float lp_[kMaxSections][kLanes] = {};
    alignas(16) float bp_[kMaxSections][kLanes] = {};
    bool scalarPath_ = false;
};

// The output saturator's table for one clip shape.
class StateVariableFilter::ClipTable {
public:
    explicit ClipTable(float shape);

    // Rebuilds the table when the shape changes by more than 2^-23.
    void setShape(float shape);
    float shape() const { return shape_; }
    const FunctionTable& table() const { return table_; }

private:
    float shape_;
    FunctionTable table_;
};
