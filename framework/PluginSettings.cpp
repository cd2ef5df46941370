#include "framework/PluginSettings.h"

#include "framework/SettingSerializer.h"

void GenericPlugin::SharedSettings::serialize(SettingSerializer& s) {
    // A stored value out of range is clamped by the property.
    conserveMemory = s.serializeInt("ConserveMemory", conserveMemory, 0);
    correctDigiProductIds = s.serializeBool("CorrectDigiProductIds", correctDigiProductIds, true);
    enableMidiProgramChanges =
        s.serializeBool("EnableMIDIProgramChanges", enableMidiProgramChanges, false);
    graphicsAcceleration =
        s.serializeInt("GraphicsAcceleration", graphicsAcceleration, kDefaultGraphicsAcceleration);
    savePresetItemEnabled = s.serializeBool("SavePresetItemEnabled", savePresetItemEnabled, false);
    showInteractiveHelp = s.serializeBool("showInteractiveHelp", showInteractiveHelp, true);
    showWelcomeHint = s.serializeBool("showWelcomeHint", showWelcomeHint, false);
    showComponentDisplays = s.serializeBool("ShowComponentDisplays", showComponentDisplays, true);
}
