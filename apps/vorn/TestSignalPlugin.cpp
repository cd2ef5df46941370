#include "apps/vorn/TestSignalPlugin.h"

#include <cmath>

namespace {
constexpr float kReleaseMs = 120.0f;
constexpr float kAttackMs = 10.0f;

double noteFrequency(int note) {
    return 440.0 * std::exp2((note - 69) / 12.0);
}
}  // namespace

TestSignalPlugin::Graph::Graph(wave::Environment& env)
    : tones{SineSource(env), SineSource(env)}, router(env), level(env, 0.0f), output(env, 1) {
    router.setSignal(0, &tones[0]);
    router.setSignal(1, &tones[1]);
    output.setSignal(0, &router);
    output.setGain(0, &level);
}

TestSignalPlugin::TestSignalPlugin() {
    initialize();
    graph_ = std::make_unique<Graph>(environment());
}

TestSignalPlugin::~TestSignalPlugin() {
    graph_.reset();
    finalize();
}

void TestSignalPlugin::triggerNote(int note, float velocity) {
    // Alternate the tones so that every note also exercises the router's crossfade.
    const int next = notesPlayed_ % 2;
    graph_->tones[next].setFrequency(noteFrequency(note));
    graph_->router.selection() = next;
    graph_->level.setTarget(0.5f * velocity, kAttackMs);
    heldNote_ = note;
    ++notesPlayed_;
}

void TestSignalPlugin::releaseNotes(int note, float /*velocity*/) {
    if (note != 0 && note != heldNote_) return;
    graph_->level.setTarget(0.0f, kReleaseMs);
    heldNote_ = -1;
}

void TestSignalPlugin::render(const float** channelData, int channels, int frames) {
    const float* out = graph_->output.pull(static_cast<uint32_t>(frames), 0);
    for (int c = 0; c < channels; ++c) channelData[c] = out;
}
