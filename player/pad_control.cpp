// Game pad movement and look (see pad_control.h).
#include "player/pad_control.h"

#include <algorithm>

void MoveByPad(Camera& camera, const platform::PadSticks& sticks, float seconds) {
  const float speed = CameraSpeed * seconds;
  if (sticks.leftY != 0) camera.MoveCamera(-sticks.leftY * speed);  // pushed away: forward
  if (sticks.leftX != 0) camera.StrafeCamera(sticks.leftX * speed);
  if (sticks.rightX == 0 && sticks.rightY == 0) return;

  const float angleY = -sticks.rightX * PadTurnRate * seconds;  // right turns right
  float angleZ = -sticks.rightY * PadPitchRate * seconds;       // pushed away looks up
  if (mouseLook.invertMouse) angleZ = -angleZ;
  // Looking up or down stops at the limit, but turning goes on: a stick held up and to the
  // side at the limit still turns.
  const float vertical = std::clamp(mouseLook.verticalAngle - angleZ, -1.0f, 1.0f);
  angleZ = mouseLook.verticalAngle - vertical;
  mouseLook.verticalAngle = vertical;
  if (angleZ != 0) {
    const Vec3 axis = Normalize(Cross(camera.view - camera.position, camera.up));
    camera.RotateView(angleZ, axis.x, axis.y, axis.z);
  }
  if (angleY != 0) camera.RotateView(angleY, 0, 1, 0);
}
