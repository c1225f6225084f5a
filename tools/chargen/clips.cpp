// The clip table and the motion of every clip, as poses sampled per frame. Looping clips
// sample one full cycle at phases k / frames, so their last frame flows into the first;
// one-shot clips run from t = 0 at the first frame to t = 1 at the last.
#include "tools/chargen/clips.h"

#include <algorithm>
#include <cmath>
#include <string>

const ClipInfo Clips[ClipCount] = {
    {"BOTH_DEATH1", 20, 20, false, ClipKind::Both},  {"BOTH_DEAD1", 1, 20, false, ClipKind::Both},
    {"BOTH_DEATH2", 20, 20, false, ClipKind::Both},  {"BOTH_DEAD2", 1, 20, false, ClipKind::Both},
    {"BOTH_DEATH3", 20, 20, false, ClipKind::Both},  {"BOTH_DEAD3", 1, 20, false, ClipKind::Both},
    {"TORSO_GESTURE", 24, 15, false, ClipKind::Torso},
    {"TORSO_ATTACK", 10, 20, true, ClipKind::Torso},
    {"TORSO_ATTACK2", 12, 15, false, ClipKind::Torso},
    {"TORSO_DROP", 6, 15, false, ClipKind::Torso},   {"TORSO_RAISE", 6, 15, false, ClipKind::Torso},
    {"TORSO_STAND", 20, 10, true, ClipKind::Torso},  {"TORSO_STAND2", 20, 10, true, ClipKind::Torso},
    {"LEGS_WALKCR", 12, 15, true, ClipKind::Legs},   {"LEGS_WALK", 16, 28, true, ClipKind::Legs},
    {"LEGS_RUN", 10, 30, true, ClipKind::Legs},      {"LEGS_BACK", 16, 20, true, ClipKind::Legs},
    {"LEGS_SWIM", 12, 12, true, ClipKind::Legs},     {"LEGS_JUMP", 8, 15, false, ClipKind::Legs},
    {"LEGS_LAND", 6, 15, false, ClipKind::Legs},     {"LEGS_JUMPB", 8, 15, false, ClipKind::Legs},
    {"LEGS_LANDB", 6, 15, false, ClipKind::Legs},    {"LEGS_IDLE", 20, 10, true, ClipKind::Legs},
    {"LEGS_IDLECR", 12, 10, true, ClipKind::Legs},   {"LEGS_TURN", 8, 15, true, ClipKind::Legs},
};

namespace {

constexpr float TwoPi = 6.2831853f;

float Smooth(float a, float b, float t) {
  float x = std::clamp((t - a) / (b - a), 0.0f, 1.0f);
  return x * x * (3 - 2 * x);
}
// A bump of width w centred on c, on a cycle of length 1 (wraps round).
float Bump(float p, float c, float w) {
  float d = p - c;
  d -= std::round(d);
  return std::exp(-(d / w) * (d / w));
}
float Wrap(float p) { return p - std::floor(p); }

// Standing, knees a little soft, feet under the hips, the weapon held at the hip.
Pose Ready(const Gait& g) {
  Pose p;
  for (int s = 0; s < 2; ++s) {
    p.hipFlex[s] = 5;
    p.knee[s] = 9;
    p.hipOut[s] = 3 + g.stance;
  }
  p.spinePitch = 4;
  p.grip = g.grip;
  // A shooter's stance: the chest turned right by `blade` so the left hand reaches the
  // foregrip, the weapon and the head turned back to point straight ahead (4 degrees in).
  p.spineYaw = -g.blade;
  p.gunYaw = 4 + g.blade;
  p.neckYaw = g.blade;
  p.poleL = g.poleL;
  p.poleR = g.poleR;
  return p;
}

// One leg of a walking cycle at phase q (0: heel strike of this leg).
void WalkLeg(Pose& p, int s, float q, float stride, float bend) {
  p.hipFlex[s] = 4 + bend * 0.5f + 26 * stride * std::cos(TwoPi * q);
  p.knee[s] = 6 + bend + 14 * Bump(q, 0.14f, 0.1f) + 56 * stride * Bump(q, 0.72f, 0.13f);
  p.footPitch[s] = 12 * Bump(q, 0.0f, 0.06f) - 22 * Bump(q, 0.55f, 0.07f) + 6 * Bump(q, 0.86f, 0.08f);
}

void Walk(Pose& p, float phase, float stride, float bend) {
  WalkLeg(p, 0, phase, stride, bend);
  WalkLeg(p, 1, Wrap(phase + 0.5f), stride, bend);
  p.pelvisYaw = -5 * stride * std::cos(TwoPi * phase);
  p.pelvisRoll = 2.5f * std::sin(2 * TwoPi * phase + 0.6f);
}

void RunLeg(Pose& p, int s, float q, float bounce) {
  p.hipFlex[s] = 12 + 40 * std::cos(TwoPi * q);
  p.knee[s] = 16 + 26 * Bump(q, 0.12f, 0.09f) + 100 * bounce * Bump(q, 0.7f, 0.15f);
  p.footPitch[s] = 8 * Bump(q, 0.0f, 0.06f) - 30 * Bump(q, 0.42f, 0.08f) - 10 * Bump(q, 0.7f, 0.1f);
}

Pose Legs(int clip, float t, const Gait& g) {
  Pose p = Ready(g);
  const std::string name = Clips[clip].name;
  if (name == "LEGS_WALK") {
    Walk(p, t, g.stride, 0);
  } else if (name == "LEGS_BACK") {
    Walk(p, Wrap(1.0f - t), g.stride * 0.8f, 4);
  } else if (name == "LEGS_WALKCR") {
    Walk(p, t, g.stride * 0.7f, 60);
    p.pelvisPitch = 12;
  } else if (name == "LEGS_RUN") {
    RunLeg(p, 0, t, g.bounce);
    RunLeg(p, 1, Wrap(t + 0.5f), g.bounce);
    p.pelvisPitch = 10;
    p.pelvisYaw = -8 * std::cos(TwoPi * t);
    // Both feet leave the ground between the pushes.
    p.lift = 1.6f * g.bounce * (Bump(t, 0.47f, 0.06f) + Bump(t, 0.97f, 0.06f));
  } else if (name == "LEGS_SWIM") {
    for (int s = 0; s < 2; ++s) {
      float q = Wrap(t + 0.5f * s);
      p.hipFlex[s] = 20 + 22 * std::sin(TwoPi * q);
      p.knee[s] = 35 + 30 * std::sin(TwoPi * q + 1.2f);
      p.footPitch[s] = -30;
    }
    p.ground = false;
    p.lift = 4;
  } else if (name == "LEGS_IDLE") {
    // Weight shifting slowly from leg to leg while breathing.
    float breath = 0.5f - 0.5f * std::cos(TwoPi * t);
    p.pelvisRoll = 1.8f * std::sin(TwoPi * t);
    p.shift.y = 0.35f * std::sin(TwoPi * t);
    for (int s = 0; s < 2; ++s) p.knee[s] = 9 + 3 * breath;
    p.knee[0] += 3 * std::sin(TwoPi * t);
    p.knee[1] -= 3 * std::sin(TwoPi * t);
  } else if (name == "LEGS_IDLECR") {
    float breath = 0.5f - 0.5f * std::cos(TwoPi * t);
    for (int s = 0; s < 2; ++s) {
      p.hipFlex[s] = 55 + 2 * breath;
      p.knee[s] = 100 + 4 * breath;
      p.hipOut[s] = 8;
    }
    p.pelvisPitch = 14;
  } else if (name == "LEGS_TURN") {
    // Small steps on the spot, the hips turning back and forth.
    for (int s = 0; s < 2; ++s) {
      float q = Wrap(t + 0.5f * s);
      p.hipFlex[s] = 6 + 6 * std::cos(TwoPi * q);
      p.knee[s] = 10 + 30 * Bump(q, 0.25f, 0.12f);
    }
    p.pelvisYaw = 14 * std::sin(TwoPi * t);
  } else {
    // Jumps: crouch, push off, tuck (forward or back); landings: tucked, impact, stand.
    const bool back = name == "LEGS_JUMPB" || name == "LEGS_LANDB";
    const bool jump = name == "LEGS_JUMP" || name == "LEGS_JUMPB";
    float crouch, air;
    if (jump) {
      crouch = Smooth(0.0f, 0.25f, t) * (1 - Smooth(0.25f, 0.45f, t));
      air = Smooth(0.35f, 1.0f, t);
      p.lift = 7 * Smooth(0.3f, 1.0f, t);
    } else {
      air = 1 - Smooth(0.0f, 0.3f, t);
      crouch = Smooth(0.1f, 0.35f, t) * (1 - Smooth(0.5f, 1.0f, t));
      p.lift = 4 * (1 - Smooth(0.0f, 0.3f, t));
    }
    for (int s = 0; s < 2; ++s) {
      p.hipFlex[s] = 5 + 45 * crouch + (back ? -5 : 40) * air;
      p.knee[s] = 9 + 85 * crouch + (back ? 70 : 55) * air;
      p.footPitch[s] = -20 * air;
    }
    p.pelvisPitch = 15 * crouch + (back ? -8 : 8) * air;
  }
  return p;
}

// Weapon recoil: a kick at the second frame that dies away by the end of the cycle.
void Recoil(Pose& p, float amount) {
  p.grip = p.grip + Vec3(-1.5f, 0, 0.6f) * amount;
  p.gunPitch += 14 * amount;
  p.spinePitch -= 5 * amount;
  p.neckPitch -= 3 * amount;
}

Pose Torso(int clip, float t, const Gait& g) {
  Pose p = Ready(g);
  const std::string name = Clips[clip].name;
  if (name == "TORSO_STAND") {
    p.breath = 0.5f - 0.5f * std::cos(TwoPi * t);
    p.neckYaw += 4 * g.bounce * std::sin(TwoPi * t);
  } else if (name == "TORSO_STAND2") {
    p.breath = 0.5f - 0.5f * std::cos(TwoPi * t);
    // At ease: the weapon hangs in the right hand, the left arm by the side.
    p.grip = g.grip + Vec3(-1.0f, -0.4f, -1.8f);
    p.gunPitch = -35;
    p.neckPitch = 6;
    p.leftRelease = 1;
    p.leftFree = Vec3(0.6f, 4.4f, -0.5f);
  } else if (name == "TORSO_ATTACK") {
    // Aimed a little higher; the shot kicks at frame 1 and settles over the cycle.
    p.grip = g.grip + Vec3(0.4f, 0.2f, 1.2f);
    p.spinePitch = 6;
    float kick = t <= 0 ? 0.0f : std::pow(1.0f - std::min(1.0f, (t - 0.1f) / 0.9f), 2.0f);
    Recoil(p, t < 0.1f ? t / 0.1f : kick);
  } else if (name == "TORSO_ATTACK2") {
    // A butt stroke: wind up, swing the weapon forward and down, recover.
    float wind = Smooth(0.0f, 0.3f, t) * (1 - Smooth(0.3f, 0.5f, t));
    float swing = Smooth(0.3f, 0.5f, t) * (1 - Smooth(0.6f, 1.0f, t));
    p.grip = p.grip + Vec3(-2.0f, 0, 2.5f) * wind + Vec3(0.8f, 1.2f, 1.2f) * swing;
    p.gunPitch = 40 * wind - 25 * swing;
    p.spineYaw += -15 * wind + 20 * swing;
    p.spinePitch = 4 + 12 * swing;
  } else if (name == "TORSO_GESTURE") {
    // The left hand leaves the weapon and waves above the head.
    float up = Smooth(0.0f, 0.25f, t) * (1 - Smooth(0.8f, 1.0f, t));
    p.leftRelease = up;
    p.leftFree = Vec3(1.8f, 4.8f + 1.6f * std::sin(TwoPi * 2 * t), 13.5f);
    p.poleL = Vec3(-0.2f, 1.0f, -0.3f);
    p.neckYaw += 12 * up;
    p.neckPitch = -6 * up;
    p.grip = p.grip + Vec3(-0.8f, -0.4f, -0.6f) * up;
    p.gunPitch = -20 * up;
  } else {
    // Drop lowers the weapon to the side; raise brings it back.
    float down = name == "TORSO_DROP" ? Smooth(0.0f, 1.0f, t) : 1 - Smooth(0.0f, 1.0f, t);
    p.grip = g.grip + Vec3(-3.0f, -1.2f, -3.5f) * down;
    p.gunPitch = -70 * down;
    p.leftRelease = down;
    p.leftFree = Vec3(0.5f, 4.5f, -1.0f);
    p.spinePitch = 4 + 8 * down;
  }
  return p;
}

Pose Death(int clip, float t, const Gait& g) {
  Pose p = Ready(g);
  const int which = clip / 2;  // DEATH1/DEAD1, DEATH2/DEAD2, DEATH3/DEAD3
  // Arms fling out as the hit lands, the weapon still in the right hand.
  float hit = Smooth(0.0f, 0.15f, t);
  p.leftRelease = hit;
  if (which == 0) {
    // Thrown backwards: head and chest snap back, knees give, the body falls on its back.
    float fall = Smooth(0.1f, 0.85f, t);
    fall = fall * fall * (1.6f - 0.6f * fall);
    p.spinePitch = 4 - 16 * hit + 8 * fall;
    p.neckPitch = -25 * hit + 15 * fall;
    // The weapon swings up with the hit, then the arm drops it flat beside the body.
    p.grip = Lerp(g.grip + Vec3(-1.0f, -1.5f, 3.5f) * hit, Vec3(-1.5f, -8.0f, 6.5f), fall);
    p.gunPitch = 30 * hit * (1 - fall);
    p.gunYaw = LerpF(p.gunYaw, -85, fall);
    p.poleR = Vec3(-0.3f, -0.5f, -1.0f);
    p.leftFree = Vec3(0.0f, 8.5f, 6.0f + 2.0f * hit - 4 * fall);
    for (int s = 0; s < 2; ++s) {
      p.knee[s] = 9 + 35 * Smooth(0.05f, 0.5f, t) * (1 - 0.6f * fall);
      p.hipFlex[s] = 5 + 20 * Smooth(0.05f, 0.5f, t) * (1 - 0.5f * fall);
      p.hipOut[s] = 3 + 7 * fall;
    }
    p.bodyPitch = -90 * fall + 3 * Bump(t, 0.92f, 0.04f);
    p.pivot = Vec3(-1.5f, 0, SoleZ);
  } else if (which == 1) {
    // Folds forward: drops to the knees, then topples onto the face.
    float kneel = Smooth(0.05f, 0.45f, t);
    float fall = Smooth(0.4f, 0.9f, t);
    fall = fall * fall;
    p.spinePitch = 4 + 25 * hit * (1 - fall);
    p.neckPitch = 20 * hit - 30 * fall;
    // The weapon sags, then ends on the floor by the head; the left hand reaches out to
    // break the fall and ends beside the head too.
    p.grip = Lerp(g.grip + Vec3(1.0f, 0.5f, -1.5f) * hit, Vec3(1.2f, -6.0f, 8.5f), fall);
    p.gunPitch = -30 * hit * (1 - fall) + 80 * fall;
    p.leftFree = Lerp(Vec3(6.0f, 4.5f, 1.0f), Vec3(1.5f, 6.0f, 9.5f), fall);
    p.poleL = Vec3(-0.5f, 1.0f, -0.2f);
    p.poleR = Lerp(g.poleR, Vec3(-0.5f, -1.0f, -0.2f), fall);
    // The legs straighten out behind as the body goes down.
    for (int s = 0; s < 2; ++s) {
      p.knee[s] = 9 + 95 * kneel * (1 - fall) - 4 * fall;
      p.hipFlex[s] = 5 + 5 * kneel + 2 * fall;
      p.footPitch[s] = -40 * kneel * (1 - fall) - 30 * fall;
      p.hipOut[s] = 3 + 6 * fall;
    }
    p.bodyPitch = 89 * fall;
    p.pivot = Vec3(3.0f, 0, SoleZ + 2.0f);  // about the knees
  } else {
    // Spun round by the hit, crumples sideways onto the right side.
    float spin = Smooth(0.0f, 0.6f, t);
    float fall = Smooth(0.2f, 0.9f, t);
    fall = fall * fall * (1.6f - 0.6f * fall);
    p.bodyYaw = 70 * spin;
    p.bodyRoll = -88 * fall;
    p.spineRoll = -10 * hit;
    p.spineYaw += 20 * hit;
    p.neckRoll = 20 * fall;
    // The weapon flies out in front, clear of the body it would lie under.
    p.grip = Lerp(g.grip + Vec3(-1.0f, -2.0f, 1.0f) * hit, Vec3(7.0f, -1.5f, 6.0f), fall);
    p.gunPitch = 20 * hit - 20 * fall;
    p.gunRoll = 80 * fall;
    p.leftFree = Vec3(3.0f, 7.0f, 5.0f - 3 * fall);
    for (int s = 0; s < 2; ++s) {
      p.knee[s] = 9 + 50 * Smooth(0.05f, 0.5f, t);
      p.hipFlex[s] = 5 + 30 * Smooth(0.05f, 0.5f, t);
    }
    p.pivot = Vec3(0, -2.0f, SoleZ);
  }
  return p;
}

}  // namespace

Pose ClipPose(int clip, int frame, const Gait& gait) {
  const ClipInfo& info = Clips[clip];
  float t;
  if (info.loops) {
    t = static_cast<float>(frame) / info.frames;
  } else {
    t = info.frames > 1 ? static_cast<float>(frame) / (info.frames - 1) : 1.0f;
  }
  switch (info.kind) {
    case ClipKind::Both: return Death(clip, t, gait);
    case ClipKind::Torso: return Torso(clip, t, gait);
    case ClipKind::Legs: return Legs(clip, t, gait);
  }
  return Ready(gait);
}
