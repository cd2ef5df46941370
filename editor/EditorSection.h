#pragma once

#include <memory>
#include <string>

#include "gui/Button.h"
#include "gui/Component.h"
#include "gui/Knob.h"
#include "gui/Palette.h"
#include "gui/SelectButton.h"

class GenericPluginInterface;

// One sound section of the editor: a title bar that expands and collapses it, a compact strip of
// its main controls shown while collapsed in the tall layout, and its full panel when expanded.
class EditorSection : public gui::Component {
public:
    static constexpr int kHeaderHeight = 22;
    static constexpr int kCompactHeight = 50;
    static constexpr int kMargin = 8;
    static constexpr int kKnobWidth = 46;
    static constexpr int kKnobHeight = 60;

    enum class Mode { Header, Compact, Full };

    EditorSection(GenericPluginInterface& editor, std::string title, gui::Colour accent);

    const std::string& title() const { return title_; }
    gui::Colour accent() const { return accent_; }
    // A control at the right end of the title bar (the section's preset button).
    void setTitleAccessory(std::unique_ptr<gui::Component> c, int width);
    gui::Component* titleAccessory() const { return accessory_; }
    // Names the family's picture (resources/artwork), drawn in the title bar.
    void setIcon(std::string icon) { icon_ = std::move(icon); }
    Mode mode() const { return mode_; }
    void setMode(Mode m);
    // The height for a mode, header included.
    int heightFor(Mode m) const;
    // Sections build their panels in their constructors, into these.
    gui::Component& compact() { return *compact_; }
    gui::Component& full() { return *full_; }
    // Asked for when the title bar is clicked.
    std::function<void()> onTitleClicked;
    // The editor's idle call, for what follows the plug-in beyond parameters.
    virtual void idle() {}

    void paint(gui::Graphics& g) override;

protected:
    virtual int fullHeight() const = 0;
    // A knob bound to a parameter, with its caption below, in a rectangle of a panel.
    gui::Knob& knob(gui::Component& panel, const gui::Rect& r, const std::string& parameter,
                    const std::string& caption, bool bipolar = false);
    // The place of the n-th knob of a compact strip.
    static gui::Rect compactSlot(int n) { return {kMargin + n * 46, 1, 44, kCompactHeight - 2}; }
    // A list chooser for an indexed parameter, its items the parameter's value texts.
    gui::SelectButton& select(gui::Component& panel, const gui::Rect& r,
                              const std::string& parameter);
    // An on/off button for a two-valued parameter.
    gui::ToggleButton& toggle(gui::Component& panel, const gui::Rect& r,
                              const std::string& parameter, const std::string& caption);
    // Binds any value control to a parameter by name.
    void bind(gui::ValueControl& control, const std::string& parameter);
    gui::Knob::Style knobStyle(bool bipolar) const;
    GenericPluginInterface& editor() { return editor_; }
    void resized() override;

private:
    class TitleBar;
    GenericPluginInterface& editor_;
    std::string title_;
    gui::Colour accent_;
    std::string icon_;
    Mode mode_ = Mode::Header;
    TitleBar* titleBar_;
    gui::Component* compact_;
    gui::Component* accessory_ = nullptr;
    int accessoryWidth_ = 0;
    gui::Component* full_;
};
