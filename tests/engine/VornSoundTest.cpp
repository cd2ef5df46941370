#include <gtest/gtest.h>

#include <cstdio>

#include "tests/engine/VornTestRig.h"

namespace {

TEST(VornSound, Probe) {
    VornTestRig rig;
    setPlainSine(rig);
    rig.render(4800);
    rig.noteOn(69, 100, 10);
    VornTestRig::Stereo out = rig.render(rig.frames(1.5));
    for (int i = 0; i < 20; ++i) std::printf("%d %.9g %.9g\n", i, out.left[i], out.right[i]);
    std::printf("f=%f rms=%f\n", zeroCrossingFrequency(out.left, rig.sampleRate(), 4800),
                rms(out.left, 4800));
}

}  // namespace
