#pragma once

#include <string>
#include <vector>

#include "framework/AbstractPluginParameter.h"
#include "framework/GenericParameterOwner.h"

// A group of parameters (one oscillator, one filter, one modulation slot...). The set owns its
// parameters as members of the derived class; they register through the set, which keeps its
// own list and passes everything else on to its owner.
class PluginParameterSet : public GenericParameterOwner {
public:
    PluginParameterSet(GenericParameterOwner* owner, const std::string& name);
    PluginParameterSet(const PluginParameterSet&) = delete;
    PluginParameterSet& operator=(const PluginParameterSet&) = delete;

    void beginUpdate() override { owner_->beginUpdate(); }
    void endUpdate() override { owner_->endUpdate(); }
    AbstractPluginParameter* getParameter(int index) override;
    int getGroup() override { return group_; }
    int getParameterCount() override { return static_cast<int>(parameters_.size()); }
    void parameterChanged(uint32_t id, float newPlainValue, int flags) override {
        owner_->parameterChanged(id, newPlainValue, flags);
    }
    uint32_t registerParameter(AbstractPluginParameter* parameter) override;
    int registerGroup(const std::string& setName) override {
        return owner_->registerGroup(setName);
    }
    ~PluginParameterSet() override = default;
    // Help texts, ranges, defaults, units and names of the set's parameters.
    virtual void setup() = 0;

    const std::string& name() const { return name_; }
    GenericParameterOwner* owner() const { return owner_; }
    const std::vector<AbstractPluginParameter*>& parameters() const { return parameters_; }

private:
    int32_t group_;
    std::vector<AbstractPluginParameter*> parameters_;
    GenericParameterOwner* owner_;
    std::string name_;
};
