#include "host/aax/AaxPluginEditor.h"

#include <string>

#include "host/aax/AaxPluginAdapter.h"

namespace {

AaxPluginEditor::EditorFactory editorFactory = nullptr;

std::vector<AaxPluginEditor::ModifierTranslation>& translations() {
    static std::vector<AaxPluginEditor::ModifierTranslation> table{{1, 4}, {2, 1}, {4, 2}, {6, 3}};
    return table;
}

void setTranslation(int modifiers, int functions) {
    for (auto& entry : translations()) {
        if (entry.modifiers == modifiers) {
            entry.functions = functions;
            return;
        }
    }
    translations().push_back({modifiers, functions});
}

}  // namespace

AAX_CEffectGUI* AaxPluginEditor::create() {
    return new AaxPluginEditor();
}

void AaxPluginEditor::setEditorFactory(EditorFactory factory) {
    editorFactory = factory;
}

void AaxPluginEditor::useHostShortcuts() {
    setTranslation(kShift, 2);
    setTranslation(kAlt, 4);
    setTranslation(kCtrl, 1);
    setTranslation(kAlt | kCtrl, 5);
}

const std::vector<AaxPluginEditor::ModifierTranslation>& AaxPluginEditor::modifierTranslations() {
    return translations();
}

uint32_t AaxPluginEditor::hostModifiers(int editorModifiers) {
    uint32_t host = 0;
    if (editorModifiers & kCtrl) host = kHostCommand;
    if (editorModifiers & kAlt) {
        host = (editorModifiers & kCtrl) ? kHostCommand | kHostOption : kHostOption;
    }
    if (editorModifiers & kShift) host |= kHostShift;
    if (editorModifiers & kHostModifier) host |= kHostControl;
    return host;
}

int AaxPluginEditor::editorModifiers(uint32_t hostModifiers) {
    int editor = 0;
    if (hostModifiers & kHostOption) editor |= kAlt;
    if (hostModifiers & kHostControl) editor |= kHostModifier;
    return editor;
}

AaxPluginEditor::~AaxPluginEditor() {
    DeleteViewContents();
}

AAX_Result AaxPluginEditor::GetViewSize(int32_t* width, int32_t* height) const {
    if (!editor_) return AAX_ERROR_UNIMPLEMENTED;
    *width = editor_->width();
    *height = editor_->height();
    return AAX_SUCCESS;
}

AAX_Result AaxPluginEditor::TimerWakeup() {
    if (editor_) editor_->idle();
    return AAX_SUCCESS;
}

void AaxPluginEditor::CreateViewContents() {
    AAX_CEffectParameters* parameters = GetEffectParameters();
    if (!editorFactory || !parameters || editor_) return;
    VornPlugin* plugin = nullptr;
    uint32_t written = 0;
    if (parameters->GetCustomData(AaxPluginAdapter::kPluginCustomDataType, sizeof(plugin), &plugin,
                                  &written) != AAX_SUCCESS ||
        !plugin)
        return;
    editor_ = editorFactory(*plugin, GetViewContainer()->GetPtr(), *this);
}

void AaxPluginEditor::DeleteViewContents() {
    editor_.reset();
}

void AaxPluginEditor::touchParameter(int id) {
    if (AAX_CEffectParameters* parameters = GetEffectParameters())
        parameters->TouchParameter(std::to_string(id));
}

void AaxPluginEditor::releaseParameter(int id) {
    if (AAX_CEffectParameters* parameters = GetEffectParameters())
        parameters->ReleaseParameter(std::to_string(id));
}

void AaxPluginEditor::setParameterValue(int id, double normalized) {
    if (AAX_CEffectParameters* parameters = GetEffectParameters())
        parameters->SetParameterNormalizedValue(std::to_string(id), normalized);
}

bool AaxPluginEditor::offerMouseDown(int id, int modifiers) {
    AAX_IViewContainer* container = GetViewContainer();
    return container && container->HandleParameterMouseDown(
                            std::to_string(id), hostModifiers(modifiers)) == AAX_SUCCESS;
}

int AaxPluginEditor::currentModifiers() const {
    uint32_t host = 0;
    const AAX_IViewContainer* container = GetViewContainer();
    if (!container || container->GetModifiers(&host) != AAX_SUCCESS) return 0;
    return editorModifiers(host);
}
