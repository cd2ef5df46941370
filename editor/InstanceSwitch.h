#pragma once

#include <functional>
#include <vector>

#include "gui/Switch.h"

class GenericPluginInterface;

// Picks which of several like units (envelopes, XLFOs) a panel shows: each position has a page,
// and only the chosen position's page is visible. Not bound to a parameter.
class InstanceSwitch : public gui::Switch, private gui::ValueControlListener {
public:
    explicit InstanceSwitch(std::vector<std::string> labels);
    ~InstanceSwitch() override;
    // The page of the next position.
    void addPage(gui::Component& page);
    void pick(int index);
    int picked() const { return value(); }
    // Positions beyond the count parameter's value (units whose engine objects are off) are
    // drawn faded.
    void followCount(GenericPluginInterface& editor, const std::string& countParameter);
    int activeCount() const;
    void paint(gui::Graphics& g) override;
    // Told after the shown page changed.
    std::function<void(int)> onPick;

private:
    void valueChanged(gui::ValueControl&) override;
    void showPicked();
    std::vector<gui::Component*> pages_;
    GenericPluginInterface* editor_ = nullptr;
    gui::ValueControl* count_ = nullptr;
};
