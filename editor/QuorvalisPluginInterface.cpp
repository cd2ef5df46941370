#include "editor/QuorvalisPluginInterface.h"

#include "framework/CompareStates.h"
#include "framework/UndoHistory.h"

QuorvalisPluginInterface::QuorvalisPluginInterface(GenericPlugin& plugin, HostEdits* host)
    : GenericPluginInterface(plugin, host) {
    presetBar_ = &add<gui::ControlBar>();
    presetName_ = &presetBar_->addItem<gui::Label>(200, false, "");
    bottomBar_ = &add<gui::ControlBar>();
    undo_ = &bottomBar_->addItem<gui::Button>(52, false, "Undo", [this] { undo(); });
    redo_ = &bottomBar_->addItem<gui::Button>(52, false, "Redo", [this] { redo(); });
    b_ = &bottomBar_->addItem<gui::ToggleButton>(34, true, "B");
    a_ = &bottomBar_->addItem<gui::ToggleButton>(34, true, "A");
    a_->onClick = b_->onClick = [this] { toggleCompare(); };
    updateBars();
}

gui::Rect QuorvalisPluginInterface::contentArea() const {
    const gui::Rect b = localBounds();
    return {0, kBarHeight, b.width, b.height - 2 * kBarHeight};
}

void QuorvalisPluginInterface::resized() {
    const gui::Rect b = localBounds();
    presetBar_->setBounds({0, 0, b.width, kBarHeight});
    bottomBar_->setBounds({0, b.height - kBarHeight, b.width, kBarHeight});
}

void QuorvalisPluginInterface::updateBars() {
    presetName_->setText(plugin().currentPreset().name);
    undo_->setEnabled(plugin().undoHistory().canUndo());
    redo_->setEnabled(plugin().undoHistory().canRedo());
    const int slot = plugin().compareStates().slot();
    a_->setValue(slot == 0);
    b_->setValue(slot == 1);
}

void QuorvalisPluginInterface::idle() {
    GenericPluginInterface::idle();
    updateBars();
}
