#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/VornPlugin.h"
#include "host/aax/sdk/AaxEffectParameters.h"
#include "persistence/VersionRecord.h"

// The synthesizer as a host effect: it describes itself to a host scan, publishes every synth
// parameter plus the master bypass as host parameters, keeps the session state in two chunks and
// renders in the host's real-time callback.
class AaxPluginAdapter : public AAX_CEffectParameters, private GenericPlugin::Adapter {
public:
    static constexpr const char* kManufacturerName = "Quorvalis";
    static constexpr AAX_CTypeID kManufacturerId = AAX_FourChar("Quor");
    static constexpr const char* kEffectIdPrefix = "com.quorvalis.";
    static constexpr const char* kMasterBypassId = "MasterBypassID";
    static constexpr const char* kMasterBypassName = "Master Bypass";
    static constexpr const char* kPageTableFile = "DigiPageTable.xml";
    // Custom data request for the synthesizer's address (8 bytes), as the editor asks it.
    static constexpr AAX_CTypeID kPluginCustomDataType = 0;

    static constexpr AAX_CTypeID kPresetNameChunkID = AAX_FourChar("QVPr");
    static constexpr const char* kPresetNameChunkName = "Quorvalis Preset Name";
    static constexpr int32_t kPresetNameSize = 64;  // NUL-padded; 63 characters survive
    static constexpr int32_t kPresetNameChunkSize = AAX_CHUNK_HEADER_SIZE + kPresetNameSize;

    static constexpr int32_t kContinuousSteps = 36000;
    // Host values that fall in the same of 36000 steps count as unchanged.
    static constexpr double kStepOffset = 1.3889275e-05;
    static constexpr int32_t kLastStep = kContinuousSteps - 1;

    // Configuration bits; 2 and 16 matter only to the product identifier.
    static constexpr int kMonoInMonoOut = 1;
    static constexpr int kProductBit1 = 2;
    static constexpr int kMonoInStereoOut = 4;
    static constexpr int kAudioSuite = 8;
    static constexpr int kProductBit4 = 16;

    // Fields of the real-time context.
    enum Field : int {
        kFieldBypass = 0,        // data port, 4 bytes: the master bypass
        kFieldAdapter = 1,       // data port, 8 bytes: this adapter's address
        kFieldAudioInputs = 2,   // float* const*
        kFieldAudioOutputs = 3,  // float* const*
        kFieldBufferLength = 4,  // int32_t frames
        kFieldSideChain = 5,     // int32_t: the input channel that carries the side chain
        kFieldSampleRate = 6,    // float
        kFieldMidiInput = 7,     // AAX_IMidiNode
        kFieldTransport = 8,     // AAX_IMidiNode with the transport
        kFieldResetRequest = 9,  // private int32_t, non-zero: the host asked for a reset
    };
    static constexpr uint32_t kMidiChannelMask = 0xFFFF;  // all 16 channels
    static constexpr int kMaxChannels = 8;
    // Display ticks to beats of the meter's unit: ticks / 3840000 per denominator unit.
    static constexpr double kTicksToMeterBeats = 2.604166666666667e-07;

    // The module's description entry: every configuration of the synthesizer. Returns the first
    // failing description's code.
    static AAX_Result describe(AAX_ICollection& collection,
                               const VersionRecord& version = VersionRecord());
    // The four-character identifier with its last character chosen by the configuration.
    static std::string productIdentifier(const std::string& pluginId, int configuration);
    // The host category bit for the kind the plug-in core reports.
    static uint32_t category(int pluginKind);
    // Index 0..35999 of a normalised host value.
    static int32_t quantizeStep(double normalized);
    static void processCallback(AAX_Context* const* instancesBegin,
                                AAX_Context* const* instancesEnd);
    static AAX_CEffectParameters* create();

    AaxPluginAdapter();
    ~AaxPluginAdapter() override;

    AAX_Result UpdateParameterNormalizedValue(AAX_CParamID identifier, double value,
                                              AAX_EUpdateSource source) override;
    AAX_Result GetNumberOfChunks(int32_t* count) const override;
    AAX_Result GetChunkIDFromIndex(int32_t index, AAX_CTypeID* chunkID) const override;
    AAX_Result GetChunkSize(AAX_CTypeID chunkID, int32_t* size) override;
    AAX_Result GetChunk(AAX_CTypeID chunkID, AAX_SPlugInChunk* chunk) override;
    AAX_Result SetChunk(AAX_CTypeID chunkID, const AAX_SPlugInChunk* chunk) override;
    AAX_Result CompareActiveChunk(const AAX_SPlugInChunk* chunk, bool* isEqual) override;
    // Type 0, size 8: the synthesizer's address.
    AAX_Result GetCustomData(AAX_CTypeID type, uint32_t size, void* data,
                             uint32_t* written) override;
    // Loads the preset a MIDI program change asked for in the real-time callback.
    AAX_Result TimerWakeup() override;

    // Null before initialisation.
    VornPlugin* plugin() { return plugin_.get(); }
    bool isMonoToStereo() const { return monoToStereo_; }

protected:
    AAX_Result EffectInit() override;

private:
    // GenericPlugin::Adapter
    void onLatencyChanged() override;
    void onParameterChanged(int id) override;
    void onPresetChanged() override {}

    static AAX_Result describeConfiguration(AAX_ICollection& collection, GenericPlugin& plugin,
                                            const VersionRecord& version, int configuration);
    void addSynthParameter(AbstractPluginParameter& parameter);
    void reportParameter(int id);
    void render(AAX_Context& context);

    std::unique_ptr<VornPlugin> plugin_;
    bool monoToStereo_ = false;
    int outputChannels_ = 2;
    int32_t controlsChunkSize_ = 0;
};

// The module's description entry point.
AAX_Result GetEffectDescriptions(AAX_ICollection* collection);
