#include "editor/EditorSection.h"

#include "editor/Artwork.h"
#include "editor/GenericPluginInterface.h"
#include "gui/Modifiers.h"

// The clickable title of a section, with an arrow that says whether it is open.
class EditorSection::TitleBar : public gui::Control {
public:
    explicit TitleBar(EditorSection& section) : section_(section) {}
    void paint(gui::Graphics& g) override {
        const gui::Rect b = localBounds();
        g.fillRect(
            b, hovered() ? gui::palette::kPanelRaised.brighter(0.04f) : gui::palette::kPanelRaised);
        g.fillRect({0, 0, 3, b.height}, section_.accent_);
        const bool open = section_.mode_ == Mode::Full;
        const float x = 14, y = b.height / 2.0f;
        const float down[] = {x - 4, y - 2, x, y + 2, x + 4, y - 2};
        const float right[] = {x - 2, y - 4, x + 2, y, x - 2, y + 4};
        g.polyline(open ? std::span<const float>(down) : std::span<const float>(right), 1.5f,
                   gui::palette::kTextDim);
        int textX = 26;
        if (cairo_surface_t* icon = section_.icon_.empty() ? nullptr : artwork(section_.icon_)) {
            g.mask(icon, {26, (b.height - 16) / 2, 16, 16}, section_.accent_);
            textX = 48;
        }
        g.text(section_.title_, {textX, 0, b.width - textX - 4, b.height}, gui::palette::kBold,
               gui::palette::kText, gui::Align::Left);
    }
    bool mouseDown(const gui::MouseEvent& e) override {
        return (e.modifiers & gui::modifier::kLeftButton) != 0;
    }
    void mouseUp(const gui::MouseEvent& e) override {
        if (localBounds().contains(e.position) && section_.onTitleClicked)
            section_.onTitleClicked();
    }

private:
    EditorSection& section_;
};

EditorSection::EditorSection(GenericPluginInterface& editor, std::string title, gui::Colour accent)
    : editor_(editor), title_(std::move(title)), accent_(accent) {
    titleBar_ = &add<TitleBar>(*this);
    compact_ = &add<gui::Component>();
    full_ = &add<gui::Component>();
    compact_->setVisible(false);
    full_->setVisible(false);
}

void EditorSection::setMode(Mode m) {
    if (m == mode_) return;
    mode_ = m;
    compact_->setVisible(m == Mode::Compact);
    full_->setVisible(m == Mode::Full);
    repaint();
}

int EditorSection::heightFor(Mode m) const {
    switch (m) {
        case Mode::Header:
            return kHeaderHeight;
        case Mode::Compact:
            return kHeaderHeight + kCompactHeight;
        case Mode::Full:
            return kHeaderHeight + fullHeight();
    }
    return kHeaderHeight;
}

void EditorSection::resized() {
    const gui::Rect b = localBounds();
    titleBar_->setBounds({0, 0, b.width, kHeaderHeight});
    if (accessory_)
        accessory_->setBounds(
            {b.width - accessoryWidth_ - 4, 2, accessoryWidth_, kHeaderHeight - 4});
    compact_->setBounds({0, kHeaderHeight, b.width, kCompactHeight});
    full_->setBounds({0, kHeaderHeight, b.width, fullHeight()});
}

void EditorSection::paint(gui::Graphics& g) {
    const gui::Rect b = localBounds();
    g.fillRect(b, gui::palette::kPanel);
    g.line(0, b.height - 0.5f, b.width, b.height - 0.5f, 1.0f, gui::palette::kBackground);
}

gui::Knob::Style EditorSection::knobStyle(bool bipolar) const {
    gui::Knob::Style s;
    s.value = accent_;
    s.bipolar = bipolar;
    return s;
}

void EditorSection::bind(gui::ValueControl& control, const std::string& parameter) {
    editor_.bind(control, parameter);
}

gui::Knob& EditorSection::knob(gui::Component& panel, const gui::Rect& r,
                               const std::string& parameter, const std::string& caption,
                               bool bipolar) {
    gui::Knob& k = panel.add<gui::Knob>(knobStyle(bipolar));
    k.setCaption(caption);
    bind(k, parameter);
    k.setBounds(r);
    return k;
}

gui::SelectButton& EditorSection::select(gui::Component& panel, const gui::Rect& r,
                                         const std::string& parameter) {
    auto& s = panel.add<gui::SelectButton>();
    std::vector<gui::SelectButton::SelectMenuItem> items;
    for (auto& text : editor_.valueTexts(editor_.parameterId(parameter))) items.push_back({text});
    s.setItems(std::move(items));
    bind(s, parameter);
    s.setBounds(r);
    return s;
}

gui::ToggleButton& EditorSection::toggle(gui::Component& panel, const gui::Rect& r,
                                         const std::string& parameter, const std::string& caption) {
    auto& t = panel.add<gui::ToggleButton>(caption);
    bind(t, parameter);
    t.setBounds(r);
    return t;
}

void EditorSection::setTitleAccessory(std::unique_ptr<gui::Component> c, int width) {
    accessory_ = &adopt(std::move(c));
    accessoryWidth_ = width;
    resized();
}
