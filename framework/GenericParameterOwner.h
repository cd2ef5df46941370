#pragma once

#include <cstdint>
#include <string>

class AbstractPluginParameter;

// Whoever parameters register with: the plug-in itself, or a parameter set that forwards to it.
class GenericParameterOwner {
public:
    // Opens a batch of changes; batches nest.
    virtual void beginUpdate() = 0;
    // Closes a batch; the outermost close sends one "all parameters may have changed" notice
    // when anything changed inside it.
    virtual void endUpdate() = 0;
    virtual AbstractPluginParameter* getParameter(int index) = 0;
    // The group under which this owner's parameters are registered (0 for the plug-in).
    virtual int getGroup() = 0;
    virtual int getParameterCount() = 0;
    virtual void parameterChanged(uint32_t id, float newPlainValue, int flags) = 0;
    // Returns the new parameter's id; ids are dense, in registration order.
    virtual uint32_t registerParameter(AbstractPluginParameter* parameter) = 0;
    // An existing equal name returns its old index; a new name is appended.
    virtual int registerGroup(const std::string& setName) = 0;
    virtual ~GenericParameterOwner() = default;
};
