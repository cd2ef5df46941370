#include "framework/SettingSerializer.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>

namespace {

std::string formatInt(int32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", value);
    return text;
}

std::string formatDouble(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.15g", value);
    return text;
}

// One integer at the start of the text, as "%d" scans it: leading blanks and a sign allowed,
// anything after the digits ignored.
bool scanInt(const std::string& text, int32_t& value) {
    const char* p = text.c_str();
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
    if (*p == '+') ++p;
    const char* end = text.c_str() + text.size();
    return std::from_chars(p, end, value).ec == std::errc();
}

}  // namespace

bool SettingSerializer::serializeBool(const std::string& name, bool value, bool defaultValue) {
    return serializeInt(name, value ? 1 : 0, defaultValue ? 1 : 0) != 0;
}

double SettingSerializer::serializeDouble(const std::string& name, double value,
                                          double defaultValue) {
    const std::string text = serializeString(name, formatDouble(value), formatDouble(defaultValue));
    errno = 0;
    char* end = nullptr;
    const double result = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || *end != '\0' || errno == ERANGE) return defaultValue;
    return result;
}

int32_t SettingSerializer::serializeInt(const std::string& name, int32_t value,
                                        int32_t defaultValue) {
    const std::string text = serializeString(name, formatInt(value), formatInt(defaultValue));
    int32_t result = 0;
    return scanInt(text, result) ? result : defaultValue;
}
