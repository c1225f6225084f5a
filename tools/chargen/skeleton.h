// The figures' skeleton: body proportions, the pose of one frame (joint angles, the weapon
// grip, whole-body tilts) and the forward kinematics that place every bone and tag.
// Character space: +X forward, +Y to the figure's left, +Z up; 1 unit = 1/1.5 world unit.
#pragma once
#include <vector>

#include "tools/chargen/xform.h"

// Drawn like a bot, a model point at height z lands 13 world units below the bot's
// position plus 1.5 z (the figure is scaled by 1.5 and its +Z turned to world +Y). Bots
// move 54 units above the floor (eye height 50, plus 4), so the soles sit at
// z = (13 - 54) / 1.5 = -27.33.
constexpr float SoleZ = -41.0f / 1.5f;

enum Bone {
  // Lower body, in character space.
  BonePelvis, BoneThighL, BoneThighR, BoneShinL, BoneShinR, BoneFootL, BoneFootR,
  // Upper body, in the space of tag_torso.
  BoneChest, BoneUpperArmL, BoneUpperArmR, BoneForearmL, BoneForearmR, BoneHandL, BoneHandR,
  // Head (tag_head) and weapon (tag_weapon), in the space of tag_torso.
  BoneHead, BoneWeapon,
  BoneCount
};

struct Proportions {
  float ankleHeight = 1.8f;  // sole to ankle joint
  float shin = 9.0f, thigh = 9.2f;
  float hipHalfWidth = 2.0f;  // hip joints either side of the pelvis centre
  float waistUp = 2.4f;       // pelvis centre to tag_torso
  float shoulderUp = 9.0f, shoulderHalfWidth = 4.4f;  // shoulder joints in chest space
  float neckUp = 10.6f;                                 // tag_head in chest space
  float upperArm = 5.8f, forearm = 5.0f, hand = 1.9f;
  Vec3 foregrip{7.4f, 0, -1.2f};  // the left hand's place on the weapon, weapon space
};

// One frame's pose. Angles in degrees; 0 = standing upright, arms to the weapon.
struct Pose {
  // Whole-body tilt about `pivot` (falls): pitch forward, roll to the figure's left.
  float bodyPitch = 0, bodyRoll = 0, bodyYaw = 0;
  Vec3 pivot{0, 0, SoleZ};
  bool ground = true;  // move up or down so the lowest vertex rests on the floor
  float lift = 0;      // height above the floor after grounding (jumps)
  Vec3 shift;          // pelvis offset before the tilt (x forward, y left)
  // Pelvis: pitch forward, roll left-side-down, yaw to the left.
  float pelvisPitch = 0, pelvisRoll = 0, pelvisYaw = 0;
  // Legs, [0] left, [1] right: thigh forward, thigh outward, knee bend, foot toes-up
  // relative to the pelvis.
  float hipFlex[2] = {0, 0}, hipOut[2] = {0, 0}, knee[2] = {0, 0}, footPitch[2] = {0, 0};
  // Chest relative to tag_torso: lean forward, lean left, turn left; breath 0..1.
  float spinePitch = 0, spineRoll = 0, spineYaw = 0, breath = 0;
  float neckPitch = 0, neckYaw = 0, neckRoll = 0;
  // Weapon grip (tag_weapon) in chest space: position, nose up, nose left, roll.
  Vec3 grip{4.0f, -3.2f, 3.2f};
  float gunPitch = 0, gunYaw = 0, gunRoll = 0;
  // Left hand: 0 on the foregrip, 1 at `leftFree` (chest space).
  float leftRelease = 0;
  Vec3 leftFree{1.0f, 5.0f, 1.0f};
  // Elbow directions (chest space) for the arm solver.
  Vec3 poleL{-0.3f, 0.8f, -1.0f}, poleR{-0.3f, -0.8f, -1.0f};
};

// Every bone placed: lower-body bones and tag_torso in character space, upper-body bones,
// tag_head and tag_weapon in tag_torso space. The chest alone may carry the breathing
// scale; the arms and tags hang from the rigid chest.
struct BodyFrames {
  Xform bone[BoneCount];
  Xform torsoTag;
};

BodyFrames PoseBody(const Proportions& body, const Pose& pose);

// Character-space placement of a bone (upper-body bones go through tag_torso).
Xform InCharacterSpace(const BodyFrames& frames, int bone);

bool IsLowerBone(int bone);
