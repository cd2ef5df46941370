#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "host/aax/sdk/AaxEffectGUI.h"

class VornPlugin;

// Shows the synthesizer's editor in the host's view and passes the editor's parameter gestures
// and modifier keys between the two.
class AaxPluginEditor : public AAX_CEffectGUI {
public:
    // Editor modifier bits.
    static constexpr int kShift = 1;
    static constexpr int kAlt = 2;
    static constexpr int kCtrl = 4;
    static constexpr int kHostModifier = 128;
    // Host modifier bits.
    static constexpr uint32_t kHostShift = 1;
    static constexpr uint32_t kHostControl = 2;
    static constexpr uint32_t kHostOption = 4;
    static constexpr uint32_t kHostCommand = 8;

    // What the view needs of the editor window.
    class Editor {
    public:
        virtual ~Editor() = default;
        virtual int width() const = 0;
        virtual int height() const = 0;
        // Handles input, follows the plug-in and draws.
        virtual void idle() {}
    };
    // Opens the editor of the plug-in inside the native window; the editor reaches the host
    // through the given view. Installed by the editor; without it the view stays empty.
    using EditorFactory = std::unique_ptr<Editor> (*)(VornPlugin& plugin, void* nativeWindow,
                                                      AaxPluginEditor& view);

    // A (modifier combination, function bits) pair of the toolkit's translation table.
    struct ModifierTranslation {
        int modifiers;
        int functions;
    };

    static AAX_CEffectGUI* create();
    static void setEditorFactory(EditorFactory factory);
    // The host's conventions: Shift for fine adjustment.
    static void useHostShortcuts();
    // Process-wide; starts with Ctrl for fine adjustment.
    static const std::vector<ModifierTranslation>& modifierTranslations();
    static uint32_t hostModifiers(int editorModifiers);
    static int editorModifiers(uint32_t hostModifiers);

    ~AaxPluginEditor() override;

    // -20009 without an editor.
    AAX_Result GetViewSize(int32_t* width, int32_t* height) const override;
    AAX_Result TimerWakeup() override;

    // The editor's gestures, by synthesizer parameter id.
    void touchParameter(int id);
    void releaseParameter(int id);
    void setParameterValue(int id, double normalized);
    // True when the host took the click; the editor then leaves it alone.
    bool offerMouseDown(int id, int modifiers);
    // The host's current modifiers as editor bits.
    int currentModifiers() const;

    bool hasEditor() const { return editor_ != nullptr; }
    Editor* editor() const { return editor_.get(); }

protected:
    void CreateViewContents() override;
    void DeleteViewContents() override;

private:
    std::unique_ptr<Editor> editor_;
};
