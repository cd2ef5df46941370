#pragma once

#include "editor/EditorSection.h"

class InstanceTabs;
class XyPad;

// The four XY controllers, one pad shown at a time, and how many of them are in use.
class XyPadSection : public EditorSection {
public:
    static constexpr int kPads = 4;
    static constexpr int kPadSize = 180;
    explicit XyPadSection(GenericPluginInterface& editor);
    InstanceTabs& tabs() { return *tabs_; }
    XyPad& pad(int index) { return *pads_[index]; }

protected:
    int fullHeight() const override { return 30 + kPadSize + 8; }

private:
    InstanceTabs* tabs_;
    XyPad* pads_[kPads];
};
