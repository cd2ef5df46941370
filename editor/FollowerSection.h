#pragma once

#include <array>

#include "editor/EditorSection.h"
#include "gui/Shape.h"

// How a follower answers a burst of full-level side chain: it rises while the burst lasts and
// falls after it, each move 90 % done after its attack or release time.
class FollowerDisplay : public gui::Curve {
public:
    static constexpr float kBurstSeconds = 1.0f;
    static constexpr float kSpanSeconds = 4.0f;
    // Follows the parameters of the follower named ("EF 1", ...).
    FollowerDisplay(GenericPluginInterface& editor, const std::string& follower,
                    gui::Colour accent);
    // The follower's output t seconds after the burst began.
    float outputAt(float seconds) const;
    void update();
    void paint(gui::Graphics& g) override;

private:
    GenericPluginInterface& editor_;
    // Hidden controls bound to the times.
    gui::ValueControl& attack_;
    gui::ValueControl& release_;
    float attackSeconds_ = 0, releaseSeconds_ = 0;
};

// The four envelope followers side by side.
class FollowerSection : public EditorSection {
public:
    static constexpr int kCount = 4;
    explicit FollowerSection(GenericPluginInterface& editor);
    FollowerDisplay& display(int follower) { return *displays_[static_cast<size_t>(follower)]; }

protected:
    int fullHeight() const override { return 178; }

private:
    std::array<FollowerDisplay*, kCount> displays_{};
};
