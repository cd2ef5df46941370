#include "dsp/StateVariableFilter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <type_traits>

#include "dsp/FilterFunctions.h"
#include "dsp/Float4.h"

// Eight-lane values only travel between functions of this file (see Float4.h).
#pragma GCC diagnostic ignored "-Wpsabi"

namespace {

using simd::Float4;

constexpr float kShapeEpsilon = 1.1920929e-7f;

// Idle lanes decay quietly: a moderate coefficient with full damping.
constexpr float kIdleCoefficient = 0.1f;
constexpr float kIdleDamping = 2.0f;

template <typename V>
V splat(float v) {
    if constexpr (std::is_same_v<V, float>) {
        return v;
    } else {
        V r;
        for (size_t lane = 0; lane < sizeof(V) / sizeof(float); ++lane) r[lane] = v;
        return r;
    }
}

// The same comparisons for floats and vectors, so that both paths give the same values.
template <typename V>
[[gnu::always_inline]] inline V clampTo(const V& v, const V& lo, const V& hi) {
    if constexpr (std::is_same_v<V, float>) {
        const V low = v < lo ? lo : v;
        return low > hi ? hi : low;
    } else {
        // max(lo, v) is lo > v ? lo : v and min(hi, v) is hi < v ? hi : v: the same choices.
        if constexpr (std::is_same_v<V, Float4>) {
            return simd::min(hi, simd::max(lo, v));
        } else {
            return simd::minEach(hi, simd::maxEach(lo, v));
        }
    }
}

// The cascaded sections over a segment, in place: three updates per section and sample. All
// sections advance sample by sample, so that the next sample of one section overlaps in the CPU
// with the current sample of the next instead of waiting on one long dependency chain. Only the
// first section saturates.
template <int Response, int Sections, typename V, typename Io>
void runSections(const Io& io, uint32_t n, V* lpState, V* bpState, const V& fIn, const V* q,
                 const V& saIn) {
    const V f = fIn;
    const V sa = saIn;
    const V offset = splat<V>(StateVariableFilter::kDenormalOffset);
    const V bpLimit = splat<V>(StateVariableFilter::kBandPassLimit);
    const V lpLimit = splat<V>(StateVariableFilter::kLowPassLimit);
    const V none = splat<V>(0.0f);
    V lp[Sections];
    V bp[Sections];
    for (int k = 0; k < Sections; ++k) {
        lp[k] = lpState[k];
        bp[k] = bpState[k];
    }
    for (uint32_t i = 0; i < n; ++i) {
        V in = io.input(i);
        for (int k = 0; k < Sections; ++k) {
            const V damping = q[k];
            const V drive = k == 0 ? sa : none;
            V l = lp[k];
            V b = bp[k];
            l = l + f * (b - offset);
            b = b + (f * (in - damping * b - l) - drive * b * b * b);
            l = l + f * b;
            b = b + (f * (in - damping * b - l) - drive * b * b * b);
            l = l + f * b;
            const V hp = in - damping * b - l;
            b = b + f * hp - drive * b * b * b + offset;
            b = clampTo(b, -bpLimit, bpLimit);
            l = clampTo(l, -lpLimit, lpLimit);
            lp[k] = l;
            bp[k] = b;
            if constexpr (Response == GenericFilter::kLowPass) {
                in = l;
            } else if constexpr (Response == GenericFilter::kHighPass) {
                in = hp;
            } else {
                in = b;
            }
        }
        io.output(i, in);
    }
    for (int k = 0; k < Sections; ++k) {
        lpState[k] = lp[k];
        bpState[k] = bp[k];
    }
}

// A value as an affine function of a section's state and input: l * lp + b * bp + x * in + c.
template <typename V>
struct Affine {
    V l, b, x, c;

    Affine operator+(const Affine& o) const { return {l + o.l, b + o.b, x + o.x, c + o.c}; }
    Affine operator-(const Affine& o) const { return {l - o.l, b - o.b, x - o.x, c - o.c}; }
    friend Affine operator*(const V& k, const Affine& a) {
        return {k * a.l, k * a.b, k * a.x, k * a.c};
    }

    [[gnu::always_inline]] V at(const V& lp, const V& bp, const V& in) const {
        return (l * lp + b * bp) + (x * in + c);
    }
};

// Without band-pass drive a section's sample is linear: its three updates fold into one map,
// a third of the dependency chain. The map gives the state's increments, whose small
// coefficients stay exact where 1 + small would round them away at low cut-offs.
template <typename V>
struct FoldedSection {
    Affine<V> dl, db, hp;

    static FoldedSection make(const V& f, const V& d) {
        const V zero = splat<V>(0.0f);
        const V one = splat<V>(1.0f);
        const Affine<V> l{one, zero, zero, zero};
        const Affine<V> b{zero, one, zero, zero};
        const Affine<V> x{zero, zero, one, zero};
        const Affine<V> offset{zero, zero, zero, splat<V>(StateVariableFilter::kDenormalOffset)};
        const Affine<V> dl1 = f * (b - offset);
        const Affine<V> db1 = f * (x - d * b - (l + dl1));
        const Affine<V> dl2 = dl1 + f * (b + db1);
        const Affine<V> db2 = db1 + f * (x - d * (b + db1) - (l + dl2));
        FoldedSection s;
        s.dl = dl2 + f * (b + db2);
        s.hp = x - d * (b + db2) - (l + s.dl);
        s.db = db2 + f * s.hp + offset;
        return s;
    }
};

template <int Response, int Sections, typename V, typename Io>
void runFoldedSections(const Io& io, uint32_t n, V* lpState, V* bpState, const V& f, const V* q) {
    const V bpLimit = splat<V>(StateVariableFilter::kBandPassLimit);
    const V lpLimit = splat<V>(StateVariableFilter::kLowPassLimit);
    V lp[Sections];
    V bp[Sections];
    FoldedSection<V> map[Sections];
    for (int k = 0; k < Sections; ++k) {
        lp[k] = lpState[k];
        bp[k] = bpState[k];
        map[k] = FoldedSection<V>::make(f, q[k]);
    }
    for (uint32_t i = 0; i < n; ++i) {
        V in = io.input(i);
        for (int k = 0; k < Sections; ++k) {
            const V l = lp[k];
            const V b = bp[k];
            const V hp = Response == GenericFilter::kHighPass ? map[k].hp.at(l, b, in) : in;
            lp[k] = clampTo(l + map[k].dl.at(l, b, in), -lpLimit, lpLimit);
            bp[k] = clampTo(b + map[k].db.at(l, b, in), -bpLimit, bpLimit);
            if constexpr (Response == GenericFilter::kLowPass) {
                in = lp[k];
            } else if constexpr (Response == GenericFilter::kHighPass) {
                in = hp;
            } else {
                in = bp[k];
            }
        }
        io.output(i, in);
    }
    for (int k = 0; k < Sections; ++k) {
        lpState[k] = lp[k];
        bpState[k] = bp[k];
    }
}

template <int Response, int Sections, typename V, typename Io>
void runSectionsOf(bool folded, const Io& io, uint32_t n, V* lp, V* bp, const V& f, const V* q,
                   const V& sa) {
    if (folded) {
        runFoldedSections<Response, Sections>(io, n, lp, bp, f, q);
    } else {
        runSections<Response, Sections>(io, n, lp, bp, f, q, sa);
    }
}

// folded: no lane drives its band-pass state.
template <int Response, typename V, typename Io>
void runCascade(int sections, bool folded, const Io& io, uint32_t n, V* lp, V* bp, const V& f,
                const V* q, const V& sa) {
    switch (sections) {
        case 1:
            runSectionsOf<Response, 1>(folded, io, n, lp, bp, f, q, sa);
            break;
        case 2:
            runSectionsOf<Response, 2>(folded, io, n, lp, bp, f, q, sa);
            break;
        case 3:
            runSectionsOf<Response, 3>(folded, io, n, lp, bp, f, q, sa);
            break;
        default:
            runSectionsOf<Response, StateVariableFilter::kMaxSections>(folded, io, n, lp, bp, f, q,
                                                                       sa);
            break;
    }
}

// The samples of one lane in place.
struct InPlace {
    float* x;
    float input(uint32_t i) const { return x[i]; }
    void output(uint32_t i, float y) const { x[i] = y; }
};

// Reads the inputs and writes the saturated outputs of Units units sample by sample, inside the
// filter loop, where the work overlaps the filter's long dependency chain.
template <typename V, int Units>
struct PieceIo {
    static constexpr int kLanes = StateVariableFilter::kLanes;
    const float* in[kLanes * Units];
    float* out[kLanes * Units];
    V gain;
    Float4 drive[Units];
    Float4 scale[Units];
    const FunctionTable* clip[Units];

    V input(uint32_t i) const {
        V x;
        for (int l = 0; l < kLanes * Units; ++l) x[l] = in[l][i];
        return x * gain;
    }
    void output(uint32_t i, V y) const {
        const Float4 domain = splat<Float4>(ClipFunction::kDomain);
        for (int j = 0; j < Units; ++j) {
            Float4 part;
            std::memcpy(&part, reinterpret_cast<const char*>(&y) + j * sizeof part, sizeof part);
            const Float4 o = clip[j]->lookup4(clampTo(drive[j] * part, -domain, domain)) * scale[j];
            for (int l = 0; l < kLanes; ++l) out[kLanes * j + l][i] = o[l];
        }
    }
};

// Runs the lanes of a piece, each folding its sections unless driven[lane]. A lane without a
// member may take either loop, since its state is cleared before it sounds again (active lanes
// only count in activeLanes).
template <int Response, typename V, int Units>
void runLanes(const bool* driven, int activeLanes, const PieceIo<V, Units>& io, uint32_t n,
              int sections, V* lp, V* bp, const V& f, const V* q, const V& sa) {
    constexpr int kWidth = StateVariableFilter::kLanes * Units;
    int drivenLanes = 0;
    for (int at = 0; at < kWidth; ++at) drivenLanes += driven[at];
    if (drivenLanes == 0 || drivenLanes == activeLanes) {
        runCascade<Response, V>(sections, drivenLanes == 0, io, n, lp, bp, f, q, sa);
        return;
    }
    // Both loops, each lane kept from its own; the other loop's output goes nowhere.
    float sink[StateVariableFilter::kControlInterval];
    PieceIo<V, Units> drivenIo = io;
    PieceIo<V, Units> foldedIo = io;
    V drivenLp[StateVariableFilter::kMaxSections];
    V drivenBp[StateVariableFilter::kMaxSections];
    for (int k = 0; k < sections; ++k) {
        drivenLp[k] = lp[k];
        drivenBp[k] = bp[k];
    }
    for (int at = 0; at < kWidth; ++at) (driven[at] ? foldedIo : drivenIo).out[at] = sink;
    runCascade<Response, V>(sections, false, drivenIo, n, drivenLp, drivenBp, f, q, sa);
    runCascade<Response, V>(sections, true, foldedIo, n, lp, bp, f, q, sa);
    for (int k = 0; k < sections; ++k) {
        for (int at = 0; at < kWidth; ++at) {
            if (!driven[at]) continue;
            lp[k][at] = drivenLp[k][at];
            bp[k][at] = drivenBp[k][at];
        }
    }
}

float saturate(const FunctionTable& clip, float y, float drive, float scale) {
    return clip(clampTo(drive * y, -ClipFunction::kDomain, ClipFunction::kDomain)) * scale;
}

}  // namespace

StateVariableFilter::StateVariableFilter(wave::Environment& env) : ParallelFilterUnit(env) {
    FilterTables::shared();  // built before any audio runs
}

const FunctionTable& StateVariableFilter::clipTable() const {
    return FilterTables::shared().defaultClip;
}

StateVariableFilter::Coefficients StateVariableFilter::lookup(float /*frequency*/, float peak) {
    return {std::min(peak, kPlainMaxResonance), 0.0f, kMinDrive};
}

int StateVariableFilter::sectionCount() const {
    if (slope_ == GenericFilter::kSlope12) return 1;
    if (slope_ == GenericFilter::kSlope24) return 2;
    return kMaxSections;
}

void StateVariableFilter::reset() {
    for (int lane = 0; lane < kLanes; ++lane) resetLane(lane);
}

void StateVariableFilter::resetLane(int lane) {
    for (int s = 0; s < kMaxSections; ++s) {
        lp_[s][lane] = 0.0f;
        bp_[s][lane] = 0.0f;
    }
}

void StateVariableFilter::scaleState(float factor) {
    for (int s = 0; s < kMaxSections; ++s) {
        for (int lane = 0; lane < kLanes; ++lane) {
            lp_[s][lane] *= factor;
            bp_[s][lane] *= factor;
        }
    }
}

void StateVariableFilter::process(const float* input, float* output, const float* frequency,
                                  const float* peak, const float* peakModulation, uint32_t count,
                                  bool constant) {
    const float* silent = env_->silentBuffer().data();
    float* idle = scratch();
    const Lanes lanes{{input, silent, silent, silent},
                      {output, idle, idle, idle},
                      {frequency, silent, silent, silent},
                      {peak, silent, silent, silent},
                      {peakModulation, nullptr, nullptr, nullptr},
                      {true, false, false, false}};
    processLanes(lanes, count, constant);
}

void StateVariableFilter::updateRate() {
    if (env_->sampleRate() != rate_) {
        rate_ = env_->sampleRate();
        log2Rate_ = std::log(rate_) / std::numbers::ln2_v<float>;
    }
}

void StateVariableFilter::processLanes(const Lanes& lanes, uint32_t count, bool constant) {
    updateRate();
    Job job(this, &lanes, constant);
    runUnits<1>(&job, count);
}

bool StateVariableFilter::canRunWith(const ParallelFilterUnit& other) const {
    const auto* partner = dynamic_cast<const StateVariableFilter*>(&other);
    return partner && partner != this && partner->response_ == response_ &&
           partner->sectionCount() == sectionCount() && !scalarPath_ && !partner->scalarPath_;
}

void StateVariableFilter::processTogether(const Part* parts, int count, uint32_t frames) {
    Job jobs[kMaxTogether];
    for (int j = 0; j < count; ++j) {
        auto& unit = static_cast<StateVariableFilter&>(*parts[j].unit);
        unit.updateRate();
        jobs[j] = Job(&unit, parts[j].lanes, parts[j].constant);
    }
    // Three run as two and one.
    if (count == kMaxTogether) {
        runUnits<4>(jobs, frames);
        return;
    }
    if (count >= 2) runUnits<2>(jobs, frames);
    if (count != 2) runUnits<1>(jobs + count - 1, frames);
}

template <int Units>
void StateVariableFilter::runUnits(Job* jobs, uint32_t count) const {
    switch (response_) {
        case GenericFilter::kLowPass:
            runTogether<GenericFilter::kLowPass, Units>(jobs, count);
            break;
        case GenericFilter::kHighPass:
            runTogether<GenericFilter::kHighPass, Units>(jobs, count);
            break;
        default:
            runTogether<GenericFilter::kBandPass, Units>(jobs, count);
            break;
    }
}

void StateVariableFilter::makeControlPoint(ControlPoint& p, const Lanes& lanes, uint32_t i,
                                           float gain) {
    const FilterTables& tables = FilterTables::shared();
    for (int lane = 0; lane < kLanes; ++lane) {
        if (!lanes.active[lane]) {
            p.f[lane] = kIdleCoefficient;
            for (auto& d : p.damping) d[lane] = kIdleDamping;
            p.saturation[lane] = 0.0f;
            p.drive[lane] = 1.0f;
            p.scale[lane] = 1.0f;
            p.frequency[lane] = 0.0f;
            continue;
        }
        const float frequency = lanes.frequency[lane][i];
        float peak = lanes.peak[lane][i];
        if (lanes.peakModulation[lane]) peak *= lanes.peakModulation[lane][i];
        peak = clampTo(peak, 0.0f, 1.0f);

        const Coefficients c = lookup(frequency, peak);
        const float f = tables.frequency(
            clampTo(frequency - log2Rate_, FreqFunction::kMin, FreqFunction::kMax));
        const float limit = tables.dampLimit(f);
        p.f[lane] = f;
        p.damping[0][lane] =
            std::min(tables.damp(clampTo(c.resonance, 0.0f, DampFunction::kMax)), limit);
        for (int s = 1; s < kMaxSections; ++s) {
            p.damping[s][lane] =
                std::min(tables.damp(kSectionResonance * kSectionWeights[s - 1] * peak), limit);
        }
        p.saturation[lane] = c.saturation;
        p.drive[lane] = c.drive;
        p.scale[lane] = 1.0f / (gain * c.drive);
        p.frequency[lane] = frequency;
    }
}

uint32_t StateVariableFilter::nextControlPoint(const Lanes& lanes, const ControlPoint& p,
                                               uint32_t start, uint32_t count) {
    for (uint32_t i = start + 1; i < count; ++i) {
        if (i % kControlInterval == 0) return i;
        for (int lane = 0; lane < kLanes; ++lane) {
            if (lanes.active[lane] &&
                std::fabs(lanes.frequency[lane][i] - p.frequency[lane]) > kControlMove) {
                return i;
            }
        }
    }
    return count;
}

uint32_t StateVariableFilter::advance(Job& job, uint32_t pos, uint32_t count) {
    if (pos == job.end) {
        job.unit->makeControlPoint(job.p, *job.lanes, pos, job.gain);
        job.end = job.constant ? count : nextControlPoint(*job.lanes, job.p, pos, count);
        job.pieceEnd = pos;
    }
    if (pos == job.pieceEnd) job.pieceEnd = std::min(pos + kControlInterval, job.end);
    return job.pieceEnd;
}

template <int Response, int Units>
void StateVariableFilter::runTogether(Job* jobs, uint32_t count) {
    using V = std::conditional_t<Units == 1, Float4,
                                 std::conditional_t<Units == 2, simd::Float8, simd::Float16>>;
    static_assert(sizeof(V) == sizeof(Float4) * Units);
    const int sections = jobs[0].unit->sectionCount();
    for (int j = 0; j < Units; ++j) {
        jobs[j].gain = jobs[j].unit->inputGain();
        jobs[j].clip = &jobs[j].unit->clipTable();
    }
    // Each unit's pieces and control points fall where they would alone; the loop stops at
    // every boundary of any of them.
    for (uint32_t pos = 0; pos < count;) {
        uint32_t stop = count;
        for (int j = 0; j < Units; ++j) stop = std::min(stop, advance(jobs[j], pos, count));
        if (Units == 1 && jobs[0].unit->scalarPath_) {
            runPieceScalar<Response>(jobs[0], pos, stop - pos, sections);
        } else {
            runPiece<Response, V, Units>(jobs, pos, stop - pos, sections);
        }
        pos = stop;
    }
}

template <int Response>
void StateVariableFilter::runPieceScalar(Job& job, uint32_t s, uint32_t n, int sections) {
    StateVariableFilter& u = *job.unit;
    const ControlPoint& p = job.p;
    for (int lane = 0; lane < kLanes; ++lane) {
        float x[kControlInterval];
        for (uint32_t i = 0; i < n; ++i) x[i] = job.lanes->input[lane][s + i] * job.gain;
        float lp[kMaxSections] = {};
        float bp[kMaxSections] = {};
        float q[kMaxSections] = {};
        for (int k = 0; k < sections; ++k) {
            lp[k] = u.lp_[k][lane];
            bp[k] = u.bp_[k][lane];
            q[k] = p.damping[k][lane];
        }
        const bool driven = job.lanes->active[lane] && p.saturation[lane] != 0.0f;
        runCascade<Response, float>(sections, !driven, InPlace{x}, n, lp, bp, p.f[lane], q,
                                    p.saturation[lane]);
        for (int k = 0; k < sections; ++k) {
            u.lp_[k][lane] = lp[k];
            u.bp_[k][lane] = bp[k];
        }
        float* out = job.lanes->output[lane] + s;
        for (uint32_t i = 0; i < n; ++i) {
            out[i] = saturate(*job.clip, x[i], p.drive[lane], p.scale[lane]);
        }
    }
}

template <int Response, typename V, int Units>
void StateVariableFilter::runPiece(Job* jobs, uint32_t s, uint32_t n, int sections) {
    // Lane 4 * j + l of V is lane l of unit j.
    V lp[kMaxSections];
    V bp[kMaxSections];
    V q[kMaxSections];
    V f;
    V sa;
    PieceIo<V, Units> io;
    bool driven[kLanes * Units];
    int activeLanes = 0;
    for (int j = 0; j < Units; ++j) {
        const Job& job = jobs[j];
        for (int lane = 0; lane < kLanes; ++lane) {
            const int at = kLanes * j + lane;
            io.in[at] = job.lanes->input[lane] + s;
            io.out[at] = job.lanes->output[lane] + s;
            io.gain[at] = job.gain;
            for (int k = 0; k < sections; ++k) {
                lp[k][at] = job.unit->lp_[k][lane];
                bp[k][at] = job.unit->bp_[k][lane];
                q[k][at] = job.p.damping[k][lane];
            }
            f[at] = job.p.f[lane];
            sa[at] = job.p.saturation[lane];
            driven[at] = job.lanes->active[lane] && sa[at] != 0.0f;
            activeLanes += job.lanes->active[lane];
        }
        io.drive[j] = simd::load(job.p.drive);
        io.scale[j] = simd::load(job.p.scale);
        io.clip[j] = job.clip;
    }
    runLanes<Response>(driven, activeLanes, io, n, sections, lp, bp, f, q, sa);
    for (int j = 0; j < Units; ++j) {
        for (int k = 0; k < sections; ++k) {
            for (int lane = 0; lane < kLanes; ++lane) {
                jobs[j].unit->lp_[k][lane] = lp[k][kLanes * j + lane];
                jobs[j].unit->bp_[k][lane] = bp[k][kLanes * j + lane];
            }
        }
    }
}

StateVariableFilter::ClipTable::ClipTable(float shape)
    : shape_(shape),
      table_(ClipFunction(shape), -ClipFunction::kDomain, ClipFunction::kDomain,
             ClipFunction::kTableCount) {}

void StateVariableFilter::ClipTable::setShape(float shape) {
    if (std::fabs(shape - shape_) <= kShapeEpsilon) return;
    shape_ = shape;
    table_.build(ClipFunction(shape), -ClipFunction::kDomain, ClipFunction::kDomain,
                 ClipFunction::kTableCount);
}
