#pragma once

#include "editor/EditorSection.h"

class InstanceTabs;

// The two voice filters, one shown at a time: their characteristic, response and slope, a
// picture of the response, cut-off, peak and the cut-off spread between the channels; and how
// the filters are routed.
class FilterSection : public EditorSection {
public:
    static constexpr int kCurveHeight = 120;
    explicit FilterSection(GenericPluginInterface& editor);
    InstanceTabs& tabs() { return *tabs_; }

protected:
    int fullHeight() const override { return 28 + 26 + kCurveHeight + 8; }

private:
    gui::Component& filterPage(int index);
    InstanceTabs* tabs_;
};
