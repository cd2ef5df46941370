#pragma once

#include <lilv/lilv.h>
#include <lv2/atom/forge.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

// A small LV2 host on lilv: a world loaded from LV2_PATH, the features the plug-in uses (urid
// map and unmap, a worker run right after run(), param:sampleRate), and instances whose ports it
// owns. Every run() is watched for allocations and locks.
class Lv2TestWorld {
public:
    // lv2Path becomes LV2_PATH before the world loads.
    explicit Lv2TestWorld(const std::string& lv2Path);
    ~Lv2TestWorld();
    Lv2TestWorld(const Lv2TestWorld&) = delete;
    Lv2TestWorld& operator=(const Lv2TestWorld&) = delete;

    LilvWorld* world() { return world_; }
    // Null when the world has no plug-in of that URI.
    const LilvPlugin* plugin(const char* uri) const;
    LilvNode* uri(const char* text);

    LV2_URID map(const char* uri);
    const char* unmap(LV2_URID urid) const;
    LV2_URID_Map* mapFeature() { return &map_; }
    LV2_URID_Unmap* unmapFeature() { return &unmap_; }

private:
    LilvWorld* world_;
    std::vector<LilvNode*> nodes_;
    std::map<std::string, LV2_URID> ids_;
    std::vector<std::string> names_;
    LV2_URID_Map map_{};
    LV2_URID_Unmap unmap_{};
};

class Lv2TestInstance {
public:
    static constexpr uint32_t kMaxBlock = 4096;
    static constexpr uint32_t kAtomCapacity = 1 << 17;

    // controlOffset moves the event input that many bytes past an aligned address (jalv 1.6
    // hands over sequences aligned to 4 bytes only).
    Lv2TestInstance(Lv2TestWorld& world, const LilvPlugin* plugin, double rate,
                    uint32_t controlOffset = 0);
    ~Lv2TestInstance();
    Lv2TestInstance(const Lv2TestInstance&) = delete;
    Lv2TestInstance& operator=(const Lv2TestInstance&) = delete;

    // Events for the next run(); frames are offsets in that block.
    void midi(uint32_t frame, std::initializer_list<uint8_t> bytes);
    void position(uint32_t frame, double tempo, double beat, double speed);

    // Port values by symbol: the host's side of the control ports.
    void setControl(const std::string& symbol, float value);
    float control(const std::string& symbol) const;
    // Side-chain input; null leaves the ports unconnected.
    void setSideChain(const float* left, const float* right);

    // One block into left and right, watched for allocations, locks and sleeps. Worker requests
    // run after the block.
    void run(uint32_t frames, float* left, float* right);
    // A MIDI message at a frame counted from the start of a render.
    struct MidiAt {
        uint32_t frame;
        std::vector<uint8_t> bytes;
    };
    // Blocks of the given sizes, cycling, until frames are rendered; each scored message goes
    // into the block that holds its frame, events queued before into the first. Returns left
    // and right.
    std::array<std::vector<float>, 2> render(uint32_t frames, const std::vector<uint32_t>& blocks,
                                             const std::vector<MidiAt>& score = {});
    // Allocations, frees, locks and sleeps seen inside run(), over every run so far.
    size_t blockingCalls() const { return blockingCalls_; }
    size_t workerRequests() const { return workerRequests_; }

    void restoreState(const LilvState* state);

    LilvInstance* instance() { return instance_; }

private:
    static LV2_Worker_Status scheduleWork(LV2_Worker_Schedule_Handle handle, uint32_t size,
                                          const void* data);
    static void setPortValue(const char* symbol, void* user, const void* value, uint32_t size,
                             uint32_t type);
    void beginEvents();
    // An object of the given type at a frame; body() forges its properties.
    template <typename Body>
    void object(uint32_t frame, const char* type, Body body);
    void writeMidi(uint32_t frame, const uint8_t* bytes, size_t size);

    Lv2TestWorld& world_;
    const LilvPlugin* plugin_;
    LilvInstance* instance_ = nullptr;
    std::vector<float> controls_;
    std::map<std::string, uint32_t> portOfSymbol_;
    std::vector<uint8_t> controlStorage_;
    uint8_t* controlIn_;
    LV2_Atom_Forge forge_{};
    LV2_Atom_Forge_Frame sequence_{};
    bool eventsOpen_ = false;
    float latency_ = -1.0f;
    float sampleRate_;
    uint32_t controlInPort_ = 0, outLeft_ = 0, outRight_ = 0, sideLeft_ = 0, sideRight_ = 0,
             latencyPort_ = 0;

    LV2_Worker_Schedule schedule_{};
    std::array<uint8_t, 64> workData_{};
    uint32_t workSize_ = 0;
    bool workPending_ = false;
    size_t workerRequests_ = 0;
    std::array<LV2_Options_Option, 2> options_{};

    size_t blockingCalls_ = 0;
};
