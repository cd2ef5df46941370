#pragma once

#include <string>
#include <vector>

#include "gui/RootControl.h"
#include "gui/SoftwareRenderer.h"
#include "gui/UserInterface.h"

namespace gui {

// A user interface without a display: for headless pictures and for tests, which drive it with
// synthetic events and a manual clock of timers.
class OffscreenInterface : public UserInterface {
public:
    explicit OffscreenInterface(RootControl& root, float scale = 1.0f);
    ~OffscreenInterface() override;

    float scale() const override { return scale_; }
    void redrawRequested() override { ++redrawRequests_; }
    std::unique_ptr<Timer> createTimer() override;
    std::string clipboardText() override { return clipboard_; }
    void setClipboardText(const std::string& text) override { clipboard_ = text; }
    void openUrl(std::string_view url) override { openedUrls.emplace_back(url); }
    bool requestSize(int32_t width, int32_t height) override;

    // Runs the timers for `ms` milliseconds of pretend time, in order of their due times.
    void advance(int64_t ms);
    // Draws what is dirty and returns the picture.
    cairo_surface_t* render();

    bool resizable = true;
    std::vector<std::string> openedUrls;
    int redrawRequests() const { return redrawRequests_; }

private:
    class ManualTimer;
    friend class ManualTimer;

    float scale_;
    int redrawRequests_ = 0;
    std::string clipboard_;
    int64_t now_ = 0;
    std::vector<ManualTimer*> timers_;
    SoftwareRenderer renderer_;
};

}  // namespace gui
