#include "gui/UserInterface.h"

#include "gui/RootControl.h"

namespace gui {

UserInterface::UserInterface(RootControl& root) : root_(root) {
    root_.setUserInterface(this);
}

UserInterface::~UserInterface() {
    if (root_.userInterface() == this) root_.setUserInterface(nullptr);
}

}  // namespace gui
