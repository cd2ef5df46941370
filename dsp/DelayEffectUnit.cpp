#include "dsp/DelayEffectUnit.h"

#include <algorithm>
#include <cmath>

DelayEffectUnit::DelayEffectUnit(wave::Environment& env, const MultiDesignFilter::StyleList& styles)
    : MultiProducer(env, kSides) {
    for (auto& unit : designUnits_) unit = std::make_unique<DesignFilter>(env);
    for (int side = 0; side < kSides; ++side) {
        channels_[static_cast<size_t>(side)] = std::make_unique<Channel>(*this, env, side, styles);
    }
    for (int k = 0; k < kFilters; ++k) {
        filterSettings_[static_cast<size_t>(k)] = std::make_unique<FilterSettings>(
            env, std::array<MultiDesignFilter*, kSides>{&channel(0).filters().filter(k),
                                                        &channel(1).filters().filter(k)});
    }
    // Each side feeds the other through its cross feedback.
    for (int side = 0; side < kSides; ++side) {
        channel(side).feedbackMixer().setSignal(Channel::kCrossFeedbackInput,
                                                &channel(1 - side).gainAdjuster());
    }
    setDelayLevel(kDefaultDelayLevel, 0.0f, 0.0f);
    setDryLevel(kDefaultDryLevel, 0.0f, 0.0f);
    refresh(true);
}

DelayEffectUnit::~DelayEffectUnit() = default;

void DelayEffectUnit::setInput(int side, wave::Producer* signal) {
    channel(side).send_.setInput(signal);
}

void DelayEffectUnit::setTempo(float bpm) {
    if (std::fabs(bpm) <= DelayTimeController::kTempoEpsilon) return;
    tempo_ = bpm;
    for (auto& c : channels_) c->timeController_.setTempo(bpm);
}

void DelayEffectUnit::setLevels(Channel& left, Channel& right, int input, float level, float pan,
                                float timeMs) {
    left.outputMixer_.setGainTarget(input, level * (1.0f - std::max(pan, 0.0f)), timeMs);
    right.outputMixer_.setGainTarget(input, level * (1.0f + std::min(pan, 0.0f)), timeMs);
}

void DelayEffectUnit::setDelayLevel(float level, float pan, float timeMs) {
    setLevels(channel(0), channel(1), Channel::kWetInput, level, pan, timeMs);
}

void DelayEffectUnit::setDryLevel(float level, float pan, float timeMs) {
    setLevels(channel(0), channel(1), Channel::kDryInput, level, pan, timeMs);
}

void DelayEffectUnit::propertyChanged(const void* /*property*/) {
    refresh(false);
}

void DelayEffectUnit::refresh(bool immediate) {
    for (int side = 0; side < kSides; ++side) {
        Channel& c = channel(side);
        Channel& from = link.get() == kLinked ? channel(0) : c;
        c.follow(from, enabled, wetEnabled, tempo_, immediate);
        c.filters_.routing = filterRouting.get();
    }
}

void DelayEffectUnit::produceAll(float* const* /*buffers*/, const float** outputs, uint32_t frames,
                                 uint32_t flags) {
    for (int side = 0; side < kSides; ++side) {
        outputs[side] = channel(side).outputMixer_.pull(frames, flags);
    }
    for (auto& c : channels_) c->finishFadeOut(frames);
}

// --- FilterCombo ---

DelayEffectUnit::FilterCombo::FilterCombo(
    wave::Environment& env, int side,
    const std::array<std::unique_ptr<DesignFilter>, kFilters>& units,
    const MultiDesignFilter::StyleList& styles)
    : side_(side), parallel_(env), output_(env) {
    for (size_t k = 0; k < kFilters; ++k) {
        clean_[k] = std::make_unique<BiQuadFilter>(env);
        filters_[k] = std::make_unique<MultiDesignFilter>(env);
        filters_[k]->addEntries(*units[k], styles);
        filters_[k]->addEntry(*clean_[k]);
        parallel_.addEntry(kParallelWeight, filters_[k].get());
    }
    connect();
}

void DelayEffectUnit::FilterCombo::setInput(wave::Producer* input) {
    input_ = input;
    connect();
}

void DelayEffectUnit::FilterCombo::propertyChanged(const void* /*property*/) {
    connect();
}

void DelayEffectUnit::FilterCombo::connect() {
    MultiDesignFilter& first = *filters_[0];
    MultiDesignFilter& second = *filters_[1];
    first.setInput(input_);
    switch (routing.get()) {
        case kParallel:
            second.setInput(input_);
            output_.setInput(&parallel_);
            break;
        case kPerDelay:
            second.setInput(input_);
            output_.setInput(side_ == 0 ? &first : &second);
            break;
        default:
            second.setInput(&first);
            output_.setInput(&second);
            break;
    }
}

// --- Channel ---

DelayEffectUnit::Channel::Channel(DelayEffectUnit& unit, wave::Environment& env, int side,
                                  const MultiDesignFilter::StyleList& styles)
    : unit_(&unit),
      send_(env),
      time_(env, kDefaultTime),
      offset_(env, 1.0f),
      feedback_(env, kDefaultFeedback),
      crossFeedback_(env, 0.0f),
      timeInput_(&time_),
      offsetInput_(&offset_),
      feedbackInput_(&feedback_),
      crossFeedbackInput_(&crossFeedback_),
      timeController_(env),
      ultraShortController_(env),
      mainLine_(env, kMainLineTime, DelayLine::Order::kReadBeforeWrite),
      ultraShortLine_(env, kUltraShortLineTime, DelayLine::Order::kWriteBeforeRead),
      lineSelector_(env),
      preFilterSelector_(env),
      filters_(env, side, unit.designUnits_, styles),
      lineEnvelope_(env),
      filterEnvelope_(env),
      gainAdjuster_(env),
      feedbackMixer_(env, 3),
      loopLimiter_(env),
      wetMixer_(env, 1),
      outputMixer_(env, 2) {
    time_.ramp().setLimits(DelayTimeController::kMinTime, DelayTimeController::kMaxTime);
    offset_.ramp().setLimits(kMinOffset, kMaxOffset);
    feedback_.ramp().setLimits(0.0f, kMaxFeedback);
    crossFeedback_.ramp().setLimits(0.0f, kMaxFeedback);

    loopLimiter_.setInput(&feedbackMixer_);
    mainLine_.setInput(&loopLimiter_);
    mainLine_.setTimeInput(&timeController_);
    ultraShortLine_.setInput(&send_);
    ultraShortLine_.setTimeInput(&ultraShortController_);
    lineSelector_.setSignal(kMainLine, &mainLine_);
    lineSelector_.setSignal(kUltraShortLine, &ultraShortLine_);
    lineSelector_.selectNow(kMainLine);
    preFilterSelector_.setSignal(kSendSignal, &send_);
    preFilterSelector_.setSignal(kDelaySignal, &lineSelector_);
    preFilterSelector_.selectNow(kDelaySignal);
    filters_.setInput(&preFilterSelector_);

    // The limiter compares the level before and after the filters.
    for (SignalSmoother* envelope : {&lineEnvelope_, &filterEnvelope_}) {
        envelope->frequency = kEnvelopeFrequency;
        envelope->rectify = true;
        env.registerReset(envelope);
    }
    lineEnvelope_.setInput(&lineSelector_);
    filterEnvelope_.setInput(&filters_.output());
    gainAdjuster_.setInput(&filters_.output());
    gainAdjuster_.setReferenceEnvelope(&lineEnvelope_);
    gainAdjuster_.setMeasuredEnvelope(&filterEnvelope_);

    feedbackMixer_.setSignal(kSendInput, &send_);
    feedbackMixer_.setSignal(kFeedbackInput, &gainAdjuster_);
    wetMixer_.setSignal(0, &filters_.output());
    outputMixer_.setSignal(kWetInput, &wetMixer_);
    outputMixer_.setSignal(kDryInput, &send_);
}

void DelayEffectUnit::Channel::setTimeInput(wave::Producer* p) {
    timeInput_ = p ? p : &time_;
    unit_->refresh(false);
}

void DelayEffectUnit::Channel::setOffsetInput(wave::Producer* p) {
    offsetInput_ = p ? p : &offset_;
    unit_->refresh(false);
}

void DelayEffectUnit::Channel::setFeedbackInput(wave::Producer* p) {
    feedbackInput_ = p ? p : &feedback_;
    unit_->refresh(false);
}

void DelayEffectUnit::Channel::setCrossFeedbackInput(wave::Producer* p) {
    crossFeedbackInput_ = p ? p : &crossFeedback_;
    unit_->refresh(false);
}

void DelayEffectUnit::Channel::propertyChanged(const void* /*property*/) {
    unit_->refresh(false);
}

void DelayEffectUnit::Channel::follow(Channel& from, bool sectionOn, bool wetOn, float tempo,
                                      bool immediate) {
    timeController_.setTimeInput(from.timeInput_);
    timeController_.setOffsetInput(from.offsetInput_);
    timeController_.setMode(from.sync);
    timeController_.setTempo(tempo);
    if (immediate) timeController_.base().ramp().finish();
    ultraShortController_.setTimeInput(from.timeInput_);
    feedbackMixer_.setGain(kFeedbackInput, from.feedbackInput_);
    feedbackMixer_.setGain(kCrossFeedbackInput, from.crossFeedbackInput_);

    const int line = from.sync == DelayTimeController::kUltraShort ? kUltraShortLine : kMainLine;
    const int filtered = from.enabled ? kDelaySignal : kSendSignal;
    if (immediate) {
        lineSelector_.selectNow(line);
        preFilterSelector_.selectNow(filtered);
    } else {
        lineSelector_.setSelection(line);
        preFilterSelector_.setSelection(filtered);
    }

    const bool on = sectionOn && from.enabled;
    wetMixer_.setGainTarget(0, on && wetOn ? 1.0f : 0.0f, immediate ? 0.0f : -1.0f);
    if (on) {
        setLinesRunning(true);
        fadingOut_ = false;
    } else if (immediate) {
        setLinesRunning(false);
        fadingOut_ = false;
    } else {
        // The lines keep running until the wet signal has faded out.
        fadingOut_ = linesRunning();
    }
}

void DelayEffectUnit::Channel::setLinesRunning(bool on) {
    wave::Environment& env = mainLine_.environment();
    env.setEnabled(&mainLine_, on);
    env.setEnabled(&ultraShortLine_, on);
}

void DelayEffectUnit::Channel::finishFadeOut(uint32_t frames) {
    if (!fadingOut_) return;
    wave::FloatParameterSource& wet = wetMixer_.gainSource(0);
    wet.pull(frames, 0);  // up to date even when nobody listened to the wet signal
    if (wet.ramp().isGliding()) return;
    setLinesRunning(false);
    fadingOut_ = false;
}

// --- FilterSettings ---

DelayEffectUnit::FilterSettings::FilterSettings(wave::Environment& env,
                                                std::array<MultiDesignFilter*, kSides> filters)
    : filters_(filters),
      frequency_(env, kDefaultFrequency),
      pan_(env, 0.0f),
      peak_(env, GenericFilter::kDefaultPeak) {
    frequency_.ramp().setLimits(0.0f, GenericFilter::kMaxFrequency);
    pan_.ramp().setLimits(-kMaxPan, kMaxPan);
    peak_.ramp().setLimits(0.0f, 1.0f);
    for (size_t side = 0; side < kSides; ++side) {
        auto mixer = std::make_unique<wave::Mixer>(env, 2);
        mixer->setMode(
            static_cast<int>(side == 0 ? wave::MixMode::kSum : wave::MixMode::kDifference));
        mixer->setSignal(0, &frequency_);
        mixer->setSignal(1, &pan_);
        filters_[side]->setFrequencyInput(mixer.get());
        filters_[side]->setPeakInput(&peak_);
        sideFrequency_[side] = std::move(mixer);
    }
    apply(true);
}

void DelayEffectUnit::FilterSettings::propertyChanged(const void* /*property*/) {
    apply(false);
}

void DelayEffectUnit::FilterSettings::apply(bool immediate) {
    for (MultiDesignFilter* f : filters_) {
        f->setCharacteristic(characteristic);
        f->setResponse(response);
        f->setSlope(slope);
        // A switched-off filter passes its input, faded like any other change.
        f->defaultMix().setTarget(enabled ? 1.0f : 0.0f, immediate ? 0.0f : -1.0f);
    }
}
