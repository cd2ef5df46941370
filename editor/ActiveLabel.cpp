#include "editor/ActiveLabel.h"

#include <cmath>

#include "editor/BoundValues.h"
#include "editor/ParameterMirror.h"

ActiveLabel::ActiveLabel(GenericPluginInterface& editor, const std::string& countParameter,
                         int index, std::string text, const Style& style)
    : gui::Label(std::move(text), style),
      editor_(editor),
      count_(ParameterMirror::add(*this, editor, countParameter)),
      index_(index) {}

bool ActiveLabel::active() const {
    return index_ < std::lround(plainValueOf(editor_, count_));
}

void ActiveLabel::paint(gui::Graphics& g) {
    if (active()) return gui::Label::paint(g);
    g.pushOpacity();
    gui::Label::paint(g);
    g.popOpacity(0.4f);
}
