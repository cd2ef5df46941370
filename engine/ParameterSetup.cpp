#include "engine/ParameterSetup.h"

#include "engine/ParameterCurves.h"
#include "framework/ParameterFormat.h"

std::string describe(const std::string& pattern, const std::string& subject) {
    static const std::string kPlaceholder = "{}";
    std::string text = pattern;
    for (size_t pos = text.find(kPlaceholder); pos != std::string::npos;
         pos = text.find(kPlaceholder, pos + subject.size())) {
        text.replace(pos, kPlaceholder.size(), subject);
    }
    return text;
}

void setupContinuous(FloatPluginParameter& p, float minimum, float maximum, float defaultValue,
                     const std::string& help) {
    p.setRange(minimum, maximum, defaultValue);
    p.setHelpText(help);
}

void showDecibels(FloatPluginParameter& p) {
    p.setUnit(dbParameterUnit());
    p.setDisplayFunctions(ratioToDecibels, decibelsToRatio);
}

void setTimeTaper(FloatPluginParameter& p, float lo, float hi) {
    p.setTaper(timeCurve, timeCurveInverse);
    p.setDisplayRange(lo, hi);
    p.setUnit(secParameterUnit());
}
