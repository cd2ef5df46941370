#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "framework/AbstractPluginParameter.h"
#include "host/aax/sdk/AaxDelegates.h"

// Tapers and texts of the host parameters, taken from the synthesizer parameter each one stands
// for. A continuous parameter's real value is its plain value; an indexed parameter's is its
// state, the plain value minus the minimum.
template <typename T>
class ParamTaperDelegate;

template <>
class ParamTaperDelegate<float> : public AAX_ITaperDelegate<float> {
public:
    explicit ParamTaperDelegate(const AbstractPluginParameter& parameter) : parameter_(parameter) {}

    std::unique_ptr<AAX_ITaperDelegate<float>> Clone() const override {
        return std::make_unique<ParamTaperDelegate>(*this);
    }
    float ConstrainRealValue(float value) const override;
    float NormalizedToReal(double normalized) const override;
    double RealToNormalized(float value) const override;

private:
    const AbstractPluginParameter& parameter_;
};

template <typename T>
class ParamDisplayDelegate;

template <>
class ParamDisplayDelegate<float> : public AAX_IDisplayDelegate<float> {
public:
    explicit ParamDisplayDelegate(const AbstractPluginParameter& parameter)
        : parameter_(parameter) {}

    std::unique_ptr<AAX_IDisplayDelegate<float>> Clone() const override {
        return std::make_unique<ParamDisplayDelegate>(*this);
    }
    bool ValueToString(float value, int32_t maxLength, std::string* text) const override;
    bool StringToValue(const std::string& text, float* value) const override;

private:
    const AbstractPluginParameter& parameter_;
};

template <>
class ParamDisplayDelegate<int32_t> : public AAX_IDisplayDelegate<int32_t> {
public:
    explicit ParamDisplayDelegate(const AbstractPluginParameter& parameter)
        : parameter_(parameter) {}

    std::unique_ptr<AAX_IDisplayDelegate<int32_t>> Clone() const override {
        return std::make_unique<ParamDisplayDelegate>(*this);
    }
    bool ValueToString(int32_t state, int32_t maxLength, std::string* text) const override;
    bool StringToValue(const std::string& text, int32_t* state) const override;

private:
    int32_t minimum() const { return static_cast<int32_t>(parameter_.getMinimum()); }

    const AbstractPluginParameter& parameter_;
};
