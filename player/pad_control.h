// The camera on a game pad: the left stick walks and steps aside at the keys' speed, scaled
// by how far it is pushed; the right stick turns and looks up and down at a rate, within the
// mouse's vertical limit and under the same inverted-look switch (F12).
#pragma once
#include "core/camera.h"
#include "platform/platform.h"

constexpr float PadTurnRate = 2.5f;   // radians per second, stick fully left or right
constexpr float PadPitchRate = 1.6f;  // radians per second, stick fully up or down

// One frame of `seconds` with the sticks as given; runs after the keys have moved the camera,
// so the collision check sees both moves together.
void MoveByPad(Camera& camera, const platform::PadSticks& sticks, float seconds);
