#pragma once

#include <string>
#include <vector>

#include "framework/ParameterSetArray.h"
#include "framework/PropPluginParameter.h"

namespace wave {
class Producer;
}

// A fixed capacity of sets of which the first N are active; N is the "Num Active" parameter.
// Entries can be inserted and removed: later entries move by copying parameter values, together
// with the same entries of linked lists.
class AbstractParameterSetList : public AbstractParameterSetArray {
public:
    // The count of active entries. Applying it also enables the engine objects of entries
    // 0..N-1 and disables the others.
    class NumActiveParameter : public PropPluginParameter<int> {
    public:
        NumActiveParameter(GenericParameterOwner* owner, const std::string& name,
                           AbstractParameterSetList* list);
        void applyValue(float plain) override;

    private:
        AbstractParameterSetList* list_;
    };

    // Registers "Num Active " + name with the owner before any set is built.
    AbstractParameterSetList(GenericParameterOwner* owner, const std::string& name);

    // The "Num Active" parameter first, then the sets' parameters.
    void collectParameters(std::vector<AbstractPluginParameter*>& out) override;
    // Also the "Num Active" id and the ids of the linked lists' sets.
    bool ownsParameterId(int id) override;
    // The count as well as every set.
    void resetToDefaults() override;
    using AbstractParameterSetArray::resetToDefaults;
    // Removes entry index (index < N, N above the count's minimum): entries after it move down
    // one place, here and in the linked lists, and the freed last entry is reset.
    virtual void removeAt(int index);
    ~AbstractParameterSetList() override = default;

    // Inserts an entry at index (index <= N, N below the count's maximum): N grows by one and
    // the values of entries max(index, 1) - 1 .. N - 1 move up one place, here and in the linked
    // lists. Nothing is reset: the new entry starts as a copy of its predecessor (at index 0 it
    // keeps its own values).
    void insertAt(int index);

    int activeCount() const { return static_cast<int>(numActive_.getValue()); }
    NumActiveParameter& numActive() { return numActive_; }
    const std::string& name() const { return name_; }
    GenericParameterOwner* owner() const { return owner_; }

    // Entry i of a linked list belongs to entry i of this one and moves with it.
    void addLinkedList(AbstractParameterSetList* list) { linkedLists_.push_back(list); }
    // An engine object that runs while entry is active. Call while building the graph.
    void addEngineObject(int entry, wave::Producer* producer);

protected:
    bool canRemove(int index) const;
    // The removal itself, without opening an update batch.
    void removeEntry(int index);

private:
    struct EngineObject {
        int entry;
        wave::Producer* producer;
    };

    void enableEntries(int count);
    void copyEntry(int from, int to);

    NumActiveParameter numActive_;
    std::vector<AbstractParameterSetList*> linkedLists_;
    GenericParameterOwner* owner_;
    std::vector<EngineObject> engineObjects_;
    std::string name_;
};

template <typename S>
class ParameterSetList : public AbstractParameterSetList {
public:
    // make(i) returns std::unique_ptr<S> for entry i; the count then ranges over [0, count]
    // with default 0 until the owner declares otherwise.
    template <typename Make>
    ParameterSetList(GenericParameterOwner* owner, const std::string& name, int count, Make&& make)
        : AbstractParameterSetList(owner, name) {
        for (int i = 0; i < count; ++i) addSet(make(i));
        numActive().declare(0, count, 0);
    }

    S* getSet(int index) override {
        return static_cast<S*>(AbstractParameterSetArray::getSet(index));
    }
    S& operator[](int index) { return *getSet(index); }
};
