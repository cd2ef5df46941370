#include "gui/TextEditor.h"

#include <algorithm>
#include <cmath>

#include "gui/Modifiers.h"
#include "gui/Palette.h"

namespace gui {
namespace {

bool continuation(char c) {
    return (static_cast<unsigned char>(c) & 0xc0) == 0x80;
}

size_t nextBoundary(const std::string& s, size_t i) {
    if (i >= s.size()) return s.size();
    ++i;
    while (i < s.size() && continuation(s[i])) ++i;
    return i;
}

size_t previousBoundary(const std::string& s, size_t i) {
    if (i == 0) return 0;
    --i;
    while (i > 0 && continuation(s[i])) --i;
    return i;
}

// The length of the valid UTF-8 character at the start of `s`, 0 when it is not one.
size_t characterLength(std::string_view s) {
    const auto b = static_cast<unsigned char>(s[0]);
    const size_t n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    if (n == 0 || n > s.size() || (n == 2 && b < 0xc2)) return 0;
    for (size_t i = 1; i < n; ++i)
        if (!continuation(s[i])) return 0;
    return n;
}

}  // namespace

std::string printableText(std::string_view s) {
    std::string out;
    for (size_t i = 0; i < s.size();) {
        const size_t n = characterLength(s.substr(i));
        if (n == 0) {
            ++i;
            continue;
        }
        const auto b = static_cast<unsigned char>(s[i]);
        if (n > 1 || (b >= 0x20 && b != 0x7f)) out.append(s.substr(i, n));
        i += n;
    }
    return out;
}

namespace {

// Ctrl with a letter arrives as the letter or as its control character.
char commandLetter(const KeyEvent& e) {
    if (e.text.size() != 1) return 0;
    const char c = e.text[0];
    if (c >= 1 && c <= 26) return static_cast<char>('a' + c - 1);
    if ((e.modifiers & modifier::kCtrl) == 0) return 0;
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

// The overlay that holds an editor opened over a control.
class EditOverlay : public Overlay {
public:
    EditOverlay(std::string text, TextEditor::Confirmed confirmed, TextEditor::Cancelled cancelled)
        : editor(add<TextEditor>(std::move(text))) {
        editor.onConfirm = [this, confirmed](const std::string& t) {
            close();
            if (confirmed) confirmed(t);
        };
        editor.onCancel = [this, cancelled] {
            close();
            if (cancelled) cancelled();
        };
    }
    void resized() override { editor.setBounds(localBounds()); }

    TextEditor& editor;
};

}  // namespace

Graphics& measuringGraphics() {
    // One tiny surface for the editor's thread, made once and kept.
    static cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
    static cairo_t* cr = cairo_create(surface);
    static Graphics g(cr);
    return g;
}

float measureText(std::string_view utf8, const Font& font) {
    return measuringGraphics().textWidth(utf8, font);
}

std::string elideText(std::string_view utf8, const Font& font, float width) {
    std::string s(utf8);
    if (measureText(s, font) <= width) return s;
    while (!s.empty()) {
        s.erase(previousBoundary(s, s.size()));
        if (measureText(s + "\u2026", font) <= width) break;
    }
    return s + "\u2026";
}

TextEditor::TextEditor(std::string text) : font_(palette::kNormal) {
    setText(std::move(text));
}

TextEditor& TextEditor::editOver(RootControl& root, const Rect& area, std::string text,
                                 Confirmed confirmed, Cancelled cancelled) {
    auto overlay =
        std::make_unique<EditOverlay>(std::move(text), std::move(confirmed), std::move(cancelled));
    overlay->setBounds(area);
    TextEditor& editor = overlay->editor;
    root.pushOverlay(std::move(overlay));
    editor.grabFocus();
    editor.selectAll();
    return editor;
}

void TextEditor::setText(std::string text) {
    text_ = printableText(text);
    caret_ = anchor_ = text_.size();
    scroll_ = 0;
    keepCaretVisible();
    repaint();
}

std::string TextEditor::selectedText() const {
    const auto [from, to] = std::minmax(anchor_, caret_);
    return text_.substr(from, to - from);
}

void TextEditor::select(size_t anchor, size_t caret) {
    anchor_ = std::min(anchor, text_.size());
    caret_ = std::min(caret, text_.size());
    while (anchor_ > 0 && anchor_ < text_.size() && continuation(text_[anchor_])) --anchor_;
    while (caret_ > 0 && caret_ < text_.size() && continuation(text_[caret_])) --caret_;
    keepCaretVisible();
    repaint();
}

void TextEditor::setFont(const Font& f) {
    font_ = f;
    keepCaretVisible();
    repaint();
}

void TextEditor::grabFocus() {
    original_ = text_;
    if (RootControl* r = root()) r->setFocus(this);
    repaint();
}

bool TextEditor::hasFocus() const {
    const RootControl* r = root();
    return r && r->focus() == this;
}

float TextEditor::xOf(size_t offset) const {
    return kInset - scroll_ + measureText(std::string_view(text_).substr(0, offset), font_);
}

size_t TextEditor::offsetAt(int32_t x) const {
    size_t best = 0;
    float bestDistance = std::abs(xOf(0) - x);
    for (size_t i = nextBoundary(text_, 0); i <= text_.size(); i = nextBoundary(text_, i)) {
        const float d = std::abs(xOf(i) - x);
        if (d < bestDistance) best = i, bestDistance = d;
        if (i == text_.size()) break;
    }
    return best;
}

void TextEditor::resized() {
    keepCaretVisible();
}

void TextEditor::keepCaretVisible() {
    const float room = static_cast<float>(bounds().width - 2 * kInset);
    if (room <= 0) {
        scroll_ = 0;
        return;
    }
    const float caretX = measureText(std::string_view(text_).substr(0, caret_), font_);
    const float textWidth = measureText(text_, font_);
    if (caretX - scroll_ > room) scroll_ = caretX - room;
    if (caretX < scroll_) scroll_ = caretX;
    // No empty space at the right while text is scrolled out at the left.
    scroll_ = std::max(0.0f, std::min(scroll_, textWidth - room));
}

void TextEditor::paint(Graphics& g) {
    const Rect r = localBounds();
    const bool focused = hasFocus();
    g.fillRoundedRect(r, palette::kRadius, palette::kTrack);
    g.strokeRoundedRect(r, palette::kRadius, 1.0f, focused ? palette::kAccent : palette::kBorder);
    g.save();
    g.clip(r.reduced(2));
    if (focused && anchor_ != caret_) {
        const auto [from, to] = std::minmax(anchor_, caret_);
        const float x0 = xOf(from), x1 = xOf(to);
        const Rect sel{static_cast<int32_t>(std::floor(x0)), 3,
                       static_cast<int32_t>(std::ceil(x1 - x0)), r.height - 6};
        g.fillRect(sel, palette::kAccent.withAlpha(0.4f));
    }
    const Colour colour = enabled() ? palette::kText : palette::kTextDisabled;
    const Rect line{static_cast<int32_t>(std::lround(kInset - scroll_)), 0, 1 << 20, r.height};
    g.text(text_, line, font_, colour, Align::Left);
    if (focused) {
        const float x = std::round(xOf(caret_)) + 0.5f;
        const float h = font_.size + 4;
        g.line(x, (r.height - h) / 2, x, (r.height + h) / 2, 1.0f, palette::kText);
    }
    g.restore();
}

bool TextEditor::mouseDown(const MouseEvent& e) {
    if (!hasFocus()) grabFocus();
    const size_t at = offsetAt(e.position.x);
    if (e.modifiers & modifier::kShift)
        select(anchor_, at);
    else
        select(at, at);
    return true;
}

bool TextEditor::mouseDoubleClick(const MouseEvent& e) {
    if (!hasFocus()) grabFocus();
    (void)e;
    selectAll();
    return true;
}

void TextEditor::mouseDrag(const MouseEvent& e) {
    select(anchor_, offsetAt(e.position.x));
}

bool TextEditor::keyDown(const KeyEvent& e) {
    if (!hasFocus()) return false;
    return commandKey(e) || moveKey(e) || editKey(e);
}

bool TextEditor::commandKey(const KeyEvent& e) {
    if (e.key != Key::None) return false;
    const char letter = commandLetter(e);
    UserInterface* ui = root() ? root()->userInterface() : nullptr;
    switch (letter) {
        case 'a':
            selectAll();
            return true;
        case 'c':
            if (ui && anchor_ != caret_) ui->setClipboardText(selectedText());
            return true;
        case 'x':
            if (ui && anchor_ != caret_) ui->setClipboardText(selectedText());
            replaceSelection({});
            return true;
        case 'v':
            if (ui) replaceSelection(printableText(ui->clipboardText()));
            return true;
        default:
            return letter != 0;  // other commands are not text
    }
}

bool TextEditor::moveKey(const KeyEvent& e) {
    const bool extend = (e.modifiers & modifier::kShift) != 0;
    switch (e.key) {
        case Key::Left:
            if (!extend && anchor_ != caret_)
                moveCaret(std::min(anchor_, caret_), false);
            else
                moveCaret(previousBoundary(text_, caret_), extend);
            return true;
        case Key::Right:
            if (!extend && anchor_ != caret_)
                moveCaret(std::max(anchor_, caret_), false);
            else
                moveCaret(nextBoundary(text_, caret_), extend);
            return true;
        case Key::Home:
            moveCaret(0, extend);
            return true;
        case Key::End:
            moveCaret(text_.size(), extend);
            return true;
        default:
            return false;
    }
}

bool TextEditor::editKey(const KeyEvent& e) {
    switch (e.key) {
        case Key::Enter:
            end(true);
            return true;
        case Key::Escape:
            end(false);
            return true;
        case Key::Tab:
            return false;
        case Key::Backspace:
            if (anchor_ == caret_) anchor_ = previousBoundary(text_, caret_);
            replaceSelection({});
            return true;
        case Key::Delete:
            if (anchor_ == caret_) anchor_ = nextBoundary(text_, caret_);
            replaceSelection({});
            return true;
        default:
            break;
    }
    const std::string typed = printableText(e.text);
    if (typed.empty()) return false;
    replaceSelection(typed);
    return true;
}

void TextEditor::moveCaret(size_t to, bool extend) {
    select(extend ? anchor_ : to, to);
}

void TextEditor::replaceSelection(std::string_view with) {
    const auto [from, to] = std::minmax(anchor_, caret_);
    if (from == to && with.empty()) return;
    text_.replace(from, to - from, with);
    caret_ = anchor_ = from + with.size();
    keepCaretVisible();
    repaint();
    changed();
}

void TextEditor::changed() {
    if (onChange) onChange(text_);
}

void TextEditor::end(bool confirm) {
    if (!confirm && text_ != original_) {
        text_ = original_;
        select(text_.size(), text_.size());
        changed();
    }
    ending_ = true;
    if (RootControl* r = root(); r && r->focus() == this) r->setFocus(nullptr);
    ending_ = false;
    repaint();
    const std::string text = text_;
    if (confirm && onConfirm) onConfirm(text);
    if (!confirm && onCancel) onCancel();
}

void TextEditor::focusLost() {
    repaint();
    if (ending_ || !onConfirm) return;
    const std::string text = text_;
    onConfirm(text);
}

}  // namespace gui
