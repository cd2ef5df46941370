#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "dsp/BiQuadFilter.h"
#include "dsp/DelayLine.h"
#include "dsp/DelayTimeController.h"
#include "dsp/DesignFilter.h"
#include "dsp/GainAdjuster.h"
#include "dsp/MultiDesignFilter.h"
#include "dsp/SignalSmoother.h"
#include "dsp/SoftLimiter.h"
#include "framework/Property.h"
#include "wave/FloatParameterSource.h"
#include "wave/Mixer.h"
#include "wave/MultiProducer.h"
#include "wave/Router.h"
#include "wave/StaticMixer.h"

// The stereo delay after the voice mix. Each side ("Delay L", "Delay R") has a main line of up to
// 5 s with feedback and cross feedback, an ultra-short line of up to 50 ms without feedback, two
// delay filters and an envelope-ratio limiter in its feedback path. Output k is
// Delay Level * wet + Dry Level * send of side k.
//
// Every input takes engine values: times in ms, Offset as a factor, feedback gains 0..2, filter
// frequencies in octaves above 1 Hz.
class DelayEffectUnit : public wave::MultiProducer, public PropertyOwner {
public:
    class FilterCombo;
    class Channel;
    class FilterSettings;

    static constexpr int kSides = 2;
    static constexpr int kFilters = 2;

    enum Link : int { kSeparate = 0, kLinked = 1 };
    static constexpr const char* kLinkNames = "Separate,Linked";
    enum Routing : int { kSerial = 0, kParallel = 1, kPerDelay = 2 };
    static constexpr const char* kRoutingNames = "Serial,Parallel,Per Delay";

    static constexpr float kMainLineTime = 5000.0f;      // ms
    static constexpr float kUltraShortLineTime = 50.0f;  // ms
    static constexpr float kDefaultTime = 350.0f;        // ms
    static constexpr float kMinOffset = 0.5f;
    static constexpr float kMaxOffset = 2.0f;
    static constexpr float kMaxFeedback = 2.0f;
    static constexpr float kDefaultFeedback = 0.32f;
    static constexpr float kDefaultTempo = 120.0f;  // BPM, until the host tells
    static constexpr float kDefaultDelayLevel = 0.5f;
    static constexpr float kDefaultDryLevel = 1.0f;
    static constexpr float kEnvelopeFrequency = 5.0f;  // Hz, of the feedback limiter

    // styles: the ten state-variable characteristics, in the order of the " Characteristic"
    // parameter; "Clean" follows them as each filter's own kernel.
    DelayEffectUnit(wave::Environment& env, const MultiDesignFilter::StyleList& styles);
    ~DelayEffectUnit() override;

    // The send signal of each side (the voice mix).
    void setInput(int side, wave::Producer* signal);
    Channel& channel(int side) { return *channels_[static_cast<size_t>(side)]; }
    // "Delay Filter 1" and "Delay Filter 2".
    FilterSettings& filterSettings(int k) { return *filterSettings_[static_cast<size_t>(k)]; }

    // "Delay Link": Linked makes the right side use the left side's settings.
    Property<int> link{this, kSeparate};
    // "Delay Filter Routing".
    Property<int> filterRouting{this, kSerial};
    // "Delay Enabled", the whole section.
    Property<bool> enabled{this, false};
    // "Wet Enabled".
    Property<bool> wetEnabled{this, true};

    // Host tempo in beats per minute, for the synchronized sides; 0 is ignored.
    void setTempo(float bpm);
    float tempo() const { return tempo_; }
    // "Delay Level"/"Delay Pan" and "Dry Level"/"Dry Pan": panning lowers the other side only.
    // They set the own gain sources of the output mixers; a modulated level replaces them there.
    void setDelayLevel(float level, float pan, float timeMs = -1.0f);
    void setDryLevel(float level, float pan, float timeMs = -1.0f);

    void produceAll(float* const* buffers, const float** outputs, uint32_t frames,
                    uint32_t flags) override;
    void propertyChanged(const void* property) override;

private:
    friend class Channel;
    // Applies link, sync, enabled and routing settings to both sides.
    void refresh(bool immediate);
    static void setLevels(Channel& left, Channel& right, int input, float level, float pan,
                          float timeMs);

    std::array<std::unique_ptr<DesignFilter>, kFilters> designUnits_;
    std::array<std::unique_ptr<Channel>, kSides> channels_;
    std::array<std::unique_ptr<FilterSettings>, kFilters> filterSettings_;
    float tempo_ = kDefaultTempo;
};

// The two delay filters of one side under the section's routing: Serial (F1 into F2), Parallel
// (the mean of both) or Per Delay (the left side F1 only, the right side F2 only).
class DelayEffectUnit::FilterCombo : public PropertyOwner {
public:
    FilterCombo(wave::Environment& env, int side,
                const std::array<std::unique_ptr<DesignFilter>, kFilters>& units,
                const MultiDesignFilter::StyleList& styles);

    Property<int> routing{this, kSerial};

    void setInput(wave::Producer* input);
    MultiDesignFilter& filter(int k) { return *filters_[static_cast<size_t>(k)]; }
    wave::Producer& output() { return output_; }

    void propertyChanged(const void* property) override;

private:
    static constexpr float kParallelWeight = 0.5f;

    void connect();

    int side_;
    wave::Producer* input_ = nullptr;
    std::array<std::unique_ptr<BiQuadFilter>, kFilters> clean_;
    std::array<std::unique_ptr<MultiDesignFilter>, kFilters> filters_;
    wave::StaticMixer parallel_;
    wave::Forwarder output_;
};

// One side of the delay.
class DelayEffectUnit::Channel : public PropertyOwner {
public:
    static constexpr int kSendInput = 0;
    static constexpr int kFeedbackInput = 1;
    static constexpr int kCrossFeedbackInput = 2;
    static constexpr int kWetInput = 0;
    static constexpr int kDryInput = 1;
    static constexpr int kMainLine = 0;
    static constexpr int kUltraShortLine = 1;
    static constexpr int kSendSignal = 0;
    static constexpr int kDelaySignal = 1;

    Channel(DelayEffectUnit& unit, wave::Environment& env, int side,
            const MultiDesignFilter::StyleList& styles);

    // " Sync": DelayTimeController::Mode.
    Property<int> sync{this, DelayTimeController::kFree};
    // " Enabled".
    Property<bool> enabled{this, true};

    // The ramped engine values of " Time" (ms), " Offset" (factor), " Feedback" and
    // " Cross Feedback" (gains 0..2).
    wave::FloatParameterSource& time() { return time_; }
    wave::FloatParameterSource& offset() { return offset_; }
    wave::FloatParameterSource& feedback() { return feedback_; }
    wave::FloatParameterSource& crossFeedback() { return crossFeedback_; }
    // Modulated replacements of the sources above; null restores the own source.
    void setTimeInput(wave::Producer* p);
    void setOffsetInput(wave::Producer* p);
    void setFeedbackInput(wave::Producer* p);
    void setCrossFeedbackInput(wave::Producer* p);

    DelayLine& mainLine() { return mainLine_; }
    DelayLine& ultraShortLine() { return ultraShortLine_; }
    DelayTimeController& timeController() { return timeController_; }
    DelayTimeUltraShortController& ultraShortController() { return ultraShortController_; }
    wave::Router& lineSelector() { return lineSelector_; }
    wave::Router& preFilterSelector() { return preFilterSelector_; }
    FilterCombo& filters() { return filters_; }
    GainAdjuster& gainAdjuster() { return gainAdjuster_; }
    wave::Mixer& feedbackMixer() { return feedbackMixer_; }
    wave::Mixer& wetMixer() { return wetMixer_; }
    // Input kWetInput with the Delay Level gain, kDryInput with the Dry Level gain.
    wave::Mixer& outputMixer() { return outputMixer_; }
    // Whether the lines run (they stop once the wet signal has faded out).
    bool linesRunning() const { return mainLine_.isEnabled(); }

    void propertyChanged(const void* property) override;

private:
    friend class DelayEffectUnit;

    // Takes the settings of `from` (this side, or the left side when linked).
    void follow(Channel& from, bool sectionOn, bool wetOn, float tempo, bool immediate);
    void setLinesRunning(bool on);
    // Stops the lines once a fade-out of the wet signal has ended.
    void finishFadeOut(uint32_t frames);

    DelayEffectUnit* unit_;
    wave::Forwarder send_;
    wave::FloatParameterSource time_;
    wave::FloatParameterSource offset_;
    wave::FloatParameterSource feedback_;
    wave::FloatParameterSource crossFeedback_;
    wave::Producer* timeInput_;
    wave::Producer* offsetInput_;
    wave::Producer* feedbackInput_;
    wave::Producer* crossFeedbackInput_;
    DelayTimeController timeController_;
    DelayTimeUltraShortController ultraShortController_;
    DelayLine mainLine_;
    DelayLine ultraShortLine_;
    wave::Router lineSelector_;
    wave::Router preFilterSelector_;
    FilterCombo filters_;
    SignalSmoother lineEnvelope_;
    SignalSmoother filterEnvelope_;
    GainAdjuster gainAdjuster_;
    wave::Mixer feedbackMixer_;
    // Feedback past 100 % saturates here instead of growing without bound.
    SoftLimiter loopLimiter_;
    wave::Mixer wetMixer_;
    wave::Mixer outputMixer_;
    bool fadingOut_ = false;
};

// One delay filter ("Delay Filter 1" or "Delay Filter 2") as both sides use it: the left side's
// cut-off is Freq + Pan, the right side's Freq - Pan (octaves); Peak, characteristic, response,
// slope and the switch are shared. Both sides share one DesignFilter, as two of its lanes.
class DelayEffectUnit::FilterSettings : public PropertyOwner {
public:
    static constexpr float kDefaultFrequency = 16.2064f;  // octaves above 1 Hz
    static constexpr float kMaxPan = 3.5f;                // octaves
    static constexpr int kDefaultCharacteristic = 1;      // "Gentle"

    FilterSettings(wave::Environment& env, std::array<MultiDesignFilter*, kSides> filters);

    wave::FloatParameterSource& frequency() { return frequency_; }
    wave::FloatParameterSource& pan() { return pan_; }
    wave::FloatParameterSource& peak() { return peak_; }
    // The cut-off of one side's filter (a modulated target may feed the filter instead).
    wave::Mixer& sideFrequency(int side) { return *sideFrequency_[static_cast<size_t>(side)]; }

    // " Characteristic" (0..10, 10 = "Clean"), " Response", " Slope" and " Enabled".
    Property<int> characteristic{this, kDefaultCharacteristic};
    Property<int> response{this, GenericFilter::kLowPass};
    Property<int> slope{this, GenericFilter::kSlope12};
    Property<bool> enabled{this, true};

    void propertyChanged(const void* property) override;

private:
    void apply(bool immediate);

    std::array<MultiDesignFilter*, kSides> filters_;
    wave::FloatParameterSource frequency_;
    wave::FloatParameterSource pan_;
    wave::FloatParameterSource peak_;
    std::array<std::unique_ptr<wave::Mixer>, kSides> sideFrequency_;
};
