// Bots taking the links of the waypoint graph that are more than a walk: into a jump pad's or
// a teleporter's volume (the trigger then throws or moves the bot), onto a lift when it is
// down (waiting for it otherwise), standing still on it to the top and off, or down a lift's
// shaft.
#pragma once
#include "core/vec3.h"

// What bot `index` does this tick on its way from its last waypoint to its target.
struct LinkStep {
  bool onLink = false;   // it is taking a jump pad, teleporter or lift: steer at `steerAt`
  bool stand = false;    // it waits for a lift at its foot, or rides it: no step of its own
  bool giveUp = false;   // the link has taken too long: the bot must find its way again
  Vec3 steerAt;
};
LinkStep FollowSpecialLink(int index);

// Seconds of game time a bot spends on one link (waiting for a lift included) before giving up.
constexpr float LinkPatienceSeconds = 20;
