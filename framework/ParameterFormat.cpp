#include "framework/ParameterFormat.h"

#include <cctype>
#include <cfloat>
#include <cmath>
#include <cstdio>

namespace {

constexpr float kDecibelFloor = -180.0f;
constexpr float kSilentRatio = 1e-10f;
constexpr float kDecibelInfLimit = -179.9f;
// Half an ulp of a float, relative: the fuzz with which a float stands for its short decimal.
constexpr double kFloatHalfUlp = 1.0 / 16777216.0;

std::string printNumber(const char* format, int precision, double value) {
    char buffer[64];
    const int n = precision < 0 ? std::snprintf(buffer, sizeof buffer, format, value)
                                : std::snprintf(buffer, sizeof buffer, format, precision, value);
    if (n < 0) return std::string();
    if (n < static_cast<int>(sizeof buffer)) return std::string(buffer, n);
    std::string text(static_cast<size_t>(n) + 1, '\0');
    if (precision < 0) {
        std::snprintf(text.data(), text.size(), format, value);
    } else {
        std::snprintf(text.data(), text.size(), format, precision, value);
    }
    text.resize(static_cast<size_t>(n));
    return text;
}

// Rounds to `decimals` places, halves away from zero. A float such as 123.45f lies a hair below
// the half; it is taken for the decimal it stands for, as the user typed or read it.
double roundDecimalHalfAway(double value, int decimals) {
    const double scale = std::pow(10.0, decimals);
    const double scaled = std::fabs(value) * scale;
    const double whole = std::floor(scaled);
    const double fraction = scaled - whole;
    const double rounded = fraction + scaled * kFloatHalfUlp >= 0.5 ? whole + 1.0 : whole;
    return std::copysign(rounded / scale, value);
}

std::string formatSignificant(double value, const std::string& format) {
    // "*" [ "+" ] digits rest
    size_t pos = 1;
    const bool plus = pos < format.size() && format[pos] == '+';
    if (plus) ++pos;
    int digits = 0;
    while (pos < format.size() && format[pos] >= '0' && format[pos] <= '9') {
        digits = digits * 10 + (format[pos] - '0');
        ++pos;
    }
    const std::string rest = format.substr(pos);

    int precision = digits;
    const double threshold = 10.0 - 0.5 / std::pow(10.0, digits);
    double magnitude = std::fabs(value);
    while (precision > 0 && magnitude >= threshold) {
        --precision;
        magnitude /= 10.0;
    }
    const bool fixed = !rest.empty() && (rest[0] == 'f' || rest[0] == 'F');
    if (fixed) value = roundDecimalHalfAway(value, precision);
    const std::string conversion = std::string("%") + (plus ? "+" : "") + ".*" + rest;
    return printNumber(conversion.c_str(), precision, value);
}

}  // namespace

std::string formatNumber(double value, const std::string& format) {
    if (value >= HUGE_VAL) return "INF";
    if (value <= -HUGE_VAL) return "-INF";
    std::string text = !format.empty() && format[0] == '*' ? formatSignificant(value, format)
                                                           : printNumber(format.c_str(), -1, value);
    if (!text.empty() && text[0] == '-' && text.find_first_of("123456789") == std::string::npos) {
        text.erase(0, 1);
    }
    return text;
}

std::string formatFrequency(float hz) {
    const char* format = hz > 9999.95f   ? "%.0f"
                         : hz > 999.995f ? "%.1f"
                         : hz > 99.9995f ? "%.2f"
                                         : "%.3f";
    return formatNumber(hz, format);
}

std::string formatDecibels(float db) {
    if (std::fabs(db) <= FLT_EPSILON) return "0.00";
    if (db > kDecibelInfLimit) return formatNumber(db, "%+.2f");
    return "-INF";
}

float ratioToDecibels(float ratio) {
    if (ratio <= kSilentRatio) return kDecibelFloor;
    return std::fmax(20.0f * std::log10(ratio), kDecibelFloor);
}

float decibelsToRatio(float db) {
    return std::pow(10.0f, db / 20.0f);
}

bool equalsIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}
