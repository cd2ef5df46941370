#pragma once

#include <string>

#include "editor/EditorSection.h"

// What acts on the whole sound: output level and place, stereo width, tuning and glide, how
// many voices play and how unison spreads them, and what is heard when auditioning.
class MasterSection : public EditorSection {
public:
    explicit MasterSection(GenericPluginInterface& editor);

protected:
    int fullHeight() const override { return 4 + kKnobHeight + 8 + 2 * 28 + 4; }

private:
    // A list parameter with its name at the left, in cell (column, row) of the lower grid.
    void labelledSelect(int column, int row, const std::string& parameter,
                        const std::string& caption);
};
