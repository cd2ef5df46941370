#pragma once

#include "framework/GenericPlugin.h"
#include "framework/Property.h"

// Settings are properties; any change marks the object dirty so that it is written back later.
class GenericPlugin::SettingsBase : public PropertyOwner {
public:
    void propertyChanged(const void* /*property*/) override { dirty_ = true; }
    bool isDirty() const { return dirty_; }
    void markDirty() { dirty_ = true; }
    void clearDirty() { dirty_ = false; }

private:
    bool dirty_ = false;
};

// Per-instance settings of a product; products derive their own.
class GenericPlugin::Settings : public GenericPlugin::SettingsBase {};

// One object for all instances in the process.
class GenericPlugin::SharedSettings : public GenericPlugin::SettingsBase {
public:
    static constexpr int kMaxConserveMemory = 4;
    static constexpr int kDefaultGraphicsAcceleration = 1;

    LimitedProperty<int> conserveMemory{this, 0, kMaxConserveMemory, 0};
    Property<bool> correctDigiProductIds{this, true};
    Property<bool> enableMidiProgramChanges{this, false};
    Property<int> graphicsAcceleration{this, kDefaultGraphicsAcceleration};
    Property<bool> savePresetItemEnabled{this, false};
    Property<bool> showInteractiveHelp{this, true};
    Property<bool> showWelcomeHint{this, false};
    Property<bool> showComponentDisplays{this, true};
};
