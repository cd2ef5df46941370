#include <gtest/gtest.h>
#include <cstdio>
#include "tests/engine/VornTestRig.h"
namespace {
TEST(VornSoundProbe, P) {
    VornTestRig rig;
    setPlainSine(rig);
    rig.set({"Polyphony=Mono", "Portamento Mode=Legato", "Portamento=100 ms"});
    AbstractPluginParameter* p = findParameter(rig.plugin(), "Portamento");
    std::printf("porta plain %f text %s\n", p->getValue(), p->formatValue(p->getValue()).c_str());
    rig.render(256);
    rig.noteOn(57);
    auto a = rig.render(rig.frames(0.3));
    auto t = risingCrossings(a.left);
    for (size_t i = 1; i < 12; ++i) std::printf("%f %f\n", t[i], 48000 / (t[i] - t[i - 1]));
    rig.noteOn(69);
    auto b = rig.render(rig.frames(1.0));
    t = risingCrossings(b.left);
    for (size_t i = 1; i < t.size(); i += 10) std::printf("%f %f\n", t[i], 48000 / (t[i] - t[i - 1]));
}
TEST(VornSoundProbe, Pure) {
    VornTestRig rig;
    setPlainSine(rig);
    rig.set({"Filter 1 Enabled=Disabled", "Filter 2 Enabled=Disabled"});
    rig.noteOn(69);
    auto a = rig.render(rig.frames(1.2));
    for (int h = 1; h < 5; ++h) std::printf("h%d %g\n", h, toneAmplitude(a.left, 4800, 48000, 440.0 * h, 48000));
}
}
