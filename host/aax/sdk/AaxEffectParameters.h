#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "host/aax/sdk/AaxChunkDataParser.h"
#include "host/aax/sdk/AaxHostInterfaces.h"
#include "host/aax/sdk/AaxParameter.h"

// Posts a host parameter's value to a context field when the parameter changed: the value as a
// 32-bit integer (a bool as 0 or 1).
class AAX_CPacketDispatcher {
public:
    void Initialize(AAX_IController* controller, const AAX_CParameterManager* parameters);
    void RegisterPacket(const std::string& identifier, int field);
    void SetDirty(AAX_CParamID identifier);
    AAX_Result Dispatch();

private:
    struct Packet {
        std::string identifier;
        int field;
        bool dirty;
    };

    AAX_IController* controller_ = nullptr;
    const AAX_CParameterManager* parameters_ = nullptr;
    std::vector<Packet> packets_;
};

// The effect's parameter object: the host parameters, their packets and the chunks the host
// stores with a session. Products override the virtual calls.
class AAX_CEffectParameters {
public:
    static constexpr AAX_CTypeID kControlsChunkID = AAX_FourChar("elck");
    static constexpr const char* kControlsChunkName = "Complete Controls State";

    virtual ~AAX_CEffectParameters() = default;

    // Host: the first call after creation.
    AAX_Result Initialize(AAX_IController* controller);
    // Host: after value updates, posts the changed packets.
    AAX_Result GenerateCoefficients() { return fPacketDispatcher.Dispatch(); }

    int32_t GetNumberOfParameters() const { return fParameterManager.NumParameters(); }
    const AAX_IParameter* GetParameterByIndex(int32_t index) const {
        return fParameterManager.GetParameter(index);
    }
    AAX_Result GetParameterNormalizedValue(AAX_CParamID identifier, double* value) const;
    AAX_Result GetParameterValueString(AAX_CParamID identifier, int32_t maxLength,
                                       std::string* text) const;
    AAX_Result GetParameterValueFromString(AAX_CParamID identifier, const std::string& text,
                                           double* value) const;
    // Asks the host to automate a change; the host answers with UpdateParameterNormalizedValue.
    AAX_Result SetParameterNormalizedValue(AAX_CParamID identifier, double value);
    AAX_Result TouchParameter(AAX_CParamID identifier);
    AAX_Result ReleaseParameter(AAX_CParamID identifier);
    int32_t GetParameterUpdateCount() const { return fNumParameterUpdates; }

    // Host: a parameter's new value. The base stores it and marks its packet dirty.
    virtual AAX_Result UpdateParameterNormalizedValue(AAX_CParamID identifier, double value,
                                                      AAX_EUpdateSource source);

    // Chunks; the base offers none, products build theirs from the helpers below.
    virtual AAX_Result GetNumberOfChunks(int32_t* count) const;
    virtual AAX_Result GetChunkIDFromIndex(int32_t index, AAX_CTypeID* chunkID) const;
    virtual AAX_Result GetChunkSize(AAX_CTypeID chunkID, int32_t* size);
    // The chunk points at GetChunkSize bytes.
    virtual AAX_Result GetChunk(AAX_CTypeID chunkID, AAX_SPlugInChunk* chunk);
    virtual AAX_Result SetChunk(AAX_CTypeID chunkID, const AAX_SPlugInChunk* chunk);
    virtual AAX_Result CompareActiveChunk(const AAX_SPlugInChunk* chunk, bool* isEqual);

    virtual AAX_Result GetCustomData(AAX_CTypeID type, uint32_t size, void* data,
                                     uint32_t* written);

    // Host: called now and then on its main thread, for work that must not run in real time.
    virtual AAX_Result TimerWakeup() { return AAX_SUCCESS; }

protected:
    virtual AAX_Result EffectInit() { return AAX_SUCCESS; }

    // The controls chunk from the current values, without the excluded identifiers.
    void BuildChunkData();
    // Header and data of the controls chunk last built: AAX_CHUNK_HEADER_SIZE +
    // fChunkParser.GetChunkDataSize() bytes.
    void WriteControlsChunk(AAX_SPlugInChunk* chunk) const;
    // Every value the controls chunk holds for a parameter that is not excluded, as an update.
    AAX_Result SetControlsChunk(const AAX_SPlugInChunk* chunk);
    // True when every value the chunk holds equals the parameter's.
    bool CompareControlsChunk(const AAX_SPlugInChunk* chunk);

    AAX_IController* fController = nullptr;
    const AAX_ITransport* fTransport = nullptr;
    AAX_CParameterManager fParameterManager;
    AAX_CPacketDispatcher fPacketDispatcher;
    AAX_CChunkDataParser fChunkParser;
    std::set<std::string, std::less<>> fFilteredParameters;
    int32_t fNumParameterUpdates = 0;
};
