#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "wave/Assert.h"
#include "wave/FloatParameterSource.h"
#include "wave/Producer.h"
#include "wave/SampleBuffer.h"

// A filter of the voice or the delay: three control inputs (frequency in octaves above 1 Hz, mix,
// peak), an optional peak modulation, a response and a slope. The filtering itself is done by a
// kernel (FilterUnit) the filter owns alone, or by a ParallelFilterUnit that processes up to four
// filters together, one per lane.
class GenericFilter : public wave::Filter {
public:
    class FilterUnit;
    class ParallelFilterUnit;
    class UnitGroup;

    // Plain values of the " Response" and " Slope" parameters.
    enum Response : int { kLowPass = 0, kHighPass = 1, kBandPass = 2 };
    enum Slope : int { kSlope12 = 1, kSlope24 = 2, kSlope48 = 3 };
    static constexpr const char* kResponseNames = "LP,HP,BP";
    static constexpr const char* kSlopeNames = "12,24,48";

    static constexpr float kMaxFrequency = 20.0f;  // octaves above 1 Hz
    static constexpr float kDefaultFrequency = kMaxFrequency;
    static constexpr float kDefaultMix = 1.0f;
    static constexpr float kDefaultPeak = 0.0f;
    // A mix this close to 0 or 1 is treated as exactly that.
    static constexpr float kMixEpsilon = 1.1920929e-7f;

    explicit GenericFilter(wave::Environment& env);
    ~GenericFilter() override;

    // Null restores the default parameter source.
    void setFrequencyInput(wave::Producer* p) { frequency_ = p ? p : &defaultFrequency_; }
    void setMixInput(wave::Producer* p) { mix_ = p ? p : &defaultMix_; }
    void setPeakInput(wave::Producer* p) { peak_ = p ? p : &defaultPeak_; }
    // Multiplies the peak sample by sample; null for none.
    void setPeakModulation(wave::Producer* p) { peakModulation_ = p; }
    wave::FloatParameterSource& defaultFrequency() { return defaultFrequency_; }
    wave::FloatParameterSource& defaultMix() { return defaultMix_; }
    wave::FloatParameterSource& defaultPeak() { return defaultPeak_; }

    void setResponse(int response) { response_ = response; }
    int response() const { return response_; }
    void setSlope(int code) { slope_ = code; }
    int slope() const { return slope_; }

    // Processes alone through kernel (leaving any parallel unit); null passes the input through.
    void setKernel(FilterUnit* kernel);
    FilterUnit* kernel() const { return kernel_; }
    // Becomes a member of unit; false (and nothing changes) when its four lanes are taken.
    bool joinUnit(ParallelFilterUnit* unit);
    ParallelFilterUnit* unit() const { return unit_; }
    // Promises that this filter is pulled in the current chunk, so that its unit may be
    // rendered early, together with the other units of its group.
    void armUnit();
    // Keeps the unit out of early rendering in the current chunk, whoever arms it: for a member
    // whose pulls in this chunk must happen in their own order.
    void holdUnitBack();

    bool filter(const float* inputBuffer, float* outputBuffer, uint32_t frames,
                uint32_t flags) override;
    // Clears the kernel's state, or this filter's lane of its parallel unit.
    void reset() override;

private:
    struct Controls {
        const float* frequency;
        const float* peak;
        const float* peakModulation;
        bool constant;  // frequency and peak constant, no modulation
    };

    Controls pullControls(uint32_t frames, uint32_t flags);
    // Blends the filtered block with the input by the mix; the output may become the input.
    bool applyMix(const float* source, float* output, uint32_t frames);
    struct UnitBlock;

    // Processes every member of the unit; returns whether this filter's block is constant.
    bool renderUnit(uint32_t frames, uint32_t flags);
    // Renders every armed unit of the group not yet rendered in this chunk, pairs of units in
    // one loop where their kernel can; returns whether this filter's block is constant.
    bool renderGroup(uint32_t frames, uint32_t flags);
    // Pulls the members' inputs and controls; settings gives the response and slope.
    static void gatherUnit(UnitBlock& b, ParallelFilterUnit& unit, const GenericFilter& settings,
                           uint32_t frames, uint32_t flags);
    // Mixes every member's block and marks the members other than self produced; returns whether
    // self's block is constant.
    static bool finishUnit(const UnitBlock& b, const GenericFilter* self, uint32_t frames);
    void leaveUnit();

    wave::FloatParameterSource defaultFrequency_;
    wave::FloatParameterSource defaultMix_;
    wave::FloatParameterSource defaultPeak_;
    wave::Producer* frequency_;
    wave::Producer* mix_;
    wave::Producer* peak_;
    wave::Producer* peakModulation_ = nullptr;
    int response_ = kLowPass;
    int slope_ = kSlope12;
    FilterUnit* kernel_ = nullptr;
    ParallelFilterUnit* unit_ = nullptr;
};

// The common base of the filter kernels.
class GenericFilter::FilterUnit : public wave::Component {
public:
    explicit FilterUnit(wave::Environment& env) : env_(&env) {}

    // frequency, peak: control buffers; peakModulation may be null. constant: frequency and peak
    // hold one value in the whole block and there is no modulation.
    virtual void process(const float* input, float* output, const float* frequency,
                         const float* peak, const float* peakModulation, uint32_t count,
                         bool constant) = 0;
    virtual bool acceptsSlope(int code) const = 0;
    virtual void reset() = 0;

    wave::Environment& environment() const { return *env_; }
    void setResponse(int response) { response_ = response; }
    int response() const { return response_; }
    // An unaccepted code leaves the slope as it was.
    void setSlope(int code) {
        if (acceptsSlope(code)) slope_ = code;
    }
    int slope() const { return slope_; }

protected:
    wave::Environment* env_;
    int response_ = GenericFilter::kLowPass;
    int slope_ = GenericFilter::kSlope12;
};

// A kernel that processes the blocks of up to four member filters together, one per lane.
class GenericFilter::ParallelFilterUnit : public GenericFilter::FilterUnit {
public:
    static constexpr int kLanes = 4;

    // Buffers of one block for every lane; a lane without a member reads silence and writes
    // to scratch memory.
    struct Lanes {
        std::array<const float*, kLanes> input;
        std::array<float*, kLanes> output;
        std::array<const float*, kLanes> frequency;
        std::array<const float*, kLanes> peak;
        std::array<const float*, kLanes> peakModulation;  // entries may be null
        std::array<bool, kLanes> active;
    };

    explicit ParallelFilterUnit(wave::Environment& env);
    ~ParallelFilterUnit() override;

    virtual void processLanes(const Lanes& lanes, uint32_t count, bool constant) = 0;
    // One unit's share of a run of several units together.
    struct Part {
        ParallelFilterUnit* unit;
        const Lanes* lanes;
        bool constant;
    };
    static constexpr int kMaxTogether = 4;
    // Whether other can run in one loop with this unit (same kind, response and slope).
    virtual bool canRunWith(const ParallelFilterUnit& /*other*/) const { return false; }
    // Processes up to kMaxTogether parts, this unit's first and then units it can run with;
    // every lane gets the samples it would get alone.
    virtual void processTogether(const Part* parts, int count, uint32_t frames);

    GenericFilter* member(int lane) const {
        VORN_ASSERT(lane >= 0 && lane < kLanes);
        return members_[lane];
    }
    int laneOf(const GenericFilter* f) const;
    int memberCount() const;

protected:
    // Clears the state of one lane, for a member that joins, is reset or is switched back on
    // (a lane without work may be run in whichever way is fastest).
    virtual void resetLane(int lane) = 0;
    // Block-size memory for the output of lanes without a member.
    float* scratch() { return scratch_.data(); }

private:
    friend class GenericFilter;
    bool armed() const {
        return armedStamp_ == env_->chunkStamp() && heldStamp_ != env_->chunkStamp();
    }
    bool rendered() const { return renderedStamp_ == env_->chunkStamp(); }

    std::array<GenericFilter*, kLanes> members_{};
    std::array<bool, kLanes> active_{};  // in the last block rendered
    wave::SampleBuffer scratch_;         // output of the lanes without a member
    UnitGroup* group_ = nullptr;
    uint32_t armedStamp_;
    uint32_t heldStamp_;
    uint32_t renderedStamp_;
};

// One unit's block: its members' buffers and what the mix step needs afterwards.
struct GenericFilter::UnitBlock {
    ParallelFilterUnit* unit = nullptr;
    ParallelFilterUnit::Lanes lanes{};
    std::array<const float*, ParallelFilterUnit::kLanes> sources{};
    bool constant = true;
    bool anyActive = false;
};

// Parallel units that render together: the first pull of an armed unit's member renders every
// armed unit of the group, so that units of the same kind can share their loops. A unit is
// armed for one chunk by its members (armUnit) when they will surely be pulled in it.
class GenericFilter::UnitGroup {
public:
    UnitGroup() = default;
    UnitGroup(const UnitGroup&) = delete;
    UnitGroup& operator=(const UnitGroup&) = delete;
    ~UnitGroup();

    // Allocates: call while building the graph. A unit belongs to one group at most.
    void add(ParallelFilterUnit& unit);
    int size() const { return static_cast<int>(units_.size()); }

private:
    friend class GenericFilter;
    void remove(ParallelFilterUnit& unit);

    std::vector<ParallelFilterUnit*> units_;
    std::vector<UnitBlock> blocks_;  // one per unit, filled on the audio thread
    bool busy_ = false;
};
