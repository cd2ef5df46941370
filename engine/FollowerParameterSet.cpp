#include "engine/FollowerParameterSet.h"

#include "engine/ParameterCurves.h"
#include "engine/ParameterSetup.h"

namespace {

// Engine ranges in seconds.
constexpr float kShortestAttack = 0.001f;
constexpr float kLongestAttack = 1.0f;
constexpr float kShortestRelease = 0.05f;
constexpr float kLongestRelease = 5.0f;

int target(int index, int offset) {
    return FollowerParameterSet::kFirstTarget + FollowerParameterSet::kTargetsPerFollower * index +
           offset;
}

void setFollowerTaper(FloatPluginParameter& p, float lo, float hi) {
    p.setTaper(followerCurve, followerCurveInverse);
    p.setDisplayRange(lo, hi);
    p.setUnit(secParameterUnit());
}

}  // namespace

FollowerParameterSet::FollowerParameterSet(GenericParameterOwner* owner,
                                           ModulationMatrixPlugin& plugin, int index)
    : PluginParameterSet(owner, "EF " + std::to_string(index + 1)),
      attack(this, name() + " Attack", plugin, target(index, 0)),
      release(this, name() + " Release", plugin, target(index, 1)),
      subject_("envelope follower " + std::to_string(index + 1)) {}

void FollowerParameterSet::setup() {
    setupContinuous(attack, 0.0f, 1.0f, 0.0f,
                    describe("How fast {} rises with the side-chain level.", subject_));
    setFollowerTaper(attack, kShortestAttack, kLongestAttack);
    setupContinuous(release, 0.0f, 1.0f, 0.0f,
                    describe("How fast {} falls with the side-chain level.", subject_));
    setFollowerTaper(release, kShortestRelease, kLongestRelease);
}
