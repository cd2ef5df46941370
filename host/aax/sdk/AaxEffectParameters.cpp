#include "host/aax/sdk/AaxEffectParameters.h"

#include <climits>
#include <cstring>
#include <type_traits>

namespace {

int32_t packetValue(const AAX_ParameterValue& value) {
    return std::visit(
        [](auto v) {
            if constexpr (std::is_floating_point_v<decltype(v)>) {
                // Non-finite or huge packets saturate instead of overflowing the conversion.
                if (!(v > static_cast<decltype(v)>(INT32_MIN))) return INT32_MIN;
                if (!(v < static_cast<decltype(v)>(INT32_MAX))) return INT32_MAX;
            }
            return static_cast<int32_t>(v);
        },
        value);
}

}  // namespace

// --- Packets -----------------------------------------------------------------------------------

void AAX_CPacketDispatcher::Initialize(AAX_IController* controller,
                                       const AAX_CParameterManager* parameters) {
    controller_ = controller;
    parameters_ = parameters;
}

void AAX_CPacketDispatcher::RegisterPacket(const std::string& identifier, int field) {
    packets_.push_back(Packet{identifier, field, true});
}

void AAX_CPacketDispatcher::SetDirty(AAX_CParamID identifier) {
    for (Packet& packet : packets_) {
        if (packet.identifier == identifier) packet.dirty = true;
    }
}

AAX_Result AAX_CPacketDispatcher::Dispatch() {
    if (!controller_ || !parameters_) return AAX_ERROR_NULL_OBJECT;
    for (Packet& packet : packets_) {
        if (!packet.dirty) continue;
        const AAX_IParameter* parameter = parameters_->GetParameterByID(packet.identifier);
        if (!parameter) continue;
        const int32_t value = packetValue(parameter->GetValue());
        const AAX_Result result = controller_->PostPacket(packet.field, &value, sizeof(value));
        if (result != AAX_SUCCESS) return result;
        packet.dirty = false;
    }
    return AAX_SUCCESS;
}

// --- Parameters --------------------------------------------------------------------------------

AAX_Result AAX_CEffectParameters::Initialize(AAX_IController* controller) {
    if (!controller) return AAX_ERROR_NULL_OBJECT;
    fController = controller;
    fPacketDispatcher.Initialize(controller, &fParameterManager);
    return EffectInit();
}

AAX_Result AAX_CEffectParameters::GetParameterNormalizedValue(AAX_CParamID identifier,
                                                              double* value) const {
    const AAX_IParameter* parameter = fParameterManager.GetParameterByID(identifier);
    if (!parameter) return AAX_ERROR_INVALID_PARAMETER_ID;
    *value = parameter->GetNormalizedValue();
    return AAX_SUCCESS;
}

AAX_Result AAX_CEffectParameters::GetParameterValueString(AAX_CParamID identifier,
                                                          int32_t maxLength,
                                                          std::string* text) const {
    const AAX_IParameter* parameter = fParameterManager.GetParameterByID(identifier);
    if (!parameter) return AAX_ERROR_INVALID_PARAMETER_ID;
    return parameter->GetValueString(maxLength, text) ? AAX_SUCCESS : AAX_ERROR_INVALID_ARGUMENT;
}

AAX_Result AAX_CEffectParameters::GetParameterValueFromString(AAX_CParamID identifier,
                                                              const std::string& text,
                                                              double* value) const {
    const AAX_IParameter* parameter = fParameterManager.GetParameterByID(identifier);
    if (!parameter) return AAX_ERROR_INVALID_PARAMETER_ID;
    return parameter->GetNormalizedValueFromString(text, value) ? AAX_SUCCESS
                                                                : AAX_ERROR_INVALID_ARGUMENT;
}

AAX_Result AAX_CEffectParameters::SetParameterNormalizedValue(AAX_CParamID identifier,
                                                              double value) {
    if (!fController) return AAX_ERROR_NULL_OBJECT;
    return fController->SetParameterValueRequest(identifier, value);
}

AAX_Result AAX_CEffectParameters::TouchParameter(AAX_CParamID identifier) {
    if (!fController) return AAX_ERROR_NULL_OBJECT;
    return fController->TouchParameter(identifier);
}

AAX_Result AAX_CEffectParameters::ReleaseParameter(AAX_CParamID identifier) {
    if (!fController) return AAX_ERROR_NULL_OBJECT;
    return fController->ReleaseParameter(identifier);
}

AAX_Result AAX_CEffectParameters::UpdateParameterNormalizedValue(AAX_CParamID identifier,
                                                                 double value,
                                                                 AAX_EUpdateSource /*source*/) {
    AAX_IParameter* parameter = fParameterManager.GetParameterByID(identifier);
    if (!parameter) return AAX_ERROR_INVALID_PARAMETER_ID;
    parameter->SetNormalizedValue(value);
    fPacketDispatcher.SetDirty(identifier);
    ++fNumParameterUpdates;
    return AAX_SUCCESS;
}

AAX_Result AAX_CEffectParameters::GetCustomData(AAX_CTypeID /*type*/, uint32_t /*size*/,
                                                void* /*data*/, uint32_t* written) {
    *written = 0;
    return AAX_ERROR_UNIMPLEMENTED;
}

// --- Chunks ------------------------------------------------------------------------------------

AAX_Result AAX_CEffectParameters::GetNumberOfChunks(int32_t* count) const {
    *count = 0;
    return AAX_SUCCESS;
}

AAX_Result AAX_CEffectParameters::GetChunkIDFromIndex(int32_t /*index*/,
                                                      AAX_CTypeID* /*chunkID*/) const {
    return AAX_ERROR_INVALID_CHUNK_INDEX;
}

AAX_Result AAX_CEffectParameters::GetChunkSize(AAX_CTypeID /*chunkID*/, int32_t* /*size*/) {
    return AAX_ERROR_INVALID_CHUNK_ID;
}

AAX_Result AAX_CEffectParameters::GetChunk(AAX_CTypeID /*chunkID*/, AAX_SPlugInChunk* /*chunk*/) {
    return AAX_ERROR_INVALID_CHUNK_ID;
}

AAX_Result AAX_CEffectParameters::SetChunk(AAX_CTypeID /*chunkID*/,
                                           const AAX_SPlugInChunk* /*chunk*/) {
    return AAX_ERROR_INVALID_CHUNK_ID;
}

AAX_Result AAX_CEffectParameters::CompareActiveChunk(const AAX_SPlugInChunk* /*chunk*/,
                                                     bool* /*isEqual*/) {
    return AAX_ERROR_INVALID_CHUNK_ID;
}

void AAX_CEffectParameters::WriteControlsChunk(AAX_SPlugInChunk* chunk) const {
    chunk->fSize = AAX_CHUNK_HEADER_SIZE + fChunkParser.GetChunkDataSize();
    chunk->fVersion = AAX_CChunkDataParser::kVersion;
    chunk->fChunkID = kControlsChunkID;
    std::memset(chunk->fName, 0, sizeof(chunk->fName));
    std::strncpy(chunk->fName, kControlsChunkName, sizeof(chunk->fName) - 1);
    fChunkParser.GetChunkData(AAX_ChunkData(chunk));
}

void AAX_CEffectParameters::BuildChunkData() {
    fChunkParser.Clear();
    for (int32_t k = 0; k < fParameterManager.NumParameters(); ++k) {
        const AAX_IParameter* parameter = fParameterManager.GetParameter(k);
        if (fFilteredParameters.count(parameter->Identifier())) continue;
        fChunkParser.AddValue(parameter->Identifier(), parameter->GetValue());
    }
}

AAX_Result AAX_CEffectParameters::SetControlsChunk(const AAX_SPlugInChunk* chunk) {
    if (chunk->fSize < AAX_CHUNK_HEADER_SIZE ||
        !fChunkParser.LoadChunkData(AAX_ChunkData(chunk), chunk->fSize - AAX_CHUNK_HEADER_SIZE))
        return AAX_ERROR_INCORRECT_CHUNK_SIZE;
    for (int32_t k = 0; k < fParameterManager.NumParameters(); ++k) {
        const AAX_IParameter* parameter = fParameterManager.GetParameter(k);
        if (fFilteredParameters.count(parameter->Identifier())) continue;
        const AAX_ParameterValue* value = fChunkParser.FindValue(parameter->Identifier());
        double normalized = 0.0;
        if (!value || !parameter->NormalizedFromValue(*value, &normalized)) continue;
        UpdateParameterNormalizedValue(parameter->Identifier(), normalized,
                                       AAX_EUpdateSource::Chunk);
    }
    return AAX_SUCCESS;
}

bool AAX_CEffectParameters::CompareControlsChunk(const AAX_SPlugInChunk* chunk) {
    AAX_CChunkDataParser stored;
    if (chunk->fSize < AAX_CHUNK_HEADER_SIZE ||
        !stored.LoadChunkData(AAX_ChunkData(chunk), chunk->fSize - AAX_CHUNK_HEADER_SIZE))
        return false;
    for (int32_t k = 0; k < fParameterManager.NumParameters(); ++k) {
        const AAX_IParameter* parameter = fParameterManager.GetParameter(k);
        if (fFilteredParameters.count(parameter->Identifier())) continue;
        const AAX_ParameterValue* value = stored.FindValue(parameter->Identifier());
        if (value && *value != parameter->GetValue()) return false;
    }
    return true;
}
