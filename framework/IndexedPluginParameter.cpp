#include "framework/IndexedPluginParameter.h"

#include <cstdio>

#include "framework/ParameterFormat.h"

std::vector<std::string> splitParameterNames(const std::string& commaSeparated) {
    std::vector<std::string> names;
    size_t start = 0;
    for (;;) {
        const size_t comma = commaSeparated.find(',', start);
        if (comma == std::string::npos) {
            names.push_back(commaSeparated.substr(start));
            return names;
        }
        names.push_back(commaSeparated.substr(start, comma - start));
        start = comma + 1;
    }
}

int findParameterName(const std::vector<std::string>& names, const std::string& text) {
    for (size_t i = 0; i < names.size(); ++i) {
        if (names[i] == text) return static_cast<int>(i);
    }
    for (size_t i = 0; i < names.size(); ++i) {
        if (equalsIgnoringCase(names[i], text)) return static_cast<int>(i);
    }
    return -1;
}

std::string formatParameterIndex(int value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%d", value);
    return buffer;
}

bool parseParameterIndex(const std::string& text, int* value) {
    return std::sscanf(text.c_str(), "%d", value) == 1;
}

int normalizedToIndex(double normalized, int lo, int hi) {
    const int range = hi - lo;
    if (range <= 0) return lo;
    const double steps = (normalized + 0.5 / range) * range;
    return lo + static_cast<int>(std::clamp(steps, 0.0, static_cast<double>(range)));
}
