#include "editor/InstanceTabs.h"

InstanceTabs::InstanceTabs(const std::vector<std::string>& captions, int buttonWidth)
    : buttonWidth_(buttonWidth) {
    for (size_t i = 0; i < captions.size(); ++i) {
        auto& b = add<gui::ToggleButton>(captions[i]);
        b.onClick = [this, i] { select(static_cast<int>(i)); };
        buttons_.push_back(&b);
    }
    select(0);
}

void InstanceTabs::addPage(gui::Component& page) {
    pages_.push_back(&page);
    page.setVisible(static_cast<int>(pages_.size()) - 1 == selected_);
}

void InstanceTabs::select(int index) {
    if (index < 0 || index >= static_cast<int>(buttons_.size())) return;
    selected_ = index;
    for (size_t i = 0; i < buttons_.size(); ++i)
        buttons_[i]->setValue(static_cast<int>(i) == index ? 1 : 0);
    for (size_t i = 0; i < pages_.size(); ++i) pages_[i]->setVisible(static_cast<int>(i) == index);
}

void InstanceTabs::resized() {
    const int h = localBounds().height;
    for (size_t i = 0; i < buttons_.size(); ++i)
        buttons_[i]->setBounds({static_cast<int>(i) * (buttonWidth_ + 4), 0, buttonWidth_, h});
}
