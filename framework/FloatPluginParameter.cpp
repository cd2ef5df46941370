#include "framework/FloatPluginParameter.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>

#include "framework/ParameterFormat.h"

namespace {

constexpr float kPercent = 0.01f;

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Reads [sign] digits [. digits] [e [sign] digits] at pos; false without a number.
bool readNumber(const std::string& text, size_t& pos, float& number) {
    size_t end = pos;
    const bool negative = end < text.size() && text[end] == '-';
    if (end < text.size() && (text[end] == '-' || text[end] == '+')) ++end;
    const size_t mantissa = end;
    size_t digits = 0;
    for (; end < text.size() && isDigit(text[end]); ++end) ++digits;
    if (end < text.size() && text[end] == '.') {
        for (++end; end < text.size() && isDigit(text[end]); ++end) ++digits;
    }
    if (digits == 0) return false;
    if (end < text.size() && (text[end] == 'e' || text[end] == 'E')) {
        size_t exponent = end + 1;
        if (exponent < text.size() && (text[exponent] == '-' || text[exponent] == '+')) ++exponent;
        if (exponent < text.size() && isDigit(text[exponent])) {
            end = exponent;
            while (end < text.size() && isDigit(text[end])) ++end;
        }
    }
    double value = 0.0;
    std::from_chars(text.data() + mantissa, text.data() + end, value);
    number = static_cast<float>(negative ? -value : value);
    pos = end;
    return true;
}

}  // namespace

std::string FloatParameterDisplay::formatDisplay(float display) const {
    std::string text = customFormatter ? customFormatter(display) : formatNumber(display, format);
    if (!suffix.empty()) text += " " + suffix;
    return text;
}

FloatPluginParameter::FloatPluginParameter(GenericParameterOwner* owner, const std::string& name)
    : AbstractPluginParameter(owner, kContinuous, name) {}

float FloatPluginParameter::plainToNormalized(float plain) const {
    return (plain - minimum_) / (maximum_ - minimum_);
}

float FloatPluginParameter::normalizedToPlain(float normalized) const {
    return minimum_ + normalized * (maximum_ - minimum_);
}

bool FloatPluginParameter::parseText(const std::string& text, float* plainOut) const {
    *plainOut = getValue();
    size_t pos = 0;
    while (pos < text.size() && isBlank(text[pos])) ++pos;
    float number = 0.0f;
    if (!readNumber(text, pos, number)) return false;
    while (pos < text.size() && isBlank(text[pos])) ++pos;
    size_t end = pos;
    while (end < text.size() && !isBlank(text[end])) ++end;
    const std::string word = text.substr(pos, end - pos);

    float plain;
    if (word == "%") {
        plain = normalizedToPlain(number * kPercent);
    } else {
        if (!word.empty()) {
            if (display_.unit) {
                const UnitAlias* alias = display_.unit->findAlias(word);
                if (!alias) return false;
                number = alias->apply(number);
            } else if (!equalsIgnoringCase(word, display_.suffix)) {
                return false;
            }
        }
        const float a = plainToDisplay(maximum_);
        const float b = plainToDisplay(minimum_);
        const float hi = std::max(a, b);
        const float lo = std::min(a, b);
        // A range that shows no positive number: "6" means -6 (as in dB below unity).
        if (hi <= 0.0f) number = -std::fabs(number);
        plain = displayToPlain(std::clamp(number, lo, hi));
    }
    *plainOut = std::clamp(plain, minimum_, maximum_);
    return true;
}

std::string FloatPluginParameter::formatValue(float plain) const {
    return display_.formatDisplay(plainToDisplay(plain));
}

void FloatPluginParameter::setValue(float plain, int flags) {
    // NaN has no place in the range to clamp to (a damaged record): the value stays.
    if (std::isnan(plain)) return;
    plain = std::clamp(plain, minimum_, maximum_);
    if (std::fabs(plain - getValue()) <= FLT_EPSILON) return;
    value_.store(plain, std::memory_order_relaxed);
    owner()->parameterChanged(id(), plain, flags);
}

void FloatPluginParameter::setRange(float minimum, float maximum, float defaultValue) {
    minimum_ = minimum;
    maximum_ = maximum;
    setDefault(defaultValue);
}

void FloatPluginParameter::setDefault(float defaultValue) {
    default_ = defaultValue;
    setValue(defaultValue, 0);
}

void FloatPluginParameter::setTaper(ParameterFunction forward, ParameterFunction inverse) {
    display_.taperForward = forward;
    display_.taperInverse = inverse;
}

void FloatPluginParameter::setDisplayRange(float lo, float hi) {
    display_.taperScale = (hi - lo) / (maximum_ - minimum_);
    display_.taperOffset = lo - minimum_ * display_.taperScale;
    display_.displayScale = 1.0f;
    display_.displayOffset = 0.0f;
}

void FloatPluginParameter::setDisplayFunctions(ParameterFunction forward,
                                               ParameterFunction inverse) {
    display_.displayForward = forward;
    display_.displayInverse = inverse;
}

void FloatPluginParameter::setDisplayScale(float scale, float offset) {
    display_.displayScale = scale;
    display_.displayOffset = offset;
}

void FloatPluginParameter::setUnit(const FloatPluginParameterUnit& unit) {
    display_.unit = &unit;
    display_.suffix = unit.name();
    unit.configureDisplay(display_);
}

void FloatPluginParameter::setUnitByName(const std::string& name) {
    display_.unit = findParameterUnit(name);
    display_.suffix = name;
}
