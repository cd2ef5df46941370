#pragma once

#include <cstdint>

#include "host/aax/sdk/AaxHostInterfaces.h"

class AAX_CEffectParameters;

// The effect's view object. The host shows it in a view container: setting a container creates
// the view contents, clearing it deletes them.
class AAX_CEffectGUI {
public:
    virtual ~AAX_CEffectGUI() = default;

    // Host: the first call after creation, with the instance's parameter object.
    AAX_Result Initialize(AAX_CEffectParameters* parameters);
    AAX_Result SetViewContainer(AAX_IViewContainer* container);
    virtual AAX_Result GetViewSize(int32_t* width, int32_t* height) const = 0;
    // Host: called on the view's thread some 30 times a second while the view is open.
    virtual AAX_Result TimerWakeup() { return AAX_SUCCESS; }

protected:
    virtual void CreateViewContents() {}
    virtual void DeleteViewContents() {}

    AAX_CEffectParameters* GetEffectParameters() const { return parameters_; }
    AAX_IViewContainer* GetViewContainer() const { return container_; }

private:
    AAX_CEffectParameters* parameters_ = nullptr;
    AAX_IViewContainer* container_ = nullptr;
};
