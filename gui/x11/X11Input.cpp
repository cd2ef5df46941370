#include "gui/x11/X11Input.h"

#include <X11/X.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "gui/Modifiers.h"

// X.h names the empty resource None, as the toolkit names its empty key.
#undef None

namespace gui::x11 {

uint32_t modifiersFromState(unsigned int state) {
    static constexpr struct {
        unsigned int mask;
        uint32_t flag;
    } kMap[] = {{ShiftMask, modifier::kShift},         {Mod1Mask, modifier::kAlt},
                {ControlMask, modifier::kCtrl},        {Button1Mask, modifier::kLeftButton},
                {Button3Mask, modifier::kRightButton}, {Button2Mask, modifier::kMiddleButton},
                {Mod4Mask, modifier::kSystemKey}};
    uint32_t flags = 0;
    for (const auto& m : kMap)
        if (state & m.mask) flags |= m.flag;
    return flags;
}

uint32_t buttonFlag(unsigned int button) {
    switch (button) {
        case Button1:
            return modifier::kLeftButton;
        case Button2:
            return modifier::kMiddleButton;
        case Button3:
            return modifier::kRightButton;
        default:
            return 0;
    }
}

bool wheelFromButton(unsigned int button, float& wheelX, float& wheelY) {
    wheelX = wheelY = 0;
    switch (button) {
        case 4:
            wheelY = 1;
            return true;
        case 5:
            wheelY = -1;
            return true;
        case 6:
            wheelX = -1;
            return true;
        case 7:
            wheelX = 1;
            return true;
        default:
            return false;
    }
}

Key keyFromKeysym(unsigned long keysym) {
    switch (keysym) {
        case XK_Return:
        case XK_KP_Enter:
            return Key::Enter;
        case XK_Escape:
            return Key::Escape;
        case XK_Tab:
        case XK_ISO_Left_Tab:
            return Key::Tab;
        case XK_BackSpace:
            return Key::Backspace;
        case XK_Delete:
        case XK_KP_Delete:
            return Key::Delete;
        case XK_Left:
        case XK_KP_Left:
            return Key::Left;
        case XK_Right:
        case XK_KP_Right:
            return Key::Right;
        case XK_Up:
        case XK_KP_Up:
            return Key::Up;
        case XK_Down:
        case XK_KP_Down:
            return Key::Down;
        case XK_Home:
        case XK_KP_Home:
            return Key::Home;
        case XK_End:
        case XK_KP_End:
            return Key::End;
        default:
            return Key::None;
    }
}

std::string textFromKeysym(unsigned long keysym) {
    uint32_t cp = 0;
    if ((keysym >= 0x20 && keysym <= 0x7e) || (keysym >= 0xa0 && keysym <= 0xff))
        cp = static_cast<uint32_t>(keysym);
    else if (keysym >= 0x1000100 && keysym <= 0x110ffff)
        cp = static_cast<uint32_t>(keysym - 0x1000000);
    else
        return {};
    std::string s;
    if (cp < 0x80) {
        s += static_cast<char>(cp);
    } else if (cp < 0x800) {
        s += static_cast<char>(0xc0 | (cp >> 6));
        s += static_cast<char>(0x80 | (cp & 0x3f));
    } else if (cp < 0x10000) {
        s += static_cast<char>(0xe0 | (cp >> 12));
        s += static_cast<char>(0x80 | ((cp >> 6) & 0x3f));
        s += static_cast<char>(0x80 | (cp & 0x3f));
    } else {
        s += static_cast<char>(0xf0 | (cp >> 18));
        s += static_cast<char>(0x80 | ((cp >> 12) & 0x3f));
        s += static_cast<char>(0x80 | ((cp >> 6) & 0x3f));
        s += static_cast<char>(0x80 | (cp & 0x3f));
    }
    return s;
}

float scaleFromResources(const char* resources) {
    static constexpr char kKey[] = "Xft.dpi:";
    for (const char* line = resources; line && *line;) {
        if (std::strncmp(line, kKey, sizeof kKey - 1) == 0) {
            char* end = nullptr;
            const double dpi = std::strtod(line + sizeof kKey - 1, &end);
            if (end == line + sizeof kKey - 1 || !(dpi > 0)) return 1.0f;
            const double quarter = std::round(dpi / 96.0 * 4.0) / 4.0;
            return static_cast<float>(std::clamp(quarter, 1.0, 4.0));
        }
        line = std::strchr(line, '\n');
        if (line) ++line;
    }
    return 1.0f;
}

namespace {

// Reads the XSETTINGS block in the byte order its first byte names, never past its end.
class SettingsReader {
public:
    SettingsReader(const uint8_t* data, size_t size) : data_(data), size_(size) {
        bigEndian_ = size > 0 && data[0] == 1;
    }
    bool skip(size_t n) {
        if (n > size_ - pos_) return false;
        pos_ += n;
        return true;
    }
    bool read(uint32_t& v, size_t bytes) {
        if (bytes > size_ - pos_) return false;
        v = 0;
        for (size_t i = 0; i < bytes; ++i) {
            const uint32_t b = data_[pos_ + (bigEndian_ ? i : bytes - 1 - i)];
            v = (v << 8) | b;
        }
        pos_ += bytes;
        return true;
    }
    bool text(std::string_view& s, size_t n) {
        if (n > size_ - pos_) return false;
        s = {reinterpret_cast<const char*>(data_ + pos_), n};
        return skip((n + 3) & ~size_t{3});
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
    bool bigEndian_ = false;
};

constexpr uint32_t kSettingInteger = 0, kSettingString = 1, kSettingColour = 2;

}  // namespace

std::optional<int32_t> xsettingsInteger(const uint8_t* data, size_t size, std::string_view name) {
    if (!data) return std::nullopt;
    SettingsReader r(data, size);
    uint32_t count = 0, serial = 0;
    if (!r.skip(4) || !r.read(serial, 4) || !r.read(count, 4)) return std::nullopt;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t type = 0, nameLength = 0, value = 0;
        std::string_view settingName, ignored;
        if (!r.read(type, 1) || !r.skip(1) || !r.read(nameLength, 2) ||
            !r.text(settingName, nameLength) || !r.read(serial, 4))
            return std::nullopt;
        if (type == kSettingInteger) {
            if (!r.read(value, 4)) return std::nullopt;
            if (settingName == name) return static_cast<int32_t>(value);
        } else if (type == kSettingString) {
            if (!r.read(value, 4) || !r.text(ignored, value)) return std::nullopt;
        } else if (type != kSettingColour || !r.skip(8)) {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

}  // namespace gui::x11
