#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "host/aax/sdk/AaxDelegates.h"
#include "host/aax/sdk/AaxTypes.h"

// A host parameter's real value in whichever type the parameter holds.
using AAX_ParameterValue = std::variant<float, int32_t, bool, double>;

class AAX_IParameter {
public:
    virtual ~AAX_IParameter() = default;

    virtual const std::string& Identifier() const = 0;
    virtual const std::string& Name() const = 0;
    virtual bool Automatable() const = 0;
    virtual int32_t GetNumberOfSteps() const = 0;
    virtual AAX_EParameterType GetType() const = 0;
    virtual double GetNormalizedValue() const = 0;
    virtual void SetNormalizedValue(double normalized) = 0;
    virtual double GetNormalizedDefaultValue() const = 0;
    virtual AAX_ParameterValue GetValue() const = 0;
    // False when the value is not of this parameter's type.
    virtual bool NormalizedFromValue(const AAX_ParameterValue& value, double* normalized) const = 0;
    virtual bool GetValueString(int32_t maxLength, std::string* text) const = 0;
    virtual bool GetNormalizedValueFromString(const std::string& text,
                                              double* normalized) const = 0;
};

template <typename T>
class AAX_CParameter : public AAX_IParameter {
public:
    AAX_CParameter(std::string identifier, std::string name, T defaultValue,
                   const AAX_ITaperDelegate<T>& taper, const AAX_IDisplayDelegate<T>& display,
                   bool automatable)
        : identifier_(std::move(identifier)),
          name_(std::move(name)),
          taper_(taper.Clone()),
          display_(display.Clone()),
          automatable_(automatable),
          defaultNormalized_(taper_->RealToNormalized(defaultValue)),
          normalized_(defaultNormalized_) {}

    void SetNumberOfSteps(int32_t steps) { steps_ = steps; }
    void SetType(AAX_EParameterType type) { type_ = type; }
    T GetRealValue() const { return taper_->NormalizedToReal(normalized_); }

    const std::string& Identifier() const override { return identifier_; }
    const std::string& Name() const override { return name_; }
    bool Automatable() const override { return automatable_; }
    int32_t GetNumberOfSteps() const override { return steps_; }
    AAX_EParameterType GetType() const override { return type_; }
    double GetNormalizedValue() const override { return normalized_; }
    void SetNormalizedValue(double normalized) override { normalized_ = normalized; }
    double GetNormalizedDefaultValue() const override { return defaultNormalized_; }
    AAX_ParameterValue GetValue() const override { return GetRealValue(); }
    bool NormalizedFromValue(const AAX_ParameterValue& value, double* normalized) const override {
        const T* real = std::get_if<T>(&value);
        if (!real) return false;
        *normalized = taper_->RealToNormalized(taper_->ConstrainRealValue(*real));
        return true;
    }
    bool GetValueString(int32_t maxLength, std::string* text) const override {
        return display_->ValueToString(GetRealValue(), maxLength, text);
    }
    bool GetNormalizedValueFromString(const std::string& text, double* normalized) const override {
        T real{};
        if (!display_->StringToValue(text, &real)) return false;
        *normalized = taper_->RealToNormalized(taper_->ConstrainRealValue(real));
        return true;
    }

private:
    std::string identifier_;
    std::string name_;
    std::unique_ptr<AAX_ITaperDelegate<T>> taper_;
    std::unique_ptr<AAX_IDisplayDelegate<T>> display_;
    bool automatable_;
    int32_t steps_ = 0;
    AAX_EParameterType type_ = AAX_EParameterType::Continuous;
    double defaultNormalized_;
    double normalized_;
};

// The host parameters of one effect, in the order they were added.
class AAX_CParameterManager {
public:
    void AddParameter(std::unique_ptr<AAX_IParameter> parameter);
    int32_t NumParameters() const { return static_cast<int32_t>(parameters_.size()); }
    AAX_IParameter* GetParameter(int32_t index) const;
    // Null when no parameter has the identifier.
    AAX_IParameter* GetParameterByID(AAX_CParamID identifier) const;

private:
    std::vector<std::unique_ptr<AAX_IParameter>> parameters_;
    std::map<std::string, AAX_IParameter*, std::less<>> byIdentifier_;
};
