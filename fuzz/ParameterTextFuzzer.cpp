// Typed text of any content into every parameter of the synthesizer. Text that parses gives a
// finite value inside the parameter's range, text that does not leaves the value as it was, and
// whatever value results shows as a text that can be typed back. ("16 %" typed back reads as a
// share of the range, and "-INF" holds no number: the shown text need not read back to itself.)
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz/FuzzSynth.h"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

bool inRange(const AbstractPluginParameter& p, float plain) {
    return std::isfinite(plain) && plain >= p.getMinimum() && plain <= p.getMaximum();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    VornPlugin& synth = sharedSynth();
    const std::string text(reinterpret_cast<const char*>(data), size);
    for (int id = 0; id < synth.getParameterCount(); ++id) {
        AbstractPluginParameter& p = *synth.getParameter(id);
        const float before = p.getValue();
        float plain = 0.0f;
        if (p.parseText(text, &plain)) {
            check(inRange(p, plain));
        } else {
            check(plain == before);
        }
        p.setValue(plain, GenericPlugin::kFlagFromHost);
        check(inRange(p, p.getValue()));

        const std::string shown = p.formatValue(p.getValue());
        float reread = 0.0f;
        const bool typedBack = p.parseText(shown, &reread);
        check(typedBack ? inRange(p, reread) : shown.find("INF") != std::string::npos);
        p.setValue(p.getDefault(), GenericPlugin::kFlagFromHost);
    }
    // The audio side would otherwise never take the changes off the queue.
    synth.applyParameterChanges();
    return 0;
}
