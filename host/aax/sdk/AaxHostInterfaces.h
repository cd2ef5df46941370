#pragma once

#include <cstdint>

#include "host/aax/sdk/AaxTypes.h"

class AAX_CEffectParameters;
class AAX_CEffectGUI;

// Creation procedures the host calls for every instance; the host owns the objects.
using AAX_CreateParametersProc = AAX_CEffectParameters* (*)();
using AAX_CreateGUIProc = AAX_CEffectGUI* (*)();

class AAX_IPropertyMap {
public:
    virtual ~AAX_IPropertyMap() = default;
    virtual AAX_Result AddProperty(AAX_EProperty property, int32_t value) = 0;
};

// The algorithm of one configuration: its context fields, stems and processing procedure.
class AAX_IComponentDescriptor {
public:
    virtual ~AAX_IComponentDescriptor() = default;
    virtual AAX_Result AddAudioIn(int field) = 0;
    virtual AAX_Result AddAudioOut(int field) = 0;
    virtual AAX_Result AddAudioBufferLength(int field) = 0;
    virtual AAX_Result AddSampleRate(int field) = 0;
    virtual AAX_Result AddSideChainIn(int field) = 0;
    virtual AAX_Result AddMIDINode(int field, AAX_EMidiNodeType type, const char* name,
                                   uint32_t channelMask) = 0;
    // A port the effect posts packets to; a buffered port keeps the last packet.
    virtual AAX_Result AddDataInPort(int field, uint32_t size, bool buffered) = 0;
    virtual AAX_Result AddPrivateData(int field, uint32_t size) = 0;
    // Owned by the descriptor.
    virtual AAX_IPropertyMap* NewPropertyMap() = 0;
    virtual AAX_Result AddProcessProc_Native(AAX_ProcessProc proc,
                                             AAX_IPropertyMap* properties) = 0;
};

class AAX_IEffectDescriptor {
public:
    virtual ~AAX_IEffectDescriptor() = default;
    // Owned by the descriptor; null when it cannot be made.
    virtual AAX_IComponentDescriptor* NewComponentDescriptor() = 0;
    virtual AAX_Result AddComponent(AAX_IComponentDescriptor* component) = 0;
    virtual AAX_Result AddName(const char* name) = 0;
    virtual AAX_Result AddCategory(uint32_t category) = 0;
    virtual AAX_Result AddResourceInfo(AAX_EResourceType type, const char* file) = 0;
    virtual AAX_Result AddParametersProc(AAX_CreateParametersProc proc) = 0;
    virtual AAX_Result AddGUIProc(AAX_CreateGUIProc proc) = 0;
    virtual AAX_IPropertyMap* NewPropertyMap() = 0;
    virtual AAX_Result SetProperties(AAX_IPropertyMap* properties) = 0;
};

// What a host scan collects from the module.
class AAX_ICollection {
public:
    virtual ~AAX_ICollection() = default;
    // Owned by the collection; null when it cannot be made.
    virtual AAX_IEffectDescriptor* NewDescriptor() = 0;
    virtual AAX_Result AddEffect(const char* effectId, AAX_IEffectDescriptor* descriptor) = 0;
    virtual AAX_Result SetManufacturerName(const char* name) = 0;
    virtual AAX_Result AddPackageName(const char* name) = 0;
    virtual AAX_Result SetPackageVersion(uint32_t version) = 0;
};

// The host's side of one instance.
class AAX_IController {
public:
    virtual ~AAX_IController() = default;
    virtual AAX_Result GetSampleRate(float* rate) const = 0;
    virtual AAX_Result GetInputStemFormat(int32_t* stem) const = 0;
    virtual AAX_Result GetOutputStemFormat(int32_t* stem) const = 0;
    virtual AAX_Result SetSignalLatency(int32_t samples) = 0;
    virtual const AAX_ITransport* GetTransport() const = 0;
    // Copies the packet into the data port of the context field.
    virtual AAX_Result PostPacket(int field, const void* data, uint32_t size) = 0;
    // Automation requests: the host answers a value request with UpdateParameterNormalizedValue.
    virtual AAX_Result TouchParameter(AAX_CParamID identifier) = 0;
    virtual AAX_Result ReleaseParameter(AAX_CParamID identifier) = 0;
    virtual AAX_Result SetParameterValueRequest(AAX_CParamID identifier, double normalized) = 0;
};

// The host window that shows an effect's editor.
class AAX_IViewContainer {
public:
    virtual ~AAX_IViewContainer() = default;
    virtual void* GetPtr() = 0;  // the native window
    virtual AAX_Result GetModifiers(uint32_t* modifiers) const = 0;
    // AAX_SUCCESS when the host took the click (its automation menu, for example).
    virtual AAX_Result HandleParameterMouseDown(AAX_CParamID identifier, uint32_t modifiers) = 0;
};
