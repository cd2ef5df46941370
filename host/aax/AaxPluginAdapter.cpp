#include "host/aax/AaxPluginAdapter.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <limits>

#include "engine/VornPresets.h"
#include "framework/PluginSettings.h"
#include "host/aax/AaxPluginEditor.h"
#include "host/aax/ParamDelegates.h"
#include "persistence/RegistrySerializer.h"

namespace {

constexpr const char* kMonoNameSuffix = " (mono)";
constexpr const char* kTransportNodeName = "Transport";
constexpr const char* kUseHostShortcutsSetting = "UseProToolsShortcuts";
constexpr int32_t kEffectFlagOn = 1;
constexpr int32_t kUnlimited = std::numeric_limits<int32_t>::max();
constexpr int kIdentifierBufferSize = 12;

std::string fullName(const VersionRecord& version) {
    return std::string(AaxPluginAdapter::kManufacturerName) + " " + version.folderName();
}

std::string effectId(const VersionRecord& version, int configuration) {
    std::string id = std::string(AaxPluginAdapter::kEffectIdPrefix) + version.productName() + "." +
                     std::to_string(version.majorVersion()) + ".AAX";
    if (configuration & AaxPluginAdapter::kAudioSuite) id += ".AS";
    if (configuration & AaxPluginAdapter::kMonoInMonoOut) {
        id += ".Mono";
    } else if (configuration & AaxPluginAdapter::kMonoInStereoOut) {
        id += ".MonoToStereo";
    }
    return id;
}

int32_t fourChar(const std::string& text) {
    char chars[5] = {};
    std::memcpy(chars, text.data(), std::min<size_t>(text.size(), 4));
    return static_cast<int32_t>(AAX_FourChar(chars));
}

// A decimal host identifier; false for anything else ("MasterBypassID").
bool parseIndex(AAX_CParamID identifier, int* index) {
    const char* end = identifier.data() + identifier.size();
    const auto [last, error] = std::from_chars(identifier.data(), end, *index);
    return error == std::errc() && last == end && !identifier.empty();
}

}  // namespace

// --- Description -------------------------------------------------------------------------------

AAX_Result AaxPluginAdapter::describe(AAX_ICollection& collection, const VersionRecord& version) {
    VornPlugin plugin;
    AAX_Result result = describeConfiguration(collection, plugin, version, 0);
    const auto keepFirstFailure = [&result](AAX_Result next) {
        if (result == AAX_SUCCESS) result = next;
    };
    if (plugin.hasAudioInput()) {
        keepFirstFailure(describeConfiguration(collection, plugin, version, kAudioSuite));
    }
    // The core has no mono-only products: the mono-in, stereo-out configuration goes instead.
    keepFirstFailure(describeConfiguration(collection, plugin, version, kMonoInStereoOut));

    collection.SetManufacturerName(kManufacturerName);
    collection.AddPackageName(fullName(version).c_str());
    collection.AddPackageName(version.folderName().c_str());
    collection.SetPackageVersion(static_cast<uint32_t>(version.majorVersion()));

    RegistryReader productKey(version.settingsKey());
    if (productKey.serializeBool(kUseHostShortcutsSetting, true, true))
        AaxPluginEditor::useHostShortcuts();
    return result;
}

AAX_Result AaxPluginAdapter::describeConfiguration(AAX_ICollection& collection,
                                                   GenericPlugin& plugin,
                                                   const VersionRecord& version,
                                                   int configuration) {
    AAX_IEffectDescriptor* effect = collection.NewDescriptor();
    if (!effect) return AAX_ERROR_NULL_OBJECT;
    const bool mono = configuration & kMonoInMonoOut;
    const std::string suffix = mono && (configuration & kAudioSuite) ? kMonoNameSuffix : "";
    effect->AddName((fullName(version) + suffix).c_str());
    effect->AddName((version.folderName() + suffix).c_str());
    effect->AddCategory(category(plugin.pluginCategory()));
    if (plugin.hasPageTable())
        effect->AddResourceInfo(AAX_EResourceType::PageTable, kPageTableFile);
    effect->AddParametersProc(&AaxPluginAdapter::create);
    effect->AddGUIProc(&AaxPluginEditor::create);

    AAX_IPropertyMap* properties = effect->NewPropertyMap();
    if (!properties) return AAX_ERROR_NULL_OBJECT;
    const bool sameProductId = GenericPlugin::sharedSettings()->correctDigiProductIds;
    const std::string pluginId = plugin.pluginId();
    properties->AddProperty(AAX_PROPERTY_MANUFACTURER_ID, static_cast<int32_t>(kManufacturerId));
    properties->AddProperty(
        AAX_PROPERTY_PRODUCT_ID,
        fourChar(productIdentifier(pluginId, sameProductId ? 0 : configuration)));
    properties->AddProperty(AAX_PROPERTY_HOST_60, kEffectFlagOn);
    properties->AddProperty(AAX_PROPERTY_HOST_301, kEffectFlagOn);
    properties->AddProperty(AAX_PROPERTY_HOST_58, kUnlimited);
    effect->SetProperties(properties);

    AAX_IComponentDescriptor* component = effect->NewComponentDescriptor();
    if (!component) return AAX_ERROR_NULL_OBJECT;
    component->AddDataInPort(kFieldBypass, sizeof(int32_t), true);
    component->AddDataInPort(kFieldAdapter, sizeof(AaxPluginAdapter*), true);
    component->AddAudioIn(kFieldAudioInputs);
    component->AddAudioOut(kFieldAudioOutputs);
    component->AddAudioBufferLength(kFieldBufferLength);
    if (plugin.acceptsSideChain()) component->AddSideChainIn(kFieldSideChain);
    component->AddSampleRate(kFieldSampleRate);
    component->AddMIDINode(kFieldMidiInput, AAX_EMidiNodeType::LocalInput,
                           fullName(version).c_str(), kMidiChannelMask);
    component->AddMIDINode(kFieldTransport, AAX_EMidiNodeType::Transport, kTransportNodeName, 0);
    component->AddPrivateData(kFieldResetRequest, sizeof(int32_t));

    AAX_IPropertyMap* stems = component->NewPropertyMap();
    if (!stems) return AAX_ERROR_NULL_OBJECT;
    const bool monoIn = configuration & (kMonoInMonoOut | kMonoInStereoOut);
    stems->AddProperty(AAX_PROPERTY_INPUT_STEM_FORMAT, monoIn ? AAX_STEM_MONO : AAX_STEM_STEREO);
    stems->AddProperty(AAX_PROPERTY_OUTPUT_STEM_FORMAT, mono ? AAX_STEM_MONO : AAX_STEM_STEREO);
    const int32_t identifier = fourChar(productIdentifier(pluginId, configuration));
    if (configuration & kAudioSuite) {
        stems->AddProperty(AAX_PROPERTY_PLUGIN_ID_AUDIOSUITE, identifier);
        if (!mono) stems->AddProperty(AAX_PROPERTY_HOST_108, kEffectFlagOn);
    } else {
        stems->AddProperty(AAX_PROPERTY_PLUGIN_ID_NATIVE, identifier);
    }
    component->AddProcessProc_Native(&AaxPluginAdapter::processCallback, stems);
    const AAX_Result added = effect->AddComponent(component);
    if (added != AAX_SUCCESS) return added;
    return collection.AddEffect(effectId(version, configuration).c_str(), effect);
}

std::string AaxPluginAdapter::productIdentifier(const std::string& pluginId, int configuration) {
    std::string id = pluginId.substr(0, 4);
    if (id.size() < 4) return id;
    const bool bit0 = configuration & kMonoInMonoOut;
    if (configuration & kProductBit4) {
        id[3] = (configuration & kMonoInStereoOut) ? '9' : bit0 ? '8' : '7';
    } else if (configuration & kAudioSuite) {
        id[3] = bit0 ? '6' : '5';
    } else if (configuration & kMonoInStereoOut) {
        id[3] = '1';
    } else if (bit0) {
        id[3] = (configuration & kProductBit1) ? '3' : '2';
    } else if (configuration & kProductBit1) {
        id[3] = '4';
    }
    return id;
}

uint32_t AaxPluginAdapter::category(int pluginKind) {
    switch (pluginKind) {
        case 1:
            return 2048;
        case 2:
            return 8192;
        case 3:
            return 16;
        case 4:
            return 2;
        case 5:
            return 1;
        case 6:
            return 64;
        default:
            return 0;
    }
}

AAX_CEffectParameters* AaxPluginAdapter::create() {
    return new AaxPluginAdapter();
}

AAX_Result GetEffectDescriptions(AAX_ICollection* collection) {
    if (!collection) return AAX_ERROR_NULL_OBJECT;
    return AaxPluginAdapter::describe(*collection);
}

// --- Instance ----------------------------------------------------------------------------------

AaxPluginAdapter::AaxPluginAdapter() = default;

AaxPluginAdapter::~AaxPluginAdapter() {
    if (plugin_) plugin_->setAdapter(nullptr);
}

AAX_Result AaxPluginAdapter::EffectInit() {
    int32_t inputStem = AAX_STEM_STEREO;
    int32_t outputStem = AAX_STEM_STEREO;
    fController->GetInputStemFormat(&inputStem);
    fController->GetOutputStemFormat(&outputStem);
    monoToStereo_ = outputStem == AAX_STEM_STEREO && inputStem == AAX_STEM_MONO;
    outputChannels_ = std::clamp(AAX_StemChannelCount(outputStem), 1, kMaxChannels / 2);

    plugin_ = std::make_unique<VornPlugin>();
    plugin_->setAdapter(this);
    float sampleRate = 0.0f;
    if (fController->GetSampleRate(&sampleRate) == AAX_SUCCESS) plugin_->setSampleRate(sampleRate);

    auto bypass = std::make_unique<AAX_CParameter<bool>>(
        kMasterBypassId, kMasterBypassName, false, AAX_CBinaryTaperDelegate<bool>(),
        AAX_CBinaryDisplayDelegate<bool>("bypass", "on"), true);
    bypass->SetNumberOfSteps(2);
    bypass->SetType(AAX_EParameterType::Discrete);
    fParameterManager.AddParameter(std::move(bypass));
    fPacketDispatcher.RegisterPacket(kMasterBypassId, kFieldBypass);
    // The host keeps its own bypass state with the session.
    fFilteredParameters.insert(kMasterBypassId);

    for (int id = 0; id < plugin_->getParameterCount(); ++id) {
        addSynthParameter(*plugin_->getParameter(id));
    }

    AaxPluginAdapter* self = this;
    fController->PostPacket(kFieldAdapter, &self, sizeof(self));
    fController->SetSignalLatency(plugin_->latencySamples());
    fTransport = fController->GetTransport();
    return AAX_SUCCESS;
}

void AaxPluginAdapter::addSynthParameter(AbstractPluginParameter& parameter) {
    const std::string identifier = std::to_string(parameter.id());
    if (parameter.kind() == AbstractPluginParameter::kContinuous) {
        auto host = std::make_unique<AAX_CParameter<float>>(
            identifier, parameter.name(), parameter.getValue(),
            ParamTaperDelegate<float>(parameter), ParamDisplayDelegate<float>(parameter),
            parameter.isAutomatable());
        host->SetNumberOfSteps(kContinuousSteps);
        host->SetType(AAX_EParameterType::Continuous);
        fParameterManager.AddParameter(std::move(host));
        return;
    }
    const int32_t minimum = static_cast<int32_t>(parameter.getMinimum());
    const int32_t maximum = static_cast<int32_t>(parameter.getMaximum());
    auto host = std::make_unique<AAX_CParameter<int32_t>>(
        identifier, parameter.name(), static_cast<int32_t>(parameter.getValue()) - minimum,
        AAX_CStateTaperDelegate<int32_t>(0, maximum - minimum),
        ParamDisplayDelegate<int32_t>(parameter), parameter.isAutomatable());
    host->SetNumberOfSteps(maximum + 1 - minimum);
    host->SetType(AAX_EParameterType::Discrete);
    fParameterManager.AddParameter(std::move(host));
}

int32_t AaxPluginAdapter::quantizeStep(double normalized) {
    const double step = (normalized + kStepOffset) * kLastStep;
    if (!(step > 0.0)) return 0;  // also NaN
    return static_cast<int32_t>(std::min(step, static_cast<double>(kLastStep)));
}

AAX_Result AaxPluginAdapter::UpdateParameterNormalizedValue(AAX_CParamID identifier, double value,
                                                            AAX_EUpdateSource source) {
    int index = -1;
    AbstractPluginParameter* parameter =
        plugin_ && parseIndex(identifier, &index) ? plugin_->getParameter(index) : nullptr;
    if (parameter) {
        // Round trips through the host come back slightly off; within a step nothing changed.
        const bool sameStep = parameter->kind() == AbstractPluginParameter::kContinuous &&
                              quantizeStep(parameter->plainToNormalized(parameter->getValue())) ==
                                  quantizeStep(value);
        if (!sameStep) {
            parameter->setValue(parameter->normalizedToPlain(static_cast<float>(value)),
                                GenericPlugin::kFlagFromHost);
        }
    }
    return AAX_CEffectParameters::UpdateParameterNormalizedValue(identifier, value, source);
}

void AaxPluginAdapter::onLatencyChanged() {
    if (fController) fController->SetSignalLatency(plugin_->latencySamples());
}

void AaxPluginAdapter::onParameterChanged(int id) {
    if (id >= 0) {
        reportParameter(id);
        return;
    }
    for (int k = 0; k < plugin_->getParameterCount(); ++k) reportParameter(k);
}

// May run on the audio thread (MIDI controllers): the identifier is formatted on the stack.
void AaxPluginAdapter::reportParameter(int id) {
    const AbstractPluginParameter* parameter = plugin_->getParameter(id);
    if (!parameter) return;
    char text[kIdentifierBufferSize];
    const auto [end, error] = std::to_chars(text, text + sizeof(text), id);
    if (error != std::errc()) return;
    SetParameterNormalizedValue(AAX_CParamID(text, static_cast<size_t>(end - text)),
                                parameter->plainToNormalized(parameter->getValue()));
}

AAX_Result AaxPluginAdapter::TimerWakeup() {
    if (plugin_) plugin_->presets().loadPendingProgram();
    return AAX_SUCCESS;
}

AAX_Result AaxPluginAdapter::GetCustomData(AAX_CTypeID type, uint32_t size, void* data,
                                           uint32_t* written) {
    *written = 0;
    VornPlugin* synth = plugin_.get();
    if (type != kPluginCustomDataType || size != sizeof(synth)) return AAX_ERROR_UNIMPLEMENTED;
    std::memcpy(data, &synth, sizeof(synth));
    *written = sizeof(synth);
    return AAX_SUCCESS;
}

// --- Chunks ------------------------------------------------------------------------------------

AAX_Result AaxPluginAdapter::GetNumberOfChunks(int32_t* count) const {
    *count = 2;
    return AAX_SUCCESS;
}

AAX_Result AaxPluginAdapter::GetChunkIDFromIndex(int32_t index, AAX_CTypeID* chunkID) const {
    int32_t count = 0;
    GetNumberOfChunks(&count);
    if (index == 0) {
        *chunkID = kControlsChunkID;
    } else if (index == count - 1) {
        *chunkID = kPresetNameChunkID;
    } else {
        return AAX_ERROR_INVALID_CHUNK_INDEX;
    }
    return AAX_SUCCESS;
}

AAX_Result AaxPluginAdapter::GetChunkSize(AAX_CTypeID chunkID, int32_t* size) {
    if (chunkID == kPresetNameChunkID) {
        *size = kPresetNameChunkSize;
        return AAX_SUCCESS;
    }
    if (chunkID != kControlsChunkID) return AAX_ERROR_INVALID_CHUNK_ID;
    BuildChunkData();
    controlsChunkSize_ = AAX_CHUNK_HEADER_SIZE + fChunkParser.GetChunkDataSize();
    *size = controlsChunkSize_;
    return AAX_SUCCESS;
}

AAX_Result AaxPluginAdapter::GetChunk(AAX_CTypeID chunkID, AAX_SPlugInChunk* chunk) {
    if (chunkID == kPresetNameChunkID) {
        chunk->fSize = kPresetNameChunkSize;
        chunk->fVersion = 0;
        chunk->fChunkID = kPresetNameChunkID;
        std::memset(chunk->fName, 0, sizeof(chunk->fName));
        std::strncpy(chunk->fName, kPresetNameChunkName, sizeof(chunk->fName) - 1);
        uint8_t* data = AAX_ChunkData(chunk);
        const std::string& name = plugin_->currentPreset().name;
        std::memset(data, 0, kPresetNameSize);
        std::memcpy(data, name.data(), std::min<size_t>(name.size(), kPresetNameSize));
        return AAX_SUCCESS;
    }
    if (chunkID != kControlsChunkID) return AAX_ERROR_INVALID_CHUNK_ID;
    BuildChunkData();
    // Also fails when the host never asked for the size.
    if (AAX_CHUNK_HEADER_SIZE + fChunkParser.GetChunkDataSize() != controlsChunkSize_)
        return AAX_ERROR_INCORRECT_CHUNK_SIZE;
    WriteControlsChunk(chunk);
    return AAX_SUCCESS;
}

AAX_Result AaxPluginAdapter::SetChunk(AAX_CTypeID chunkID, const AAX_SPlugInChunk* chunk) {
    if (chunkID == kPresetNameChunkID) {
        const char* data = reinterpret_cast<const char*>(AAX_ChunkData(chunk));
        const size_t available = static_cast<size_t>(
            std::clamp(chunk->fSize - AAX_CHUNK_HEADER_SIZE, 0, kPresetNameSize - 1));
        plugin_->renameCurrentPreset(std::string(data, strnlen(data, available)));
        return AAX_SUCCESS;
    }
    if (chunkID != kControlsChunkID) return AAX_ERROR_INVALID_CHUNK_ID;
    return SetControlsChunk(chunk);
}

AAX_Result AaxPluginAdapter::CompareActiveChunk(const AAX_SPlugInChunk* chunk, bool* isEqual) {
    if (chunk->fChunkID == kPresetNameChunkID) {
        const char* data = reinterpret_cast<const char*>(AAX_ChunkData(chunk));
        *isEqual = std::strncmp(data, plugin_->currentPreset().name.c_str(), kPresetNameSize) == 0;
        return AAX_SUCCESS;
    }
    if (chunk->fChunkID != kControlsChunkID) return AAX_ERROR_INVALID_CHUNK_ID;
    *isEqual = CompareControlsChunk(chunk);
    return AAX_SUCCESS;
}

// --- Real time ---------------------------------------------------------------------------------

void AaxPluginAdapter::processCallback(AAX_Context* const* instancesBegin,
                                       AAX_Context* const* instancesEnd) {
    for (AAX_Context* const* context = instancesBegin; context != instancesEnd; ++context) {
        AaxPluginAdapter* adapter =
            *static_cast<AaxPluginAdapter* const*>((*context)->fields[kFieldAdapter]);
        adapter->render(**context);
    }
}

void AaxPluginAdapter::render(AAX_Context& context) {
    const auto& fields = context.fields;
    VornPlugin& synth = *plugin_;
    const int32_t frames = *static_cast<const int32_t*>(fields[kFieldBufferLength]);

    synth.setBypass(0, *static_cast<const int32_t*>(fields[kFieldBypass]) != 0);
    synth.setSampleRate(*static_cast<const float*>(fields[kFieldSampleRate]));

    if (const auto* node = static_cast<const AAX_IMidiNode*>(fields[kFieldMidiInput])) {
        const AAX_CMidiStream* stream = node->GetNodeBuffer();
        for (uint32_t k = 0; stream && k < stream->packetCount; ++k) {
            const AAX_CMidiPacket& packet = stream->packets[k];
            if (packet.length == 0) continue;
            MidiEvent event;
            event.status = packet.data[0];
            event.data1 = packet.length >= 2 ? packet.data[1] : 0;
            event.data2 = packet.length >= 3 ? packet.data[2] : 0;
            event.offset = static_cast<int32_t>(packet.timestamp);
            synth.receiveMidi(event);
        }
    }

    const auto* transportNode = static_cast<const AAX_IMidiNode*>(fields[kFieldTransport]);
    const AAX_ITransport* transport =
        transportNode && transportNode->GetTransport() ? transportNode->GetTransport() : fTransport;
    if (transport) {
        double tempo = 0.0;
        int32_t numerator = 4;
        int32_t denominator = 4;
        int32_t bars = 1;
        int32_t beats = 1;
        int64_t ticks = 0;
        transport->GetCurrentTempo(&tempo);
        transport->GetCurrentMeter(&numerator, &denominator);
        transport->GetCurrentBarBeat(&bars, &beats, &ticks);
        const double position = (static_cast<double>(bars) * numerator + beats - 1) +
                                denominator * static_cast<double>(ticks) * kTicksToMeterBeats;
        synth.updateTransport(static_cast<float>(tempo), static_cast<float>(position));
    }

    if (auto* reset = static_cast<int32_t*>(fields[kFieldResetRequest]); reset && *reset != 0) {
        synth.reset();
        *reset = 0;
    }

    const auto* hostInputs = static_cast<const float* const*>(fields[kFieldAudioInputs]);
    std::array<const float*, kMaxChannels> inputs{};
    int inputCount = 0;
    if (synth.hasAudioInput() && hostInputs) {
        for (int k = 0; k < outputChannels_; ++k)
            inputs[inputCount++] = hostInputs[monoToStereo_ ? 0 : k];
    }
    const auto* sideChain = static_cast<const int32_t*>(fields[kFieldSideChain]);
    if (sideChain && hostInputs) {
        for (int k = 0; k < outputChannels_; ++k) inputs[inputCount++] = hostInputs[*sideChain];
    }
    const auto* outputs = static_cast<float* const*>(fields[kFieldAudioOutputs]);
    synth.processBlock(inputs.data(), inputCount, outputs, outputChannels_, frames);
}
