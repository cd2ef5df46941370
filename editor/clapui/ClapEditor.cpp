#include "editor/clapui/ClapEditor.h"

#include <clap/ext/params.h>

#include <cmath>
#include <cstring>

#include "engine/VornPlugin.h"
#include "framework/GenericPlugin.h"
#include "gui/x11/X11Interface.h"

namespace {

bool x11Embedded(const char* api, bool floating) {
    return api && std::strcmp(api, CLAP_WINDOW_API_X11) == 0 && !floating;
}

ClapEditor* editorOf(const clap_plugin_t* plugin) {
    return static_cast<ClapEditor*>(ClapPlugin::of(plugin).editor().get());
}

// Every instance of this module answers with the editor's extensions.
const bool registered = [] {
    ClapPlugin::setEditorExtensions({&ClapEditor::kGui, &ClapEditor::kTimer});
    return true;
}();

}  // namespace

const clap_plugin_gui_t ClapEditor::kGui = {
    [](const clap_plugin_t*, const char* api, bool floating) { return x11Embedded(api, floating); },
    [](const clap_plugin_t*, const char** api, bool* floating) {
        if (!api || !floating) return false;
        *api = CLAP_WINDOW_API_X11;
        *floating = false;
        return true;
    },
    [](const clap_plugin_t* p, const char* api, bool floating) {
        if (!x11Embedded(api, floating)) return false;
        ClapPlugin& plugin = ClapPlugin::of(p);
        plugin.editor() = ClapEditor::create(plugin);
        return plugin.editor() != nullptr;
    },
    [](const clap_plugin_t* p) { ClapPlugin::of(p).editor().reset(); },
    [](const clap_plugin_t* p, double scale) {
        ClapEditor* e = editorOf(p);
        return e && e->setScale(scale);
    },
    [](const clap_plugin_t* p, uint32_t* width, uint32_t* height) {
        const ClapEditor* e = editorOf(p);
        if (!e || !width || !height) return false;
        e->size(*width, *height);
        return true;
    },
    [](const clap_plugin_t*) { return false; },
    // Fixed in size: hosts that ask (Qtractor does) learn that the window does not resize.
    [](const clap_plugin_t*, clap_gui_resize_hints_t* hints) {
        if (!hints) return false;
        *hints = {false, false, false, 1, 1};
        return true;
    },
    [](const clap_plugin_t* p, uint32_t* width, uint32_t* height) {
        const ClapEditor* e = editorOf(p);
        if (!e || !width || !height) return false;
        e->size(*width, *height);
        return true;
    },
    [](const clap_plugin_t* p, uint32_t width, uint32_t height) {
        const ClapEditor* e = editorOf(p);
        uint32_t w = 0, h = 0;
        if (e) e->size(w, h);
        return e && w == width && h == height;
    },
    [](const clap_plugin_t* p, const clap_window_t* window) {
        ClapEditor* e = editorOf(p);
        return e && window && x11Embedded(window->api, false) && e->setParent(window->x11);
    },
    [](const clap_plugin_t*, const clap_window_t*) { return false; },
    [](const clap_plugin_t*, const char*) {},
    [](const clap_plugin_t* p) { return editorOf(p) != nullptr; },
    [](const clap_plugin_t* p) { return editorOf(p) != nullptr; },
};

const clap_plugin_timer_support_t ClapEditor::kTimer = {[](const clap_plugin_t* p, clap_id) {
    if (ClapEditor* e = editorOf(p)) e->onTimer();
}};

std::unique_ptr<ClapEditor> ClapEditor::create(ClapPlugin& plugin) {
    const clap_host_t* host = plugin.host();
    const auto* timers = static_cast<const clap_host_timer_support_t*>(
        host->get_extension ? host->get_extension(host, CLAP_EXT_TIMER_SUPPORT) : nullptr);
    if (!timers || !timers->register_timer || !timers->unregister_timer) return nullptr;
    std::unique_ptr<ClapEditor> editor(new ClapEditor(plugin, timers));
    if (!timers->register_timer(host, kTimerPeriodMs, &editor->timer_)) return nullptr;
    return editor;
}

ClapEditor::ClapEditor(ClapPlugin& plugin, const clap_host_timer_support_t* timers)
    : plugin_(plugin), timers_(timers), editor_(plugin.synth(), this) {}

ClapEditor::~ClapEditor() {
    // The window goes first: it still refers to the editor's tree.
    window_.reset();
    if (timer_ != CLAP_INVALID_ID) timers_->unregister_timer(plugin_.host(), timer_);
}

bool ClapEditor::setScale(double scale) {
    // Taken when the window is made; a window already open keeps its scale.
    if (window_ || !std::isfinite(scale) || scale < 0.5 || scale > 8.0) return false;
    scale_ = static_cast<float>(scale);
    return true;
}

void ClapEditor::size(uint32_t& width, uint32_t& height) const {
    const float scale = window_ ? window_->scale() : (scale_ > 0 ? scale_ : 1.0f);
    width = static_cast<uint32_t>(std::ceil(editor_.bounds().width * scale));
    height = static_cast<uint32_t>(std::ceil(editor_.bounds().height * scale));
}

bool ClapEditor::setParent(unsigned long window) {
    if (window_ || window == 0) return false;
    gui::x11::X11Interface::Options options;
    options.parent = window;
    options.width = editor_.bounds().width;
    options.height = editor_.bounds().height;
    options.scale = scale_;
    options.graphicsAcceleration = GenericPlugin::graphicsAcceleration();
    window_ = gui::x11::X11Interface::create(editor_, options);
    if (!window_) return false;
    window_->setListener(this);
    return true;
}

void ClapEditor::onTimer() {
    if (!window_ || window_->gone()) return;
    editor_.idle();
    window_->idle();
}

void ClapEditor::interfaceResized(int32_t width, int32_t height) {
    const clap_host_t* host = plugin_.host();
    const auto* gui = static_cast<const clap_host_gui_t*>(
        host->get_extension ? host->get_extension(host, CLAP_EXT_GUI) : nullptr);
    if (!gui || !gui->request_resize || !window_) return;
    const float scale = window_->scale();
    gui->request_resize(host, static_cast<uint32_t>(std::ceil(width * scale)),
                        static_cast<uint32_t>(std::ceil(height * scale)));
}
