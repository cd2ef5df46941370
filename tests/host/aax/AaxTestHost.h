#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/aax/AaxPluginAdapter.h"
#include "host/aax/sdk/AaxEffectGUI.h"
#include "host/aax/sdk/AaxHostInterfaces.h"

// A host of our own for the adapter: it records what the module describes, creates instances
// from the description, automates them, keeps their chunks and calls the real-time procedure
// with contexts built from the described fields.

// The recording calls' one-line bodies: keep or append the value, report success.
template <typename T, typename V>
AAX_Result keep(T& field, const V& value) {
    field = value;
    return AAX_SUCCESS;
}
template <typename T, typename V>
AAX_Result append(std::vector<T>& list, const V& value) {
    list.emplace_back(value);
    return AAX_SUCCESS;
}
template <typename T>
T* newOf(std::vector<std::unique_ptr<T>>& made) {
    made.push_back(std::make_unique<T>());
    return made.back().get();
}

struct RecordedProperties : AAX_IPropertyMap {
    std::map<int32_t, int32_t> values;

    AAX_Result AddProperty(AAX_EProperty property, int32_t value) override {
        return keep(values[property], value);
    }
    bool has(int32_t property) const { return values.count(property) != 0; }
};

struct RecordedComponent : AAX_IComponentDescriptor {
    enum class Kind { AudioIn, AudioOut, BufferLength, SampleRate, SideChain, Midi, Port, Private };
    struct Field {
        Field(Kind k = Kind::AudioIn, uint32_t bytes = 0) : kind(k), size(bytes) {}
        Kind kind;
        uint32_t size;
        AAX_EMidiNodeType midiType = AAX_EMidiNodeType::LocalInput;
        std::string name;
        uint32_t channelMask = 0;
    };

    std::map<int, Field> fields;
    std::vector<std::unique_ptr<RecordedProperties>> maps;
    AAX_ProcessProc proc = nullptr;
    RecordedProperties* procProperties = nullptr;

    AAX_Result AddAudioIn(int field) override { return add(field, Kind::AudioIn); }
    AAX_Result AddAudioOut(int field) override { return add(field, Kind::AudioOut); }
    AAX_Result AddAudioBufferLength(int field) override { return add(field, Kind::BufferLength); }
    AAX_Result AddSampleRate(int field) override { return add(field, Kind::SampleRate); }
    AAX_Result AddSideChainIn(int field) override { return add(field, Kind::SideChain); }
    AAX_Result AddMIDINode(int field, AAX_EMidiNodeType type, const char* name,
                           uint32_t mask) override {
        Field f(Kind::Midi);
        f.midiType = type;
        f.name = name;
        f.channelMask = mask;
        return add(field, f);
    }
    AAX_Result AddDataInPort(int field, uint32_t size, bool /*buffered*/) override {
        return add(field, Field(Kind::Port, size));
    }
    AAX_Result AddPrivateData(int field, uint32_t size) override {
        return add(field, Field(Kind::Private, size));
    }
    AAX_IPropertyMap* NewPropertyMap() override { return newOf(maps); }
    AAX_Result AddProcessProc_Native(AAX_ProcessProc p, AAX_IPropertyMap* properties) override {
        proc = p;
        procProperties = static_cast<RecordedProperties*>(properties);
        return AAX_SUCCESS;
    }
    bool has(int field, Kind kind) const {
        const auto it = fields.find(field);
        return it != fields.end() && it->second.kind == kind;
    }

private:
    AAX_Result add(int field, Field f) {
        if (field < 0 || field >= AAX_MAX_CONTEXT_FIELDS || fields.count(field))
            return AAX_ERROR_INVALID_ARGUMENT;
        fields[field] = f;
        return AAX_SUCCESS;
    }
};

struct RecordedEffect : AAX_IEffectDescriptor {
    std::vector<std::string> names;
    std::vector<uint32_t> categories;
    std::vector<std::string> resources;
    AAX_CreateParametersProc parametersProc = nullptr;
    AAX_CreateGUIProc guiProc = nullptr;
    RecordedProperties* properties = nullptr;
    std::vector<std::unique_ptr<RecordedComponent>> made;
    std::vector<RecordedComponent*> components;
    std::vector<std::unique_ptr<RecordedProperties>> maps;
    bool failComponents = false;

    AAX_IComponentDescriptor* NewComponentDescriptor() override {
        return failComponents ? nullptr : newOf(made);
    }
    AAX_Result AddComponent(AAX_IComponentDescriptor* component) override {
        return append(components, static_cast<RecordedComponent*>(component));
    }
    AAX_Result AddName(const char* name) override { return append(names, name); }
    AAX_Result AddCategory(uint32_t category) override { return append(categories, category); }
    AAX_Result AddResourceInfo(AAX_EResourceType /*type*/, const char* file) override {
        return append(resources, file);
    }
    AAX_Result AddParametersProc(AAX_CreateParametersProc proc) override {
        return keep(parametersProc, proc);
    }
    AAX_Result AddGUIProc(AAX_CreateGUIProc proc) override { return keep(guiProc, proc); }
    AAX_IPropertyMap* NewPropertyMap() override { return newOf(maps); }
    AAX_Result SetProperties(AAX_IPropertyMap* map) override {
        return keep(properties, static_cast<RecordedProperties*>(map));
    }
};

struct RecordingCollection : AAX_ICollection {
    std::vector<std::unique_ptr<RecordedEffect>> made;
    std::vector<std::pair<std::string, RecordedEffect*>> effects;
    std::string manufacturer;
    std::vector<std::string> packageNames;
    uint32_t packageVersion = 0;
    bool failDescriptors = false;
    bool failComponents = false;

    AAX_IEffectDescriptor* NewDescriptor() override {
        if (failDescriptors) return nullptr;
        made.push_back(std::make_unique<RecordedEffect>());
        made.back()->failComponents = failComponents;
        return made.back().get();
    }
    AAX_Result AddEffect(const char* id, AAX_IEffectDescriptor* descriptor) override {
        return append(effects, std::pair<std::string, RecordedEffect*>(
                                   id, static_cast<RecordedEffect*>(descriptor)));
    }
    AAX_Result SetManufacturerName(const char* name) override { return keep(manufacturer, name); }
    AAX_Result AddPackageName(const char* name) override { return append(packageNames, name); }
    AAX_Result SetPackageVersion(uint32_t version) override {
        return keep(packageVersion, version);
    }
    // Null when no effect has the identifier.
    RecordedEffect* effect(const std::string& id) const {
        for (const auto& [name, effect] : effects)
            if (name == id) return effect;
        return nullptr;
    }
};

struct TestTransport : AAX_ITransport {
    double tempo = 120.0;
    int32_t numerator = 4;
    int32_t denominator = 4;
    int32_t bars = 1;
    int32_t beats = 1;
    int64_t ticks = 0;

    AAX_Result GetCurrentTempo(double* bpm) const override { return keep(*bpm, tempo); }
    AAX_Result GetCurrentMeter(int32_t* n, int32_t* d) const override {
        *n = numerator;
        *d = denominator;
        return AAX_SUCCESS;
    }
    AAX_Result GetCurrentBarBeat(int32_t* b, int32_t* bt, int64_t* t) const override {
        *b = bars;
        *bt = beats;
        *t = ticks;
        return AAX_SUCCESS;
    }
};

struct TestMidiNode : AAX_IMidiNode {
    std::vector<AAX_CMidiPacket> packets;
    AAX_CMidiStream stream;
    const AAX_ITransport* transport = nullptr;

    const AAX_CMidiStream* GetNodeBuffer() const override { return &stream; }
    const AAX_ITransport* GetTransport() const override { return transport; }
};

// The host side of one instance: stems, sample rate, data ports and automation. Value requests
// are answered as a host does, with UpdateParameterNormalizedValue.
class TestController : public AAX_IController {
public:
    struct Request {
        char kind;  // 't'ouch, 'r'elease, 'v'alue
        std::string identifier;
        double value;
    };

    float sampleRate = 48000.0f;
    int32_t inputStem = AAX_STEM_STEREO;
    int32_t outputStem = AAX_STEM_STEREO;
    int32_t latency = -1;
    TestTransport transport;
    std::map<int, std::vector<uint8_t>> ports;
    std::vector<Request> requests;
    AAX_CEffectParameters* effect = nullptr;

    AAX_Result GetSampleRate(float* rate) const override { return keep(*rate, sampleRate); }
    AAX_Result GetInputStemFormat(int32_t* stem) const override { return keep(*stem, inputStem); }
    AAX_Result GetOutputStemFormat(int32_t* stem) const override { return keep(*stem, outputStem); }
    AAX_Result SetSignalLatency(int32_t samples) override { return keep(latency, samples); }
    const AAX_ITransport* GetTransport() const override { return &transport; }
    AAX_Result PostPacket(int field, const void* data, uint32_t size) override;
    AAX_Result TouchParameter(AAX_CParamID identifier) override {
        return append(requests, Request{'t', std::string(identifier), 0.0});
    }
    AAX_Result ReleaseParameter(AAX_CParamID identifier) override {
        return append(requests, Request{'r', std::string(identifier), 0.0});
    }
    AAX_Result SetParameterValueRequest(AAX_CParamID identifier, double value) override;
};

// One instance created from a described configuration, rendering into its own buffers.
class AaxTestInstance {
public:
    static constexpr int kMaxFrames = 4096;

    explicit AaxTestInstance(const RecordedEffect& effect);

    AaxPluginAdapter& adapter() { return *adapter_; }
    VornPlugin& plugin() { return *adapter_->plugin(); }
    TestController& controller() { return controller_; }

    // A host automation change, as the host sends it.
    AAX_Result automate(const std::string& identifier, double normalized);
    // GetChunkSize, then GetChunk into a buffer of that size.
    AAX_Result saveChunk(AAX_CTypeID chunkID, std::vector<uint8_t>* bytes);
    AAX_Result restoreChunk(AAX_CTypeID chunkID, const std::vector<uint8_t>& bytes);

    // The real-time procedure for one block; its MIDI packets are consumed.
    void render(int frames);
    // The packet's length is the byte count unless given; bytes past it stay in the packet.
    void addMidi(uint32_t timestamp, std::initializer_list<uint8_t> bytes, int length = -1);
    void requestReset() { resetRequest_ = 1; }
    int32_t resetRequest() const { return resetRequest_; }
    void setSideChain(const float* l, const float* r) {
        inputs_[2] = l;
        inputs_[3] = r;
    }
    void setTransportNode(bool present) { transportNodeOn_ = present; }

    float sampleRate = 48000.0f;
    TestTransport nodeTransport;
    std::vector<float> left = std::vector<float>(kMaxFrames);
    std::vector<float> right = std::vector<float>(kMaxFrames);

private:
    const RecordedComponent& component_;
    TestController controller_;
    std::unique_ptr<AaxPluginAdapter> adapter_;
    TestMidiNode midi_;
    TestMidiNode transportNode_;
    bool transportNodeOn_ = true;
    // Main stereo input (silent), then the side chain.
    std::vector<float> silence_ = std::vector<float>(kMaxFrames);
    std::vector<const float*> inputs_;
    std::vector<float*> outputs_;
    int32_t frames_ = 0;
    int32_t sideChainIndex_ = 2;
    int32_t resetRequest_ = 0;
};

// Describes the module once per call with the given version.
std::unique_ptr<RecordingCollection> describeModule(const VersionRecord& version);
// The stereo instrument of version 2.23, described once for the whole test program.
const RecordedEffect& stereoEffect();
