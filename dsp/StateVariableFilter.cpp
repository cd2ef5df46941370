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

// How section 0 treats its band-pass state: linear (folded), weakly driven (folded, with the
// three cubic terms added on the side) or strongly driven (the three updates as written).
enum Drive { kLinear, kWeak, kStrong };

// Below this band-pass drive a section stays near-linear and its rounding errors die away, so
// a weakly driven section may fold. Strong drive can make a sound chaotic, where any change of
// rounding grows: those keep the order of operations the presets were voiced with.
constexpr float kWeakDrive = 1e-3f;

Drive driveOf(bool active, float saturation) {
    if (!active || saturation == 0.0f) return kLinear;
    return saturation <= kWeakDrive ? kWeak : kStrong;
}

// An affine value plus multiples of the three cubic terms sa * bp^3 of a driven section's
// updates, which enter as inputs of their own.
template <typename V>
struct WithCubes {
    Affine<V> a;
    V t[3];

    WithCubes operator+(const WithCubes& o) const {
        return {a + o.a, {t[0] + o.t[0], t[1] + o.t[1], t[2] + o.t[2]}};
    }
    WithCubes operator-(const WithCubes& o) const {
        return {a - o.a, {t[0] - o.t[0], t[1] - o.t[1], t[2] - o.t[2]}};
    }
    friend WithCubes operator*(const V& k, const WithCubes& w) {
        return {k * w.a, {k * w.t[0], k * w.t[1], k * w.t[2]}};
    }
};

// A weakly driven section folded: FoldedSection's map with the cubic terms as extra inputs,
// each cubed as soon as the band-pass value it needs is known. Its linear part is
// FoldedSection's to the bit, so a lane without drive renders the same in either loop.
template <typename V>
struct WeakSection {
    Affine<V> db1, db2, dl, db, hp;
    V db2t0, dlt0, dlt1, dbt0, dbt1, hpt0, hpt1, sa;

    static WeakSection make(const V& f, const V& d, const V& sa) {
        const V zero = splat<V>(0.0f);
        const V one = splat<V>(1.0f);
        const Affine<V> none{zero, zero, zero, zero};
        const WithCubes<V> l{{one, zero, zero, zero}, {zero, zero, zero}};
        const WithCubes<V> b{{zero, one, zero, zero}, {zero, zero, zero}};
        const WithCubes<V> x{{zero, zero, one, zero}, {zero, zero, zero}};
        const V denormal = splat<V>(StateVariableFilter::kDenormalOffset);
        const WithCubes<V> offset{{zero, zero, zero, denormal}, {zero, zero, zero}};
        const WithCubes<V> t0{none, {one, zero, zero}};
        const WithCubes<V> t1{none, {zero, one, zero}};
        const WithCubes<V> t2{none, {zero, zero, one}};
        const WithCubes<V> dl1 = f * (b - offset);
        const WithCubes<V> db1 = f * (x - d * b - (l + dl1)) - t0;
        const WithCubes<V> dl2 = dl1 + f * (b + db1);
        const WithCubes<V> db2 = db1 + f * (x - d * (b + db1) - (l + dl2)) - t1;
        const WithCubes<V> dl = dl2 + f * (b + db2);
        const WithCubes<V> hp = x - d * (b + db2) - (l + dl);
        const WithCubes<V> db = db2 + f * hp - t2 + offset;
        return {db1.a,   db2.a,   dl.a,    db.a,    hp.a,    db2.t[0], dl.t[0],
                dl.t[1], db.t[0], db.t[1], hp.t[0], hp.t[1], sa};
    }

    [[gnu::always_inline]] V cube(const V& v) const { return (sa * v) * (v * v); }

    // Updates l and b in place; returns the high-pass value of the last update when HighPass.
    template <bool HighPass>
    [[gnu::always_inline]] V run(V& l, V& b, const V& in) const {
        const V c0 = cube(b);
        const V c1 = cube(b + (db1.at(l, b, in) - c0));
        const V c2 = cube(b + ((db2.at(l, b, in) + db2t0 * c0) - c1));
        V h = in;
        if constexpr (HighPass) h = hp.at(l, b, in) + (hpt0 * c0 + hpt1 * c1);
        const V dlNext = dl.at(l, b, in) + (dlt0 * c0 + dlt1 * c1);
        b = b + ((db.at(l, b, in) + (dbt0 * c0 + dbt1 * c1)) - c2);
        l = l + dlNext;
        return h;
    }
};

// Section 0's three updates with strong band-pass drive sa, in the order of operations the presets
// were made with: the cubic term makes some sounds chaotic, where any other rounding shows.
template <typename V>
struct DrivenSection {
    V f, d, drive;
    // Updates l and b in place; returns the high-pass value of the last update.
    [[gnu::always_inline]] V run(V& l, V& b, const V& in) const {
        const V offset = splat<V>(StateVariableFilter::kDenormalOffset);
        V ll = l + f * (b - offset);
        V bb = b + (f * (in - d * b - ll) - drive * b * b * b);
        ll = ll + f * bb;
        bb = bb + (f * (in - d * bb - ll) - drive * bb * bb * bb);
        ll = ll + f * bb;
        const V hp = in - d * bb - ll;
        b = bb + f * hp - drive * bb * bb * bb + offset;
        l = ll;
        return hp;
    }
};

// The cascaded sections over a segment: three updates per section and sample, section 0 as
// Mode says, the others folded. All sections advance sample by sample, so that the next
// sample of one section overlaps in the CPU with the current sample of the next.
template <int Response, int Sections, int Mode, typename V, typename Io>
void runSections(const Io& io, uint32_t n, V* lpState, V* bpState, const V& f, const V* q,
                 const V& sa) {
    const V bpLimit = splat<V>(StateVariableFilter::kBandPassLimit);
    const V lpLimit = splat<V>(StateVariableFilter::kLowPassLimit);
    V lp[Sections];
    V bp[Sections];
    FoldedSection<V> map[Sections];
    const DrivenSection<V> strong{f, q[0], sa};
    WeakSection<V> weak;
    if constexpr (Mode == kWeak) weak = WeakSection<V>::make(f, q[0], sa);
    for (int k = 0; k < Sections; ++k) {
        lp[k] = lpState[k];
        bp[k] = bpState[k];
        if (Mode == kLinear || k > 0) map[k] = FoldedSection<V>::make(f, q[k]);
    }
    for (uint32_t i = 0; i < n; ++i) {
        V in = io.input(i);
        for (int k = 0; k < Sections; ++k) {
            V l = lp[k];
            V b = bp[k];
            V hp = in;
            if (Mode == kStrong && k == 0) {
                hp = strong.run(l, b, in);
            } else if (Mode == kWeak && k == 0) {
                hp = weak.template run<Response == GenericFilter::kHighPass>(l, b, in);
            } else {
                if constexpr (Response == GenericFilter::kHighPass) hp = map[k].hp.at(l, b, in);
                const V dl = map[k].dl.at(l, b, in);
                b = b + map[k].db.at(l, b, in);
                l = l + dl;
            }
            lp[k] = clampTo(l, -lpLimit, lpLimit);
            bp[k] = clampTo(b, -bpLimit, bpLimit);
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
void runSectionsOf(Drive mode, const Io& io, uint32_t n, V* lp, V* bp, const V& f, const V* q,
                   const V& sa) {
    switch (mode) {
        case kLinear:
            runSections<Response, Sections, kLinear>(io, n, lp, bp, f, q, sa);
            break;
        case kWeak:
            runSections<Response, Sections, kWeak>(io, n, lp, bp, f, q, sa);
            break;
        case kStrong:
            runSections<Response, Sections, kStrong>(io, n, lp, bp, f, q, sa);
            break;
    }
}

template <int Response, typename V, typename Io>
void runCascade(int sections, Drive mode, const Io& io, uint32_t n, V* lp, V* bp, const V& f,
                const V* q, const V& sa) {
    switch (sections) {
        case 1:
            runSectionsOf<Response, 1>(mode, io, n, lp, bp, f, q, sa);
            break;
        case 2:
            runSectionsOf<Response, 2>(mode, io, n, lp, bp, f, q, sa);
            break;
        case 3:
            runSectionsOf<Response, 3>(mode, io, n, lp, bp, f, q, sa);
            break;
        default:
            runSectionsOf<Response, StateVariableFilter::kMaxSections>(mode, io, n, lp, bp, f, q,
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

float saturate(const FunctionTable& clip, float y, float drive, float scale) {
    return clip(clampTo(drive * y, -ClipFunction::kDomain, ClipFunction::kDomain)) * scale;
}

// The same, four values at a time.
[[gnu::always_inline]] inline Float4 saturate4(const FunctionTable& clip, Float4 y, Float4 drive,
                                               Float4 scale) {
    const Float4 domain = splat<Float4>(ClipFunction::kDomain);
    return clip.lookup4(clampTo(drive * y, -domain, domain)) * scale;
}

// A piece's samples as one vector per sample, lane 4 * j + l of V being lane l of unit j: the
// lanes' inputs are gathered before the filter loop and their outputs saturated after it, four
// samples of one lane at a time, lanes without work left out.
template <typename V>
struct PieceIo {
    V* x;

    [[gnu::always_inline]] V input(uint32_t i) const { return x[i]; }
    [[gnu::always_inline]] void output(uint32_t i, const V& y) const { x[i] = y; }
};

template <typename V>
[[gnu::always_inline]] inline Float4 quarter(const V& v, int j) {
    Float4 q;
    std::memcpy(&q, reinterpret_cast<const char*>(&v) + j * sizeof q, sizeof q);
    return q;
}

template <typename V>
[[gnu::always_inline]] inline void setQuarter(V& v, int j, Float4 q) {
    std::memcpy(reinterpret_cast<char*>(&v) + j * sizeof q, &q, sizeof q);
}

// With every lane at work the output saturator runs inside the filter loop instead, where it
// overlaps the filter's dependency chain.
template <typename V, int Units>
struct ClippingIo {
    static constexpr int kLanes = StateVariableFilter::kLanes;
    const V* x;
    float* out[kLanes * Units];
    Float4 drive[Units];
    Float4 scale[Units];
    const FunctionTable* clip[Units];

    [[gnu::always_inline]] V input(uint32_t i) const { return x[i]; }
    [[gnu::always_inline]] void output(uint32_t i, const V& y) const {
        for (int j = 0; j < Units; ++j) {
            const Float4 o = saturate4(*clip[j], quarter(y, j), drive[j], scale[j]);
            for (int l = 0; l < kLanes; ++l) out[kLanes * j + l][i] = o[l];
        }
    }
};

// Rows a, b, c, d become columns.
[[gnu::always_inline]] inline void transpose(Float4& a, Float4& b, Float4& c, Float4& d) {
    const Float4 ab0 = __builtin_shufflevector(a, b, 0, 4, 1, 5);
    const Float4 cd0 = __builtin_shufflevector(c, d, 0, 4, 1, 5);
    const Float4 ab1 = __builtin_shufflevector(a, b, 2, 6, 3, 7);
    const Float4 cd1 = __builtin_shufflevector(c, d, 2, 6, 3, 7);
    a = __builtin_shufflevector(ab0, cd0, 0, 1, 4, 5);
    b = __builtin_shufflevector(ab0, cd0, 2, 3, 6, 7);
    c = __builtin_shufflevector(ab1, cd1, 0, 1, 4, 5);
    d = __builtin_shufflevector(ab1, cd1, 2, 3, 6, 7);
}

// Quarter j of x[i]: the four lanes' inputs of unit j at sample i, times the unit's gain.
template <typename V>
void gatherUnit(V* x, int j, const float* const* in, float gain, uint32_t n) {
    const Float4 g = splat<Float4>(gain);
    uint32_t i = 0;
    for (; i + 4 <= n; i += 4) {
        Float4 r[4] = {simd::load(in[0] + i), simd::load(in[1] + i), simd::load(in[2] + i),
                       simd::load(in[3] + i)};
        transpose(r[0], r[1], r[2], r[3]);
        for (int t = 0; t < 4; ++t) setQuarter(x[i + t], j, r[t] * g);
    }
    for (; i < n; ++i) setQuarter(x[i], j, Float4{in[0][i], in[1][i], in[2][i], in[3][i]} * g);
}

// The output saturator of the lanes of unit j that have work, from x to out.
template <typename V>
void saturateUnit(const V* x, int j, float* const* out, const bool* active, Float4 drive,
                  Float4 scale, const FunctionTable& clip, uint32_t n) {
    uint32_t i = 0;
    for (; i + 4 <= n; i += 4) {
        Float4 r[4] = {quarter(x[i], j), quarter(x[i + 1], j), quarter(x[i + 2], j),
                       quarter(x[i + 3], j)};
        transpose(r[0], r[1], r[2], r[3]);
        for (int l = 0; l < 4; ++l) {
            if (!active[l]) continue;
            simd::store(out[l] + i,
                        saturate4(clip, r[l], splat<Float4>(drive[l]), splat<Float4>(scale[l])));
        }
    }
    for (; i < n; ++i) {
        const Float4 y = quarter(x[i], j);
        for (int l = 0; l < 4; ++l) {
            if (active[l]) out[l][i] = saturate(clip, y[l], drive[l], scale[l]);
        }
    }
}

// Runs the lanes of a piece, each section 0 as drive[lane] says. A lane without a member may
// take any loop, since its state is cleared before it sounds again (active lanes
// only count in activeLanes). Returns whether the outputs were saturated on the way, through
// clipping (given when every lane is at work).
template <int Response, typename V, int Units>
bool runLanes(const Drive* drive, int activeLanes, const PieceIo<V>& io,
              const ClippingIo<V, Units>* clipping, uint32_t n, int sections, V* lp, V* bp,
              const V& f, const V* q, const V& sa) {
    constexpr int kWidth = StateVariableFilter::kLanes * Units;
    int strongLanes = 0;
    Drive rest = kLinear;  // the other lanes' loop, weak when one of them is
    for (int at = 0; at < kWidth; ++at) {
        strongLanes += drive[at] == kStrong;
        if (drive[at] == kWeak) rest = kWeak;
    }
    if (strongLanes == 0 || strongLanes == activeLanes) {
        const Drive mode = strongLanes == 0 ? rest : kStrong;
        if (clipping) {
            runCascade<Response, V>(sections, mode, *clipping, n, lp, bp, f, q, sa);
            return true;
        }
        runCascade<Response, V>(sections, mode, io, n, lp, bp, f, q, sa);
        return false;
    }
    // Both loops, each lane kept from its own.
    V drivenX[StateVariableFilter::kControlInterval];
    std::memcpy(drivenX, io.x, n * sizeof(V));
    V drivenLp[StateVariableFilter::kMaxSections];
    V drivenBp[StateVariableFilter::kMaxSections];
    for (int k = 0; k < sections; ++k) {
        drivenLp[k] = lp[k];
        drivenBp[k] = bp[k];
    }
    runCascade<Response, V>(sections, kStrong, PieceIo<V>{drivenX}, n, drivenLp, drivenBp, f, q,
                            sa);
    runCascade<Response, V>(sections, rest, io, n, lp, bp, f, q, sa);
    for (int at = 0; at < kWidth; ++at) {
        if (drive[at] != kStrong) continue;
        for (uint32_t i = 0; i < n; ++i) io.x[i][at] = drivenX[i][at];
        for (int k = 0; k < sections; ++k) {
            lp[k][at] = drivenLp[k][at];
            bp[k][at] = drivenBp[k][at];
        }
    }
    return false;
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
        const Drive mode = driveOf(job.lanes->active[lane], p.saturation[lane]);
        runCascade<Response, float>(sections, mode, InPlace{x}, n, lp, bp, p.f[lane], q,
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
    V x[kControlInterval];
    Drive drive[kLanes * Units];
    int activeLanes = 0;
    for (int j = 0; j < Units; ++j) {
        const Job& job = jobs[j];
        for (int lane = 0; lane < kLanes; ++lane) {
            const int at = kLanes * j + lane;
            for (int k = 0; k < sections; ++k) {
                lp[k][at] = job.unit->lp_[k][lane];
                bp[k][at] = job.unit->bp_[k][lane];
                q[k][at] = job.p.damping[k][lane];
            }
            f[at] = job.p.f[lane];
            sa[at] = job.p.saturation[lane];
            drive[at] = driveOf(job.lanes->active[lane], sa[at]);
            activeLanes += job.lanes->active[lane];
        }
        const float* in[kLanes];
        for (int lane = 0; lane < kLanes; ++lane) in[lane] = job.lanes->input[lane] + s;
        gatherUnit(x, j, in, job.gain, n);
    }
    ClippingIo<V, Units> clipping{x, {}, {}, {}, {}};
    for (int j = 0; j < Units; ++j) {
        for (int lane = 0; lane < kLanes; ++lane) {
            clipping.out[kLanes * j + lane] = jobs[j].lanes->output[lane] + s;
        }
        clipping.drive[j] = simd::load(jobs[j].p.drive);
        clipping.scale[j] = simd::load(jobs[j].p.scale);
        clipping.clip[j] = jobs[j].clip;
    }
    const bool saturated = runLanes<Response>(drive, activeLanes, PieceIo<V>{x},
                                              activeLanes == kLanes * Units ? &clipping : nullptr,
                                              n, sections, lp, bp, f, q, sa);
    for (int j = 0; j < Units; ++j) {
        const Job& job = jobs[j];
        for (int k = 0; k < sections; ++k) {
            for (int lane = 0; lane < kLanes; ++lane) {
                job.unit->lp_[k][lane] = lp[k][kLanes * j + lane];
                job.unit->bp_[k][lane] = bp[k][kLanes * j + lane];
            }
        }
        if (!saturated) {
            saturateUnit(x, j, clipping.out + kLanes * j, job.lanes->active.data(),
                         clipping.drive[j], clipping.scale[j], *job.clip, n);
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
