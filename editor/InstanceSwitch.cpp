#include "editor/InstanceSwitch.h"

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
