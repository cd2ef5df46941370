#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "wave/Environment.h"
#include "midi/AbstractChannelEventReceiver.h"
#include "midi/AbstractMusicEventReceiver.h"
#include "midi/MidiDecoder.h"
#include "modulation/MidiModSource.h"
#include "tests/support/AllocationCounter.h"

namespace {

constexpr uint32_t kBlock = 32;
constexpr float kTol = 1e-5f;

// The synthesizer's volume taper: 36 dB over the upper 90 %, a straight line below.
float volume(float p) {
    constexpr float kKnee = 0.1f;
    if (p > kKnee) return std::pow(10.0f, (p - 1.0f) * 36.0f / 20.0f);
    return p / kKnee * std::pow(10.0f, (kKnee - 1.0f) * 36.0f / 20.0f);
}

float respond(int curve, float x) {
    return MidiModSource::respond(curve, x, volume);
}

// Decoded MIDI reaches the cache through the same path as in the plug-in.
class AllChannels : public AbstractMusicEventReceiver {
public:
    void setChannelReceiver(std::unique_ptr<AbstractChannelEventReceiver> receiver) override {
        owned_ = std::move(receiver);
        setSlot(kAllChannels, owned_.get());
    }

private:
    std::unique_ptr<AbstractChannelEventReceiver> owned_;
};

class MidiModSourceTest : public ::testing::Test {
protected:
    MidiModSourceTest() {
        auto channel = std::make_unique<AbstractChannelEventReceiver>();
        channel->addListener(&cache);
        events.setChannelReceiver(std::move(channel));
    }

    std::unique_ptr<MidiModSource> makeSource(int input, int curve = MidiModSource::kLinear,
                                              int controller = 0) {
        auto s = std::make_unique<MidiModSource>(env, cache, volume);
        s->input = input;
        s->controllerNumber = controller;
        s->responseCurve = curve;
        return s;
    }

    const float* render(MidiModSource& s) {
        env.beginChunk();
        const float* out = s.pull(kBlock, 0);
        env.finishChunk(kBlock, false);
        return out;
    }

    wave::Environment env{kBlock};
    MidiModSource::Cache cache;
    AllChannels events;
    MidiDecoder decoder{&events};
};

TEST(MidiModSourceCurves, ExactPointsAndOddSymmetry) {
    struct Point {
        int curve;
        float x;
        float expected;
    };
    const Point points[] = {
        {MidiModSource::kLinear, 0.3f, 0.3f},
        {MidiModSource::kLinear, -0.7f, -0.7f},
        {MidiModSource::kExp, 1.0f, 1.0f},
        {MidiModSource::kExp, -0.5f, -0.12589254f},  // -18 dB
        {MidiModSource::kExp, 0.1f, 0.023988329f},   // the knee, -36 * 0.9 dB
        {MidiModSource::kExp, 0.05f, 0.011994165f},  // half the knee's gain
        {MidiModSource::kLog, 1.0f, 1.0f},
        {MidiModSource::kLog, 0.1f, 0.28906483f},  // ln 2 / ln 11
        {MidiModSource::kLog, -0.1f, -0.28906483f},
        {MidiModSource::kSqr, 0.5f, 0.25f},
        {MidiModSource::kSqr, -0.5f, -0.25f},
        {MidiModSource::kSqrt, 0.25f, 0.5f},
        {MidiModSource::kSqrt, -0.25f, -0.5f},
        {MidiModSource::kSine, 0.5f, 0.5f},
        {MidiModSource::kSine, 0.25f, 0.14644661f},
        {MidiModSource::kSine, -0.25f, -0.14644661f},
        {MidiModSource::kSine, 1.0f, 1.0f},
        {MidiModSource::kSine, -1.0f, -1.0f},
    };
    for (const Point& p : points) {
        EXPECT_NEAR(respond(p.curve, p.x), p.expected, kTol) << p.curve << " at " << p.x;
    }
    for (int curve = 0; curve < MidiModSource::kCurveCount; ++curve) {
        EXPECT_EQ(respond(curve, 0.0f), 0.0f) << curve;
        for (float x = 0.05f; x <= 1.0f; x += 0.05f) {
            EXPECT_NEAR(respond(curve, -x), -respond(curve, x), kTol) << curve << " at " << x;
            EXPECT_GT(respond(curve, x), respond(curve, x - 0.05f)) << curve << " at " << x;
        }
        EXPECT_NEAR(respond(curve, 1.0f), 1.0f, kTol) << curve;
    }
}

TEST_F(MidiModSourceTest, PitchBendExtremesAndHalfWay) {
    auto linear = makeSource(MidiModSource::kPitchBend);
    auto sqr = makeSource(MidiModSource::kPitchBend, MidiModSource::kSqr);

    decoder.receive(0xE3, 0x00, 0x00);
    EXPECT_FLOAT_EQ(linear->target(), -1.0f);
    EXPECT_FLOAT_EQ(sqr->target(), -1.0f);
    EXPECT_FLOAT_EQ(linear->displayValue(), 0.0f);

    decoder.receive(0xE3, 0x7F, 0x7F);
    EXPECT_FLOAT_EQ(linear->target(), 1.0f);
    EXPECT_FLOAT_EQ(sqr->target(), 1.0f);
    EXPECT_FLOAT_EQ(sqr->displayValue(), 1.0f);

    cache.pitchBend(-0.25f);
    EXPECT_FLOAT_EQ(linear->target(), -0.5f);
    EXPECT_FLOAT_EQ(sqr->target(), -0.25f);

    // A new curve applies from the next update on.
    linear->responseCurve = MidiModSource::kSqrt;
    EXPECT_FLOAT_EQ(linear->target(), -0.5f);
    cache.pitchBend(-0.125f);
    EXPECT_FLOAT_EQ(linear->target(), -0.5f);  // -sqrt(0.25)
    EXPECT_FLOAT_EQ(linear->displayValue(), 0.25f);
}

TEST_F(MidiModSourceTest, VelocityAndKeyboardFollowAcceptedNotes) {
    auto velocity = makeSource(MidiModSource::kVelocity);
    auto keyboard = makeSource(MidiModSource::kKbTrack);
    auto sqrKeyboard = makeSource(MidiModSource::kKbTrack, MidiModSource::kSqr);

    decoder.receive(0x90, 60, 64);
    EXPECT_NEAR(velocity->target(), 0.0078740f, 1e-6f);
    EXPECT_NEAR(velocity->displayValue(), 0.5039370f, 1e-6f);
    EXPECT_NEAR(keyboard->target(), 0.1f, kTol);
    EXPECT_NEAR(sqrKeyboard->target(), 0.25f - 0.16f, kTol);  // key 60 is 0.5

    decoder.receive(0x80, 60, 0);  // note-off leaves both alone
    EXPECT_NEAR(velocity->target(), 0.0078740f, 1e-6f);

    decoder.receive(0x90, 48, 127);
    EXPECT_FLOAT_EQ(velocity->target(), 1.0f);
    EXPECT_NEAR(keyboard->target(), 0.0f, kTol);
    EXPECT_NEAR(sqrKeyboard->target(), 0.0f, kTol);

    // The meter maps keys 1..120 to 0..1 for any curve.
    for (auto* s : {keyboard.get(), sqrKeyboard.get()}) {
        cache.noteOn(1, 0.5f);
        EXPECT_NEAR(s->displayValue(), 0.0f, kTol);
        cache.noteOn(120, 0.5f);
        EXPECT_NEAR(s->displayValue(), 1.0f, kTol);
    }
    EXPECT_FLOAT_EQ(cache.value(MidiModSource::kKeyboardKey), 120.0f);
}

TEST_F(MidiModSourceTest, ControllerAndModWheelSourcesAndInputSwitching) {
    auto wheel = makeSource(MidiModSource::kModWheel);
    auto cc1 = makeSource(MidiModSource::kController, MidiModSource::kLinear, 1);
    auto cc = makeSource(MidiModSource::kController, MidiModSource::kLinear, 7);
    auto touch = makeSource(MidiModSource::kAftertouch);

    decoder.receive(0xB0, 1, 127);
    EXPECT_FLOAT_EQ(wheel->target(), 1.0f);
    EXPECT_FLOAT_EQ(cc1->target(), 1.0f);
    EXPECT_FLOAT_EQ(cc->target(), 0.0f);

    decoder.receive(0xB0, 7, 100);
    decoder.receive(0xB0, 10, 50);
    EXPECT_FLOAT_EQ(cc->target(), 100.0f / 127.0f);
    EXPECT_FLOAT_EQ(wheel->target(), 1.0f);

    cc->controllerNumber = 10;  // the last value of controller 10 at once
    EXPECT_FLOAT_EQ(cc->target(), 50.0f / 127.0f);
    EXPECT_EQ(cc->key(), 10);
    cc->controllerNumber = 11;  // nothing received yet
    EXPECT_FLOAT_EQ(cc->target(), 0.0f);
    decoder.receive(0xB0, 7, 20);
    EXPECT_FLOAT_EQ(cc->target(), 0.0f);

    cc->input = MidiModSource::kModWheel;
    EXPECT_FLOAT_EQ(cc->target(), 1.0f);
    EXPECT_EQ(cc->key(), MidiModSource::kModWheelKey);

    decoder.receive(0xD0, 32, 0);
    EXPECT_NEAR(touch->target(), 32.0f / 127.0f, kTol);
    decoder.receive(0xA0, 70, 127);
    EXPECT_FLOAT_EQ(touch->target(), 1.0f);
    EXPECT_FLOAT_EQ(touch->displayValue(), 1.0f);
}

TEST_F(MidiModSourceTest, NoteFilteredCacheIgnoresOtherNotes) {
    MidiModSource::Cache voice(60);
    MidiModSource velocity(env, voice, volume);
    velocity.input = MidiModSource::kVelocity;
    MidiModSource touch(env, voice, volume);
    touch.input = MidiModSource::kAftertouch;

    EXPECT_FLOAT_EQ(velocity.target(), -1.0f);  // velocity 0 so far
    voice.noteOn(62, 1.0f);
    voice.polyPressure(62, 1.0f);
    EXPECT_FLOAT_EQ(velocity.target(), -1.0f);
    EXPECT_FLOAT_EQ(touch.target(), 0.0f);
    EXPECT_FLOAT_EQ(voice.value(MidiModSource::kKeyboardKey), 0.0f);

    voice.noteOn(60, 1.0f);
    voice.polyPressure(60, 0.5f);
    EXPECT_FLOAT_EQ(velocity.target(), 1.0f);
    EXPECT_FLOAT_EQ(touch.target(), 0.5f);
    EXPECT_FLOAT_EQ(voice.value(MidiModSource::kKeyboardKey), 60.0f);

    voice.channelPressure(0.25f);  // channel-wide, not bound to a note
    EXPECT_FLOAT_EQ(touch.target(), 0.25f);

    voice.setNoteFilter(62);  // the voice plays another note
    voice.noteOn(62, 0.0f);
    EXPECT_FLOAT_EQ(velocity.target(), -1.0f);

    // The plug-in-wide cache takes every note.
    cache.noteOn(62, 1.0f);
    cache.noteOn(61, 0.5f);
    EXPECT_FLOAT_EQ(cache.value(MidiModSource::kKeyboardKey), 61.0f);
}

TEST_F(MidiModSourceTest, RampTimesUseHalfTheMoveAndTheNoteRampTime) {
    auto bend = makeSource(MidiModSource::kPitchBend);
    auto cc = makeSource(MidiModSource::kController, MidiModSource::kLinear, 20);
    auto velocity = makeSource(MidiModSource::kVelocity);
    const float rate = env.sampleRate();

    // A move of 1 is half the range of 2: the fastest automatic glide, 20 ms.
    cache.pitchBend(0.5f);
    EXPECT_EQ(bend->ramp().glideLength(), static_cast<int64_t>(rate * 0.020));
    // A move of 0.2 is 10 % of the range: 20 + 130 * (0.2 / 0.3)^2 ms.
    cache.controller(20, 0, 0.2f);
    const double ms = 20.0 + 130.0 * (0.2 * 3.3333333) * (0.2 * 3.3333333);
    EXPECT_NEAR(static_cast<double>(cc->ramp().glideLength()), rate * ms * 0.001, 2.0);

    velocity->setNoteRampTime(5.0f);
    cache.noteOn(60, 1.0f);
    EXPECT_EQ(velocity->ramp().glideLength(), static_cast<int64_t>(rate * 0.005));
    velocity->setNoteRampTime(0.0f);
    cache.noteOn(60, 0.5f);
    const float* out = render(*velocity);
    EXPECT_FLOAT_EQ(out[0], 0.0f);
    EXPECT_FLOAT_EQ(out[kBlock - 1], 0.0f);
    EXPECT_TRUE(velocity->isConstant());

    // The bend glides upwards inside the block, then holds its target.
    out = render(*bend);
    EXPECT_FALSE(bend->isConstant());
    EXPECT_GT(out[kBlock - 1], out[0]);
    EXPECT_LT(out[kBlock - 1], 1.0f);
    for (int i = 0; i < 40; ++i) out = render(*bend);
    EXPECT_FLOAT_EQ(out[kBlock - 1], 1.0f);
    EXPECT_TRUE(bend->isConstant());
}

TEST_F(MidiModSourceTest, MidiOnTheAudioThreadDoesNotAllocate) {
    auto velocity = makeSource(MidiModSource::kVelocity);
    auto cc = makeSource(MidiModSource::kController, MidiModSource::kExp, 7);
    auto bend = makeSource(MidiModSource::kPitchBend, MidiModSource::kSine);
    render(*velocity);  // first pulls settle the producers' bookkeeping

    AllocationGuard guard;
    for (int i = 0; i < 128; ++i) {
        const auto v = static_cast<uint8_t>(i);
        decoder.receive(0x90, v, static_cast<uint8_t>(i | 1));
        decoder.receive(0xB0, 7, v);
        decoder.receive(0xE0, v, v);
        decoder.receive(0xA0, v, v);
        cc->controllerNumber = i;
        cc->responseCurve = i % MidiModSource::kCurveCount;
        env.beginChunk();
        velocity->pull(kBlock, 0);
        cc->pull(kBlock, 0);
        bend->pull(kBlock, 0);
        env.finishChunk(kBlock, false);
    }
    EXPECT_EQ(guard.allocations(), 0u);
}

TEST_F(MidiModSourceTest, SourcesAndCachesDetachInEitherOrder) {
    auto cached = std::make_unique<MidiModSource::Cache>();
    auto first = std::make_unique<MidiModSource>(env, *cached, volume);
    MidiModSource second(env, *cached, volume);
    ASSERT_EQ(cached->sources().size(), 2u);

    first.reset();
    ASSERT_EQ(cached->sources().size(), 1u);
    EXPECT_EQ(cached->sources()[0], &second);
    cached->modWheel(0.5f);
    EXPECT_FLOAT_EQ(second.target(), 0.5f);

    cached.reset();
    EXPECT_EQ(second.cache(), nullptr);
    second.input = MidiModSource::kPitchBend;  // no cache left: reads as 0
    EXPECT_FLOAT_EQ(second.target(), 0.0f);
}

}  // namespace
