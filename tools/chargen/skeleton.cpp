// Forward kinematics for the legs and spine, and a two-bone solver that puts the hands
// on the weapon (or wherever the pose sends the left hand).
#include "tools/chargen/skeleton.h"

#include <algorithm>
#include <cmath>

namespace {

// Places an arm: shoulder S, hand centre T; returns upper arm, forearm and hand frames
// (each with +Z pointing back toward the joint above, +X leaning toward `front`).
void SolveArm(Vec3 s, Vec3 t, float upper, float lower, float hand, Vec3 pole, Vec3 front,
              Xform* upperFrame, Xform* lowerFrame, Xform* handFrame) {
  const float reach = lower + 0.5f * hand;
  Vec3 d = t - s;
  float dist = Magnitude(d);
  dist = std::clamp(dist, std::fabs(upper - reach) + 0.01f, upper + reach - 0.01f);
  Vec3 dir = NormalizeOrZero(d);
  if (dir == Vec3()) dir = Vec3(0, 0, -1);
  // Angle at the shoulder between the hand direction and the upper arm.
  float cosA = (upper * upper + dist * dist - reach * reach) / (2 * upper * dist);
  float sinA = std::sqrt(std::max(0.0f, 1 - cosA * cosA));
  Vec3 side = pole - dir * Dot(pole, dir);
  side = NormalizeOrZero(side);
  if (side == Vec3()) side = Vec3(0, 0, -1);
  Vec3 elbow = s + (dir * cosA + side * sinA) * upper;
  Vec3 handCentre = s + dir * dist;
  Vec3 foreDir = NormalizeOrZero(handCentre - elbow);
  Vec3 wrist = elbow + foreDir * lower;
  *upperFrame = AlongAxis(s, s - elbow, front);
  *lowerFrame = AlongAxis(elbow, elbow - wrist, front);
  *handFrame = AlongAxis(wrist, foreDir * -1.0f, front);
}

}  // namespace

bool IsLowerBone(int bone) { return bone <= BoneFootR; }

BodyFrames PoseBody(const Proportions& b, const Pose& p) {
  BodyFrames f;
  const float hipZ = SoleZ + b.ankleHeight + b.shin + b.thigh;
  Xform tilt = Translate(p.pivot) * RotZ(p.bodyYaw) * RotY(p.bodyPitch) * RotX(-p.bodyRoll) *
               Translate(p.pivot * -1.0f);
  Xform pelvis = tilt * Translate(Vec3(p.shift.x, p.shift.y, hipZ + p.shift.z)) *
                 RotZ(p.pelvisYaw) * RotY(p.pelvisPitch) * RotX(-p.pelvisRoll);
  f.bone[BonePelvis] = pelvis;
  for (int side = 0; side < 2; ++side) {
    const float sign = side == 0 ? 1.0f : -1.0f;  // left is +Y
    Xform thigh = pelvis * Translate(Vec3(0, sign * b.hipHalfWidth, 0)) *
                  RotX(sign * p.hipOut[side]) * RotY(-p.hipFlex[side]);
    Xform shin = thigh * Translate(Vec3(0, 0, -b.thigh)) * RotY(p.knee[side]);
    // The foot keeps the pelvis's orientation (plus its own pitch), so standing feet are
    // flat whatever the knees do.
    Xform foot = pelvis * RotY(-p.footPitch[side]);
    foot.origin = shin.Point(Vec3(0, 0, -b.shin));
    f.bone[BoneThighL + side] = thigh;
    f.bone[BoneShinL + side] = shin;
    f.bone[BoneFootL + side] = foot;
  }
  f.torsoTag = pelvis * Translate(Vec3(0, 0, b.waistUp));

  // Upper body, in tag_torso space.
  Xform chest = RotZ(p.spineYaw) * RotY(p.spinePitch) * RotX(-p.spineRoll);
  const float swell = 1.0f + 0.06f * p.breath;
  f.bone[BoneChest] = Scaled(chest, swell, 1.0f + 0.02f * p.breath, 1.0f);
  f.bone[BoneHead] = chest * Translate(Vec3(0, 0, b.neckUp + 0.15f * p.breath)) *
                     RotZ(p.neckYaw) * RotY(p.neckPitch) * RotX(-p.neckRoll);
  Xform weapon = chest * Translate(p.grip + Vec3(0, 0, 0.12f * p.breath)) * RotZ(p.gunYaw) *
                 RotY(-p.gunPitch) * RotX(p.gunRoll);
  f.bone[BoneWeapon] = weapon;

  const Vec3 front = chest.x;
  const float lift = 0.2f * p.breath;  // shoulders rise a little on the in-breath
  Vec3 shoulderL = chest.Point(Vec3(0, b.shoulderHalfWidth, b.shoulderUp + lift));
  Vec3 shoulderR = chest.Point(Vec3(0, -b.shoulderHalfWidth, b.shoulderUp + lift));
  Vec3 rightHand = weapon.Point(Vec3(0, 0, 0));
  Vec3 leftHand = Lerp(weapon.Point(b.foregrip), chest.Point(p.leftFree), p.leftRelease);
  SolveArm(shoulderR, rightHand, b.upperArm, b.forearm, b.hand, chest.Dir(p.poleR), front,
           &f.bone[BoneUpperArmR], &f.bone[BoneForearmR], &f.bone[BoneHandR]);
  SolveArm(shoulderL, leftHand, b.upperArm, b.forearm, b.hand, chest.Dir(p.poleL), front,
           &f.bone[BoneUpperArmL], &f.bone[BoneForearmL], &f.bone[BoneHandL]);
  return f;
}

Xform InCharacterSpace(const BodyFrames& f, int bone) {
  return IsLowerBone(bone) ? f.bone[bone] : f.torsoTag * f.bone[bone];
}
