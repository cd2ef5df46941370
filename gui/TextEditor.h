#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "gui/RootControl.h"

namespace gui {

// Graphics for measuring text outside painting, for layouts; nothing drawn with it is seen.
Graphics& measuringGraphics();
// Text measured as Graphics draws it.
float measureText(std::string_view utf8, const Font& font);
// The text cut at a character boundary and ended with an ellipsis so that it fits `width`.
std::string elideText(std::string_view utf8, const Font& font, float width);

// The text without line breaks, tabs, other control characters or broken UTF-8 (which Cairo
// refuses to draw): for typed and pasted text and for names from the file system.
std::string printableText(std::string_view utf8);

// A one-line text entry. Enter confirms, Escape cancels and restores the text it had when it got
// the focus, losing the focus confirms. The caret and the selection are byte offsets that always
// fall on UTF-8 character boundaries.
class TextEditor : public Control {
public:
    static constexpr int kInset = 4;  // between the frame and the text

    using Confirmed = std::function<void(const std::string& text)>;
    using Cancelled = std::function<void()>;

    explicit TextEditor(std::string text = {});

    // Opens an editor over `area` (root coordinates) with all its text selected: for typing a
    // control's value. It closes itself when confirmed or cancelled.
    static TextEditor& editOver(RootControl& root, const Rect& area, std::string text,
                                Confirmed confirmed, Cancelled cancelled = {});

    const std::string& text() const { return text_; }
    void setText(std::string text);
    size_t caret() const { return caret_; }
    // The selection runs between the anchor and the caret.
    size_t anchor() const { return anchor_; }
    std::string selectedText() const;
    void select(size_t anchor, size_t caret);
    void selectAll() { select(0, text_.size()); }
    void setFont(const Font& f);

    // Takes the keyboard; the text now is what Escape goes back to.
    void grabFocus();
    bool hasFocus() const;

    Confirmed onConfirm;
    Cancelled onCancel;
    std::function<void(const std::string& text)> onChange;

    void paint(Graphics& g) override;
    bool mouseDown(const MouseEvent& e) override;
    bool mouseDoubleClick(const MouseEvent& e) override;
    void mouseDrag(const MouseEvent& e) override;
    bool keyDown(const KeyEvent& e) override;
    void focusLost() override;

protected:
    void resized() override;

private:
    bool editKey(const KeyEvent& e);
    bool moveKey(const KeyEvent& e);
    bool commandKey(const KeyEvent& e);
    void moveCaret(size_t to, bool extend);
    void replaceSelection(std::string_view with);
    void end(bool confirm);
    size_t offsetAt(int32_t x) const;
    float xOf(size_t offset) const;
    void keepCaretVisible();
    void changed();

    std::string text_;
    std::string original_;
    size_t caret_ = 0;
    size_t anchor_ = 0;
    float scroll_ = 0;
    Font font_;
    bool ending_ = false;
};

}  // namespace gui
