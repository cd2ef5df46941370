#include <gtest/gtest.h>
#include <pthread.h>
#include <stdlib.h>
#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine/VornPresets.h"
#include "persistence/FactoryArchive.h"
#include "tests/persistence/TemporaryUserFolders.h"
#include "tests/realtime/RealtimeInterposer.h"
#include "tests/realtime/RealtimeLoad.h"

namespace fs = std::filesystem;

namespace {

#ifdef VORN_SANITIZED
// Sanitizers slow rendering tenfold and more; they look at the same interleavings in less audio.
constexpr double kShortSeconds = 2.0;
constexpr double kMatrixSeconds = 0.5;
#else
constexpr double kShortSeconds = 10.0;
constexpr double kMatrixSeconds = 1.5;
#endif

// +40 dBFS: far above what 32 voices of any patch add up to; beyond it something runs away.
const float kRunawayCeiling = std::pow(10.0f, 40.0f / 20.0f);

// "VORN_REALTIME_SECONDS" lengthens every configuration of the matrix (`make realtime`).
double matrixSeconds() {
    const char* text = std::getenv("VORN_REALTIME_SECONDS");
    const double seconds = text ? std::atof(text) : 0.0;
    return seconds > 0.0 ? seconds : kMatrixSeconds;
}

// Factory presets in a temporary folder; settings and user folders point there too, so that
// nothing outside it is read or written.
class RealtimeSafetyTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        VornPresets::setStartupPresets(false);
        folders_.emplace();
        const fs::path presets = folders_->documents() / "presets";
        if (!extractFactoryFolder("FactoryPresets", presets.string(), false)) return;
        for (const auto& entry : fs::recursive_directory_iterator(presets)) {
            if (entry.is_regular_file()) presetFiles_.push_back(entry.path().string());
        }
        std::sort(presetFiles_.begin(), presetFiles_.end());
    }
    static void TearDownTestSuite() { folders_.reset(); }

    static void expectRealtimeSafe(const RealtimeLoadConfig& config) {
        SCOPED_TRACE(testing::Message() << config.sampleRate << " Hz, blocks of "
                                        << config.blockFrames << ", " << config.seconds << " s");
        const RealtimeLoadResult r = runRealtimeLoad(config);
        std::cout << config.sampleRate << " Hz, blocks of " << config.blockFrames << ": "
                  << r.blocks << " blocks, " << r.edits << " edits, " << r.presetLoads
                  << " preset loads, " << r.stateSaves << " saves, " << r.stateRestores
                  << " restores, " << r.notifications << " notifications, " << r.editorMidiEvents
                  << " editor MIDI events, " << r.editorGestures << " editor drags, peak " << r.peak
                  << "\n";
        EXPECT_EQ(r.audio.allocations, 0u);
        EXPECT_EQ(r.audio.frees, 0u);
        EXPECT_EQ(r.audio.locks, 0u);
        EXPECT_EQ(r.audio.sleeps, 0u);
        EXPECT_EQ(r.firstNonFiniteBlock, -1) << r.nonFiniteSamples << " non-finite samples";
        EXPECT_LT(r.peak, kRunawayCeiling);
        // The UI thread did its share of every kind of work while the audio ran.
        EXPECT_GT(r.edits, 0);
        EXPECT_GT(r.presetLoads, 0);
        EXPECT_GT(r.stateSaves, 0);
        EXPECT_GT(r.stateRestores, 0);
        EXPECT_GT(r.notifications, 0);
        EXPECT_GT(r.editorMidiEvents, 0);
#if VORN_REALTIME_EDITOR
        EXPECT_GT(r.editorGestures, 0);
#endif
        EXPECT_EQ(r.failedPresetLoads, 0);
        EXPECT_EQ(r.failedStateRestores, 0);
    }

    static inline std::optional<TemporaryUserFolders> folders_;
    static inline std::vector<std::string> presetFiles_;
};

// The counters see each kind of call made inside a scope on this thread, and nothing made
// outside one or on another thread: a clean run means something only if they do.
TEST_F(RealtimeSafetyTest, InterposerCountsForbiddenCallsInsideTheScopeOnly) {
#ifdef VORN_REALTIME_SANITIZER
    GTEST_SKIP() << "RealtimeSanitizer stops the process at the first forbidden call";
#endif
    auto* volatile sink = new int(1);
    delete sink;
    std::thread other([] {
        auto* volatile p = new int(3);
        delete p;
    });
    RealtimeCounts made;
    {
        RealtimeScope scope;
        sink = new int(2);
        delete sink;
        other.join();
        made = scope.counts();
    }
    EXPECT_EQ(made.allocations, 1u);
    EXPECT_EQ(made.frees, 1u);

    if (!BlockingCounter::active()) return;
    pthread_mutex_t mutex = PTHREAD_MUTEX_INITIALIZER;
    const timespec nap{0, 1000};
    {
        RealtimeScope scope;
        void* volatile block = std::malloc(16);
        block = std::realloc(block, 32);
        std::free(block);
        void* aligned = nullptr;
        EXPECT_EQ(posix_memalign(&aligned, 64, 64), 0);
        std::free(aligned);
        EXPECT_EQ(pthread_mutex_lock(&mutex), 0);
        EXPECT_EQ(pthread_mutex_unlock(&mutex), 0);
        EXPECT_EQ(pthread_mutex_trylock(&mutex), 0);
        EXPECT_EQ(pthread_mutex_unlock(&mutex), 0);
        EXPECT_EQ(nanosleep(&nap, nullptr), 0);
        EXPECT_EQ(usleep(1), 0);
        made = scope.counts();
    }
    EXPECT_EQ(made.allocations, 3u);
    EXPECT_EQ(made.frees, 2u);
    EXPECT_EQ(made.locks, 2u);
    EXPECT_EQ(made.sleeps, 2u);
}

// The normal suite's session: 48 kHz in 256-frame blocks.
TEST_F(RealtimeSafetyTest, ShortSessionNeverAllocatesLocksOrSleepsOnTheAudioThread) {
    ASSERT_FALSE(presetFiles_.empty());
    RealtimeLoadConfig config;
    config.seconds = kShortSeconds;
    config.presetFiles = presetFiles_;
    expectRealtimeSafe(config);
}

// Every host configuration the long run covers, briefly unless VORN_REALTIME_SECONDS says more.
TEST_F(RealtimeSafetyTest, EveryRateAndBlockSizeStaysRealtimeSafe) {
    ASSERT_FALSE(presetFiles_.empty());
    uint32_t seed = 100;
    for (const float rate : {44100.0f, 96000.0f}) {
        for (const int blockFrames : {32, 256, 4096}) {
            RealtimeLoadConfig config;
            config.sampleRate = rate;
            config.blockFrames = blockFrames;
            config.seconds = matrixSeconds();
            config.seed = ++seed;
            config.presetFiles = presetFiles_;
            expectRealtimeSafe(config);
        }
    }
}

}  // namespace
