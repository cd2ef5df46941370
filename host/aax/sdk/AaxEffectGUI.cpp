#include "host/aax/sdk/AaxEffectGUI.h"

AAX_Result AAX_CEffectGUI::Initialize(AAX_CEffectParameters* parameters) {
    if (!parameters) return AAX_ERROR_NULL_OBJECT;
    parameters_ = parameters;
    return AAX_SUCCESS;
}

AAX_Result AAX_CEffectGUI::SetViewContainer(AAX_IViewContainer* container) {
    if (container_) DeleteViewContents();
    container_ = container;
    if (container_) CreateViewContents();
    return AAX_SUCCESS;
}
