#pragma once

#include <memory>
#include <utility>
#include <vector>

#include "framework/ModulationController.h"
#include "wave/Assert.h"
#include "wave/FloatParameterSource.h"
#include "wave/Producer.h"

class GlobalModulationProducer;

// Connects modulation sources to targets through slots. Each target's signal is its base value
// plus, for every active slot aimed at it, source x amount, where the amount is the signal of
// the slot's own level target. Slots whose source (or amount) exists per voice are summed by
// the voices (VoiceMatrix); the others once per block by the target's global producer.
class ModulationMatrix : public wave::Component {
public:
    class Controller;
    class GlobalAudioProducer;
    class VoiceTracker;

    static constexpr int kStateInactive = 0;
    static constexpr int kStateGlobal = 1;
    static constexpr int kStatePerVoice = 2;

    // updateSlot kind bits.
    static constexpr int kUpdateSkipCheck = 1;
    static constexpr int kUpdateAmount = 2;
    static constexpr int kUpdateFlags = 4;

    // Targets of this kind are audio rate: not clamped, and one slot bypasses the summing.
    static constexpr int kKindAudio = 1;
    // Level targets carry amounts, which may be negative or scaled far beyond 1.
    static constexpr float kAmountLimit = 1.0e6f;

    struct Group {
        float upper = 1.0f;
        float lower = 0.0f;
        int kind = 0;
        float defaultFactor = 1.0f;
        std::vector<std::pair<int, float>> factors;  // (source key, factor)
    };

    struct Slot {
        int index = 0;
        bool inverted = false;
        bool bypassed = false;
        bool deferred = false;
        int pendingKind = 0;
        int levelTarget = 0;
        int source = -1;
        int state = kStateInactive;
        int target = -1;
    };

    // Told when a target's base value or scale changes.
    class Listener {
    public:
        virtual ~Listener() = default;
        virtual void targetChanged(int target) = 0;
    };
    // A signal derived from other targets (LevelPanTarget), told when their base values change.
    using SecondaryTarget = Listener;

    struct Target {
        std::vector<int> slots;  // slots aimed at this target
        int group = -1;
        int ownerSlot = -1;  // the slot whose level this is, -1 for ordinary targets
        float upper = 1.0f;
        float lower = 0.0f;
        bool globalOnly = true;
        float scale = 1.0f;
        float depth = 1.0f;  // what a slot at full Level adds, in the target's units
        Listener* listener = nullptr;
        std::unique_ptr<wave::FloatParameterSource> ramp;
        float base = 0.0f;
        bool alternateSource = false;
        int kind = 0;
        std::unique_ptr<wave::Producer> global;
    };

    struct SourceEntry {
        wave::Producer* global = nullptr;  // null: the source exists only per voice
        int key = -1;
        bool active = true;
        std::vector<int> targets;  // the targets that belong to the source's list entry
    };

    ModulationMatrix(wave::Environment& env, int sourceCount, int targetCount, int slotCount,
                     int firstLevelTarget, int groupCount);
    ~ModulationMatrix() override;

    int sourceCount() const { return static_cast<int>(sources_.size()); }
    int targetCount() const { return static_cast<int>(targets_.size()); }
    int slotCount() const { return static_cast<int>(slots_.size()); }
    int firstLevelTarget() const { return firstLevelTarget_; }
    wave::Environment& environment() const { return env_; }

    const Slot& slot(int i) const {
        VORN_ASSERT(i >= 0 && i < slotCount());
        return slots_[static_cast<size_t>(i)];
    }
    const Target& target(int t) const {
        VORN_ASSERT(t >= 0 && t < targetCount());
        return targets_[static_cast<size_t>(t)];
    }
    const SourceEntry& source(int s) const {
        VORN_ASSERT(s >= 0 && s < sourceCount());
        return sources_[static_cast<size_t>(s)];
    }
    const Group& group(int g) const {
        VORN_ASSERT(g >= 0 && g < static_cast<int>(groups_.size()));
        return groups_[static_cast<size_t>(g)];
    }
    // The block-rate (or audio-rate, kind 1) signal of a target without per-voice slots.
    wave::Producer& globalProducer(int t) const { return *target(t).global; }

    // Building.
    void setGroup(int g, const Group& group);
    // Copies the group's bounds and kind; kind 1 gets an audio-rate producer.
    void assignTargetGroup(int t, int g);
    void setAlternateSource(int t, bool on);
    // Bounds and depth of a target outside the groups: the modulated value stays within
    // [lower, upper] and a slot at full Level moves it by depth.
    void setTargetRange(int t, float lower, float upper, float depth);
    void setTargetListener(int t, Listener* listener);
    void setSourceEntry(int s, wave::Producer* global, int key);
    void addSourceTarget(int s, int t);
    // A source whose list entry is inactive makes its slots invalid.
    void setSourceActive(int s, bool active);

    // The engine value of the target's parameter, reached over rampMs (< 0: automatic).
    void setTargetBaseValue(int t, float value, float rampMs);

    void setSlotSource(int i, int s);
    void setSlotTarget(int i, int t);
    void setSlotInverted(int i, bool inverted);
    void setSlotBypassed(int i, bool bypassed);
    // The slot's Level: the base value of its level target.
    void setSlotLevel(int i, float level, float rampMs = 0.0f);

    // Seconds over which a released voice's tracker level falls to 0.
    void setReleaseTime(float seconds) { releaseTime_ = seconds; }
    float releaseTime() const { return releaseTime_; }

    // Slot updates inside a batch run when the outermost batch ends.
    void beginEdit() { ++editDepth_; }
    void endEdit();
    bool inEdit() const { return editDepth_ > 0; }

    void updateSlot(int i, int kind);

    // Dependent-target marks (collectDependentTargets).
    void clearTargetMarks();
    bool isTargetMarked(int t) const { return marks_[static_cast<size_t>(t)]; }
    void collectDependentTargets(int t);

private:
    bool slotValid(const Slot& s) const;
    bool levelIsPerVoice(const Slot& s) const;
    void refreshGlobalOnly(int t);
    void applyAmount(int i, int depth);
    void updateInactiveSlots(int except);
    float sourceFactor(const Target& t, int source) const;
    void makeProducer(int t);

    wave::Environment& env_;
    int firstLevelTarget_;
    int editDepth_ = 0;
    float releaseTime_ = 0.0f;
    bool pendingUpdates_ = false;
    std::vector<Slot> slots_;
    std::vector<Target> targets_;
    std::vector<SourceEntry> sources_;
    std::vector<Group> groups_;
    std::vector<bool> marks_;
};

// The editing interface of the modulation matrix, used by parameter lists, the editor and
// presets: the list edits of ModulationController and the queries the editor needs.
class ModulationMatrix::Controller : public ModulationController {
public:
    // The first empty slot, else the first slot that is set but not valid, else -1.
    virtual int findFreeSlot() const = 0;
    virtual bool isInverted(int slot) const = 0;
    virtual bool isBypassed(int slot) const = 0;
    virtual float getSlotLevel(int slot) const = 0;
    virtual void findSlotsBySource(int source, std::vector<int>& out) const = 0;
    // Slots that have a target, whose source carries key (-1: any) and whose target belongs to
    // group (-1: any).
    virtual void findSlotsForSourceKey(int key, int group, std::vector<int>& out) const = 0;
    virtual void findSlotsByTargets(const std::vector<int>& targets,
                                    std::vector<int>& out) const = 0;
    // Marks the target once and, recursively, the level targets of the slots aimed at it and
    // the targets listed for those slots' sources.
    virtual void collectDependentTargets(int target) = 0;
};
