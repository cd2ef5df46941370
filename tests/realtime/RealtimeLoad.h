#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/realtime/RealtimeInterposer.h"

// A simulated host session: an audio thread renders blocks as fast as it can, automating
// parameters every kAutomationFrames and feeding junk MIDI, while a UI thread edits parameters,
// loads presets and gets and sets the state every kUiPeriodSeconds of rendered audio. The UI
// thread is also the editor: it pumps the notifications, drains the editor's MIDI copy and keeps
// a virtual parameter selected for MIDI learn, so every controller drives it from the audio thread.
struct RealtimeLoadConfig {
    float sampleRate = 48000.0f;
    int blockFrames = 256;  // at least 1
    double seconds = 10.0;
    uint32_t seed = 1;
    // Whole presets the UI thread loads in turn; none skips the loads.
    std::vector<std::string> presetFiles;
};

struct RealtimeLoadResult {
    // Counted on the audio thread only.
    RealtimeCounts audio;
    int64_t blocks = 0;
    int edits = 0;
    int presetLoads = 0;
    int failedPresetLoads = 0;
    int stateSaves = 0;
    int stateRestores = 0;
    int failedStateRestores = 0;
    int notifications = 0;
    int editorMidiEvents = 0;
    int editorGestures = 0;  // knob drags through the open, headless editor
    // First block with a non-finite sample; -1 when none.
    int64_t firstNonFiniteBlock = -1;
    int64_t nonFiniteSamples = 0;
    // Of the finite samples.
    float peak = 0.0f;
};

constexpr int kAutomationFrames = 32;
constexpr double kUiPeriodSeconds = 0.05;

RealtimeLoadResult runRealtimeLoad(const RealtimeLoadConfig& config);
