#include "editor/InstanceSwitch.h"

#include <cmath>

#include "editor/BoundValues.h"
#include "editor/ParameterMirror.h"

InstanceSwitch::InstanceSwitch(std::vector<std::string> labels) : gui::Switch(std::move(labels)) {
    addListener(this);
}

InstanceSwitch::~InstanceSwitch() {
    removeListener(this);
}

void InstanceSwitch::addPage(gui::Component& page) {
    pages_.push_back(&page);
    page.setVisible(static_cast<int>(pages_.size()) - 1 == value());
}

void InstanceSwitch::pick(int index) {
    setValue(index);
    showPicked();
}

void InstanceSwitch::valueChanged(gui::ValueControl&) {
    showPicked();
}

void InstanceSwitch::showPicked() {
    for (size_t i = 0; i < pages_.size(); ++i)
        pages_[i]->setVisible(static_cast<int>(i) == value());
    if (onPick) onPick(value());
}

void InstanceSwitch::followCount(GenericPluginInterface& editor,
                                 const std::string& countParameter) {
    editor_ = &editor;
    count_ = &ParameterMirror::add(*this, editor, countParameter);
}

int InstanceSwitch::activeCount() const {
    if (!count_) return static_cast<int>(labels().size());
    return static_cast<int>(std::lround(plainValueOf(*editor_, *count_)));
}

void InstanceSwitch::paint(gui::Graphics& g) {
    gui::Switch::paint(g);
    const int n = static_cast<int>(labels().size());
    const gui::Rect b = localBounds();
    for (int i = activeCount(); i < n; ++i) {
        if (i == value()) continue;
        const int x0 = b.width * i / n, x1 = b.width * (i + 1) / n;
        g.fillRect({x0 + 1, 1, x1 - x0 - 2, b.height - 2}, gui::palette::kTrack.withAlpha(0.6f));
    }
}
