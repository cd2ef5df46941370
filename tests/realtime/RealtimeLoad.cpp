#include "tests/realtime/RealtimeLoad.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <random>
#include <span>
#include <thread>

#if VORN_REALTIME_EDITOR
#include "editor/VornInterface.h"
#endif
#include "engine/VornPlugin.h"
#include "framework/AbstractPluginParameter.h"
#include "framework/MidiEvent.h"
#include "framework/MidiVirtualPluginParameter.h"
#if VORN_REALTIME_EDITOR
#include "gui/Modifiers.h"
#include "gui/OffscreenInterface.h"
#endif
#include "persistence/BinaryDataReader.h"
#include "persistence/ParameterCollection.h"
#include "persistence/ParameterRecord.h"

namespace {

constexpr int kMaxMidiPerBlock = 8;
constexpr int kEditsPerUiTick = 4;

// A value anywhere in the parameter's range, a fifth of them at an end.
float randomValue(AbstractPluginParameter& p, std::mt19937& random) {
    const float lo = p.getMinimum();
    const float hi = p.getMaximum();
    const int pick = std::uniform_int_distribution<int>(0, 9)(random);
    float value = pick == 0   ? lo
                  : pick == 1 ? hi
                              : std::uniform_real_distribution<float>(lo, hi)(random);
    if (p.kind() == AbstractPluginParameter::kIndexed) value = std::round(value);
    return value;
}

// Any bytes at all, system messages and data bytes above 127 included; a few offsets outside the
// block.
MidiEvent junkMidi(std::mt19937& random, int frames) {
    std::uniform_int_distribution<int> byte(0, 255);
    MidiEvent e{};
    e.status = static_cast<uint8_t>(byte(random));
    e.data1 = static_cast<uint8_t>(byte(random));
    e.data2 = static_cast<uint8_t>(byte(random));
    const int where = std::uniform_int_distribution<int>(0, 19)(random);
    e.offset = where == 0 ? -std::uniform_int_distribution<int>(1, 1000)(random)
               : where == 1
                   ? frames + std::uniform_int_distribution<int>(0, 1000)(random)
                   : std::uniform_int_distribution<int>(0, std::max(frames - 1, 0))(random);
    return e;
}

// Notes that sound, so that voices start, steal and release while everything else happens.
MidiEvent playedNote(std::mt19937& random, int frames) {
    std::uniform_int_distribution<int> data(0, 127);
    const bool on = std::uniform_int_distribution<int>(0, 2)(random) != 0;
    const int channel = std::uniform_int_distribution<int>(0, 15)(random);
    MidiEvent e{};
    e.status = static_cast<uint8_t>((on ? 0x90 : 0x80) | channel);
    e.data1 = static_cast<uint8_t>(data(random));
    e.data2 = static_cast<uint8_t>(on ? std::max(1, data(random)) : 0);
    e.offset = std::uniform_int_distribution<int>(0, std::max(frames - 1, 0))(random);
    return e;
}

struct CountingListener : GenericPlugin::Listener {
    void notify(int, int) override { ++count; }
    int count = 0;
};

class UiThread {
public:
    UiThread(VornPlugin& plugin, const RealtimeLoadConfig& config, RealtimeLoadResult& result,
             const std::atomic<int64_t>& renderedFrames, std::atomic<int64_t>& servedFrames,
             const std::atomic<bool>& done)
        : plugin_(plugin),
          config_(config),
          result_(result),
          renderedFrames_(renderedFrames),
          servedFrames_(servedFrames),
          done_(done),
          random_(config.seed * 7919u + 1u) {}

    void run() {
#if VORN_REALTIME_EDITOR
        // The editor is open all along, headless, on this thread: the user's hand drags a
        // cut-off knob and the editor follows everything else at every tick.
        VornInterface editor(plugin_);
        gui::OffscreenInterface screen(editor);
        editor.expand(VornInterface::kFilters);
        editor_ = &editor;
        screen_ = &screen;
#endif
        // The test's listener replaces the editor's, so that notifications are counted.
        plugin_.setEditorListener(&listener_);
        plugin_.setLearnParameter(MidiVirtualPluginParameter::kFirstId);
        const auto period =
            static_cast<int64_t>(std::lround(kUiPeriodSeconds * config_.sampleRate));
        int64_t next = period;
        for (int tick = 0; !done_.load(std::memory_order_acquire); ++tick) {
            while (renderedFrames_.load(std::memory_order_acquire) < next) {
                if (done_.load(std::memory_order_acquire)) return finish();
                std::this_thread::yield();
            }
            act(tick);
            servedFrames_.store(next, std::memory_order_release);
            next += period;
        }
        finish();
    }

private:
    void finish() {
        plugin_.setLearnParameter(-1);
        plugin_.setEditorListener(nullptr);
        result_.notifications = listener_.count;
    }

    void act(int tick) {
#if VORN_REALTIME_EDITOR
        editor_->idle();
        drive(tick);
#else
        plugin_.pump();
#endif
        for (MidiEvent e; plugin_.popEditorMidi(e);) ++result_.editorMidiEvents;
        using Action = void (UiThread::*)();
        static constexpr Action kActions[] = {&UiThread::edit, &UiThread::loadPreset,
                                              &UiThread::saveState, &UiThread::restoreState};
        (this->*kActions[tick % 4])();
    }

#if VORN_REALTIME_EDITOR
    // A drag on the first shown knob: press, move, release, over and over; a picture now and then.
    void drive(int tick) {
        if (knob_.x < 0) {
            for (size_t i = 0; i < editor_->learnableCount() && knob_.x < 0; ++i) {
                const gui::Component* c = editor_->learnableControl(i);
                if (!c->showing()) continue;
                const gui::Rect r = c->rootBounds();
                knob_ = {r.x + r.width / 2, r.y + r.height / 3};
            }
        }
        const int64_t time = tick * 40;
        const uint32_t left = gui::modifier::kLeftButton;
        switch (tick % 3) {
            case 0:
                editor_->mousePressed({knob_, left, time});
                break;
            case 1:
                editor_->mouseMoved({{knob_.x, knob_.y + (tick % 2 ? 30 : -30)}, left, time});
                break;
            default:
                editor_->mouseReleased({knob_, 0, time});
                ++result_.editorGestures;
        }
        if (tick % 8 == 0) screen_->render();
    }
#endif

    void edit() {
        std::uniform_int_distribution<int> ids(0, plugin_.getParameterCount() - 1);
        for (int k = 0; k < kEditsPerUiTick; ++k) {
            AbstractPluginParameter* p = plugin_.getParameter(ids(random_));
            p->setValue(randomValue(*p, random_), 0);
            ++result_.edits;
        }
    }

    void loadPreset() {
        if (config_.presetFiles.empty()) return edit();
        const std::string& path = config_.presetFiles[preset_++ % config_.presetFiles.size()];
        if (plugin_.loadPresetFile(path)) {
            ++result_.presetLoads;
        } else {
            ++result_.failedPresetLoads;
        }
    }

    void saveState() {
        state_ =
            ParameterRecord::encode(ParameterCollection::of(plugin_), VornPlugin::kStateVersion);
        ++result_.stateSaves;
    }

    // As a host restores a saved state: exactly the stored values, then the reset marker.
    void restoreState() {
        if (state_.empty()) return edit();
        BinaryMemoryReader reader{std::span<const uint8_t>(state_)};
        if (ParameterRecord::loadCollection(ParameterCollection::of(plugin_), reader,
                                            VornPlugin::kStateVersion)) {
            plugin_.resetProgramChange();
            plugin_.queueResetMarker();
            ++result_.stateRestores;
        } else {
            ++result_.failedStateRestores;
        }
    }

    VornPlugin& plugin_;
    const RealtimeLoadConfig& config_;
    RealtimeLoadResult& result_;
    const std::atomic<int64_t>& renderedFrames_;
    std::atomic<int64_t>& servedFrames_;
    const std::atomic<bool>& done_;
    std::mt19937 random_;
    CountingListener listener_;
#if VORN_REALTIME_EDITOR
    VornInterface* editor_ = nullptr;
    gui::OffscreenInterface* screen_ = nullptr;
    gui::Point knob_{-1, -1};
#endif
    std::vector<uint8_t> state_;
    size_t preset_ = 0;
};

}  // namespace

RealtimeLoadResult runRealtimeLoad(const RealtimeLoadConfig& config) {
    RealtimeLoadResult result;
    VornPlugin plugin;
    plugin.setSampleRate(config.sampleRate);
    // Channels 2-8 are MPE member channels: their notes, bends, pressure and controllers take the
    // per-note path, the other channels the plain one.
    plugin.mpeZones().configure(MpeZones::kLowerManager, 7);

    const int frames = config.blockFrames;
    std::vector<float> left(static_cast<size_t>(frames));
    std::vector<float> right(left.size());
    float* outputs[] = {left.data(), right.data()};
    const auto total = static_cast<int64_t>(std::llround(config.seconds * config.sampleRate));

    std::atomic<int64_t> renderedFrames{0};
    std::atomic<int64_t> servedFrames{0};
    std::atomic<bool> done{false};
    UiThread ui(plugin, config, result, renderedFrames, servedFrames, done);
    const auto uiPeriod = static_cast<int64_t>(std::lround(kUiPeriodSeconds * config.sampleRate));

    // Everything the audio thread calls is made before it starts: the host's parameter list and
    // the random streams.
    std::mt19937 random(config.seed);
    std::uniform_int_distribution<int> ids(0, plugin.getParameterCount() - 1);
    std::uniform_int_distribution<int> midiCount(0, kMaxMidiPerBlock);

    std::thread audio([&] {
        int64_t sinceAutomation = 0;
        for (int64_t rendered = 0; rendered < total; rendered += frames) {
            // Like a sound card's clock, the audio never runs far ahead of the UI: every run does
            // the same UI work however the two threads are scheduled.
            while (rendered > servedFrames.load(std::memory_order_acquire) + 2 * uiPeriod) {
                std::this_thread::yield();
            }
            {
                RealtimeScope scope;
                // A host's automation arrives on the audio thread before the block it belongs to.
                for (sinceAutomation += frames; sinceAutomation >= kAutomationFrames;
                     sinceAutomation -= kAutomationFrames) {
                    AbstractPluginParameter* p = plugin.getParameter(ids(random));
                    p->setValue(randomValue(*p, random), GenericPlugin::kFlagFromHost);
                }
                for (int n = midiCount(random); n > 0; --n) {
                    plugin.receiveMidi(n % 2 ? junkMidi(random, frames)
                                             : playedNote(random, frames));
                }
                plugin.processBlock(nullptr, 0, outputs, 2, frames);
                result.audio += scope.counts();
            }
            for (int i = 0; i < frames; ++i) {
                for (const float x :
                     {left[static_cast<size_t>(i)], right[static_cast<size_t>(i)]}) {
                    if (!std::isfinite(x)) {
                        if (result.firstNonFiniteBlock < 0) {
                            result.firstNonFiniteBlock = result.blocks;
                        }
                        ++result.nonFiniteSamples;
                    } else {
                        result.peak = std::max(result.peak, std::fabs(x));
                    }
                }
            }
            ++result.blocks;
            renderedFrames.store(rendered + frames, std::memory_order_release);
        }
        done.store(true, std::memory_order_release);
    });
    ui.run();
    audio.join();
    return result;
}
