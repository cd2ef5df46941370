#include "gui/OffscreenInterface.h"

#include <algorithm>

namespace gui {

class OffscreenInterface::ManualTimer : public Timer {
public:
    explicit ManualTimer(OffscreenInterface& ui) : ui_(&ui) { ui_->timers_.push_back(this); }
    ~ManualTimer() override {
        if (ui_) std::erase(ui_->timers_, this);
    }
    void start() override {
        running_ = true;
        due_ = (ui_ ? ui_->now_ : 0) + interval();
    }
    // The interface went first: the timer never fires again.
    void detach() {
        ui_ = nullptr;
        running_ = false;
    }
    void stop() override { running_ = false; }
    bool running() const override { return running_; }

    int64_t due() const { return due_; }
    void tick() {
        due_ += interval();
        fire();
    }

private:
    OffscreenInterface* ui_;
    bool running_ = false;
    int64_t due_ = 0;
};

OffscreenInterface::OffscreenInterface(RootControl& root, float scale)
    : UserInterface(root), scale_(scale) {}

OffscreenInterface::~OffscreenInterface() {
    for (ManualTimer* t : timers_) t->detach();
}

std::unique_ptr<Timer> OffscreenInterface::createTimer() {
    return std::make_unique<ManualTimer>(*this);
}

bool OffscreenInterface::requestSize(int32_t width, int32_t height) {
    if (!resizable) return false;
    root().setBounds({0, 0, width, height});
    if (listener()) listener()->interfaceResized(width, height);
    return true;
}

void OffscreenInterface::advance(int64_t ms) {
    const int64_t end = now_ + ms;
    for (;;) {
        ManualTimer* next = nullptr;
        for (ManualTimer* t : timers_)
            if (t->running() && t->due() <= end && (!next || t->due() < next->due())) next = t;
        if (!next) break;
        now_ = next->due();
        next->tick();
    }
    now_ = end;
}

cairo_surface_t* OffscreenInterface::render() {
    renderer_.setSize(root().bounds().width, root().bounds().height, scale_);
    renderer_.render(root());
    return renderer_.surface();
}

}  // namespace gui
