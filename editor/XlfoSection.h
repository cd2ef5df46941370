#pragma once

#include <array>

#include "editor/EditorSection.h"

class InstanceSwitch;
class StepEditor;

// The six step LFOs: one shown at a time, its rate and timing controls over a step editor, and
// below it the glide and randomness of the chosen step.
class XlfoSection : public EditorSection {
public:
    static constexpr int kCount = 6;
    explicit XlfoSection(GenericPluginInterface& editor);
    InstanceSwitch& picker() { return *picker_; }
    StepEditor& stepEditor(int xlfo) { return *editors_[static_cast<size_t>(xlfo)]; }

protected:
    int fullHeight() const override { return 290; }

private:
    gui::Component& xlfoPage(int index);
    void stepStrip(gui::Component& page, const std::string& xlfo, int step, StepEditor& steps,
                   std::vector<gui::Component*>& strips);

    InstanceSwitch* picker_;
    std::array<StepEditor*, kCount> editors_{};
};
