#pragma once

#include <string>

#include "editor/EditorSection.h"

class VornInterface;
class TuningButton;

// What acts on the whole sound: output level and place, stereo width, tuning and glide, how
// many voices play and how unison spreads them, what is heard when auditioning, and the Scala
// microtuning.
class MasterSection : public EditorSection {
public:
    explicit MasterSection(VornInterface& editor);

    TuningButton& tuning() { return *tuning_; }
    void idle() override;

protected:
    int fullHeight() const override { return 4 + kKnobHeight + 8 + 3 * 28 + 4; }

private:
    // A list parameter with its name at the left, in cell (column, row) of the lower grid.
    void labelledSelect(int column, int row, const std::string& parameter,
                        const std::string& caption);
    static gui::Rect cell(int column, int row);

    TuningButton* tuning_;
};
