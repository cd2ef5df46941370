#pragma once

#include "editor/EditorSection.h"

class InstanceTabs;

// The stereo delay: its switch and the wet and dry mix, the two sides (one shown at a time) with
// time, offset, sync and feedback, and the two filters in the echoes with their routing.
class DelaySection : public EditorSection {
public:
    static constexpr int kCurveHeight = 90;
    explicit DelaySection(GenericPluginInterface& editor);
    InstanceTabs& sideTabs() { return *sideTabs_; }
    InstanceTabs& filterTabs() { return *filterTabs_; }

protected:
    int fullHeight() const override { return kFilterTop + 52 + kCurveHeight + 8; }

private:
    static constexpr int kSideTop = 76;
    static constexpr int kFilterTop = 170;
    void mixRow();
    gui::Component& sidePage(int index);
    gui::Component& filterPage(int index);
    InstanceTabs* sideTabs_;
    InstanceTabs* filterTabs_;
};
