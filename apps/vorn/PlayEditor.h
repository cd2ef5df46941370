#pragma once

#include <cstdio>
#include <memory>

class VornPlugin;
class VornInterface;

namespace gui::x11 {
class X11Interface;
}

// The editor of `vorn play` in a top-level window. Edits go straight to the plug-in; there is no
// host to tell. Runs on the program's main thread.
class PlayEditor {
public:
    // Null, with the reason on err, when no window can be opened.
    static std::unique_ptr<PlayEditor> open(VornPlugin& plugin, std::FILE* err);
    ~PlayEditor();
    PlayEditor(const PlayEditor&) = delete;
    PlayEditor& operator=(const PlayEditor&) = delete;

    // Waits up to timeoutMs for input, then handles it, follows the plug-in and draws. False
    // once the window was closed.
    bool run(int timeoutMs);

private:
    class CloseWatch;
    PlayEditor();

    std::unique_ptr<VornInterface> editor_;
    std::unique_ptr<gui::x11::X11Interface> window_;
    std::unique_ptr<CloseWatch> closeWatch_;
};
