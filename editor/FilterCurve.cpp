#include "editor/FilterCurve.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

#include "dsp/FilterFunctions.h"
#include "dsp/MultiDesignFilter.h"
#include "dsp/StateVariableFilter.h"
#include "editor/GenericPluginInterface.h"
#include "editor/WatchControl.h"
#include "engine/VornEngine.h"

namespace {

using Complex = std::complex<double>;
constexpr double kPi = std::numbers::pi;
// The cut-off range of a filter's " Freq" parameter, in octaves above 1 Hz.
constexpr float kLowOctave = 2.2666f;
constexpr float kHighOctave = 16.2064f;
// The " Pan" parameter's range in octaves.
constexpr float kPanRange = 3.5f;
// Below this damping the filter rings on by itself; the picture shows a tall peak instead.
constexpr double kMinDamping = 0.02;

// One state-variable section (three coefficient updates per sample) as a linear system: the
// state (lp, bp) and the outputs after one sample from a state and an input, without the
// saturation, clamps and denormal offsets that only act on large or vanishing signals.
struct SvfStep {
    double lp, bp, hp;
};
SvfStep svfStep(double lp, double bp, double x, double f, double q) {
    lp += f * bp;
    for (int i = 0; i < 2; ++i) {
        bp += f * (x - q * bp - lp);
        lp += f * bp;
    }
    const double hp = x - q * bp - lp;
    bp += f * hp;
    return {lp, bp, hp};
}

// Response at angular frequency w of a section: for x = e^{jwn} the state is S e^{jwn} with
// e^{jw} S = A S + B x; the output is read from the new state (or hp, computed on the way).
Complex svfResponse(int response, double f, double q, double w) {
    const SvfStep s0 = svfStep(1, 0, 0, f, q), s1 = svfStep(0, 1, 0, f, q),
                  sx = svfStep(0, 0, 1, f, q);
    const Complex z = std::polar(1.0, w);
    // (z I - A) S = B, solved by Cramer's rule.
    const Complex a = z - s0.lp, b = -s1.lp, c = -s0.bp, d = z - s1.bp;
    const Complex det = a * d - b * c;
    const Complex lp = (sx.lp * d - b * sx.bp) / det;
    const Complex bp = (a * sx.bp - c * sx.lp) / det;
    if (response == GenericFilter::kLowPass) return z * lp;
    if (response == GenericFilter::kHighPass) return s0.hp * lp + s1.hp * bp + sx.hp;
    return z * bp;
}

double svfGain(const FilterCurve::Settings& s, const DesignFilter::Style* style, double w,
               double rate) {
    const FilterTables& tables = FilterTables::shared();
    const float octaves = static_cast<float>(std::log2(rate));
    const float f =
        tables.frequency(std::clamp(s.frequency - octaves, FreqFunction::kMin, FreqFunction::kMax));
    const float limit = tables.dampLimit(f);
    const float peak = std::clamp(s.peak, 0.0f, 1.0f);
    const float re = style ? style->lookup(s.frequency, peak).resonance
                           : std::min(peak, DesignFilter::Style::kBuiltInMaxResonance);
    double gain = 1.0;
    for (int k = 0; k < s.sections; ++k) {
        const float r = k == 0 ? re
                               : StateVariableFilter::kSectionResonance *
                                     StateVariableFilter::kSectionWeights[k - 1] * peak;
        const double q = std::max<double>(
            std::min(tables.damp(std::clamp(r, 0.0f, DampFunction::kMax)), limit), kMinDamping);
        gain *= std::abs(svfResponse(s.response, f, q, w));
    }
    return gain;
}

// "Clean": bilinear two-pole sections, the first with the peak, the others flat; the analog
// prototype at the pre-warped frequency is exactly the digital response.
double cleanGain(const FilterCurve::Settings& s, double hz, double rate) {
    const double fc = std::clamp(std::exp2(double(s.frequency)), 1.0, 0.49 * rate);
    const double g = std::tan(kPi * fc / rate);
    const double omega = std::tan(kPi * std::min(hz, 0.4999 * rate) / rate) / g;
    const Complex jw(0.0, omega);
    double gain = 1.0;
    for (int k = 0; k < s.sections; ++k) {
        const double y = k == 0 ? std::clamp(double(s.peak), 0.0, 1.0) : 0.0;
        double damping;
        if (s.response != GenericFilter::kBandPass) {
            damping = std::numbers::sqrt2 - (std::numbers::sqrt2 - 0.02) * y;
        } else {
            const double t = std::tan(std::min(kPi * (1.0 - 0.5 * y) * fc / rate, 1.0));
            damping = t * (1.0 + g * g) / g;
        }
        const Complex den = jw * jw + damping * jw + 1.0;
        const Complex num = s.response == GenericFilter::kLowPass    ? Complex(1.0)
                            : s.response == GenericFilter::kHighPass ? jw * jw
                                                                     : damping * jw;
        gain *= std::abs(num / den);
    }
    return gain;
}

}  // namespace

FilterCurve::FilterCurve(GenericPluginInterface& editor, const std::string& filter,
                         gui::Colour accent)
    : gui::Curve(curveStyle(accent)), accent_(accent) {
    const char* suffixes[kWatched] = {" Freq",    " Peak", " Characteristic", " Response", " Slope",
                                      " Enabled", " Pan"};
    for (int i = 0; i < kWatched; ++i) {
        // Whenever the parameter changes, from the hand or from elsewhere, the curve is redrawn.
        watched_[i] = &add<WatchControl>([this] { repaint(); });
        editor.bind(*watched_[i], filter + suffixes[i]);
    }
}

gui::Curve::Style FilterCurve::curveStyle(gui::Colour accent) {
    gui::Curve::Style s;
    s.stroke = accent;
    s.fill = accent.withAlpha(0.14f);
    s.baseline = 0.0f;
    s.grid = false;
    return s;
}

void FilterCurve::paintGrid(gui::Graphics& g) {
    const gui::Rect b = localBounds();
    const float w = b.width - 4.0f, h = b.height - 4.0f;
    const gui::Colour text = gui::palette::kTextDim;
    for (const double hz : {100.0, 1000.0, 10000.0}) {
        const float x = 2 + xOf(hz) * w;
        g.line(x, 2, x, 2 + h, 1.0f, gui::palette::kHighlight);
        const char* label = hz < 500 ? "100" : hz < 5000 ? "1k" : "10k";
        g.text(label, {int(x) + 3, 3, 30, 12}, gui::palette::kSmall, text, gui::Align::Left);
    }
    for (const double db : {12.0, 0.0, -12.0, -24.0, -36.0}) {
        const float y = 2 + (1.0f - yOf(db)) * h;
        g.line(2, y, 2 + w, y, 1.0f,
               db == 0.0 ? gui::palette::kHighlight.withAlpha(2.0f) : gui::palette::kHighlight);
    }
    const float y0 = 2 + (1.0f - yOf(0.0)) * h;
    g.text("0 dB", {5, int(y0) - 13, 40, 12}, gui::palette::kSmall, text, gui::Align::Left);
}

double FilterCurve::gainDb(const Settings& s, const DesignFilter::Style* style, double hz,
                           double rate) {
    const double gain = s.characteristic == MultiDesignFilter::kCleanIndex
                            ? cleanGain(s, hz, rate)
                            : svfGain(s, style, 2.0 * kPi * std::min(hz, 0.5 * rate) / rate, rate);
    return 20.0 * std::log10(std::max(gain, 1e-9));
}

float FilterCurve::xOf(double hz) {
    return static_cast<float>(std::log(hz / kLowestHz) / std::log(kHighestHz / kLowestHz));
}

float FilterCurve::yOf(double db) {
    return static_cast<float>((db - kBottomDb) / (kTopDb - kBottomDb));
}

FilterCurve::Settings FilterCurve::settings() const {
    Settings s;
    s.frequency = kLowOctave + watched_[kFrequency]->proportion() * (kHighOctave - kLowOctave);
    s.peak = watched_[kPeak]->proportion();
    s.characteristic = watched_[kCharacteristic]->value();
    s.response = watched_[kResponse]->value();
    s.sections = 1 << std::clamp(watched_[kSlope]->value(), 0, 2);
    s.spread = kPanRange * (2.0f * watched_[kPan]->proportion() - 1.0f);
    return s;
}

void FilterCurve::paint(gui::Graphics& g) {
    const Settings s = settings();
    if (s.frequency != shown_.frequency || s.peak != shown_.peak ||
        s.characteristic != shown_.characteristic || s.response != shown_.response ||
        s.sections != shown_.sections || s.spread != shown_.spread)
        update(s);
    gui::Curve::paint(g);
    if (!right_.empty()) {
        const gui::Rect b = localBounds();
        std::vector<float> device(right_.size());
        for (size_t i = 0; i + 1 < right_.size(); i += 2) {
            device[i] = 2 + right_[i] * (b.width - 4);
            device[i + 1] = 2 + (1.0f - right_[i + 1]) * (b.height - 4);
        }
        g.save();
        g.clip(b.reduced(1));
        g.polyline(device, 1.0f, accent_.withAlpha(0.6f));
        g.restore();
    }
    if (!compact_) paintGrid(g);
    // The cut-off, marked on the frequency axis.
    const gui::Rect b = localBounds();
    const float x = 2 + xOf(std::exp2(double(s.frequency))) * (b.width - 4);
    g.line(x, b.height - 7.0f, x, b.height - 2.0f, 2.0f, accent_);
    // A filter switched off passes the sound unchanged: its curve is shown faded.
    if (watched_[kEnabled]->value() == 0)
        g.fillRoundedRect(b, gui::palette::kRadius, gui::palette::kPanel.withAlpha(0.6f));
}

void FilterCurve::update(const Settings& s) {
    shown_ = s;
    setPoints(pointsFor(s, s.spread));
    right_ = s.spread != 0.0f ? pointsFor(s, -s.spread) : std::vector<float>();
}

std::vector<float> FilterCurve::pointsFor(Settings s, float octaves) {
    s.frequency += octaves;
    const auto& styles = VornPlugin::globals().filterStyles;
    const size_t index = static_cast<size_t>(std::max(s.characteristic, 0));
    const DesignFilter::Style* style = index < styles.size() ? &styles[index] : nullptr;
    std::vector<float> xy;
    xy.reserve(2 * kPoints + 2);
    for (int i = 0; i <= kPoints; ++i) {
        const double x = double(i) / kPoints;
        const double hz = kLowestHz * std::pow(kHighestHz / kLowestHz, x);
        xy.push_back(static_cast<float>(x));
        xy.push_back(std::clamp(yOf(gainDb(s, style, hz)), -0.05f, 1.05f));
    }
    return xy;
}
