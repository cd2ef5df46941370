#include "editor/ModulationDragStage.h"

#include "editor/ModulationMatrixPluginInterface.h"
#include "engine/ModulationNames.h"
#include "gui/Palette.h"
#include "gui/UserInterface.h"
#include "modulation/ModulationMatrixPlugin.h"

namespace {

// The source's name under the mouse, as a tag.
class SourceTag : public gui::DragObject {
public:
    explicit SourceTag(std::string name) : name_(std::move(name)) {}
    void paint(gui::Graphics& g, gui::Point mouse) override {
        const gui::Rect r = area(mouse);
        g.fillRoundedRect(r, 4, gui::palette::kModulation);
        g.text(name_, r, gui::palette::kBold, gui::palette::kBackground);
    }
    gui::Rect area(gui::Point mouse) const override { return {mouse.x + 8, mouse.y + 8, 84, 18}; }

private:
    std::string name_;
};

}  // namespace

ModulationDragStage::ModulationDragStage(ModulationMatrixPluginInterface& editor, int source,
                                         gui::Point at)
    : gui::DragStage(
          std::make_unique<SourceTag>(modulationSourceNames()[static_cast<size_t>(source)]), *this,
          at),
      editor_(editor),
      source_(source) {
    findCandidates();
}

ModulationDragStage& ModulationDragStage::begin(ModulationMatrixPluginInterface& editor, int source,
                                                gui::Point at) {
    auto stage = std::make_unique<ModulationDragStage>(editor, source, at);
    return static_cast<ModulationDragStage&>(gui::DragManager::begin(editor, std::move(stage)));
}

void ModulationDragStage::findCandidates() {
    ModulationMatrixPlugin& plugin = editor_.matrixPlugin();
    for (size_t i = 0; i < editor_.learnableCount(); ++i) {
        const gui::ValueControl* c = editor_.learnableControl(i);
        if (!c->showing()) continue;
        const auto* p = plugin.getParameter(static_cast<int>(editor_.learnableParameter(i)));
        const int target = p ? plugin.targetOfParameter(p) : -1;
        if (target >= 0) candidates_.push_back({c->rootBounds(), target});
    }
}

void ModulationDragStage::dragMoved(gui::DragStage&, gui::Point at) {
    hovered_ = -1;
    for (size_t i = 0; i < candidates_.size(); ++i) {
        if (candidates_[i].area.contains(at)) {
            hovered_ = static_cast<int>(i);
            break;
        }
    }
    setHighlight(hovered_ < 0 ? gui::Rect{} : candidates_[static_cast<size_t>(hovered_)].area);
}

void ModulationDragStage::dropped(gui::DragStage&, gui::Point at) {
    state_ = State::Dropped;
    dragMoved(*this, at);
    gui::UserInterface* ui = editor_.userInterface();
    if (hovered_ < 0) {
        if (ui) ui->messageBox(kHoverOnly, gui::box::kOk);
    } else if (editor_.slots().activeSlots() >= synth::kSlots) {
        if (ui) ui->messageBox(SourceSlotController::kNoFreeSlots, gui::box::kOk);
    } else {
        slot_ = editor_.slots().connect(source_, candidates_[static_cast<size_t>(hovered_)].target);
    }
    state_ = State::Finished;
}
