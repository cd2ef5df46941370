#include "modulation/ModulationMatrix.h"

#include <algorithm>

#include "modulation/GlobalModulationProducer.h"
#include "wave/Assert.h"

namespace {}  // namespace

ModulationMatrix::ModulationMatrix(wave::Environment& env, int sourceCount, int targetCount,
                                   int slotCount, int firstLevelTarget, int groupCount)
    : env_(env),
      firstLevelTarget_(firstLevelTarget),
      slots_(static_cast<size_t>(slotCount)),
      targets_(static_cast<size_t>(targetCount)),
      sources_(static_cast<size_t>(sourceCount)),
      groups_(static_cast<size_t>(groupCount)),
      marks_(static_cast<size_t>(targetCount), false) {
    for (int i = 0; i < slotCount; ++i) {
        Slot& s = slots_[static_cast<size_t>(i)];
        s.index = i;
        s.levelTarget = firstLevelTarget + i;
    }
    for (int t = 0; t < targetCount; ++t) {
        Target& rec = targets_[static_cast<size_t>(t)];
        // Room for every slot, so that aiming slots at a target never allocates on the audio
        // thread.
        rec.slots.reserve(static_cast<size_t>(slotCount));
        rec.ramp = std::make_unique<wave::FloatParameterSource>(env, 0.0f);
        const int owner = t - firstLevelTarget;
        if (owner >= 0 && owner < slotCount) {
            rec.ownerSlot = owner;
            rec.ramp->ramp().setLimits(-kAmountLimit, kAmountLimit);
        }
        makeProducer(t);
    }
}

ModulationMatrix::~ModulationMatrix() = default;

void ModulationMatrix::makeProducer(int t) {
    Target& rec = targets_[static_cast<size_t>(t)];
    if (rec.kind == kKindAudio) {
        rec.global = std::make_unique<GlobalAudioProducer>(*this, t);
    } else {
        rec.global = std::make_unique<GlobalModulationProducer>(*this, t);
    }
}

void ModulationMatrix::setGroup(int g, const Group& group) {
    groups_[static_cast<size_t>(g)] = group;
}

void ModulationMatrix::assignTargetGroup(int t, int g) {
    Target& rec = targets_[static_cast<size_t>(t)];
    const Group& group = groups_[static_cast<size_t>(g)];
    const int oldKind = rec.kind;
    rec.group = g;
    rec.upper = group.upper;
    rec.lower = group.lower;
    rec.kind = group.kind;
    if (rec.ownerSlot < 0) rec.ramp->ramp().setLimits(group.lower, group.upper);
    if (rec.kind != oldKind) makeProducer(t);
}

void ModulationMatrix::setTargetRange(int t, float lower, float upper, float depth) {
    Target& rec = targets_[static_cast<size_t>(t)];
    rec.lower = lower;
    rec.upper = upper;
    rec.depth = depth;
    if (rec.ownerSlot < 0) rec.ramp->ramp().setLimits(lower, upper);
}

void ModulationMatrix::setAlternateSource(int t, bool on) {
    targets_[static_cast<size_t>(t)].alternateSource = on;
}

void ModulationMatrix::setTargetListener(int t, Listener* listener) {
    targets_[static_cast<size_t>(t)].listener = listener;
}

void ModulationMatrix::setSourceEntry(int s, wave::Producer* global, int key) {
    SourceEntry& e = sources_[static_cast<size_t>(s)];
    e.global = global;
    e.key = key;
}

void ModulationMatrix::addSourceTarget(int s, int t) {
    sources_[static_cast<size_t>(s)].targets.push_back(t);
}

void ModulationMatrix::setSourceActive(int s, bool active) {
    sources_[static_cast<size_t>(s)].active = active;
    for (const Slot& slot : slots_) {
        if (slot.source == s) updateSlot(slot.index, 0);
    }
}

void ModulationMatrix::setTargetBaseValue(int t, float value, float rampMs) {
    Target& rec = targets_[static_cast<size_t>(t)];
    rec.base = value;
    rec.ramp->setTarget(rec.scale * value, rampMs);
    if (rec.listener) rec.listener->targetChanged(t);
}

void ModulationMatrix::setSlotSource(int i, int s) {
    // -1: no source.
    VORN_ASSERT(i >= 0 && i < slotCount() && s >= -1 && s < sourceCount());
    Slot& slot = slots_[static_cast<size_t>(i)];
    if (slot.source == s) return;
    slot.source = s;
    updateSlot(i, kUpdateAmount);
    updateInactiveSlots(i);
}

void ModulationMatrix::setSlotTarget(int i, int t) {
    // -1: no target.
    VORN_ASSERT(i >= 0 && i < slotCount() && t >= -1 && t < targetCount());
    Slot& slot = slots_[static_cast<size_t>(i)];
    if (slot.target == t) return;
    const int old = slot.target;
    if (old >= 0) {
        Target& rec = targets_[static_cast<size_t>(old)];
        rec.slots.erase(std::remove(rec.slots.begin(), rec.slots.end(), i), rec.slots.end());
        slot.target = t;
        if (rec.ownerSlot >= 0) updateSlot(rec.ownerSlot, 0);
        refreshGlobalOnly(old);
    }
    slot.target = t;
    if (t >= 0) targets_[static_cast<size_t>(t)].slots.push_back(i);
    updateSlot(i, kUpdateAmount | kUpdateFlags);
    updateInactiveSlots(i);
}

void ModulationMatrix::setSlotInverted(int i, bool inverted) {
    Slot& slot = slots_[static_cast<size_t>(i)];
    slot.inverted = inverted;
    updateSlot(i, kUpdateAmount);
}

void ModulationMatrix::setSlotBypassed(int i, bool bypassed) {
    slots_[static_cast<size_t>(i)].bypassed = bypassed;
    updateSlot(i, kUpdateAmount);
}

void ModulationMatrix::setSlotLevel(int i, float level, float rampMs) {
    setTargetBaseValue(slots_[static_cast<size_t>(i)].levelTarget, level, rampMs);
}

void ModulationMatrix::endEdit() {
    if (editDepth_ == 0 || --editDepth_ > 0 || !pendingUpdates_) return;
    pendingUpdates_ = false;
    for (Slot& slot : slots_) {
        if (!slot.deferred) continue;
        slot.deferred = false;
        const int kind = slot.pendingKind;
        slot.pendingKind = 0;
        updateSlot(slot.index, kind);
    }
}

bool ModulationMatrix::slotValid(const Slot& s) const {
    return s.source >= 0 && s.target >= 0 && sources_[static_cast<size_t>(s.source)].active &&
           !s.bypassed;
}

bool ModulationMatrix::levelIsPerVoice(const Slot& s) const {
    const Target& level = targets_[static_cast<size_t>(s.levelTarget)];
    return std::any_of(level.slots.begin(), level.slots.end(), [this](int j) {
        return slots_[static_cast<size_t>(j)].state == kStatePerVoice;
    });
}

void ModulationMatrix::refreshGlobalOnly(int t) {
    Target& rec = targets_[static_cast<size_t>(t)];
    rec.globalOnly = std::none_of(rec.slots.begin(), rec.slots.end(), [this](int j) {
        return slots_[static_cast<size_t>(j)].state == kStatePerVoice;
    });
}

void ModulationMatrix::updateSlot(int i, int kind) {
    VORN_ASSERT(i >= 0 && i < slotCount());
    Slot& slot = slots_[static_cast<size_t>(i)];
    if (editDepth_ > 0) {
        slot.deferred = true;
        slot.pendingKind |= kind;
        pendingUpdates_ = true;
        return;
    }
    const int old = slot.state;
    const bool valid = ((kind & kUpdateSkipCheck) && old != kStateInactive) || slotValid(slot);
    if (!valid) {
        slot.state = kStateInactive;
    } else if (sources_[static_cast<size_t>(slot.source)].global != nullptr) {
        slot.state = levelIsPerVoice(slot) ? kStatePerVoice : kStateGlobal;
    } else {
        slot.state = kStatePerVoice;
    }
    const bool perVoiceChanged = (old == kStatePerVoice) != (slot.state == kStatePerVoice);
    if (slot.target >= 0 && ((kind & kUpdateFlags) || perVoiceChanged)) {
        const int owner = targets_[static_cast<size_t>(slot.target)].ownerSlot;
        if (owner >= 0 && owner != i) updateSlot(owner, 0);
        refreshGlobalOnly(slot.target);
    }
    if (slot.state != kStateInactive && ((kind & kUpdateAmount) || old == kStateInactive)) {
        applyAmount(i, 0);
    }
}

void ModulationMatrix::updateInactiveSlots(int except) {
    for (const Slot& slot : slots_) {
        if (slot.index != except && slot.state == kStateInactive && slot.source >= 0 &&
            slot.target >= 0) {
            updateSlot(slot.index, 0);
        }
    }
}

float ModulationMatrix::sourceFactor(const Target& t, int source) const {
    if (t.group < 0) return 1.0f;
    const Group& g = groups_[static_cast<size_t>(t.group)];
    if (g.factors.empty()) return 1.0f;
    const int key = sources_[static_cast<size_t>(source)].key;
    for (const auto& [k, f] : g.factors) {
        if (k == key) return f;
    }
    return g.defaultFactor;
}

void ModulationMatrix::applyAmount(int i, int depth) {
    // A chain of level targets cannot be longer than the slots; deeper means a cycle.
    if (depth > slotCount()) return;
    const Slot& slot = slots_[static_cast<size_t>(i)];
    if (slot.state == kStateInactive) return;
    // Only a slot with a source and a target is active.
    VORN_ASSERT(slot.source >= 0 && slot.target >= 0);
    const Target& aimed = targets_[static_cast<size_t>(slot.target)];
    float factor = aimed.scale * aimed.depth * sourceFactor(aimed, slot.source);
    if (slot.inverted) factor = -factor;
    Target& level = targets_[static_cast<size_t>(slot.levelTarget)];
    level.scale = factor;
    // The Level's engine range [0, 1] scaled by the factor.
    level.lower = std::min(0.0f, factor);
    level.upper = std::max(0.0f, factor);
    level.ramp->setTarget(factor * level.base, 0.0f);
    if (level.listener) level.listener->targetChanged(slot.levelTarget);
    for (int j : level.slots) applyAmount(j, depth + 1);
}

void ModulationMatrix::clearTargetMarks() {
    std::fill(marks_.begin(), marks_.end(), false);
}

void ModulationMatrix::collectDependentTargets(int t) {
    if (t < 0 || t >= targetCount() || marks_[static_cast<size_t>(t)]) return;
    marks_[static_cast<size_t>(t)] = true;
    for (int j : targets_[static_cast<size_t>(t)].slots) {
        const Slot& slot = slots_[static_cast<size_t>(j)];
        collectDependentTargets(slot.levelTarget);
        if (slot.source >= 0) {
            for (int listed : sources_[static_cast<size_t>(slot.source)].targets) {
                collectDependentTargets(listed);
            }
        }
    }
}
