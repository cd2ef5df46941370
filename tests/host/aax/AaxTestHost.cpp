#include "tests/host/aax/AaxTestHost.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

AAX_Result TestController::PostPacket(int field, const void* data, uint32_t size) {
    std::vector<uint8_t>& port = ports[field];
    // A buffered port keeps its storage: the context points at it.
    if (port.size() < size) port.resize(size);
    std::memcpy(port.data(), data, size);
    return AAX_SUCCESS;
}

AAX_Result TestController::SetParameterValueRequest(AAX_CParamID identifier, double value) {
    requests.push_back({'v', std::string(identifier), value});
    if (effect)
        effect->UpdateParameterNormalizedValue(identifier, value, AAX_EUpdateSource::Automation);
    return AAX_SUCCESS;
}

AaxTestInstance::AaxTestInstance(const RecordedEffect& effect)
    : component_(*effect.components.at(0)) {
    // Data ports exist before anything is posted to them.
    for (const auto& [field, f] : component_.fields)
        if (f.kind == RecordedComponent::Kind::Port) controller_.ports[field].assign(f.size, 0);
    AAX_CEffectParameters* parameters = effect.parametersProc();
    adapter_.reset(dynamic_cast<AaxPluginAdapter*>(parameters));
    EXPECT_NE(adapter_, nullptr);
    EXPECT_EQ(adapter_->Initialize(&controller_), AAX_SUCCESS);
    controller_.effect = adapter_.get();
    adapter_->GenerateCoefficients();
    inputs_ = {silence_.data(), silence_.data(), silence_.data(), silence_.data()};
    outputs_ = {left.data(), right.data()};
    midi_.packets.reserve(256);
    transportNode_.transport = &nodeTransport;
}

AAX_Result AaxTestInstance::automate(const std::string& identifier, double normalized) {
    const AAX_Result result = adapter_->UpdateParameterNormalizedValue(
        identifier, normalized, AAX_EUpdateSource::Automation);
    adapter_->GenerateCoefficients();
    return result;
}

AAX_Result AaxTestInstance::saveChunk(AAX_CTypeID chunkID, std::vector<uint8_t>* bytes) {
    int32_t size = 0;
    const AAX_Result sized = adapter_->GetChunkSize(chunkID, &size);
    if (sized != AAX_SUCCESS) return sized;
    bytes->assign(static_cast<size_t>(size), 0xEE);
    return adapter_->GetChunk(chunkID, reinterpret_cast<AAX_SPlugInChunk*>(bytes->data()));
}

AAX_Result AaxTestInstance::restoreChunk(AAX_CTypeID chunkID, const std::vector<uint8_t>& bytes) {
    return adapter_->SetChunk(chunkID, reinterpret_cast<const AAX_SPlugInChunk*>(bytes.data()));
}

void AaxTestInstance::addMidi(uint32_t timestamp, std::initializer_list<uint8_t> bytes,
                              int length) {
    AAX_CMidiPacket packet;
    packet.timestamp = timestamp;
    packet.length = static_cast<uint32_t>(length < 0 ? static_cast<int>(bytes.size()) : length);
    std::copy(bytes.begin(), bytes.end(), packet.data.begin());
    midi_.packets.push_back(packet);
}

void AaxTestInstance::render(int frames) {
    using Kind = RecordedComponent::Kind;
    frames_ = frames;
    midi_.stream.packetCount = static_cast<uint32_t>(midi_.packets.size());
    midi_.stream.packets = midi_.packets.data();

    // By kind, in the order of RecordedComponent::Kind; ports and MIDI nodes depend on the field.
    TestMidiNode* transport = transportNodeOn_ ? &transportNode_ : nullptr;
    const std::array<void*, 8> slots = {inputs_.data(), outputs_.data(),  &frames_,
                                        &sampleRate,    &sideChainIndex_, nullptr,
                                        nullptr,        &resetRequest_};
    AAX_Context context;
    for (const auto& [field, f] : component_.fields) {
        void*& slot = context.fields[static_cast<size_t>(field)];
        slot = slots[static_cast<size_t>(f.kind)];
        if (f.kind == Kind::Port) slot = controller_.ports[field].data();
        if (f.kind == Kind::Midi)
            slot = f.midiType == AAX_EMidiNodeType::LocalInput ? &midi_ : transport;
    }
    AAX_Context* contexts[] = {&context};
    component_.proc(contexts, contexts + 1);
    midi_.packets.clear();
}

std::unique_ptr<RecordingCollection> describeModule(const VersionRecord& version) {
    auto collection = std::make_unique<RecordingCollection>();
    EXPECT_EQ(AaxPluginAdapter::describe(*collection, version), AAX_SUCCESS);
    return collection;
}

const RecordedEffect& stereoEffect() {
    static const std::unique_ptr<RecordingCollection> collection =
        describeModule(VersionRecord(2, 2, 3));
    return *collection->effects.at(0).second;
}
