// The 25 animation clips of a figure, in the order the animation file lists them, and the
// pose of every frame of each clip.
#pragma once
#include "tools/chargen/skeleton.h"

enum class ClipKind { Both, Torso, Legs };

struct ClipInfo {
  const char* name;
  int frames;
  int fps;
  bool loops;
  ClipKind kind;
};

constexpr int ClipCount = 25;
// BOTH_ death and dead clips first, TORSO_ clips from entry 6, LEGS_ clips from entry 13.
extern const ClipInfo Clips[ClipCount];

// Style differences between the figures (a heavy man moves heavier).
struct Gait {
  float stride = 1.0f;   // scales the leg swing
  float bounce = 1.0f;   // scales the quick, springy parts of the motion
  float stance = 0.0f;   // extra width of the stance in degrees
  float blade = 10.0f;   // chest turned right in the ready stance, degrees
  Vec3 grip{4.0f, -3.2f, 3.2f};  // weapon grip in chest space, at rest
  Vec3 poleL{-0.3f, 0.8f, -1.0f}, poleR{-0.3f, -0.8f, -1.0f};
};

// The pose of frame `frame` (0 .. frames - 1) of clip `clip`.
Pose ClipPose(int clip, int frame, const Gait& gait);
