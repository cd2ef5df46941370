#pragma once

#include <string>
#include <vector>

class FloatParameterDisplay;

// A word a number may be typed with: the number is multiplied by factor, then converted.
struct UnitAlias {
    std::string name;
    float factor = 1.0f;
    float (*convert)(float) = nullptr;  // none: identity

    float apply(float number) const {
        const float scaled = number * factor;
        return convert ? convert(scaled) : scaled;
    }
};

// A unit family shared by many continuous parameters; its name is its first alias. Units are
// process-wide and immutable.
class FloatPluginParameterUnit {
public:
    explicit FloatPluginParameterUnit(std::vector<UnitAlias> aliases);
    virtual ~FloatPluginParameterUnit() = default;
    FloatPluginParameterUnit(const FloatPluginParameterUnit&) = delete;
    FloatPluginParameterUnit& operator=(const FloatPluginParameterUnit&) = delete;

    // Sets what the unit decides about display (formatter, transform, format).
    virtual void configureDisplay(FloatParameterDisplay& /*display*/) const {}

    const std::string& name() const { return aliases_.front().name; }
    const std::vector<UnitAlias>& aliases() const { return aliases_; }
    // The first alias equal to word ignoring case, null when none.
    const UnitAlias* findAlias(const std::string& word) const;

private:
    std::vector<UnitAlias> aliases_;
};

class FreqParameterUnit : public FloatPluginParameterUnit {
public:
    FreqParameterUnit();
    void configureDisplay(FloatParameterDisplay& display) const override;
};

// Frequency parameters whose engine value is in octaves above 1 Hz.
class ExpFreqParameterUnit : public FreqParameterUnit {
public:
    void configureDisplay(FloatParameterDisplay& display) const override;
};

class MsParameterUnit : public FloatPluginParameterUnit {
public:
    MsParameterUnit();
};

class SecParameterUnit : public FloatPluginParameterUnit {
public:
    SecParameterUnit();
};

// Decibels; a ratio may be typed with "x" or "*" ("2 x" is +6.02 dB).
class DBParameterUnitBase : public FloatPluginParameterUnit {
public:
    DBParameterUnitBase();
};

class DBParameterUnit : public DBParameterUnitBase {
public:
    void configureDisplay(FloatParameterDisplay& display) const override;
};

// Decibel ranges that are never silent: plain two decimals instead of the dB formatter.
class DBRangeParameterUnit : public DBParameterUnitBase {
public:
    void configureDisplay(FloatParameterDisplay& display) const override;
};

// Engine value in octaves, shown in semitones.
class OctavesParameterUnit : public FloatPluginParameterUnit {
public:
    OctavesParameterUnit();
    void configureDisplay(FloatParameterDisplay& display) const override;
};

class PercentParameterUnit : public FloatPluginParameterUnit {
public:
    PercentParameterUnit();
    void configureDisplay(FloatParameterDisplay& display) const override;
};

// The process-wide units.
const FreqParameterUnit& hzParameterUnit();  // "Hz"
const ExpFreqParameterUnit& expFreqParameterUnit();
const MsParameterUnit& msParameterUnit();
const SecParameterUnit& secParameterUnit();
const DBParameterUnit& dbParameterUnit();
const DBRangeParameterUnit& dbRangeParameterUnit();
const OctavesParameterUnit& octavesParameterUnit();  // "semitones"
const PercentParameterUnit& percentParameterUnit();

// The registry: "Hz", "ms", "sec", "dB", "semitones", "%" in that order, matched ignoring case;
// null when no unit has that name.
const FloatPluginParameterUnit* findParameterUnit(const std::string& name);
