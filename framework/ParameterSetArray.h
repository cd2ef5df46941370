#pragma once

#include <memory>
#include <vector>

#include "framework/PluginParameterSet.h"

// A fixed number of parameter sets, built once; the array owns them.
class AbstractParameterSetArray {
public:
    AbstractParameterSetArray() = default;
    AbstractParameterSetArray(const AbstractParameterSetArray&) = delete;
    AbstractParameterSetArray& operator=(const AbstractParameterSetArray&) = delete;

    // Appends every parameter of every set.
    virtual void collectParameters(std::vector<AbstractPluginParameter*>& out);
    // True when id lies between the first and the last parameter id of the sets; id -1 asks
    // whether the sets hold any parameter.
    virtual bool ownsParameterId(int id);
    virtual int getCount() { return static_cast<int>(sets_.size()); }
    virtual PluginParameterSet* getSet(int index);
    // Every parameter of every set goes back to its default.
    virtual void resetToDefaults();
    // The id of the first parameter of the first set, -1 when there is none.
    virtual int firstParameterId();
    virtual ~AbstractParameterSetArray() = default;

    // Runs setup of every set, in index order.
    void setupSets();

    static void resetToDefaults(PluginParameterSet& set);
    // Parameter by parameter: destination[p] takes the value of source[p].
    static void copyValues(PluginParameterSet& destination, PluginParameterSet& source);

protected:
    void addSet(std::unique_ptr<PluginParameterSet> set) { sets_.push_back(std::move(set)); }
    // The id range of the own sets only (lists override ownsParameterId to add more).
    bool idInSets(int id);

private:
    std::vector<std::unique_ptr<PluginParameterSet>> sets_;
};

template <typename S>
class ParameterSetArray : public AbstractParameterSetArray {
public:
    // make(i) returns std::unique_ptr<S> for entry i. Entries are built in index order, which
    // fixes the ids of their parameters.
    template <typename Make>
    ParameterSetArray(int count, Make&& make) {
        for (int i = 0; i < count; ++i) addSet(make(i));
    }

    S* getSet(int index) override {
        return static_cast<S*>(AbstractParameterSetArray::getSet(index));
    }
    S& operator[](int index) { return *getSet(index); }
};
