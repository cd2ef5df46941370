#include "apps/vorn/NumberOption.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace {

std::string shortest(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

}  // namespace

CLI::Validator numberIn(double lowest, double highest, bool whole) {
    const std::string range = shortest(lowest) + " to " + shortest(highest);
    auto check = [=](std::string& text) -> std::string {
        const char* begin = text.c_str();
        char* end = nullptr;
        errno = 0;
        const double value = std::strtod(begin, &end);
        if (end == begin || *end != '\0' || text.find_first_of(" \t") != std::string::npos) {
            return "\"" + text + "\" is not a number";
        }
        if (!std::isfinite(value) || errno == ERANGE) {
            return "\"" + text + "\" is not a finite number";
        }
        if (whole && value != std::floor(value)) {
            return "\"" + text + "\" is not a whole number";
        }
        if (value < lowest || value > highest) {
            return "\"" + text + "\" is outside " + range;
        }
        return "";
    };
    return CLI::Validator(check, (whole ? "WHOLE NUMBER " : "NUMBER ") + range);
}
