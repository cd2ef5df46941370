#pragma once

#include <atomic>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "dsp/FilterSettingTable.h"
#include "dsp/StateVariableFilter.h"
#include "framework/Property.h"

// A state-variable filter coloured by a filter characteristic (Style): drive, saturation and
// resonance come from the Style's tables over (cut-off, peak).
class DesignFilter : public StateVariableFilter {
public:
    class Style;

    explicit DesignFilter(wave::Environment& env, const Style* style = nullptr);

    // The state persists across a change of Style. It is held after the input gain, so it is
    // rescaled to the new gain: the output continues without a jump.
    void setStyle(const Style* style);
    const Style* style() const { return style_; }

    Coefficients lookup(float frequency, float peak) override;
    float inputGain() const override;
    const FunctionTable& clipTable() const override;

    // Off: the own drive, saturation and resonance below replace the Style's tables.
    void setUseStyle(bool on) { useStyle_ = on; }
    bool usesStyle() const { return useStyle_; }
    LimitedProperty<float> drive{nullptr, 0.1f, 10.0f, StateVariableFilter::kMinDrive};
    LimitedProperty<float> saturation{nullptr, 0.0f, 0.1f, 0.0f};
    LimitedProperty<float> resonance{nullptr, 0.0f, 5.0f, 0.0f};
    // Below this resonance the own saturation is not applied.
    static constexpr float kOwnSaturationThreshold = 0.1f;

    // The last (frequency, peak) looked up, for display on other threads.
    float lastFrequency() const { return lastFrequency_.load(std::memory_order_relaxed); }
    float lastPeak() const { return lastPeak_.load(std::memory_order_relaxed); }

private:
    const Style* style_;
    bool useStyle_ = true;
    std::atomic<float> lastFrequency_{0.0f};
    std::atomic<float> lastPeak_{0.0f};
};

// One filter characteristic: clip shape, frequency axis, the drive, saturation and resonance
// tables and the input gain. Read from a "QVil" resource; read-only while audio runs.
class DesignFilter::Style : public PropertyOwner {
public:
    static constexpr int kTableSize = FilterSettingTable::kDefaultSize;
    static constexpr float kDefaultClipShape = 0.3f;
    static constexpr float kDefaultLowOctave = 2.2666f;
    static constexpr float kDefaultHighOctave = 16.2064f;
    // The built-in mapping used without a file.
    static constexpr float kBuiltInDrive = 0.1f;
    static constexpr float kBuiltInMaxResonance = 0.999f;
    static constexpr char kTag[] = "QVil";
    static constexpr int kMaxTableSize = 64;

    // The built-in mapping, replaced by the tables in `bytes` (the characteristic's resource,
    // opened by the caller) when they are a valid "QVil" file.
    Style(std::string_view fileName, float inputGain, std::span<const uint8_t> bytes = {});
    Style(const Style&) = delete;
    Style& operator=(const Style&) = delete;

    // Reads a "QVil" file; on a wrong tag or short data returns false and changes nothing.
    bool load(std::span<const uint8_t> bytes);

    const std::string& fileName() const { return fileName_; }
    float inputGain() const { return inputGain_; }
    const FilterSettingTable& driveTable() const { return driveTable_; }
    const FilterSettingTable& saturationTable() const { return saturationTable_; }
    const FilterSettingTable& resonanceTable() const { return resonanceTable_; }
    const StateVariableFilter::ClipTable& clipTable() const { return clipTable_; }

    // frequency in octaves above 1 Hz, peak 0..1.
    StateVariableFilter::Coefficients lookup(float frequency, float peak) const;

    Property<float> clipShape{this, kDefaultClipShape};
    Property<float> lowOctave{this, kDefaultLowOctave};
    Property<float> highOctave{this, kDefaultHighOctave};

    void propertyChanged(const void* property) override;

private:
    void updateAxis();

    std::string fileName_;
    float inputGain_;
    float axisScale_ = 0.0f;
    StateVariableFilter::ClipTable clipTable_{kDefaultClipShape};
    FilterSettingTable driveTable_;
    FilterSettingTable saturationTable_;
    FilterSettingTable resonanceTable_;
};
