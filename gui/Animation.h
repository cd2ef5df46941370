#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "gui/Clock.h"
#include "gui/Cubic.h"
#include "gui/Geometry.h"

namespace gui {

class AnimatedControl;
class Component;
class Timer;
class UserInterface;

// Something animations act on. When it goes, every animation of it stops.
class AnimatedObject {
public:
    AnimatedObject() = default;
    AnimatedObject(const AnimatedObject&) = delete;
    AnimatedObject& operator=(const AnimatedObject&) = delete;
    virtual ~AnimatedObject();
};

// A change over time: its fraction of the way, eased by a cubic, is applied at every tick.
class Animation {
public:
    static constexpr int32_t kDefaultDurationMs = 200;

    explicit Animation(AnimatedObject* object, int32_t durationMs = kDefaultDurationMs)
        : object_(object), duration_(durationMs > 0 ? durationMs : 1) {}
    virtual ~Animation() = default;

    AnimatedObject* object() const { return object_; }
    int32_t duration() const { return duration_; }
    void setCurve(Cubic c) { curve_ = std::move(c); }
    // Called when the animation ends, normally or replaced by another on the same object.
    std::function<void()> onFinished;

    void start(int64_t now) { start_ = now; }
    // Applies the state at `now`; false once it has reached its end.
    bool step(int64_t now);

protected:
    virtual void apply(float fraction) = 0;

private:
    AnimatedObject* object_;
    int32_t duration_;
    int64_t start_ = 0;
    Cubic curve_ = Cubic::easeInOut();
};

// Moves and sizes a component between two rectangles.
class ControlAnimation : public Animation {
public:
    ControlAnimation(Component& c, AnimatedObject* object, Rect from, Rect to,
                     int32_t durationMs = kDefaultDurationMs);

protected:
    void apply(float fraction) override;

private:
    Component& component_;
    Rect from_, to_;
};

// Fades a control in or out.
class FadeAnimation : public Animation {
public:
    FadeAnimation(AnimatedControl& c, float from, float to,
                  int32_t durationMs = kDefaultDurationMs);

protected:
    void apply(float fraction) override;

private:
    AnimatedControl& control_;
    float from_, to_;
};

// Grows or shrinks a component's height (a section opening or closing); the owner lays the rest
// out again at each step.
class BarAnimation : public Animation {
public:
    BarAnimation(Component& c, AnimatedObject* object, int32_t fromHeight, int32_t toHeight,
                 std::function<void()> relayout, int32_t durationMs = kDefaultDurationMs);

protected:
    void apply(float fraction) override;

private:
    Component& component_;
    int32_t from_, to_;
    std::function<void()> relayout_;
};

// Runs a number from one value to another through a setter.
class ValueAnimation : public Animation {
public:
    ValueAnimation(AnimatedObject* object, float from, float to, std::function<void(float)> set,
                   int32_t durationMs = kDefaultDurationMs);

protected:
    void apply(float fraction) override;

private:
    float from_, to_;
    std::function<void(float)> set_;
};

// Runs the animations of one user interface from its timer, at a rate its owner sets. Time comes
// from a clock (the event clock unless a test gives its own).
class Animator {
public:
    static constexpr int kDefaultRate = 10;

    // Held by the user interface's owner: when it goes, so does every animation.
    class UIDeleteNotifier {
    public:
        explicit UIDeleteNotifier(Animator& a) : animator_(&a) {}
        ~UIDeleteNotifier();

    private:
        Animator* animator_;
    };

    explicit Animator(UserInterface& ui, const Clock& clock);
    ~Animator();

    void setRate(int perSecond);
    int rate() const { return rate_; }
    // Starts an animation; one already running on the same object is finished first.
    void start(std::unique_ptr<Animation> a);
    bool running() const { return !animations_.empty(); }
    // One tick, as the timer does it.
    void tick();
    // Stops and forgets the animations of an object that is going away.
    void forget(AnimatedObject* object);
    void uiDeleted();

private:
    UserInterface* ui_;
    const Clock& clock_;
    int rate_ = kDefaultRate;
    std::unique_ptr<Timer> timer_;
    std::vector<std::unique_ptr<Animation>> animations_;
};

}  // namespace gui
