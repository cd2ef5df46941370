#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "modulation/MidiModSource.h"
#include "tests/wave/TestSources.h"

namespace {

using wave::test::kBlock;
using M = MidiModSource;
constexpr float kTol = 1e-5f;

// The synthesizer's volume taper: 36 dB over the upper 90 %, a straight line below.
float volume(float p) {
    constexpr float kKnee = 0.1f;
    if (p > kKnee) return std::pow(10.0f, (p - 1.0f) * 36.0f / 20.0f);
    return p / kKnee * std::pow(10.0f, (kKnee - 1.0f) * 36.0f / 20.0f);
}

float respond(int curve, float x) {
    return M::respond(curve, x, volume);
}

// Sends `value` as the MIDI quantity of cache entry `key` (velocities and keys as note-ons).
void send(M::Cache& cache, int key, float value) {
    if (key < M::kModWheelKey) cache.controller(key, 0, value);
    if (key == M::kModWheelKey) cache.modWheel(value);
    if (key == M::kPitchBendKey) cache.pitchBend(value);
    if (key == M::kVelocityKey) cache.noteOn(60, value);
    if (key == M::kAftertouchKey) cache.polyPressure(70, value);
    if (key == M::kKeyboardKey) cache.noteOn(static_cast<int>(value), 1.0f);
}

class MidiModSourceTest : public ::testing::Test {
protected:
    std::unique_ptr<M> make(int input, int curve = M::kLinear, int controller = 0) {
        auto s = std::make_unique<M>(env, cache, volume);
        s->input = input;
        s->controllerNumber = controller;
        s->responseCurve = curve;
        return s;
    }

    wave::Environment env{kBlock};
    M::Cache cache;
};

TEST(MidiModSourceCurves, ExactPointsAndOddSymmetry) {
    struct Point {
        int curve;
        float x, expected;
    };
    const Point points[] = {
        {M::kLinear, 0.3f, 0.3f},       {M::kExp, -0.5f, -0.12589254f},  // -18 dB
        {M::kExp, 0.1f, 0.023988329f},                                   // the knee, -36 * 0.9 dB
        {M::kExp, 0.05f, 0.011994165f},                                  // half the knee's gain
        {M::kLog, 0.1f, 0.28906483f},                                    // ln 2 / ln 11
        {M::kSqr, 0.5f, 0.25f},         {M::kSqrt, 0.25f, 0.5f},
        {M::kSine, 0.5f, 0.5f},         {M::kSine, 0.25f, 0.14644661f},
    };
    for (const Point& p : points) {
        EXPECT_NEAR(respond(p.curve, p.x), p.expected, kTol) << p.curve << " at " << p.x;
    }
    for (int curve = 0; curve < M::kCurveCount; ++curve) {
        EXPECT_EQ(respond(curve, 0.0f), 0.0f) << curve;
        for (float x = 0.05f; x <= 1.0f; x += 0.05f) {
            EXPECT_NEAR(respond(curve, -x), -respond(curve, x), kTol) << curve << " at " << x;
            EXPECT_GT(respond(curve, x), respond(curve, x - 0.05f)) << curve << " at " << x;
        }
        EXPECT_NEAR(respond(curve, 1.0f), 1.0f, kTol) << curve;
    }
}

// Target and meter value of a source after one update of its input's key (NaN: not checked).
TEST_F(MidiModSourceTest, EachInputShapesItsKey) {
    const float kAny = NAN;
    struct Row {
        int input, curve, controller, key;
        float value, target, display;
    };
    const Row rows[] = {
        {M::kPitchBend, M::kLinear, 0, M::kPitchBendKey, -0.5f, -1.0f, 0.0f},
        {M::kPitchBend, M::kSqr, 0, M::kPitchBendKey, 0.5f, 1.0f, 1.0f},
        {M::kPitchBend, M::kSqr, 0, M::kPitchBendKey, -0.25f, -0.25f, 0.375f},
        {M::kVelocity, M::kLinear, 0, M::kVelocityKey, 64.0f / 127, 0.0078740f, 0.5039370f},
        {M::kVelocity, M::kSqr, 0, M::kVelocityKey, 0.0f, -1.0f, 0.0f},
        {M::kKbTrack, M::kLinear, 0, M::kKeyboardKey, 60.0f, 0.1f, 0.4957983f},
        {M::kKbTrack, M::kSqr, 0, M::kKeyboardKey, 60.0f, 0.09f, 0.2499479f},
        {M::kKbTrack, M::kSqr, 0, M::kKeyboardKey, 48.0f, 0.0f, kAny},
        {M::kKbTrack, M::kSqr, 0, M::kKeyboardKey, 1.0f, kAny, 0.0f},
        {M::kKbTrack, M::kExp, 0, M::kKeyboardKey, 120.0f, kAny, 1.0f},
        {M::kModWheel, M::kLinear, 0, M::kModWheelKey, 1.0f, 1.0f, 1.0f},
        {M::kModWheel, M::kLinear, 0, M::kPitchBendKey, 0.5f, 0.0f, 0.0f},  // not its input
        {M::kController, M::kLinear, 7, 7, 100.0f / 127, 0.7874016f, 0.7874016f},
        {M::kController, M::kLinear, 7, 8, 1.0f, 0.0f, 0.0f},  // another controller
        {M::kAftertouch, M::kSqrt, 0, M::kAftertouchKey, 0.25f, 0.5f, 0.5f},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << "input " << r.input << " curve " << r.curve << " key "
                                        << r.key << " value " << r.value);
        M::Cache fresh;
        M s(env, fresh, volume);
        s.input = r.input;
        s.controllerNumber = r.controller;
        s.responseCurve = r.curve;
        send(fresh, r.key, r.value);
        if (!std::isnan(r.target)) {
            EXPECT_NEAR(s.target(), r.target, kTol);
        }
        if (!std::isnan(r.display)) {
            EXPECT_NEAR(s.displayValue(), r.display, kTol);
        }
    }
}

TEST_F(MidiModSourceTest, NewInputsTakeTheCachedValueAndNewCurvesTheNextUpdate) {
    auto cc = make(M::kController, M::kLinear, 7);
    cache.controller(10, 0, 0.5f);
    cache.modWheel(0.25f);
    cc->controllerNumber = 10;
    EXPECT_FLOAT_EQ(cc->target(), 0.5f);
    cc->controllerNumber = 11;  // nothing received yet
    EXPECT_FLOAT_EQ(cc->target(), 0.0f);
    cc->input = M::kModWheel;
    EXPECT_FLOAT_EQ(cc->target(), 0.25f);
    EXPECT_EQ(cc->key(), M::kModWheelKey);
    cc->responseCurve = M::kSqrt;
    EXPECT_FLOAT_EQ(cc->target(), 0.25f);
    cache.modWheel(0.25f);
    EXPECT_FLOAT_EQ(cc->target(), 0.5f);
}

TEST_F(MidiModSourceTest, NoteFilteredCacheIgnoresOtherNotes) {
    M::Cache voice(60);
    M velocity(env, voice, volume);
    velocity.input = M::kVelocity;
    M touch(env, voice, volume);
    touch.input = M::kAftertouch;

    voice.noteOn(62, 1.0f);
    voice.polyPressure(62, 1.0f);
    EXPECT_FLOAT_EQ(velocity.target(), -1.0f);
    EXPECT_FLOAT_EQ(touch.target(), 0.0f);
    EXPECT_FLOAT_EQ(voice.value(M::kKeyboardKey), 0.0f);
    voice.noteOn(60, 1.0f);
    voice.polyPressure(60, 0.5f);
    EXPECT_FLOAT_EQ(velocity.target(), 1.0f);
    EXPECT_FLOAT_EQ(touch.target(), 0.5f);
    EXPECT_FLOAT_EQ(voice.value(M::kKeyboardKey), 60.0f);
    voice.channelPressure(0.25f);  // channel-wide, not bound to a note
    EXPECT_FLOAT_EQ(touch.target(), 0.25f);
    voice.setNoteFilter(62);  // the voice plays another note
    voice.noteOn(62, 0.0f);
    EXPECT_FLOAT_EQ(velocity.target(), -1.0f);
}

TEST_F(MidiModSourceTest, RampTimesUseHalfTheMoveAndTheNoteRampTime) {
    auto bend = make(M::kPitchBend);
    auto cc = make(M::kController, M::kLinear, 20);
    auto velocity = make(M::kVelocity);
    const float rate = env.sampleRate();
    // A move of 1 is half the range of 2: the fastest automatic glide, 20 ms.
    cache.pitchBend(0.5f);
    EXPECT_EQ(bend->ramp().glideLength(), static_cast<int64_t>(rate * 0.020));
    // A move of 0.2 is 10 % of the range: 20 + 130 * (0.2 / 0.3)^2 ms.
    cache.controller(20, 0, 0.2f);
    const double ms = 20.0 + 130.0 * (0.2 / 0.3) * (0.2 / 0.3);
    EXPECT_NEAR(static_cast<double>(cc->ramp().glideLength()), rate * ms * 0.001, 2.0);
    velocity->setNoteRampTime(5.0f);
    cache.noteOn(60, 1.0f);
    EXPECT_EQ(velocity->ramp().glideLength(), static_cast<int64_t>(rate * 0.005));
    velocity->setNoteRampTime(0.0f);
    cache.noteOn(60, 0.5f);
    const float* out = wave::test::pullChunk(env, *velocity);
    EXPECT_FLOAT_EQ(out[0], 0.0f);
    EXPECT_TRUE(velocity->isConstant());
}

TEST_F(MidiModSourceTest, SourcesAndCachesDetachInEitherOrder) {
    auto cached = std::make_unique<M::Cache>();
    auto first = std::make_unique<M>(env, *cached, volume);
    M second(env, *cached, volume);
    first.reset();
    ASSERT_EQ(cached->sources().size(), 1u);
    cached->modWheel(0.5f);
    EXPECT_FLOAT_EQ(second.target(), 0.5f);
    cached.reset();
    EXPECT_EQ(second.cache(), nullptr);
    second.input = M::kPitchBend;  // no cache left: reads as 0
    EXPECT_FLOAT_EQ(second.target(), 0.0f);
}

}  // namespace
