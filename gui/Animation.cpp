#include "gui/Animation.h"

#include <algorithm>
#include <cmath>

#include "gui/Component.h"
#include "gui/Timer.h"
#include "gui/UserInterface.h"

namespace gui {
namespace {

// The animators alive on the editor's thread, told when an animated object goes away.
std::vector<Animator*>& liveAnimators() {
    static std::vector<Animator*> animators;
    return animators;
}

int lerp(int a, int b, float t) {
    return a + static_cast<int>(std::lround((b - a) * t));
}

}  // namespace

AnimatedObject::~AnimatedObject() {
    for (Animator* a : liveAnimators()) a->forget(this);
}

bool Animation::step(int64_t now) {
    const float t = std::clamp(static_cast<float>(now - start_) / duration_, 0.0f, 1.0f);
    apply(curve_(t));
    return t < 1.0f;
}

ControlAnimation::ControlAnimation(Component& c, AnimatedObject* object, Rect from, Rect to,
                                   int32_t durationMs)
    : Animation(object, durationMs), component_(c), from_(from), to_(to) {}

void ControlAnimation::apply(float f) {
    component_.setBounds({lerp(from_.x, to_.x, f), lerp(from_.y, to_.y, f),
                          lerp(from_.width, to_.width, f), lerp(from_.height, to_.height, f)});
}

FadeAnimation::FadeAnimation(AnimatedControl& c, float from, float to, int32_t durationMs)
    : Animation(&c, durationMs), control_(c), from_(from), to_(to) {}

void FadeAnimation::apply(float f) {
    control_.setOpacity(from_ + (to_ - from_) * f);
}

BarAnimation::BarAnimation(Component& c, AnimatedObject* object, int32_t fromHeight,
                           int32_t toHeight, std::function<void()> relayout, int32_t durationMs)
    : Animation(object, durationMs),
      component_(c),
      from_(fromHeight),
      to_(toHeight),
      relayout_(std::move(relayout)) {}

void BarAnimation::apply(float f) {
    Rect b = component_.bounds();
    b.height = lerp(from_, to_, f);
    component_.setBounds(b);
    if (relayout_) relayout_();
}

ValueAnimation::ValueAnimation(AnimatedObject* object, float from, float to,
                               std::function<void(float)> set, int32_t durationMs)
    : Animation(object, durationMs), from_(from), to_(to), set_(std::move(set)) {}

void ValueAnimation::apply(float f) {
    if (set_) set_(from_ + (to_ - from_) * f);
}

Animator::UIDeleteNotifier::~UIDeleteNotifier() {
    animator_->uiDeleted();
}

Animator::Animator(UserInterface& ui, const Clock& clock) : ui_(&ui), clock_(clock) {
    liveAnimators().push_back(this);
}

Animator::~Animator() {
    std::erase(liveAnimators(), this);
}

void Animator::setRate(int perSecond) {
    rate_ = std::max(1, perSecond);
    if (timer_) timer_->setInterval(1000 / rate_);
}

void Animator::start(std::unique_ptr<Animation> a) {
    if (!ui_) return;
    // The newer animation of an object wins; the older one jumps to its end first.
    for (auto it = animations_.begin(); it != animations_.end(); ++it) {
        if (a->object() && (*it)->object() == a->object()) {
            std::unique_ptr<Animation> old = std::move(*it);
            animations_.erase(it);
            old->step(INT64_MAX / 2);
            if (old->onFinished) old->onFinished();
            break;
        }
    }
    a->start(clock_.milliseconds());
    animations_.push_back(std::move(a));
    if (!timer_) {
        timer_ = ui_->createTimer();
        timer_->setInterval(1000 / rate_);
        timer_->setCallback([this] { tick(); });
    }
    if (!timer_->running()) timer_->start();
}

void Animator::tick() {
    const int64_t now = clock_.milliseconds();
    std::vector<std::unique_ptr<Animation>> finished;
    for (size_t i = 0; i < animations_.size();) {
        if (animations_[i]->step(now)) {
            ++i;
            continue;
        }
        finished.push_back(std::move(animations_[i]));
        animations_.erase(animations_.begin() + static_cast<std::ptrdiff_t>(i));
    }
    if (animations_.empty() && timer_) timer_->stop();
    for (auto& a : finished)
        if (a->onFinished) a->onFinished();
}

void Animator::forget(AnimatedObject* object) {
    std::erase_if(animations_, [object](const auto& a) { return a->object() == object; });
}

void Animator::uiDeleted() {
    animations_.clear();
    timer_.reset();
    ui_ = nullptr;
}

}  // namespace gui
