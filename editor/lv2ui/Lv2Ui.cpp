#include "editor/lv2ui/Lv2Ui.h"

#include <lv2/atom/atom.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "engine/VornPlugin.h"
#include "framework/GenericPlugin.h"
#include "gui/x11/X11Interface.h"
#include "host/lv2/Lv2Plugin.h"
#include "host/lv2/Lv2PortTable.h"

struct Lv2Ui::Features {
    unsigned long parent = 0;
    bool hasParent = false;
    Lv2Plugin* instance = nullptr;
    const LV2UI_Resize* resize = nullptr;
    const LV2UI_Touch* touch = nullptr;
    float scale = 0;

    explicit Features(const LV2_Feature* const* features) {
        const LV2_URID_Map* map = nullptr;
        const LV2_Options_Option* options = nullptr;
        for (const LV2_Feature* const* f = features; f && *f; ++f) {
            const char* uri = (*f)->URI;
            void* data = (*f)->data;
            if (std::strcmp(uri, LV2_UI__parent) == 0) {
                parent = reinterpret_cast<uintptr_t>(data);
                hasParent = parent != 0;
            } else if (std::strcmp(uri, LV2_INSTANCE_ACCESS_URI) == 0) {
                instance = static_cast<Lv2Plugin*>(data);
            } else if (std::strcmp(uri, LV2_UI__resize) == 0) {
                resize = static_cast<const LV2UI_Resize*>(data);
            } else if (std::strcmp(uri, LV2_UI__touch) == 0) {
                touch = static_cast<const LV2UI_Touch*>(data);
            } else if (std::strcmp(uri, LV2_URID__map) == 0) {
                map = static_cast<const LV2_URID_Map*>(data);
            } else if (std::strcmp(uri, LV2_OPTIONS__options) == 0) {
                options = static_cast<const LV2_Options_Option*>(data);
            }
        }
        if (map && options) readScale(*map, options);
    }

    // The host's scale factor, when it gives one as a float; else the window reads Xft.dpi.
    void readScale(const LV2_URID_Map& map, const LV2_Options_Option* options) {
        const LV2_URID key = map.map(map.handle, LV2_UI__scaleFactor);
        const LV2_URID floatType = map.map(map.handle, LV2_ATOM__Float);
        for (const LV2_Options_Option* o = options; o->key; ++o) {
            if (o->key != key || o->type != floatType || o->size != sizeof(float) || !o->value)
                continue;
            const float value = *static_cast<const float*>(o->value);
            if (std::isfinite(value) && value >= 0.5f && value <= 8.0f) scale = value;
        }
    }
};

std::unique_ptr<Lv2Ui> Lv2Ui::create(const std::string& bundlePath, HostLink host,
                                     const LV2_Feature* const* features) {
    const Features found(features);
    if (!found.hasParent) {
        std::fprintf(stderr, "Vorn: the host gave the editor no parent window (ui:parent)\n");
        return nullptr;
    }
    if (!found.instance) {
        std::fprintf(stderr, "Vorn: the editor needs the plug-in instance (instance-access)\n");
        return nullptr;
    }
    if (!host.write) {
        std::fprintf(stderr, "Vorn: the host gave the editor no write function\n");
        return nullptr;
    }
    std::unique_ptr<Lv2Ui> ui(new Lv2Ui(*found.instance, host, found));
    if (!ui->open(bundlePath, found)) return nullptr;
    return ui;
}

Lv2Ui::Lv2Ui(Lv2Plugin& plugin, HostLink host, const Features& features)
    : plugin_(plugin),
      host_(host),
      resize_(features.resize),
      touch_(features.touch),
      editor_(plugin.synth(), this) {}

Lv2Ui::~Lv2Ui() {
    // The window goes first: it still refers to the editor's tree.
    window_.reset();
}

bool Lv2Ui::open(const std::string& bundlePath, const Features& features) {
    std::string folder = bundlePath;
    if (!folder.empty() && folder.back() != '/') folder += '/';
    editor_.setHelpFile(folder + "manual.html");

    gui::x11::X11Interface::Options options;
    options.parent = features.parent;
    options.width = editor_.bounds().width;
    options.height = editor_.bounds().height;
    options.scale = features.scale;
    options.graphicsAcceleration = GenericPlugin::graphicsAcceleration();
    window_ = gui::x11::X11Interface::create(editor_, options);
    if (!window_) return false;
    window_->setListener(this);
    tellHostSize(options.width, options.height);
    return true;
}

unsigned long Lv2Ui::window() const {
    return window_ ? window_->window() : 0;
}

int Lv2Ui::idle() {
    if (closed_ || !window_ || window_->gone()) return 1;
    plugin_.takeInsideChanges([this](uint32_t port, float value) {
        host_.write(host_.controller, port, sizeof(float), 0, &value);
    });
    editor_.idle();
    window_->idle();
    return closed_ || window_->gone() ? 1 : 0;
}

void Lv2Ui::tellHostSize(int32_t width, int32_t height) {
    if (!resize_ || !resize_->ui_resize) return;
    const float scale = window_->scale();
    resize_->ui_resize(resize_->handle, static_cast<int>(std::ceil(width * scale)),
                       static_cast<int>(std::ceil(height * scale)));
}

// Every parameter is a control port; link parameters and the like have none.
void Lv2Ui::beginEdit(int id) {
    const uint32_t port = Lv2Ports::portOfParameter(id);
    if (touch_ && touch_->touch && port < Lv2Ports::kParameterCount)
        touch_->touch(touch_->handle, port, true);
}

void Lv2Ui::valueEdited(int id, float plain) {
    const uint32_t port = Lv2Ports::portOfParameter(id);
    if (port >= Lv2Ports::kParameterCount) return;
    const float value = Lv2Ports::portValueOfPlain(*plugin_.synth().getParameter(id), id, plain);
    host_.write(host_.controller, port, sizeof(float), 0, &value);
}

void Lv2Ui::endEdit(int id) {
    const uint32_t port = Lv2Ports::portOfParameter(id);
    if (touch_ && touch_->touch && port < Lv2Ports::kParameterCount)
        touch_->touch(touch_->handle, port, false);
}

void Lv2Ui::interfaceResized(int32_t width, int32_t height) {
    tellHostSize(width, height);
}
