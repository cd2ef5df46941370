#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/host/aax/AaxTestHost.h"

namespace {

class AaxParameters : public ::testing::Test {
protected:
    AaxParameters() : host_(stereoEffect()) {}

    VornPlugin& plugin() { return host_.plugin(); }
    AaxPluginAdapter& adapter() { return host_.adapter(); }
    // The first parameter of a kind whose minimum and span reach the given ones.
    AbstractPluginParameter* firstOf(int kind, float minimum = -1e9f, float span = 0.0f) {
        for (int id = 0; id < plugin().getParameterCount(); ++id) {
            AbstractPluginParameter* p = plugin().getParameter(id);
            if (p->kind() == kind && p->getMinimum() >= minimum &&
                p->getMaximum() - p->getMinimum() >= span)
                return p;
        }
        return nullptr;
    }

    AaxTestInstance host_;
};

}  // namespace

TEST_F(AaxParameters, EverySynthParameterFollowsTheMasterBypass) {
    ASSERT_EQ(plugin().getParameterCount(), 883);
    ASSERT_EQ(adapter().GetNumberOfParameters(), 884);

    const AAX_IParameter& bypass = *adapter().GetParameterByIndex(0);
    EXPECT_EQ(bypass.Identifier(), "MasterBypassID");
    EXPECT_EQ(bypass.Name(), "Master Bypass");
    EXPECT_EQ(bypass.GetNumberOfSteps(), 2);
    EXPECT_EQ(bypass.GetType(), AAX_EParameterType::Discrete);
    EXPECT_TRUE(bypass.Automatable());
    EXPECT_EQ(bypass.GetNormalizedDefaultValue(), 0.0);
    std::string text;
    for (const auto& [value, expected] : {std::pair(0.0, "bypass"), std::pair(1.0, "on")}) {
        host_.automate("MasterBypassID", value);
        EXPECT_EQ(adapter().GetParameterValueString("MasterBypassID", 31, &text), AAX_SUCCESS);
        EXPECT_EQ(text, expected);
    }

    for (int id = 0; id < plugin().getParameterCount(); ++id) {
        const AbstractPluginParameter& synth = *plugin().getParameter(id);
        const AAX_IParameter& host = *adapter().GetParameterByIndex(id + 1);  // after the bypass
        SCOPED_TRACE(synth.name());
        ASSERT_EQ(host.Identifier(), std::to_string(id));
        EXPECT_EQ(host.Name(), synth.name());
        EXPECT_EQ(host.Automatable(), synth.isAutomatable());
        const double normalized = synth.plainToNormalized(synth.getValue());
        EXPECT_NEAR(host.GetNormalizedDefaultValue(), normalized, 1e-6);
        EXPECT_NEAR(host.GetNormalizedValue(), normalized, 1e-6);
        if (synth.kind() == AbstractPluginParameter::kContinuous) {
            EXPECT_EQ(host.GetNumberOfSteps(), 36000);
            EXPECT_EQ(host.GetType(), AAX_EParameterType::Continuous);
            EXPECT_EQ(std::get<float>(host.GetValue()), synth.getValue());
        } else {
            const int minimum = static_cast<int>(synth.getMinimum());
            EXPECT_EQ(host.GetNumberOfSteps(), static_cast<int>(synth.getMaximum()) + 1 - minimum);
            EXPECT_EQ(host.GetType(), AAX_EParameterType::Discrete);
            EXPECT_EQ(std::get<int32_t>(host.GetValue()),
                      static_cast<int>(synth.getValue()) - minimum);
        }
    }
}

// Texts come from the synth parameter; an indexed one's host states count from its minimum.
TEST_F(AaxParameters, TextsAndIndexedStates) {
    std::string text;
    double normalized = -1.0;
    AbstractPluginParameter* p = firstOf(AbstractPluginParameter::kContinuous);
    const std::string continuous = std::to_string(p->id());
    ASSERT_EQ(adapter().GetParameterValueString(continuous, 64, &text), AAX_SUCCESS);
    EXPECT_EQ(text, p->formatValue(p->getValue()));
    ASSERT_EQ(adapter().GetParameterValueString(continuous, 3, &text), AAX_SUCCESS);
    EXPECT_EQ(text, p->formatValue(p->getValue()).substr(0, 3));

    const std::string typed = p->formatValue(p->normalizedToPlain(0.5f));
    ASSERT_EQ(adapter().GetParameterValueFromString(continuous, typed, &normalized), AAX_SUCCESS);
    EXPECT_NEAR(normalized, 0.5, 1e-3);
    EXPECT_EQ(adapter().GetParameterValueFromString(continuous, "no number", &normalized),
              AAX_ERROR_INVALID_ARGUMENT);

    // An indexed parameter whose minimum is above 0: host states count from it.
    AbstractPluginParameter* indexed = firstOf(AbstractPluginParameter::kIndexed, 1.0f, 2.0f);
    ASSERT_NE(indexed, nullptr);
    const std::string id = std::to_string(indexed->id());
    const int minimum = static_cast<int>(indexed->getMinimum());
    const int span = static_cast<int>(indexed->getMaximum()) - minimum;
    for (int state = 0; state <= span; ++state) {
        host_.automate(id, static_cast<double>(state) / span);
        EXPECT_EQ(indexed->getValue(), static_cast<float>(minimum + state));
        ASSERT_EQ(adapter().GetParameterValueString(id, 64, &text), AAX_SUCCESS);
        EXPECT_EQ(text, indexed->formatValue(static_cast<float>(minimum + state)));
        ASSERT_EQ(adapter().GetParameterValueFromString(id, text, &normalized), AAX_SUCCESS);
        EXPECT_DOUBLE_EQ(normalized, static_cast<double>(state) / span);
    }
}

TEST_F(AaxParameters, HostValueWithinTheCurrentStepLeavesTheSynthAlone) {
    // The offset rounds to nearest and moves a value just below a step boundary onto it.
    const std::pair<double, int> steps[] = {{0.0, 0},
                                            {-0.5, 0},
                                            {1.0, 35999},
                                            {2.0, 35999},
                                            {0.5, 18000},
                                            {1.0 / 35999 - 1e-5, 1},
                                            {1.0 / 35999 - 2e-5, 0}};
    for (const auto& [normalized, step] : steps)
        EXPECT_EQ(AaxPluginAdapter::quantizeStep(normalized), step) << normalized;

    AbstractPluginParameter* p = firstOf(AbstractPluginParameter::kContinuous);
    ASSERT_NE(p, nullptr);
    const std::string id = std::to_string(p->id());
    host_.automate(id, 0.25);
    const float settled = p->getValue();
    EXPECT_FLOAT_EQ(settled, p->normalizedToPlain(0.25f));

    const int32_t updates = adapter().GetParameterUpdateCount();
    host_.automate(id, 0.25 + 4e-6);  // differs in the sixth decimal, same step
    EXPECT_EQ(p->getValue(), settled);
    // The host parameter itself takes the value.
    double hostValue = 0.0;
    adapter().GetParameterNormalizedValue(id, &hostValue);
    EXPECT_DOUBLE_EQ(hostValue, 0.25 + 4e-6);
    EXPECT_EQ(adapter().GetParameterUpdateCount(), updates + 1);

    host_.automate(id, 0.25 + 2.0 / 35999);  // two steps on
    EXPECT_GT(p->getValue(), settled);
    // A change from the host is not echoed back to it.
    for (const auto& request : host_.controller().requests) EXPECT_NE(request.identifier, id);
}

TEST_F(AaxParameters, SynthChangesReachTheHostByDecimalIdentifier) {
    AbstractPluginParameter* p = firstOf(AbstractPluginParameter::kContinuous);
    auto& requests = host_.controller().requests;
    requests.clear();
    p->setValue(p->normalizedToPlain(0.75f), 0);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].kind, 'v');
    EXPECT_EQ(requests[0].identifier, std::to_string(p->id()));
    EXPECT_NEAR(requests[0].value, 0.75, 1e-6);
    // The host's answer arrives as an update that changes nothing in the synth.
    double hostValue = 0.0;
    adapter().GetParameterNormalizedValue(requests[0].identifier, &hostValue);
    EXPECT_NEAR(hostValue, 0.75, 1e-6);

    requests.clear();
    plugin().beginUpdate();
    p->setValue(p->normalizedToPlain(0.5f), 0);
    plugin().endUpdate();
    ASSERT_EQ(requests.size(), 883u);  // -1: every parameter once
    for (size_t k = 0; k < requests.size(); ++k)
        EXPECT_EQ(requests[k].identifier, std::to_string(k));
}

TEST_F(AaxParameters, IdentifiersThatNameNoSynthParameterGoToTheSdk) {
    EXPECT_EQ(host_.automate("MasterBypassID", 1.0), AAX_SUCCESS);
    const auto& port = host_.controller().ports.at(AaxPluginAdapter::kFieldBypass);
    int32_t posted = -1;
    std::memcpy(&posted, port.data(), sizeof(posted));
    EXPECT_EQ(posted, 1);

    for (const char* id : {"883", "-1", "12abc", ""})
        EXPECT_EQ(host_.automate(id, 0.5), AAX_ERROR_INVALID_PARAMETER_ID) << id;
}
