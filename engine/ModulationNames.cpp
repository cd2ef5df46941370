#include "engine/ModulationNames.h"

#include <initializer_list>

namespace {

// prefix n item, for n = 1..count, all items of one instance before the next.
void appendGroup(std::vector<std::string>& out, const std::string& prefix, int count,
                 std::initializer_list<const char*> items) {
    for (int n = 1; n <= count; ++n) {
        for (const char* item : items) {
            out.push_back(prefix + " " + std::to_string(n) + " " + item);
        }
    }
}

void appendNumbered(std::vector<std::string>& out, const std::string& prefix, int from, int to) {
    for (int n = from; n <= to; ++n) out.push_back(prefix + " " + std::to_string(n));
}

std::vector<std::string> buildSourceNames() {
    std::vector<std::string> names;
    appendGroup(names, "XY", 4, {"Hor", "Ver"});
    appendNumbered(names, "XLFO", 1, 6);
    names.push_back("EG Main");
    appendNumbered(names, "EG", 2, 6);
    appendNumbered(names, "EF", 1, 4);
    appendNumbered(names, "MIDI", 1, 10);
    return names;
}

std::vector<std::string> buildTargetNames() {
    std::vector<std::string> names = {"Master Tune", "Portamento"};
    appendGroup(names, "Osc", 3, {"Detune", "Pulse Width", "Sync", "Level", "Pan"});
    appendGroup(names, "Filter", 2, {"Freq", "Pan", "Peak"});
    appendGroup(names, "Delay", 2, {"Time", "Offset", "Feedback", "Cross Feedback"});
    appendGroup(names, "Delay Filter", 2, {"Freq", "Pan", "Peak"});
    names.insert(names.end(), {"Delay Level", "Delay Pan", "Dry Level", "Dry Pan"});
    appendGroup(names, "XLFO", 6, {"Freq", "Glide", "Phase Offset"});
    appendGroup(names, "EG", 6, {"Hold", "Delay", "Attack", "Decay", "Sustain", "Release"});
    appendGroup(names, "EF", 4, {"Attack", "Release"});
    names.insert(names.end(), {"Output Volume", "Output Pan", "Stereo", "Unison Spread"});
    appendGroup(names, "Slot", 50, {"Level"});
    return names;
}

}  // namespace

const std::vector<std::string>& modulationSourceNames() {
    static const std::vector<std::string> names = buildSourceNames();
    return names;
}

const std::vector<std::string>& modulationTargetNames() {
    static const std::vector<std::string> names = buildTargetNames();
    return names;
}

std::string joinNames(const std::vector<std::string>& names) {
    std::string joined;
    for (size_t i = 0; i < names.size(); ++i) {
        if (i > 0) joined += ",";
        joined += names[i];
    }
    return joined;
}
