#include "gui/Dialog.h"

#include <algorithm>
#include <cmath>

#include "gui/Button.h"
#include "gui/Label.h"
#include "gui/Palette.h"
#include "gui/TextEditor.h"

namespace gui {
namespace {

constexpr int kMessageWidth = 380;
constexpr int kMinMessageWidth = 220;

}  // namespace

Dialog::Dialog(std::string title) : title_(std::move(title)), body_(&add<Component>()) {
    setModal(true);
}

Dialog::~Dialog() = default;

Button& Dialog::addButton(std::string caption, std::function<void()> clicked) {
    Button& b = add<Button>(std::move(caption), std::move(clicked));
    buttons_.push_back(&b);
    layout();
    return b;
}

void Dialog::setBodySize(int32_t width, int32_t height) {
    bodyWidth_ = width;
    bodyHeight_ = height;
    layout();
}

void Dialog::resized() {
    layout();
}

void Dialog::layout() {
    const Rect area = localBounds();
    const int32_t w = bodyWidth_ + 2 * kInside;
    const int32_t h = kTitleHeight + bodyHeight_ + kButtonHeight + 3 * kInside;
    panel_ = {area.x + (area.width - w) / 2, area.y + (area.height - h) / 2, w, h};
    panel_.x = std::max(panel_.x, 0);
    panel_.y = std::max(panel_.y, 0);
    body_->setBounds(
        {panel_.x + kInside, panel_.y + kTitleHeight + kInside, bodyWidth_, bodyHeight_});
    int32_t x = panel_.right() - kInside;
    const int32_t y = panel_.bottom() - kInside - kButtonHeight;
    for (int i = static_cast<int>(buttons_.size()) - 1; i >= 0; --i) {
        Button& b = *buttons_[i];
        Button::Style style;
        if (i == defaultButton_) style.face = palette::kAccent, style.text = palette::kBackground;
        b.setStyle(style);
        const float text = measureText(b.caption(), b.style().font);
        const int32_t bw = std::max(kMinButtonWidth, static_cast<int32_t>(std::ceil(text)) + 24);
        x -= bw;
        b.setBounds({x, y, bw, kButtonHeight});
        x -= kSpacing;
    }
    repaint();
}

void Dialog::paint(Graphics& g) {
    g.fillRect(localBounds(), palette::kShadow);
    g.fillRoundedRect(panel_.translated(0, 3), palette::kRadius + 2, palette::kShadow);
    g.fillRoundedRect(panel_, palette::kRadius, palette::kPanel);
    const Rect bar{panel_.x, panel_.y, panel_.width, kTitleHeight};
    g.save();
    g.clip(bar);
    g.fillRoundedRect(panel_, palette::kRadius, palette::kPanelRaised);
    g.restore();
    g.line(bar.x, bar.bottom() - 0.5f, bar.right(), bar.bottom() - 0.5f, 1.0f, palette::kBorder);
    g.strokeRoundedRect(panel_, palette::kRadius, 1.0f, palette::kBorder);
    const Rect titleArea{bar.x + 12, bar.y, bar.width - 24, bar.height};
    g.text(elideText(title_, palette::kBold, static_cast<float>(titleArea.width)), titleArea,
           palette::kBold, palette::kText, Align::Left);
}

bool Dialog::mouseDown(const MouseEvent&) {
    return true;  // modal: clicks beside the box go nowhere
}

void Dialog::click(int index) {
    if (index < 0 || index >= static_cast<int>(buttons_.size())) return;
    if (!buttons_[index]->enabled()) return;
    const std::function<void()> clicked = buttons_[index]->onClick;
    if (clicked) clicked();
}

bool Dialog::keyDown(const KeyEvent& e) {
    if (e.key == Key::Enter) {
        click(defaultButton_);
    } else if (e.key == Key::Escape) {
        if (cancelButton_ >= 0)
            click(cancelButton_);
        else
            close();
    } else if (RootControl* r = root()) {
        // Only to a control of this dialog: nothing under a modal box hears keys.
        std::vector<Component*> chain;
        Component* c = r->focus();
        for (; c && c != this; c = c->parent()) chain.push_back(c);
        if (c == this)
            for (Component* k : chain)
                if (k->keyDown(e)) break;
    }
    return true;
}

void UserInterface::messageBox(std::string text, int buttons, std::function<void(int)> done) {
    const bool confirm = (buttons & box::kCancel) != 0;
    auto dialog = std::make_unique<Dialog>(confirm ? "Confirmation" : "Information");
    const int32_t room = root_.bounds().width - 2 * (Dialog::kWindowMargin + Dialog::kInside);
    // Short messages get a narrower box, but not narrower than its buttons and title want.
    const auto natural = static_cast<int32_t>(std::ceil(measureText(text, palette::kNormal)));
    const int32_t width = std::clamp(std::min(room, natural), kMinMessageWidth, kMessageWidth);
    const Font& font = palette::kNormal;
    const auto lines = Text::wrap(measuringGraphics(), text, font, static_cast<float>(width));
    Text& message = dialog->body().add<Text>(std::move(text));
    const auto height = static_cast<int32_t>(std::ceil(lines.size() * message.lineHeight()));
    message.setBounds({0, 0, width, height});
    dialog->setBodySize(width, height);
    Dialog* d = dialog.get();
    auto answer = [d, done = std::move(done)](int a) {
        d->close();
        if (done) done(a);
    };
    dialog->addButton("OK", [answer] { answer(box::kAnsweredOk); });
    if (confirm) dialog->addButton("Cancel", [answer] { answer(box::kAnsweredCancel); });
    dialog->setCancelButton(confirm ? 1 : 0);
    Dialog::show(root_, std::move(dialog));
}

}  // namespace gui
